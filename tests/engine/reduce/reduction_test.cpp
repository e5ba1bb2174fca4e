#include "reduce/reduction.h"
#include "support/kept_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "reduce/detail/reduction_detail.h"
#include "reduce/greedy_selection.h"
#include "support/coupon_builder.h"
#include "support/reduction_oracle.h"
#include "text/detail/row_line.h"

namespace spelkub {
namespace {

using detail::CoverTest;
using testing::MakeCoupon;
using testing::PlainGuarantee;
using testing::PlainResult;
using testing::PlainRowCount;
using testing::TextLines;
using testing::UniformCoupon;

constexpr CoverTest kAllCoverTests[] = {CoverTest::kAuto, CoverTest::kScanKept,
                                        CoverTest::kMarkNeighbourhood};

RowSet Generate(const CouponState& state, Plus13Choice plus13 = kPlus13No) {
  return GenerateFullSystem(state, plus13);
}

// Row indices 0-based from the 1-based row numbers used when talking about a system.
std::vector<uint32_t> Rows(std::initializer_list<uint32_t> numbers) {
  std::vector<uint32_t> indices;
  for (uint32_t number : numbers) indices.push_back(number - 1);
  return indices;
}

std::vector<uint32_t> AllRows(int64_t count, bool reversed) {
  std::vector<uint32_t> indices(static_cast<size_t>(count));
  std::iota(indices.begin(), indices.end(), 0u);
  if (reversed) std::reverse(indices.begin(), indices.end());
  return indices;
}

// The least, over every row of the system, of the most equal signs with a kept row.
int BruteGuarantee(const RowSet& set, const std::vector<uint32_t>& kept) {
  int least = set.matches;
  for (PackedRow row : set.rows) {
    int most = 0;
    for (uint32_t k : kept) most = std::max(most, EqualSignCount(row, set.rows[k], set.matches));
    least = std::min(least, most);
  }
  return least;
}

// The most equal signs shared by two different kept rows (-1 with fewer than two).
int MostSharedSigns(const RowSet& set, const std::vector<uint32_t>& kept) {
  int most = -1;
  for (size_t a = 0; a < kept.size(); ++a) {
    for (size_t b = a + 1; b < kept.size(); ++b) {
      most = std::max(most, EqualSignCount(set.rows[kept[a]], set.rows[kept[b]], set.matches));
    }
  }
  return most;
}

bool HasDuplicates(std::vector<uint32_t> kept) {
  std::sort(kept.begin(), kept.end());
  return std::adjacent_find(kept.begin(), kept.end()) != kept.end();
}

// ---------------------------------------------------------------------------
// Equal-sign count

TEST(EqualSignCount, AgreesWithTheRowLinesForEveryGame) {
  std::mt19937 rng(7);
  for (int32_t game : {kStryktipset, kEuropatipset, kSupertoto}) {
    const int matches = MatchesInPlay(game);
    for (int trial = 0; trial < 500; ++trial) {
      PackedRow a = 0, b = 0;
      for (int m = 0; m < matches; ++m) {
        a |= static_cast<PackedRow>(rng() % 3) << (2 * m);
        b |= static_cast<PackedRow>(rng() % 3) << (2 * m);
      }
      const std::string lineA = RowLine(a, Rules(game)), lineB = RowLine(b, Rules(game));
      EXPECT_EQ(EqualSignCount(a, b, matches), testing::PlainEqualSigns(lineA, lineB, game));
    }
  }
}

TEST(EqualSignCount, CountsEqualSignsNotDifferingOnes) {
  const PackedRow ones = 0, twos13 = 0x2AAAAAAu;  // every match "1"; every match "2"
  EXPECT_EQ(EqualSignCount(ones, ones, 13), 13);
  EXPECT_EQ(EqualSignCount(ones, ones, 14), 14);
  EXPECT_EQ(EqualSignCount(ones, twos13, 13), 0);
  // Match 1 "X" against "1": one sign differs.
  EXPECT_EQ(EqualSignCount(ones, PackedRow{1}, 13), 12);
  // Matches beyond those in play take no part.
  EXPECT_EQ(EqualSignCount(PackedRow{0}, PackedRow{2u << 26}, 13), 13);
  EXPECT_EQ(EqualSignCount(PackedRow{0}, PackedRow{2u << 26}, 14), 13);
}

// ---------------------------------------------------------------------------
// The small systems whose results are known by hand

class KnownSystems : public ::testing::TestWithParam<CoverTest> {
 protected:
  // Three Stryktipset rows differing in match 1 only: every pair shares 12 signs.
  RowSet three_ = [] {
    CouponState state = UniformCoupon(kStryktipset, "1");
    testing::MarkMatch(state, 1, "1X2");
    return Generate(state);
  }();
  // Matches 1 and 2 marked "1X2", the rest "1": rows 1..9.
  RowSet nine_ = [] {
    CouponState state = UniformCoupon(kStryktipset, "1");
    testing::MarkMatch(state, 1, "1X2");
    testing::MarkMatch(state, 2, "1X2");
    return Generate(state);
  }();
};

TEST_P(KnownSystems, ThreeRowsByGuarantee) {
  for (int level = 4; level <= 12; ++level) {
    EXPECT_EQ(detail::ReduceToGuarantee(three_, level, false, GetParam())->kept, Rows({1}))
        << level;
    EXPECT_EQ(detail::ReduceToGuarantee(three_, level, true, GetParam())->kept, Rows({3})) << level;
  }
  EXPECT_EQ(detail::ReduceToGuarantee(three_, 13, false, GetParam())->kept, Rows({1, 2, 3}));
  EXPECT_EQ(detail::ReduceToGuarantee(three_, 13, true, GetParam())->kept, Rows({3, 2, 1}));
}

TEST_P(KnownSystems, ThreeRowsByRowCount) {
  ReductionResult all = *detail::ReduceToRowCount(three_, 3, false, GetParam());
  EXPECT_EQ(all.kept, Rows({1, 2, 3}));
  EXPECT_EQ(all.lastThreshold, 13);
  EXPECT_EQ(all.guarantee, 12);
  ReductionResult reversed = *detail::ReduceToRowCount(three_, 3, true, GetParam());
  EXPECT_EQ(reversed.kept, Rows({3, 2, 1}));
  EXPECT_EQ(reversed.guarantee, 12);
  // Reached in the first pass: the one row gives 12 right on every row of the system.
  ReductionResult one = *detail::ReduceToRowCount(three_, 1, false, GetParam());
  EXPECT_EQ(one.kept, Rows({1}));
  EXPECT_EQ(one.lastThreshold, 4);
  EXPECT_EQ(one.guarantee, 12);
  EXPECT_EQ(one.examinedInLastPass, 1);
}

TEST_P(KnownSystems, NineRowsByRowCount) {
  const CoverTest test = GetParam();
  ReductionResult two = *detail::ReduceToRowCount(nine_, 2, false, test);
  EXPECT_EQ(two.kept, Rows({1, 5}));
  EXPECT_EQ(two.guarantee, 11);
  // Reached within the pass with threshold 12, before it ends: reported 11.
  ReductionResult three = *detail::ReduceToRowCount(nine_, 3, false, test);
  EXPECT_EQ(three.kept, Rows({1, 5, 9}));
  EXPECT_EQ(three.lastThreshold, 12);
  EXPECT_EQ(three.guarantee, 11);
  EXPECT_EQ(three.examinedInLastPass, 9);
  ReductionResult four = *detail::ReduceToRowCount(nine_, 4, false, test);
  EXPECT_EQ(four.kept, Rows({1, 5, 9, 2}));
  EXPECT_EQ(four.guarantee, 12);
  ReductionResult fourReversed = *detail::ReduceToRowCount(nine_, 4, true, test);
  EXPECT_EQ(fourReversed.kept, Rows({9, 5, 1, 8}));
  EXPECT_EQ(fourReversed.guarantee, 12);
  ReductionResult one = *detail::ReduceToRowCount(nine_, 1, false, test);
  EXPECT_EQ(one.kept, Rows({1}));
  EXPECT_EQ(one.guarantee, 11);  // row 9 differs from row 1 in two matches
}

TEST_P(KnownSystems, NineRowsByGuarantee) {
  const CoverTest test = GetParam();
  EXPECT_EQ(detail::ReduceToGuarantee(nine_, 12, false, test)->kept, Rows({1, 5, 9}));
  EXPECT_EQ(detail::ReduceToGuarantee(nine_, 12, true, test)->kept, Rows({9, 5, 1}));
  for (int level = 4; level <= 11; ++level) {
    EXPECT_EQ(detail::ReduceToGuarantee(nine_, level, false, test)->kept, Rows({1}));
    EXPECT_EQ(detail::ReduceToGuarantee(nine_, level, true, test)->kept, Rows({9}));
  }
  EXPECT_EQ(detail::ReduceToGuarantee(nine_, 13, false, test)->kept, AllRows(9, false));
  EXPECT_EQ(detail::ReduceToGuarantee(nine_, 13, true, test)->kept, AllRows(9, true));
}

TEST_P(KnownSystems, SupertotoComparesFourteenSigns) {
  // Three Supertoto rows differing in match 1: 13 equal signs reach level 13.
  CouponState state = UniformCoupon(kSupertoto, "2");
  testing::MarkMatch(state, 1, "1X2");
  const RowSet set = Generate(state);
  EXPECT_EQ(detail::ReduceToGuarantee(set, 13, false, GetParam())->kept, Rows({1}));
  EXPECT_EQ(detail::ReduceToGuarantee(set, 13, true, GetParam())->kept, Rows({3}));
  ReductionResult all = *detail::ReduceToRowCount(set, 3, false, GetParam());
  EXPECT_EQ(all.kept, Rows({1, 2, 3}));
  EXPECT_EQ(all.lastThreshold, 14);
  EXPECT_EQ(all.guarantee, 13);
}

TEST_P(KnownSystems, OneRowSystem) {
  for (int32_t game : {kStryktipset, kEuropatipset, kSupertoto}) {
    const RowSet set = Generate(UniformCoupon(game, "X"));
    ASSERT_EQ(set.size(), 1);
    for (int level = 4; level <= 13; ++level) {
      for (bool reversed : {false, true}) {
        EXPECT_EQ(detail::ReduceToGuarantee(set, level, reversed, GetParam())->kept, Rows({1}));
      }
    }
    ReductionResult one = *detail::ReduceToRowCount(set, 1, false, GetParam());
    EXPECT_EQ(one.kept, Rows({1}));
    EXPECT_EQ(one.guarantee, set.matches);
    EXPECT_EQ(detail::ReduceToRowCount(set, 2, false, GetParam())->outcome,
              ReductionOutcome::kTargetAboveRowCount);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryCoverTest, KnownSystems, ::testing::ValuesIn(kAllCoverTests));

TEST(ReduceToRowCount, TargetEqualToRowCountKeepsEveryRowOnceHeaderNotCounted) {
  CouponState state = MakeCoupon(
      kEuropatipset, {"1X2", "X2", "1", "12", "X", "1", "2", "1", "1X", "1", "1", "2", "X"});
  const RowSet set = Generate(state, kPlus13Yes);
  ASSERT_EQ(set.size(), 24);
  for (bool reversed : {false, true}) {
    ReductionResult all = *ReduceToRowCount(set, 24, reversed);
    EXPECT_EQ(all.outcome, ReductionOutcome::kDone);
    ASSERT_EQ(all.kept.size(), 24u);
    EXPECT_FALSE(HasDuplicates(all.kept));
    const PlainResult plain = PlainRowCount(CouponText(set), set.game, 24, reversed);
    EXPECT_EQ(KeptCouponText(set, all), testing::JoinLines(plain.kept));
    const std::vector<std::string> lines = TextLines(KeptCouponText(set, all));
    EXPECT_EQ(lines.size(), 25u);
    EXPECT_EQ(lines.front() + "\r\n", set.header);
  }
}

TEST(ReduceToRowCount, TargetAboveRowCountRunsNoPass) {
  struct Listener : Progress {
    int passes = 0;
    void PassStarted(int) override { ++passes; }
  } listener;
  for (int32_t game : {kStryktipset, kEuropatipset, kSupertoto}) {
    CouponState state = UniformCoupon(game, "1");
    testing::MarkMatch(state, 3, "X2");
    testing::MarkMatch(state, 9, "1X2");
    const RowSet set = Generate(state);
    ASSERT_EQ(set.size(), 6);
    ReductionResult above = *ReduceToRowCount(set, 7, false, Work{{}, &listener});
    EXPECT_EQ(above.outcome, ReductionOutcome::kTargetAboveRowCount);
    EXPECT_TRUE(above.kept.empty());
    EXPECT_EQ(above.lastThreshold, 0);
    EXPECT_EQ(KeptCouponText(set, above), set.header);
    EXPECT_EQ(ReduceToRowCount(set, 6, false)->outcome, ReductionOutcome::kDone);
  }
  EXPECT_EQ(listener.passes, 0);
}

TEST(ReduceToRowCount, TargetOneOnFullSystemReportsTheTrueGuarantee) {
  const RowSet set = Generate(UniformCoupon(kStryktipset, "1X2"));
  ReductionResult first = *ReduceToRowCount(set, 1, false);
  EXPECT_EQ(first.kept, Rows({1}));
  EXPECT_EQ(first.guarantee, 0);  // "2" everywhere has no sign in common with "1" everywhere
  ReductionResult last = *ReduceToRowCount(set, 1, true);
  EXPECT_EQ(last.kept, std::vector<uint32_t>{static_cast<uint32_t>(set.size() - 1)});
  EXPECT_EQ(last.guarantee, 0);
}

TEST(ReduceToGuarantee, LevelThirteenKeepsFullThirteenMatchSystemInOrder) {
  for (int32_t game : {kStryktipset, kEuropatipset}) {
    const RowSet set = Generate(UniformCoupon(game, "1X2"));
    ASSERT_EQ(set.size(), 1594323);
    for (bool reversed : {false, true}) {
      ReductionResult result = *ReduceToGuarantee(set, 13, reversed);
      EXPECT_EQ(result.kept, AllRows(set.size(), reversed));
      EXPECT_EQ(result.guarantee, 13);
      EXPECT_EQ(result.examinedInLastPass, set.size());
    }
  }
}

TEST(ReduceToGuarantee, LevelThirteenOnFullSupertotoLeavesNoTwoRowsOneMatchApart) {
  const RowSet set = Generate(UniformCoupon(kSupertoto, "1X2"));
  ReductionResult result = *ReduceToGuarantee(set, 13, false);
  // Every row is kept or one match away from a kept row, and kept rows are
  // at least two matches apart: checked on each kept row's neighbours.
  std::vector<uint8_t> kept(static_cast<size_t>(set.size()), 0);
  for (uint32_t k : result.kept) kept[k] = 1;
  std::vector<uint8_t> covered = kept;
  int64_t stride = 1;
  for (int m = 0; m < set.matches; ++m, stride *= 3) {
    for (uint32_t k : result.kept) {
      const int64_t digit = (k / stride) % 3;
      for (int64_t other = 0; other < 3; ++other) {
        if (other == digit) continue;
        const auto neighbour = static_cast<size_t>(k + (other - digit) * stride);
        ASSERT_EQ(kept[neighbour], 0) << "rows " << k << " and " << neighbour;
        covered[neighbour] = 1;
      }
    }
  }
  EXPECT_EQ(std::count(covered.begin(), covered.end(), 0), 0);
}

// ---------------------------------------------------------------------------
// Random systems against the plain line-by-line reduction

struct RandomSystem {
  CouponState state;
  Plus13Choice plus13 = kPlus13No;
};

// A random coupon of at most maxRows rows: every match in play one sign, then
// further signs added where the size allows. Match 14 gets marks for every
// game; Stryktipset and Europatipset must not look at them.
RandomSystem MakeRandomSystem(std::mt19937& rng, int64_t maxRows) {
  RandomSystem system;
  CouponState& state = system.state;
  state.Game = static_cast<int32_t>(1 + rng() % 3);
  system.plus13 = static_cast<Plus13Choice>(rng() % 2);
  if (system.plus13 == kPlus13Yes) state.Goals = static_cast<int32_t>(1 + rng() % 4);
  const int matches = MatchesInPlay(state.Game);
  for (int m = 1; m <= kMaxMatches; ++m) state.Marks[CellIndex(m, static_cast<int>(rng() % 3))] = 1;
  int64_t size = 1;
  for (int tries = 0; tries < 80; ++tries) {
    const int match = static_cast<int>(1 + rng() % kMaxMatches);
    const int cell = CellIndex(match, static_cast<int>(rng() % 3));
    if (state.Marks[cell] == 1) continue;
    const int radix = MarkedCount(state, match);
    if (match <= matches) {
      if (size / radix * (radix + 1) > maxRows) continue;
      size = size / radix * (radix + 1);
    }
    state.Marks[cell] = 1;
  }
  return system;
}

// Systems from 1 to a few thousand rows, most of them small.
std::vector<RandomSystem> RandomSystems(unsigned seed, int count) {
  std::mt19937 rng(seed);
  std::vector<RandomSystem> systems;
  for (int i = 0; i < count; ++i) {
    const double logSize = std::uniform_real_distribution<double>(0.0, std::log(3000.0))(rng);
    systems.push_back(MakeRandomSystem(rng, static_cast<int64_t>(std::exp(logSize))));
  }
  return systems;
}

std::string Describe(const RowSet& set) {
  std::string text = "game " + std::to_string(set.game) + ", marks";
  for (int m = 0; m < set.matches; ++m) {
    text += ' ';
    for (int d = 0; d < set.radix[m]; ++d) text += OutcomeSign(set.outcomes[m][d]);
  }
  return text;
}

void ExpectSameAsPlain(const RowSet& set, const ReductionResult& result, const PlainResult& plain,
                       const std::string& what) {
  ASSERT_EQ(result.outcome == ReductionOutcome::kTargetAboveRowCount, plain.refused) << what;
  if (plain.refused) {
    EXPECT_TRUE(result.kept.empty()) << what;
    return;
  }
  EXPECT_EQ(KeptCouponText(set, result), testing::JoinLines(plain.kept)) << what;
  EXPECT_EQ(result.lastThreshold, plain.threshold) << what;
  EXPECT_EQ(result.examinedInLastPass, plain.counter) << what;
}

TEST(ReductionAgainstPlainLines, GuaranteeEveryLevelBothOrdersEveryCoverTest) {
  for (const RandomSystem& system : RandomSystems(2024, 300)) {
    const RowSet set = Generate(system.state, system.plus13);
    const std::string text = CouponText(set);
    for (int level = 4; level <= 13; ++level) {
      for (bool reversed : {false, true}) {
        const PlainResult plain = PlainGuarantee(text, set.game, level, reversed);
        for (CoverTest test : kAllCoverTests) {
          const ReductionResult result = *detail::ReduceToGuarantee(set, level, reversed, test);
          const std::string what = Describe(set) + ", level " + std::to_string(level) +
                                   (reversed ? ", reversed" : "") + ", test " +
                                   std::to_string(static_cast<int>(test));
          ExpectSameAsPlain(set, result, plain, what);
          EXPECT_EQ(result.guarantee, level) << what;
          if (::testing::Test::HasFailure()) return;
        }
      }
    }
  }
}

// Targets 1, 2, the row count and one above it, and some in between.
std::vector<int64_t> SomeTargets(std::mt19937& rng, int64_t rows) {
  std::set<int64_t> targets = {1, 2, rows, rows + 1};
  for (int i = 0; i < 6 && rows > 2; ++i) targets.insert(2 + static_cast<int64_t>(rng() % rows));
  return {targets.begin(), targets.end()};
}

TEST(ReductionAgainstPlainLines, RowCountManyTargetsBothOrdersEveryCoverTest) {
  std::mt19937 rng(99);
  for (const RandomSystem& system : RandomSystems(77, 300)) {
    const RowSet set = Generate(system.state, system.plus13);
    const std::string text = CouponText(set);
    for (int64_t target : SomeTargets(rng, set.size())) {
      for (bool reversed : {false, true}) {
        const PlainResult plain = PlainRowCount(text, set.game, target, reversed);
        for (CoverTest test : kAllCoverTests) {
          const ReductionResult result =
              *detail::ReduceToRowCount(set, static_cast<int32_t>(target), reversed, test);
          const std::string what = Describe(set) + ", target " + std::to_string(target) +
                                   (reversed ? ", reversed" : "") + ", test " +
                                   std::to_string(static_cast<int>(test));
          ExpectSameAsPlain(set, result, plain, what);
          if (!plain.refused && plain.threshold > 4) {
            EXPECT_EQ(result.guarantee, plain.threshold - 1) << what;
          }
          if (::testing::Test::HasFailure()) return;
        }
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Properties on random systems

TEST(ReductionProperties, GuaranteeCoversEveryRowAndKeepsRowsApart) {
  for (const RandomSystem& system : RandomSystems(5, 200)) {
    const RowSet set = Generate(system.state, system.plus13);
    for (int level = 4; level <= 13; ++level) {
      for (bool reversed : {false, true}) {
        const ReductionResult result = *ReduceToGuarantee(set, level, reversed);
        ASSERT_FALSE(result.kept.empty());
        EXPECT_GE(BruteGuarantee(set, result.kept), level) << Describe(set) << " level " << level;
        EXPECT_LT(MostSharedSigns(set, result.kept), level) << Describe(set) << " level " << level;
        EXPECT_EQ(result.kept.front(), reversed ? set.size() - 1 : 0);
      }
    }
  }
}

TEST(ReductionProperties, RowCountKeepsExactlyTheTargetAndItsGuaranteeHolds) {
  for (const RandomSystem& system : RandomSystems(11, 60)) {
    const RowSet set = Generate(system.state, system.plus13);
    if (set.size() > 600) continue;  // every target, brute-force check of each
    for (int32_t target = 1; target <= set.size(); ++target) {
      for (bool reversed : {false, true}) {
        const ReductionResult result = *ReduceToRowCount(set, target, reversed);
        const std::string what = Describe(set) + ", target " + std::to_string(target);
        ASSERT_EQ(result.outcome, ReductionOutcome::kDone) << what;
        ASSERT_EQ(result.kept.size(), static_cast<size_t>(target)) << what;
        EXPECT_FALSE(HasDuplicates(result.kept)) << what;
        const int holds = BruteGuarantee(set, result.kept);
        if (result.lastThreshold == 4) {
          EXPECT_EQ(result.guarantee, holds) << what;
        } else {
          EXPECT_EQ(result.guarantee, result.lastThreshold - 1) << what;
          EXPECT_GE(holds, result.guarantee) << what;
        }
      }
    }
  }
}

TEST(ReductionProperties, RowCountResultsAreOnePrefixOfAllPasses) {
  // Each target only cuts the same acceptance sequence shorter.
  for (const RandomSystem& system : RandomSystems(31, 40)) {
    const RowSet set = Generate(system.state, system.plus13);
    for (bool reversed : {false, true}) {
      const auto size = static_cast<int32_t>(set.size());
      const ReductionResult all = *ReduceToRowCount(set, size, reversed);
      for (int32_t target = 1; target < size; target += 1 + size / 50) {
        const ReductionResult part = *ReduceToRowCount(set, target, reversed);
        EXPECT_TRUE(std::equal(part.kept.begin(), part.kept.end(), all.kept.begin()))
            << Describe(set) << ", target " << target;
      }
    }
  }
}

TEST(CoveringGuarantee, MatchesBruteForceOnArbitraryRowChoices) {
  std::mt19937 rng(3);
  for (const RandomSystem& system : RandomSystems(17, 80)) {
    const RowSet set = Generate(system.state, system.plus13);
    for (int trial = 0; trial < 5; ++trial) {
      std::vector<uint32_t> kept;
      const int count = 1 + static_cast<int>(rng() % 8);
      for (int i = 0; i < count; ++i) kept.push_back(static_cast<uint32_t>(rng() % set.size()));
      EXPECT_EQ(detail::CoveringGuarantee(set, kept), BruteGuarantee(set, kept)) << Describe(set);
    }
  }
}

// ---------------------------------------------------------------------------
// Both ways of testing coverage on systems large enough to switch mid-pass

// Larger systems of different shapes: blocks of 27, 64 (two signs on every
// match), 36 and 24 rows with several matches beyond them.
TEST(CoverTests, AgreeOnLargerSystemsWhereMarkingTakesOverMidPass) {
  const std::vector<CouponState> coupons = {
      MakeCoupon(kStryktipset, {"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1",
                                "X", "2", "1"}),
      MakeCoupon(kEuropatipset,
                 {"1X", "X2", "12", "1X", "X2", "12", "1X", "X2", "12", "1X", "X2", "12", "1"}),
      MakeCoupon(kStryktipset,
                 {"1X2", "1X", "1X2", "12", "1X", "X2", "1X2", "1", "1X2", "X2", "1", "12", "2"}),
      MakeCoupon(kSupertoto, {"1X", "X2", "12", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X", "2",
                              "X", "1", "1X2"}),
  };
  for (const CouponState& state : coupons) {
    const RowSet set = Generate(state);
    for (int threshold : {8, 10, 12}) {
      for (bool reversed : {false, true}) {
        detail::GreedySelection scan(set, reversed, CoverTest::kScanKept);
        detail::GreedySelection mark(set, reversed, CoverTest::kMarkNeighbourhood);
        detail::GreedySelection automatic(set, reversed, CoverTest::kAuto);
        scan.ReductionPass(threshold);
        mark.ReductionPass(threshold);
        automatic.ReductionPass(threshold);
        EXPECT_EQ(scan.kept(), mark.kept()) << Describe(set) << " threshold " << threshold;
        EXPECT_EQ(automatic.kept(), mark.kept()) << Describe(set) << " threshold " << threshold;
        if (threshold == 12) {
          EXPECT_TRUE(automatic.marking());
          EXPECT_FALSE(scan.marking());
        }
      }
    }
    // Passes carried on from each other, the switch happening in one of them.
    for (bool reversed : {false, true}) {
      const auto target = static_cast<int32_t>(set.size() / 3);
      const ReductionResult scan =
          *detail::ReduceToRowCount(set, target, reversed, CoverTest::kScanKept);
      const ReductionResult mark =
          *detail::ReduceToRowCount(set, target, reversed, CoverTest::kMarkNeighbourhood);
      const ReductionResult automatic =
          *detail::ReduceToRowCount(set, target, reversed, CoverTest::kAuto);
      EXPECT_EQ(scan.kept, mark.kept);
      EXPECT_EQ(automatic.kept, mark.kept);
      EXPECT_EQ(automatic.lastThreshold, mark.lastThreshold);
    }
  }
}

// ---------------------------------------------------------------------------
// Progress

struct RecordingListener : Progress {
  std::vector<int> passes;
  std::vector<int64_t> examined;
  std::vector<int64_t> accepted;
  void PassStarted(int threshold) override { passes.push_back(threshold); }
  void CandidatesExamined(int64_t count) override { examined.push_back(count); }
  void RowsAccepted(int64_t count) override { accepted.push_back(count); }
};

TEST(ReductionProgress, ReportsPassesCandidatesAndAcceptedRowsCoarsely) {
  const RowSet set =
      Generate(MakeCoupon(kStryktipset, {"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2",
                                         "1X2", "1X2", "1", "1", "1"}));
  RecordingListener listener;
  const ReductionResult result = *ReduceToRowCount(set, 2000, false, Work{{}, &listener});
  ASSERT_FALSE(listener.passes.empty());
  std::vector<int> expectedPasses(listener.passes.size());
  std::iota(expectedPasses.begin(), expectedPasses.end(), 4);
  EXPECT_EQ(listener.passes, expectedPasses);
  EXPECT_EQ(listener.passes.back(), result.lastThreshold);
  EXPECT_EQ(listener.examined.back(), result.examinedInLastPass);
  EXPECT_EQ(listener.accepted.back(), 2000);
  EXPECT_TRUE(std::is_sorted(listener.accepted.begin(), listener.accepted.end()));
  EXPECT_EQ(std::adjacent_find(listener.accepted.begin(), listener.accepted.end()),
            listener.accepted.end());
  // Far fewer reports than candidates: a few per pass of 59,049.
  EXPECT_LT(listener.examined.size(), listener.passes.size() * 20);

  RecordingListener single;
  const ReductionResult guarantee = *ReduceToGuarantee(set, 11, true, Work{{}, &single});
  EXPECT_EQ(single.passes, std::vector<int>{11});
  EXPECT_EQ(single.examined.back(), set.size());
  EXPECT_EQ(single.accepted.back(), static_cast<int64_t>(guarantee.kept.size()));
}

// ---------------------------------------------------------------------------
// Stopping

// Stops the work once the fraction done reaches `at`, and records every fraction.
struct StopAt final : Progress {
  explicit StopAt(double at) : at(at) {}
  void Fraction(double done) override {
    fractions.push_back(done);
    if (done >= at) stop.RequestStop();
  }
  // The passes go on to `stages`, when there is one.
  void PassStarted(int threshold) override {
    if (stages != nullptr) stages->PassStarted(threshold);
  }
  Progress* stages = nullptr;
  Work AsWork() { return Work{StopToken(stop), this}; }
  double at;
  StopSource stop;
  std::vector<double> fractions;
};

TEST(ReductionStop, AStopReachesEveryPassAndLeavesNoResult) {
  const RowSet set =
      Generate(MakeCoupon(kStryktipset, {"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2",
                                         "1X2", "1X2", "1", "1", "1"}));
  for (const CoverTest test :
       {CoverTest::kAuto, CoverTest::kScanKept, CoverTest::kMarkNeighbourhood}) {
    SCOPED_TRACE(static_cast<int>(test));
    StopAt before(0.0);
    before.stop.RequestStop();
    EXPECT_FALSE(detail::ReduceToGuarantee(set, 11, false, test, before.AsWork()));
    EXPECT_FALSE(detail::ReduceToRowCount(set, 2000, false, test, before.AsWork()));

    // Raised while a pass runs: the row count's later passes run no further.
    RecordingListener stages;
    StopAt halfway(0.3);
    halfway.stages = &stages;
    EXPECT_FALSE(detail::ReduceToRowCount(set, 2000, false, test, halfway.AsWork()));
    EXPECT_FALSE(halfway.fractions.empty());
    EXPECT_LT(halfway.fractions.back(), 1.0);
    const size_t passesWhenStopped = stages.passes.size();
    EXPECT_LT(passesWhenStopped, 9u);

    // Never raised: the same rows as without a Work, fractions rising to 1.
    StopAt never(2.0);
    const std::optional<ReductionResult> full =
        detail::ReduceToRowCount(set, 2000, false, test, never.AsWork());
    ASSERT_TRUE(full);
    EXPECT_EQ(full->kept, detail::ReduceToRowCount(set, 2000, false, test)->kept);
    EXPECT_TRUE(std::is_sorted(never.fractions.begin(), never.fractions.end()));
    EXPECT_EQ(never.fractions.back(), 1.0);
  }
}

}  // namespace
}  // namespace spelkub
