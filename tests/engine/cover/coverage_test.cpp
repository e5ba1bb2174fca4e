#include "cover/coverage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "support/cover_oracle.h"
#include "support/covers_within.h"
#include "support/system_contains.h"

namespace spelkub {
namespace {

using testing::PlainDistance;
using testing::PlainDistances;
using testing::RandomRow;
using testing::RandomShape;
using testing::TestRandom;

SystemShape UniformShape(int matches, int radix) {
  SystemShape shape;
  shape.matches = matches;
  for (int m = 0; m < matches; ++m) {
    shape.radix[m] = static_cast<uint8_t>(radix);
    shape.outcomes[m] =
        radix == 3 ? std::array<uint8_t, 3>{0, 1, 2} : std::array<uint8_t, 3>{0, 2, 0};
  }
  return shape;
}

std::vector<int64_t> PlainOutsideRows(const SystemShape& shape,
                                      const std::vector<PackedRow>& rows) {
  std::vector<int64_t> outside;
  for (size_t r = 0; r < rows.size(); ++r) {
    if (!Contains(shape, rows[r])) outside.push_back(static_cast<int64_t>(r));
  }
  return outside;
}

TEST(ComputeCoverage, AgreesWithBruteForceOnRandomSystemsAndRows) {
  TestRandom random(11);
  for (int trial = 0; trial < 400; ++trial) {
    const int matches = 13 + random.Below(2);
    const int full = random.Below(6);
    const int half = random.Below(7 - full);
    const SystemShape shape = RandomShape(random, matches, full, half);
    std::vector<PackedRow> rows;
    const int count = 1 + random.Below(12);
    for (int i = 0; i < count; ++i) {
      const int kind = random.Below(4);
      if (kind == 0) {
        rows.push_back(RandomRow(random, matches));  // mostly outside the system
      } else if (kind == 1 && !rows.empty()) {
        rows.push_back(rows[random.Below(static_cast<int>(rows.size()))]);
      } else {
        rows.push_back(shape.RowAt(random.Below(static_cast<int>(shape.size()))));
      }
    }
    const Coverage coverage = ComputeCoverage(shape, rows);
    const std::vector<uint8_t> expected = PlainDistances(shape, rows);
    ASSERT_EQ(coverage.distance, expected) << "trial " << trial;
    EXPECT_EQ(coverage.maxDistance, *std::max_element(expected.begin(), expected.end()));
    std::vector<int64_t> outside = PlainOutsideRows(shape, rows);
    EXPECT_EQ(coverage.outsideCount, static_cast<int64_t>(outside.size()));
    outside.resize(std::min(outside.size(), kOutsideRowsKept));
    EXPECT_EQ(coverage.outsideRows, outside);
    EXPECT_FALSE(coverage.stopped);
  }
}

TEST(ComputeCoverage, CountsRowsThatDifferFromEveryOutcomeInSomeMatches) {
  SystemShape shape = UniformShape(13, 1);
  shape.radix[0] = 2;  // "1" and "2" in match 1, "1" in the others
  shape.outcomes[0] = {0, 2, 0};
  const PackedRow allOnes = 0;
  const PackedRow xInFirstAndLast = 1u | (1u << 24);
  const Coverage coverage = ComputeCoverage(shape, std::vector<PackedRow>{xInFirstAndLast});
  EXPECT_EQ(coverage.distance, (std::vector<uint8_t>{2, 2}));
  EXPECT_EQ(coverage.outsideRows, (std::vector<int64_t>{0}));
  const Coverage both = ComputeCoverage(shape, std::vector<PackedRow>{xInFirstAndLast, allOnes});
  EXPECT_EQ(both.distance, (std::vector<uint8_t>{0, 1}));
  EXPECT_EQ(both.maxDistance, 1);
}

TEST(ComputeCoverage, GivesNoDistancesWithoutRows) {
  const Coverage coverage = ComputeCoverage(UniformShape(13, 3), {});
  EXPECT_TRUE(coverage.distance.empty());
  EXPECT_TRUE(coverage.outsideRows.empty());
}

TEST(ComputeCoverage, MeasuresTheFullFourteenMatchSystemExactly) {
  const SystemShape shape = UniformShape(14, 3);
  TestRandom random(3);
  std::vector<PackedRow> rows;
  for (int i = 0; i < 40; ++i) rows.push_back(RandomRow(random, 14));
  const Coverage coverage = ComputeCoverage(shape, rows);
  ASSERT_EQ(static_cast<int64_t>(coverage.distance.size()), shape.size());
  int sampledMax = 0;
  for (int sample = 0; sample < 3000; ++sample) {
    const int64_t index = static_cast<int64_t>(random.Next() % static_cast<uint64_t>(shape.size()));
    int nearest = 14;
    for (PackedRow row : rows)
      nearest = std::min(nearest, PlainDistance(shape.RowAt(index), row, 14));
    ASSERT_EQ(coverage.distance[index], nearest) << "outcome " << index;
    sampledMax = std::max(sampledMax, nearest);
  }
  EXPECT_GE(coverage.maxDistance, sampledMax);
  EXPECT_LE(coverage.maxDistance, 14);
}

TEST(ComputeCoverage, EveryOutcomeOfTheSystemCoversItself) {
  const SystemShape shape = UniformShape(13, 2);
  std::vector<PackedRow> rows;
  for (int64_t index = shape.size() - 1; index >= 0; --index) rows.push_back(shape.RowAt(index));
  const Coverage coverage = ComputeCoverage(shape, rows);
  EXPECT_EQ(coverage.maxDistance, 0);
  EXPECT_EQ(coverage.distance, std::vector<uint8_t>(rows.size(), 0));
}

TEST(ComputeCoverage, EndsAtOnceWhenStopIsRaised) {
  StopSource source;
  source.RequestStop();
  const Coverage coverage =
      ComputeCoverage(UniformShape(14, 3), std::vector<PackedRow>{0}, Work{StopToken(source)});
  EXPECT_TRUE(coverage.stopped);
  EXPECT_TRUE(coverage.distance.empty());
}

TEST(CoversWithin, AgreesWithTheBruteForceRadiusAtEveryRadius) {
  TestRandom random(5);
  for (int trial = 0; trial < 200; ++trial) {
    const int matches = 13 + random.Below(2);
    const int full = random.Below(5);
    const int half = random.Below(6 - full);
    const SystemShape shape = RandomShape(random, matches, full, half);
    std::vector<PackedRow> rows;
    const int count = 1 + random.Below(8);
    for (int i = 0; i < count; ++i) {
      rows.push_back(random.Below(5) == 0
                         ? RandomRow(random, matches)
                         : shape.RowAt(random.Below(static_cast<int>(shape.size()))));
    }
    const std::vector<uint8_t> plain = PlainDistances(shape, rows);
    const int radius = *std::max_element(plain.begin(), plain.end());
    for (int r = 0; r <= matches; ++r) {
      EXPECT_EQ(CoversWithin(shape, rows, r), r >= radius) << "trial " << trial << " radius " << r;
    }
  }
}

TEST(CoversWithin, RejectsACoverWithAnyOneRowMissing) {
  // Ternary Hamming code of length 4: x3 = x1 + x2, x4 = x1 + 2 x2 (mod 3).
  const SystemShape shape = UniformShape(13, 1);
  SystemShape four = shape;
  for (int m = 0; m < 4; ++m) {
    four.radix[m] = 3;
    four.outcomes[m] = {0, 1, 2};
  }
  std::vector<PackedRow> code;
  for (int a = 0; a < 3; ++a) {
    for (int b = 0; b < 3; ++b) {
      const PackedRow word =
          static_cast<PackedRow>(a | b << 2 | ((a + b) % 3) << 4 | ((a + 2 * b) % 3) << 6);
      code.push_back(word);
    }
  }
  EXPECT_TRUE(CoversWithin(four, code, 1));
  EXPECT_FALSE(CoversWithin(four, code, 0));
  for (size_t drop = 0; drop < code.size(); ++drop) {
    std::vector<PackedRow> fewer = code;
    fewer.erase(fewer.begin() + static_cast<std::ptrdiff_t>(drop));
    EXPECT_FALSE(CoversWithin(four, fewer, 1)) << "without word " << drop;
    // Moving the word instead of dropping it breaks the perfect cover too.
    std::vector<PackedRow> moved = code;
    moved[drop] ^= 1u;
    EXPECT_FALSE(CoversWithin(four, moved, 1)) << "moved word " << drop;
  }
}

TEST(CoversWithin, HoldsForTheWholeSystemAtRadiusZero) {
  SystemShape shape = UniformShape(13, 1);
  shape.radix[4] = 3;
  shape.outcomes[4] = {0, 1, 2};
  std::vector<PackedRow> rows;
  for (int64_t index = 0; index < shape.size(); ++index) rows.push_back(shape.RowAt(index));
  EXPECT_TRUE(CoversWithin(shape, rows, 0));
  rows.pop_back();
  EXPECT_FALSE(CoversWithin(shape, rows, 0));
  EXPECT_TRUE(CoversWithin(shape, rows, 1));
}

}  // namespace
}  // namespace spelkub
