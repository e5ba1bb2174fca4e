// Topptipset in its products, through the engine end to end: the rows of a
// marked system, the hand-in files with draw and stake, the reductions'
// guarantees and the value figures, each against a plain brute force over
// every outcome of the 8 matches.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "check/analysis.h"
#include "check/grading.h"
#include "commands/generate_command.h"
#include "commands/optimize_command.h"
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

constexpr int kMatches = 8;
constexpr int kOutcomes = 6561;  // 3^8

constexpr int32_t kProducts[] = {kTopptipset, kTopptipsetStryk, kTopptipsetExtra,
                                 kTopptipsetEuropa};

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

// Matches 1, 4 and 7 full, 2 and 5 half, the rest single.
CouponState MarkedCoupon(int32_t game) {
  CouponState state;
  state.Game = game;
  const char* marks[kMatches] = {"1X2", "1X", "2", "1X2", "X2", "1", "1X2", "X"};
  for (int m = 1; m <= kMatches; ++m) {
    for (const char* sign = marks[m - 1]; *sign != '\0'; ++sign) {
      state.Marks[CellIndex(m, SignOutcome(*sign))] = 1;
    }
  }
  return state;
}

// Every outcome whose signs are all marked, match 1 turning fastest.
std::vector<PackedRow> BruteForceSystem(const CouponState& state) {
  std::vector<PackedRow> rows;
  for (int index = 0; index < kOutcomes; ++index) {
    const PackedRow row = OutcomeRow(index);
    bool marked = true;
    for (int m = 1; m <= kMatches; ++m)
      marked &= state.Marks[CellIndex(m, PackedOutcome(row, m))] != 0;
    if (marked) rows.push_back(row);
  }
  // The outcome order above turns match 1 fastest too, so it is the odometer's.
  return rows;
}

std::string Line(PackedRow row) {
  std::string line = "E";
  for (int m = 1; m <= kMatches; ++m) line += std::string(",") + OutcomeSign(PackedOutcome(row, m));
  return line;
}

TEST(Topptipset, TheTableGivesEightMatchesOneLevelAndTheStakes) {
  for (const int32_t game : kProducts) {
    const GameRules& rules = Rules(game);
    SCOPED_TRACE(rules.name);
    EXPECT_EQ(rules.matches, kMatches);
    EXPECT_EQ(RowLineLength(rules), 17);
    EXPECT_FALSE(rules.plus13);
    EXPECT_FALSE(rules.inGameSelector);
    EXPECT_EQ(rules.minGuarantee, 4);
    EXPECT_EQ(rules.maxGuarantee, 8);
    EXPECT_DOUBLE_EQ(rules.payoutShare, 0.70);
    ASSERT_EQ(rules.prizeLevels.size(), 1u);
    EXPECT_EQ(rules.prizeLevels[0].right, 8);
    EXPECT_DOUBLE_EQ(rules.prizeLevels[0].share, 1.0);
    for (const int stake : {1, 2, 5, 10}) EXPECT_TRUE(TakesStake(rules, stake));
    for (const int stake : {0, 3, 4, 20}) EXPECT_FALSE(TakesStake(rules, stake));
  }
  // The three specified games keep "Välj spel:" to themselves.
  ASSERT_EQ(SelectorGames().size(), 3u);
  EXPECT_EQ(SelectorGames()[2].game, kSupertoto);
}

TEST(Topptipset, GenerationWritesEveryMarkedRowAsAnERow) {
  for (const int32_t game : kProducts) {
    const CouponState state = MarkedCoupon(game);
    SCOPED_TRACE(Rules(game).name);
    ASSERT_FALSE(ValidateCoupon(state, kPlus13No));
    const RowSet set = GenerateFullSystem(state, kPlus13No);
    const std::vector<PackedRow> expected = BruteForceSystem(state);
    ASSERT_EQ(set.rows, expected);
    EXPECT_EQ(set.header, std::string(Rules(game).name) + "\r\n");

    std::string text = set.header;
    for (const PackedRow row : expected) text += Line(row) + "\r\n";
    EXPECT_EQ(CouponText(set), text);

    const ReadResult read = ReadCouponText(text);
    ASSERT_TRUE(read.coupon) << read.error;
    EXPECT_EQ(read.coupon->game, game);
    EXPECT_EQ(read.coupon->headerForm, HeaderForm::kGenerated);
    EXPECT_EQ(read.coupon->rows, expected);
  }
}

TEST(Topptipset, HandInHeaderCarriesProductDrawAndStake) {
  const std::vector<PackedRow> rows = testing::RandomRows(88, kMatches, 30);
  std::string lines;
  for (const PackedRow row : rows) lines += Line(row) + "\r\n";
  const struct {
    int32_t game;
    std::string header;
  } cases[] = {
      {kTopptipset, "Topptipset,Omg=2841,Insats=5"},
      {kTopptipsetStryk, "Topptipset,Stryk,Omg=2841,Insats=5"},
      {kTopptipsetExtra, "Topptipset,Omg=2841,Insats=5"},
      {kTopptipsetEuropa, "Topptipset,Europa,Omg=2841,Insats=5"},
  };
  for (const auto& [game, header] : cases) {
    SCOPED_TRACE(header);
    const std::string text = HandInText(Rules(game), {.draw = 2841, .stake = 5}, rows);
    EXPECT_EQ(text, header + "\r\n" + lines);
    const ReadResult read = ReadCouponText(text);
    ASSERT_TRUE(read.coupon) << read.error;
    EXPECT_EQ(read.coupon->headerForm, HeaderForm::kHandIn);
    EXPECT_EQ(Rules(read.coupon->game).handInVariant, Rules(game).handInVariant);
    EXPECT_EQ(read.coupon->draw, 2841);
    EXPECT_EQ(read.coupon->stake, 5);
    EXPECT_EQ(read.coupon->rows, rows);
  }
}

TEST(Topptipset, HandInRefusesAMissingDrawAndAStakeItDoesNotTake) {
  const GameRules& rules = Rules(kTopptipsetStryk);
  const std::vector<PackedRow> rows = testing::RandomRows(3, kMatches, 2);
  EXPECT_EQ(HandInTicketProblem(rules, {}), "Ange omgången för Topptipset Stryk.");
  EXPECT_EQ(HandInTicketProblem(rules, {.draw = 12, .stake = 3}),
            "Topptipset Stryk tar insatsen 1, 2, 5 eller 10 kr per rad.");
  EXPECT_EQ(HandInTicketProblem(rules, {.draw = 1000000, .stake = 1}),
            "Omgången ska vara ett heltal från 1 till 999999.");
  EXPECT_THROW(HandInText(rules, {.draw = 0, .stake = 1}, rows), HandInRefused);
  EXPECT_THROW(HandInText(Rules(kTopptipset), {}, rows), HandInRefused);  // no draw given
  // Stryktipset's form takes no ticket and ignores one.
  EXPECT_EQ(HandInTicketProblem(Rules(kStryktipset), {}), "");
  // A header the reader does not take: a stake Topptipset has not, a zero draw.
  for (const std::string header :
       {"Topptipset,Omg=12,Insats=3", "Topptipset,Omg=0,Insats=1", "Topptipset,Stryk,Omg=12"}) {
    const ReadResult read = ReadCouponText(header + "\r\nE,1,1,1,1,1,1,1,1\r\n");
    EXPECT_FALSE(read.coupon) << header;
    EXPECT_EQ(read.error, "Rad 1: okänd rubrik \"" + header + "\"");
  }
}

// Every guarantee 4..8 by both greedy orders: each outcome of the system has a
// kept row with at least that many right, checked outcome by outcome.
TEST(Topptipset, GuaranteeReductionsCoverEveryOutcome) {
  CouponState state = MarkedCoupon(kTopptipset);
  const RowSet set = GenerateFullSystem(state, kPlus13No);
  for (int level = 4; level <= 8; ++level) {
    for (const bool reversed : {false, true}) {
      const ReductionResult result = *ReduceToGuarantee(set, level, reversed);
      int least = kMatches;
      for (const PackedRow outcome : set.rows) {
        int best = 0;
        for (const uint32_t kept : result.kept)
          best = std::max(best, Right(outcome, set.rows[kept]));
        least = std::min(least, best);
      }
      EXPECT_GE(least, level) << "level " << level << (reversed ? " reversed" : "");
    }
  }
  // The command refuses levels the game does not take, with the window's message.
  state.Reduction = kReductionGuarantee;
  state.GuaranteeLevel = 9;
  const auto failure = ValidateCoupon(state, kPlus13No);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->check, 16);
  state.GuaranteeLevel = 8;
  EXPECT_FALSE(ValidateCoupon(state, kPlus13No));
}

TEST(Topptipset, OptimizedCoverIsVerifiedAndAnalysedAlike) {
  const CouponState state = MarkedCoupon(kTopptipsetExtra);
  const GuaranteeChoice choice = OptimizeGuarantees(state);
  EXPECT_EQ(choice.least, 4);
  EXPECT_EQ(choice.most, 8);
  const Refusable<OptimizeOutcome> outcome =
      RunOptimizeCommand(state, kPlus13No, 7, Effort::kQuick, Work{}, OnStop::kDiscard, 1);
  ASSERT_TRUE(outcome.value) << outcome.refusal.text;
  const std::vector<PackedRow>& rows = outcome.value->rows.rows;
  EXPECT_EQ(outcome.value->rows.header, "Topptipset Extra\r\n");
  const std::vector<PackedRow> system = BruteForceSystem(state);
  std::array<int64_t, kMaxMatches + 1> byRight{};
  for (const PackedRow outcomeRow : system) {
    int best = 0;
    for (const PackedRow row : rows) best = std::max(best, Right(outcomeRow, row));
    EXPECT_GE(best, 7);
    ++byRight[static_cast<size_t>(best)];
  }
  const AnalysisReport report = AnalyseRows(ShapeOf(state), rows);
  EXPECT_EQ(report.matches, kMatches);
  EXPECT_EQ(report.guarantee, 7);
  EXPECT_EQ(report.outcomesByRight, byRight);
}

TEST(Topptipset, GradingCountsRightOverEightMatches) {
  const std::vector<PackedRow> rows = testing::RandomRows(808, kMatches, 200);
  std::string error;
  const auto results = ParseResults("1X2-1X21", kMatches, &error);
  ASSERT_TRUE(results) << error;
  const GradeReport report = GradeRows(rows, *results);
  std::array<int64_t, kMaxMatches + 1> byRight{};
  for (const PackedRow row : rows) {
    int right = 0;
    for (int m = 1; m <= kMatches; ++m) {
      const int sign = results->outcome[static_cast<size_t>(m - 1)];
      right += sign >= 0 && PackedOutcome(row, m) == sign;
    }
    ++byRight[static_cast<size_t>(right)];
  }
  EXPECT_EQ(report.decided, 7);
  EXPECT_EQ(report.rowsByRight, byRight);
}

// The value of a row set at each stake, against the sum over all 3^8
// outcomes: a row staked k times over counts k times in the pool, and 8
// right is the one paid level.
TEST(Topptipset, ValueFiguresAgreeWithTheBruteForceAtEveryStake) {
  for (const uint32_t seed : {7u, 71u}) {
    ValueInput input = testing::RandomValueInput(seed, kTopptipsetStryk);
    const std::vector<PackedRow> rows = testing::RandomRows(seed + 1, kMatches, 40);
    std::string error;
    const auto chance = ScaleValues(input.values, kMatches, ValueKind::kChance, &error);
    const auto streck = ScaleValues(input.values, kMatches, ValueKind::kStreck, &error);
    ASSERT_TRUE(chance && streck) << error;
    const double publicRows = input.pool.turnover / input.pool.rowPrice;
    for (const int stake : {1, 2, 5, 10}) {
      SCOPED_TRACE("seed " + std::to_string(seed) + ", stake " + std::to_string(stake));
      input.stake = stake;
      // The pot holds the others' stake and the player's 40 rows at the stake.
      const double pot = (input.pool.turnover + 40.0 * stake) * 0.70 + input.pool.jackpot;
      double expected = 0, anyEight = 0;
      for (int index = 0; index < kOutcomes; ++index) {
        const PackedRow y = OutcomeRow(index);
        double p = 1, q = 1;
        for (int m = 1; m <= kMatches; ++m) {
          p *= chance->probability[m - 1][PackedOutcome(y, m)];
          q *= streck->probability[m - 1][PackedOutcome(y, m)];
        }
        int own = 0;
        for (const PackedRow row : rows) own += row == y;
        if (own == 0) continue;
        anyEight += p;
        // A row staked k times over is k rows among the winners, who
        // besides are Poisson around the public's count.
        expected += p * ExpectedLevelWinBySum(pot, publicRows * q, int64_t{stake} * own, 0);
      }
      const SystemValueOutcome outcome = RunSystemValueCommand(input, rows);
      ASSERT_TRUE(outcome.value) << outcome.model.refusal;
      const SystemValue& value = *outcome.value;
      EXPECT_EQ(value.rows, 40);
      ASSERT_EQ(value.levels.size(), 1u);
      EXPECT_EQ(value.levels[0].right, 8);
      EXPECT_NEAR(value.levels[0].chanceAtLeast, anyEight, 1e-12);
      EXPECT_NEAR(value.expectedReturn, expected, 1e-9 * std::max(1.0, expected));
      EXPECT_NEAR(value.returnOrePerRow, expected / (40.0 * stake) * 100, 1e-9 * 100);
      EXPECT_EQ(outcome.figures[1].key, "cost_kr");
      EXPECT_DOUBLE_EQ(outcome.figures[1].number, 40.0 * stake);
    }
  }
}

}  // namespace
}  // namespace spelkub
