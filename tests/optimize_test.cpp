#include "cover/optimize.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "cover/block_codes.h"
#include "cover/construction.h"
#include "cover/coverage.h"
#include "cover/local_search.h"
#include "cover_oracle.h"
#include "support/covers_within.h"
#include "support/system_contains.h"

namespace spelkub {
namespace {

using detail::BlockCode;
using testing::PlainDistances;
using testing::RandomShape;
using testing::TestRandom;

SystemShape Shape(int matches, int full, int half) {
  SystemShape shape;
  shape.matches = matches;
  for (int m = 0; m < matches; ++m) {
    shape.radix[m] = static_cast<uint8_t>(m < full ? 3 : m < full + half ? 2 : 1);
    shape.outcomes[m] = {0, 1, 2};
  }
  return shape;
}

// The covering radius of a block code in its own space, by the coverage search.
int VerifiedRadius(const BlockCode& code) {
  const SystemShape shape = detail::BlockShape(code.ternary, code.binary);
  return ComputeCoverage(shape, detail::BlockRows(code)).maxDistance;
}

int64_t DistinctWords(const BlockCode& code) {
  std::vector<PackedRow> rows = detail::BlockRows(code);
  std::sort(rows.begin(), rows.end());
  return std::unique(rows.begin(), rows.end()) - rows.begin();
}

int PlainRadius(const SystemShape& shape, const std::vector<PackedRow>& rows) {
  const std::vector<uint8_t> distances = PlainDistances(shape, rows);
  return *std::max_element(distances.begin(), distances.end());
}

TEST(BlockCodes, TernaryHammingCodesArePerfectWithRadiusOne) {
  const BlockCode four = detail::WordsOf(detail::TernaryHamming(2), "h4");
  EXPECT_EQ(four.length(), 4);
  EXPECT_EQ(four.size(), 9);
  EXPECT_EQ(DistinctWords(four), 9);
  EXPECT_EQ(four.radius, 1);
  EXPECT_EQ(VerifiedRadius(four), 1);

  const BlockCode thirteen = detail::WordsOf(detail::TernaryHamming(3), "h13");
  EXPECT_EQ(thirteen.length(), 13);
  EXPECT_EQ(thirteen.size(), 59049);
  EXPECT_EQ(DistinctWords(thirteen), 59049);
  EXPECT_EQ(VerifiedRadius(thirteen), 1);
}

TEST(BlockCodes, TernaryGolayCodeHas729WordsAndRadiusTwo) {
  const BlockCode golay = detail::TernaryGolay();
  EXPECT_EQ(golay.ternary, 11);
  EXPECT_EQ(golay.size(), 729);
  EXPECT_EQ(DistinctWords(golay), 729);
  EXPECT_EQ(VerifiedRadius(golay), 2);
}

TEST(BlockCodes, BinaryHammingAndRepetitionCodesHaveTheirRadius) {
  const BlockCode hamming = detail::WordsOf(detail::BinaryHamming(3), "h7");
  EXPECT_EQ(hamming.binary, 7);
  EXPECT_EQ(hamming.size(), 16);
  EXPECT_EQ(VerifiedRadius(hamming), 1);
  for (int length = 2; length <= 14; ++length) {
    for (bool ternary : {true, false}) {
      const BlockCode code = detail::RepetitionCode(length, ternary);
      EXPECT_EQ(code.size(), ternary ? 3 : 2);
      EXPECT_EQ(VerifiedRadius(code), code.radius) << code.name;
    }
  }
}

TEST(BlockCodes, FullSpaceAndOneWordCoverAtZeroAndFullRadius) {
  const BlockCode full = detail::FullSpace(2, 1);
  EXPECT_EQ(full.size(), 18);
  EXPECT_EQ(DistinctWords(full), 18);
  EXPECT_EQ(VerifiedRadius(full), 0);
  const BlockCode one = detail::OneWord(3, 2);
  EXPECT_EQ(one.size(), 1);
  EXPECT_EQ(VerifiedRadius(one), 5);
}

TEST(BlockCodes, LinearCodeSearchFindsACodeOfTheAskedRadius) {
  const auto found = detail::FindLinearCode(8, 4, 2, 20000, 7);
  ASSERT_TRUE(found.has_value());
  EXPECT_LE(detail::LinearCoveringRadius(*found), 2);
  const BlockCode code = detail::WordsOf(*found, "linear");
  EXPECT_EQ(code.size(), 81);
  EXPECT_EQ(VerifiedRadius(code), detail::LinearCoveringRadius(*found));
  // Identical on a second run.
  EXPECT_EQ(detail::FindLinearCode(8, 4, 2, 20000, 7)->columns, found->columns);
}

TEST(BlockCodes, LinearCoveringRadiusAgreesWithTheCoverageSearch) {
  TestRandom random(17);
  int spanning = 0;
  for (int trial = 0; trial < 40; ++trial) {
    detail::LinearCode code;
    code.length = 5 + random.Below(5);
    code.checks = 2 + random.Below(3);
    const int syndromes = code.checks == 2 ? 9 : code.checks == 3 ? 27 : 81;
    for (int j = 0; j < code.length; ++j) code.columns.push_back(random.Below(syndromes));
    const int radius = detail::LinearCoveringRadius(code);
    if (radius > code.length) continue;  // the columns span too little
    ++spanning;
    EXPECT_EQ(VerifiedRadius(detail::WordsOf(code, "random")), radius) << "trial " << trial;
  }
  EXPECT_GT(spanning, 20);
}

TEST(BlockCodes, EveryShippedCodeHasItsRadius) {
  for (const BlockCode& code : detail::ShippedCodes()) {
    EXPECT_EQ(DistinctWords(code), code.size()) << code.name;
    EXPECT_LE(VerifiedRadius(code), code.radius) << code.name;
  }
}

TEST(DirectSum, SymbolsBecomeTheMarkedSignsOfEachMatchAndCoordinatesTheirMatches) {
  SystemShape shape = Shape(13, 0, 0);
  shape.outcomes[0] = {2, 0, 0};  // match 1: "2" alone
  shape.radix[1] = 3;             // match 2: all three
  shape.radix[4] = 2;             // match 5: "X" and "2"
  shape.outcomes[4] = {1, 2, 0};
  shape.radix[7] = 2;  // match 8: "1" and "2"
  shape.outcomes[7] = {0, 2, 0};
  BlockCode code;
  code.ternary = 3;
  code.symbols = {2, 1, 1, 0, 2, 2};  // two words, coordinates on matches 5, 2, 8
  const detail::PlacedCode placed{code, {4, 1, 7}};
  const std::vector<PackedRow> rows = detail::DirectSumRows(shape, std::span(&placed, 1));
  ASSERT_EQ(rows.size(), 2u);
  std::vector<std::array<int, 5>> signs;  // matches 1, 2, 3, 5, 8
  for (PackedRow row : rows) {
    EXPECT_TRUE(Contains(shape, row));
    signs.push_back({PackedOutcome(row, 1), PackedOutcome(row, 2), PackedOutcome(row, 3),
                     PackedOutcome(row, 5), PackedOutcome(row, 8)});
  }
  // Word 1: match 5 symbol 2 folds onto its second sign "2", match 2 "X",
  // match 8 symbol 1 is its second sign "2". Word 2: match 5 symbol 0 is
  // "X", match 2 "2", match 8 symbol 2 folds onto "2". Unplaced matches keep
  // their first marked sign.
  std::sort(signs.begin(), signs.end());
  EXPECT_EQ(signs[0], (std::array<int, 5>{2, 1, 0, 2, 2}));
  EXPECT_EQ(signs[1], (std::array<int, 5>{2, 2, 0, 1, 2}));
  EXPECT_LT(*shape.IndexOf(rows[0]), *shape.IndexOf(rows[1]));
}

TEST(DirectSum, FoldingMergesWordsThatBecomeEqual) {
  SystemShape shape = Shape(13, 0, 2);
  const BlockCode full = detail::FullSpace(2, 0);  // nine words on two two-sign matches
  const detail::PlacedCode placed{full, {0, 1}};
  const std::vector<PackedRow> rows = detail::DirectSumRows(shape, std::span(&placed, 1));
  EXPECT_EQ(rows.size(), 4u);
  EXPECT_TRUE(CoversWithin(shape, rows, 0));
}

TEST(DirectSum, RadiiAddAndSizesMultiply) {
  const SystemShape fourteen = Shape(14, 14, 0);
  const std::vector<detail::PlacedCode> golayAndFull = {
      {detail::TernaryGolay(), {13, 0, 1, 2, 4, 5, 6, 8, 9, 10, 11}},
      {detail::FullSpace(3, 0), {3, 7, 12}},
  };
  const std::vector<PackedRow> golayRows = detail::DirectSumRows(fourteen, golayAndFull);
  EXPECT_EQ(golayRows.size(), 19683u);
  EXPECT_TRUE(CoversWithin(fourteen, golayRows, 2));
  EXPECT_FALSE(CoversWithin(fourteen, golayRows, 1));

  const SystemShape thirteen = Shape(13, 13, 0);
  const std::vector<detail::PlacedCode> hammingAndRepetition = {
      {detail::WordsOf(detail::TernaryHamming(2), "h4"), {10, 3, 12, 0}},
      {detail::RepetitionCode(9, true), {1, 2, 4, 5, 6, 7, 8, 9, 11}},
  };
  const std::vector<PackedRow> rows = detail::DirectSumRows(thirteen, hammingAndRepetition);
  EXPECT_EQ(rows.size(), 27u);
  EXPECT_TRUE(CoversWithin(thirteen, rows, 1 + 6));
  EXPECT_FALSE(CoversWithin(thirteen, rows, 1 + 5));
  EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [&](PackedRow a, PackedRow b) {
    return *thirteen.IndexOf(a) < *thirteen.IndexOf(b);
  }));
}

TEST(Plans, SplitTheMatchesIntoTheSmallestDirectSums) {
  const std::vector<detail::CatalogEntry> catalog = detail::BlockCatalog(false);
  auto best = [&](int ternary, int binary, int radius) {
    return detail::BestPlans(catalog, ternary, binary, radius, 1).front().size;
  };
  EXPECT_EQ(best(4, 0, 1), 9);
  EXPECT_EQ(best(13, 0, 1), 59049);
  EXPECT_EQ(best(13, 0, 2), 6561);
  EXPECT_EQ(best(14, 0, 2), 19683);
  EXPECT_EQ(best(0, 7, 1), 16);
  EXPECT_EQ(best(14, 0, 0), 4782969);
  EXPECT_EQ(best(3, 2, 5), 1);
  EXPECT_EQ(best(3, 2, 9), 1);
}

TEST(Plans, PlacedPlansCoverTheirSystemAtTheirRadius) {
  const std::vector<detail::CatalogEntry> catalog = detail::BlockCatalog(true);
  TestRandom random(23);
  for (int trial = 0; trial < 60; ++trial) {
    const int full = random.Below(5);
    const int half = random.Below(5);
    const SystemShape shape = RandomShape(random, 13, full, half);
    const int radius = random.Below(full + half + 1);
    for (const detail::Plan& plan : detail::BestPlans(catalog, full, half, radius, 3)) {
      const std::vector<PackedRow> rows =
          detail::DirectSumRows(shape, detail::PlacePlan(shape, catalog, plan));
      EXPECT_LE(static_cast<int64_t>(rows.size()), plan.size);
      EXPECT_LE(PlainRadius(shape, rows), radius) << plan.Describe(catalog);
    }
  }
}

detail::OptimizeOptions SmallBudget() {
  detail::OptimizeOptions options;
  options.searchWork = 300'000;
  return options;
}

std::vector<int64_t> Indices(const SystemShape& shape, const std::vector<PackedRow>& rows) {
  std::vector<int64_t> indices;
  for (PackedRow row : rows) indices.push_back(shape.IndexOf(row).value_or(-1));
  return indices;
}

TEST(Optimize, GivesVerifiedCoversNoLargerThanTheGreedyOnSmallSystemsOfEveryShape) {
  TestRandom random(29);
  for (int full = 0; full <= 4; ++full) {
    for (int half = 0; half <= 4; ++half) {
      const int matches = 13 + random.Below(2);
      const SystemShape shape = RandomShape(random, matches, full, half);
      for (int guarantee = 4; guarantee <= matches; ++guarantee) {
        const OptimizeResult result = detail::Optimize(shape, guarantee, SmallBudget());
        ASSERT_FALSE(result.rows.empty());
        const int radius = PlainRadius(shape, result.rows);
        EXPECT_LE(radius, matches - guarantee)
            << full << " full, " << half << " half, " << guarantee;
        EXPECT_EQ(result.guarantee, matches - radius);
        EXPECT_LE(static_cast<int64_t>(result.rows.size()), result.greedyRows);
        const std::vector<int64_t> indices = Indices(shape, result.rows);
        EXPECT_TRUE(std::adjacent_find(indices.begin(), indices.end(), [](int64_t a, int64_t b) {
                      return a >= b;
                    }) == indices.end());
        EXPECT_GE(indices.front(), 0);
        EXPECT_FALSE(result.stopped);
      }
    }
  }
}

TEST(Optimize, GivesTheSameRowsOnEveryRun) {
  TestRandom random(31);
  for (int trial = 0; trial < 12; ++trial) {
    const SystemShape shape = RandomShape(random, 13, random.Below(5), random.Below(5));
    const int guarantee = 10 + random.Below(4);
    const OptimizeResult first = detail::Optimize(shape, guarantee, SmallBudget());
    const OptimizeResult second = detail::Optimize(shape, guarantee, SmallBudget());
    EXPECT_EQ(first.rows, second.rows);
    EXPECT_EQ(first.method, second.method);
  }
}

TEST(Optimize, LocalSearchShrinksTheConstructionOfSixFullMatches) {
  const SystemShape shape = Shape(13, 6, 0);
  detail::OptimizeOptions options;
  options.useShippedTable = false;
  const OptimizeResult constructed = detail::Optimize(shape, 12, options);
  EXPECT_EQ(constructed.rows.size(), 81u);
  options.searchWork = 20'000'000;
  const OptimizeResult polished = detail::Optimize(shape, 12, options);
  EXPECT_LT(polished.rows.size(), 81u);
  EXPECT_EQ(polished.method, "tabu");
  EXPECT_TRUE(CoversWithin(shape, polished.rows, 1));
}

TEST(Optimize, OneRowWhenTheRadiusReachesEveryFreeMatch) {
  const SystemShape shape = Shape(13, 3, 2);
  const OptimizeResult result = OptimizeGuarantee(shape, 8, Effort::kQuick);
  ASSERT_EQ(result.rows.size(), 1u);
  EXPECT_GE(result.guarantee, 8);
}

TEST(Optimize, TheWholeSystemForEveryMatchRight) {
  const SystemShape shape = Shape(14, 2, 3);
  const OptimizeResult result = OptimizeGuarantee(shape, 14, Effort::kQuick);
  EXPECT_EQ(static_cast<int64_t>(result.rows.size()), shape.size());
  EXPECT_EQ(result.guarantee, 14);
  EXPECT_EQ(result.greedyRows, shape.size());
}

TEST(Optimize, QuickEffortBuildsTheGolayCoverOfThirteenFullMatches) {
  const SystemShape shape = Shape(13, 13, 0);
  const OptimizeResult result = OptimizeGuarantee(shape, 11, Effort::kQuick);
  EXPECT_LE(result.rows.size(), 6561u);
  EXPECT_EQ(result.guarantee, 11);
  EXPECT_TRUE(CoversWithin(shape, result.rows, 2));
  EXPECT_EQ(result.greedyRows, 26142);
}

class RecordingListener : public OptimizeListener {
 public:
  explicit RecordingListener(std::atomic<bool>* stopAfterFirst = nullptr) : stop_(stopAfterFirst) {}
  void BestVerified(int64_t rows) override {
    best.push_back(rows);
    if (stop_ != nullptr) stop_->store(true);
  }
  void Spent(double fraction) override { spent.push_back(fraction); }
  std::vector<int64_t> best;
  std::vector<double> spent;

 private:
  std::atomic<bool>* stop_;
};

TEST(Optimize, ReportsEveryImprovementAndTheSpentBudget) {
  const SystemShape shape = Shape(13, 4, 3);
  RecordingListener listener;
  detail::OptimizeOptions options = SmallBudget();
  options.searchWork = 5'000'000;
  const OptimizeResult result = detail::Optimize(shape, 12, options, &listener);
  ASSERT_FALSE(listener.best.empty());
  EXPECT_TRUE(std::is_sorted(listener.best.rbegin(), listener.best.rend()));
  EXPECT_EQ(listener.best.back(), static_cast<int64_t>(result.rows.size()));
  ASSERT_FALSE(listener.spent.empty());
  EXPECT_TRUE(std::is_sorted(listener.spent.begin(), listener.spent.end()));
  EXPECT_EQ(listener.spent.back(), 1.0);
}

TEST(Optimize, StopsWithTheBestVerifiedCoverSoFar) {
  const SystemShape shape = Shape(13, 5, 4);
  std::atomic<bool> stop{false};
  RecordingListener listener(&stop);
  detail::OptimizeOptions options;
  options.searchWork = int64_t{1} << 40;  // would run for hours
  const OptimizeResult result = detail::Optimize(shape, 12, options, &listener, &stop);
  EXPECT_TRUE(result.stopped);
  ASSERT_EQ(listener.best.size(), 1u);
  EXPECT_EQ(static_cast<int64_t>(result.rows.size()), listener.best.front());
  EXPECT_TRUE(CoversWithin(shape, result.rows, 1));
}

TEST(Optimize, StoppedBeforeAnythingIsVerifiedReturnsNoRows) {
  const std::atomic<bool> stop{true};
  const OptimizeResult result =
      OptimizeGuarantee(Shape(14, 14, 0), 12, Effort::kNormal, nullptr, &stop);
  EXPECT_TRUE(result.stopped);
  EXPECT_TRUE(result.rows.empty());
}

}  // namespace
}  // namespace spelkub
