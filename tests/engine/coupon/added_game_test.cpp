// A game that exists only here, five matches with two paid levels, put in as
// a row of a table of its own: generation, both reductions, the value of a
// row set and the hand-in form run on it with nothing else to tell them, and
// agree with a plain brute force over its 3^5 outcomes.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "commands/generate_command.h"
#include "commands/value_command.h"
#include "coupon/games.h"
#include "coupon/validation.h"
#include "handin/handin.h"
#include "reduce/reduction.h"
#include "support/value_inputs.h"
#include "text/coupon_reader.h"
#include "text/coupon_text.h"
#include "value/pool_share.h"

namespace spelkub {
namespace {

constexpr int kMatches = 5;
constexpr int kOutcomes = 243;  // 3^5
constexpr int32_t kFemman = 9;

constexpr std::array<PrizeLevel, 2> kFemmanLevels{{{5, 0.6}, {4, 0.3}}};

constexpr std::array<GameRules, 2> kTable{{
    {.game = static_cast<GameType>(kFemman),
     .name = "Femman",
     .option = "femman",
     .matches = kMatches,
     .header = "Femman",
     .rowPrefixE = true,
     .handInProduct = "Femman",
     .handInVariant = "",
     .handInDrawAndStake = false,
     .plus13 = false,
     .inGameSelector = true,
     .minGuarantee = 3,
     .maxGuarantee = 5,
     .rowPrice = 2.0,
     .payoutShare = 0.5,
     .prizeLevels = kFemmanLevels,
     .minimumPayout = 0.0,
     .stakes = {}},
    kGames.front(),
}};

PackedRow OutcomeRow(int index) {
  PackedRow row = 0;
  for (int m = 0; m < kMatches; ++m, index /= 3) row |= PackedRow(index % 3) << (2 * m);
  return row;
}

int Right(PackedRow a, PackedRow b) {
  int right = 0;
  for (int m = 1; m <= kMatches; ++m) right += PackedOutcome(a, m) == PackedOutcome(b, m);
  return right;
}

std::string Line(PackedRow row) {
  std::string line = "E";
  for (int m = 1; m <= kMatches; ++m) line += std::string(",") + OutcomeSign(PackedOutcome(row, m));
  return line;
}

// Matches 1, 3 and 5 full, 2 "1X", 4 "2": 54 rows.
CouponState FemmanCoupon() {
  CouponState state;
  state.Game = kFemman;
  for (const int m : {1, 3, 5}) {
    for (int outcome = 0; outcome < 3; ++outcome) state.Marks[CellIndex(m, outcome)] = 1;
  }
  state.Marks[CellIndex(2, 0)] = state.Marks[CellIndex(2, 1)] = 1;
  state.Marks[CellIndex(4, 2)] = 1;
  return state;
}

std::vector<PackedRow> BruteForceSystem(const CouponState& state) {
  std::vector<PackedRow> rows;
  for (int index = 0; index < kOutcomes; ++index) {
    const PackedRow row = OutcomeRow(index);
    bool marked = true;
    for (int m = 1; m <= kMatches; ++m)
      marked &= state.Marks[CellIndex(m, PackedOutcome(row, m))] != 0;
    if (marked) rows.push_back(row);
  }
  return rows;
}

// The least right of the best kept row over the outcomes.
int GuaranteeOf(const std::vector<PackedRow>& outcomes, const std::vector<PackedRow>& kept) {
  int least = kMatches;
  for (const PackedRow outcome : outcomes) {
    int best = 0;
    for (const PackedRow row : kept) best = std::max(best, Right(outcome, row));
    least = std::min(least, best);
  }
  return least;
}

class AddedGame : public ::testing::Test {
 protected:
  detail::ScopedGameTable table_{kTable};
};

TEST_F(AddedGame, TheLookupsFindItInTheTable) {
  EXPECT_TRUE(IsGame(kFemman));
  EXPECT_EQ(Rules(kFemman).name, "Femman");
  EXPECT_EQ(GameOfOption("femman"), kFemman);
  EXPECT_FALSE(GameOfOption("topptipset"));  // the shipped table is out of play
  EXPECT_EQ(GameWithMatches(kMatches), kFemman);
  EXPECT_EQ(MostMatches(), 13);
  EXPECT_EQ(LowestGuarantee(), 3);
  EXPECT_EQ(ShortestRowLineBytes(), 2 + 2 * kMatches - 1 + 2);
  EXPECT_EQ(SelectorGames().size(), 2u);
}

TEST_F(AddedGame, GenerationAndTheReaderFollowTheTable) {
  CouponState state = FemmanCoupon();
  ASSERT_FALSE(ValidateCoupon(state, kPlus13No));
  EXPECT_EQ(SystemSize(state), 54);
  GenerateControls controls;
  controls.plus13 = kPlus13No;
  const GenerateOutcome outcome = RunGenerateCommand(state, controls);
  ASSERT_EQ(outcome.end, GenerateEnd::kGenerated);
  const std::vector<PackedRow> expected = BruteForceSystem(state);
  EXPECT_EQ(outcome.rows.rows, expected);

  std::string text = "Femman\r\n";
  for (const PackedRow row : expected) text += Line(row) + "\r\n";
  EXPECT_EQ(CouponText(outcome.rows), text);
  const ReadResult read = ReadCouponText(text);
  ASSERT_TRUE(read.coupon) << read.error;
  EXPECT_EQ(read.coupon->game, kFemman);
  EXPECT_EQ(read.coupon->rows, expected);
  // A 13-sign row does not pass among its rows.
  const ReadResult mixed = ReadCouponText("Femman\r\nE,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n");
  EXPECT_FALSE(mixed.coupon);
}

TEST_F(AddedGame, ReductionsGiveTheirGuaranteeOnEveryOutcome) {
  CouponState state = FemmanCoupon();
  const RowSet set = GenerateFullSystem(state, kPlus13No);
  for (int level = 3; level <= 5; ++level) {
    const ReductionResult result = *ReduceToGuarantee(set, level, false);
    std::vector<PackedRow> kept;
    for (const uint32_t index : result.kept) kept.push_back(set.rows[index]);
    EXPECT_GE(GuaranteeOf(set.rows, kept), level) << "level " << level;
  }
  // By row count: the thresholds rise to all five matches at most, and the
  // reported guarantee holds.
  for (const int target : {1, 5, 20, 54}) {
    const ReductionResult result = *ReduceToRowCount(set, target, false);
    ASSERT_EQ(result.kept.size(), static_cast<size_t>(target));
    EXPECT_LE(result.lastThreshold, kMatches);
    std::vector<PackedRow> kept;
    for (const uint32_t index : result.kept) kept.push_back(set.rows[index]);
    EXPECT_GE(GuaranteeOf(set.rows, kept), result.guarantee) << "target " << target;
  }
  // The command refuses a level beyond its five matches.
  state.Reduction = kReductionGuarantee;
  state.GuaranteeLevel = 6;
  ASSERT_TRUE(ValidateCoupon(state, kPlus13No));
}

TEST_F(AddedGame, ValueAgreesWithTheBruteForceOverEveryOutcome) {
  ValueInput input = testing::RandomValueInput(55, kFemman);
  const std::vector<PackedRow> rows = testing::RandomRows(56, kMatches, 12);
  std::string error;
  const auto chance = ScaleValues(input.values, kMatches, ValueKind::kChance, &error);
  const auto streck = ScaleValues(input.values, kMatches, ValueKind::kStreck, &error);
  ASSERT_TRUE(chance && streck) << error;
  const double publicRows = input.pool.turnover / 2.0;
  // The pots hold the others' stake and the player's own 12 rows at 2 kr.
  const double pool = (input.pool.turnover + 24.0) * 0.5;
  const double pot[2] = {pool * 0.6 + input.pool.jackpot, pool * 0.3};
  double expected = 0, atLeast[2] = {};
  for (int y = 0; y < kOutcomes; ++y) {
    const PackedRow outcome = OutcomeRow(y);
    double p = 1;
    for (int m = 1; m <= kMatches; ++m) p *= chance->probability[m - 1][PackedOutcome(outcome, m)];
    // The public's share of rows with exactly 5 and 4 right, row by row.
    double publicShare[2] = {};
    for (int r = 0; r < kOutcomes; ++r) {
      const PackedRow row = OutcomeRow(r);
      double q = 1;
      for (int m = 1; m <= kMatches; ++m) q *= streck->probability[m - 1][PackedOutcome(row, m)];
      const int right = Right(row, outcome);
      if (right >= 4) publicShare[kMatches - right] += q;
    }
    int own[2] = {};
    int best = 0;
    for (const PackedRow row : rows) {
      const int right = Right(row, outcome);
      best = std::max(best, right);
      if (right >= 4) ++own[kMatches - right];
    }
    for (int level = 0; level < 2; ++level) {
      if (best >= kMatches - level) atLeast[level] += p;
      // The others' winners are Poisson around the public's count.
      expected +=
          p * ExpectedLevelWinBySum(pot[level], publicRows * publicShare[level], own[level], 0);
    }
  }
  const SystemValueOutcome outcome = RunSystemValueCommand(input, rows);
  ASSERT_TRUE(outcome.value) << outcome.model.refusal;
  ASSERT_EQ(outcome.value->levels.size(), 2u);
  for (int level = 0; level < 2; ++level) {
    EXPECT_EQ(outcome.value->levels[level].right, kMatches - level);
    EXPECT_NEAR(outcome.value->levels[level].chanceAtLeast, atLeast[level], 1e-12);
  }
  EXPECT_NEAR(outcome.value->expectedReturn, expected, 1e-9 * expected);
  EXPECT_EQ(outcome.figures[1].key, "cost_kr");
  EXPECT_DOUBLE_EQ(outcome.figures[1].number, 24.0);  // 12 rows at 2 kr
}

TEST_F(AddedGame, HandInWritesItsProductAndRows) {
  const std::vector<PackedRow> rows = testing::RandomRows(5, kMatches, 7);
  std::string text = "Femman\r\n";
  for (const PackedRow row : rows) text += Line(row) + "\r\n";
  EXPECT_EQ(HandInText(Rules(kFemman), {}, rows), text);
  const ReadResult read = ReadCouponText(text);
  ASSERT_TRUE(read.coupon) << read.error;
  EXPECT_EQ(read.coupon->game, kFemman);
  EXPECT_EQ(read.coupon->rows, rows);
}

}  // namespace
}  // namespace spelkub
