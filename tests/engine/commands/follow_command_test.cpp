// "Följ kupongen" as the command both front ends run: what it needs of the
// coupon, its figures for machines, and its report.
#include "commands/follow_command.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

#include "coupon/games.h"
#include "value/match_values.h"

namespace spelkub {
namespace {

// Stryktipset with every match's chances and streck given, and a turnover.
ValueInput Stryktipset() {
  ValueInput input;
  input.game = kStryktipset;
  input.pool = PoolModelOf(Rules(kStryktipset));
  input.pool.turnover = 20'000'000;
  for (int m = 0; m < 13; ++m) {
    input.values.match[m].chance = {50, 30, 20};
    input.values.match[m].streck = {60, 25, 15};
  }
  return input;
}

FollowResults Results(std::string_view text) {
  std::string error;
  auto results = ParseFollowResults(text, 13, &error);
  EXPECT_TRUE(results) << error;
  return *results;
}

std::map<std::string, std::string> FigureMap(const FollowOutcome& outcome) {
  std::map<std::string, std::string> figures;
  for (const ValueFigure& figure : outcome.figures) {
    if (figure.key == "alive") continue;
    figures[figure.key] = figure.numeric ? MachineNumber(figure.number) : figure.raw;
  }
  return figures;
}

// 3^4 rows: matches 1-4 full, the rest "1".
std::vector<PackedRow> FullOnFour() {
  std::vector<PackedRow> rows;
  for (int i = 0; i < 81; ++i) {
    PackedRow row = 0;
    int index = i;
    for (int m = 0; m < 4; ++m, index /= 3) row |= PackedRow(index % 3) << (2 * m);
    rows.push_back(row);
  }
  return rows;
}

TEST(FollowCommand, DecidedMatchesNeedNoChances) {
  ValueInput input = Stryktipset();
  for (int m = 0; m < 7; ++m) input.values.match[m].chance = kNoSignValues;
  const FollowOutcome outcome =
      RunFollowCommand(input, FullOnFour(), Results("1X2 1 111 ??? ??? "));
  ASSERT_TRUE(outcome.report) << outcome.model.refusal;
  EXPECT_EQ(outcome.report->open, 6);
  EXPECT_EQ(outcome.report->outcomes, 729);
  // Matches 1-4 decided 1, X, 2, 1: one row has them all.
  EXPECT_EQ(outcome.report->aliveTotal, 1);
  EXPECT_EQ(outcome.report->bestPossible, 13);

  // An open match without chances is refused, naming it.
  const FollowOutcome refused =
      RunFollowCommand(input, FullOnFour(), Results("1X2 1 11? ??? ??? "));
  EXPECT_FALSE(refused.report);
  EXPECT_EQ(refused.model.refusal, "Chans: match 7 saknar värde för 1");
}

TEST(FollowCommand, RefusesWhatIsMissing) {
  EXPECT_EQ(RunFollowCommand(Stryktipset(), {}, Results("?????????????")).model.refusal,
            "Det finns inga rader att följa");
  ValueInput input = Stryktipset();
  input.pool.turnover = kNoValue;
  const FollowOutcome outcome = RunFollowCommand(input, FullOnFour(), Results("?????????????"));
  EXPECT_EQ(outcome.model.gap, ValueGap::kTurnover);
  EXPECT_FALSE(outcome.report);
}

TEST(FollowCommand, FiguresAreTheReportsNumbers) {
  const FollowResults results = Results("1 X 2 ? 1? L 1 1 1 1 1 ? ?");
  const FollowOutcome outcome = RunFollowCommand(Stryktipset(), FullOnFour(), results);
  ASSERT_TRUE(outcome.report);
  const FollowReport& report = *outcome.report;
  const auto figures = FigureMap(outcome);
  EXPECT_EQ(figures.at("rows"), "81");
  EXPECT_EQ(figures.at("open"), "5");
  EXPECT_EQ(figures.at("expected_win_kr"), MachineNumber(report.expectedWin));
  EXPECT_EQ(figures.at("p13"), MachineNumber(report.levels[0].chanceAtLeast));
  EXPECT_EQ(figures.at("p12plus"), MachineNumber(report.levels[1].chanceAtLeast));
  EXPECT_EQ(figures.at("payout_per_row13_kr"), MachineNumber(report.levels[0].payoutPerRow));
  EXPECT_EQ(figures.at("match1_state"), "1");
  EXPECT_EQ(figures.at("match4_state"), "open");
  EXPECT_EQ(figures.at("match5_state"), "playing_1");
  EXPECT_EQ(figures.at("match6_state"), "cancelled");
  EXPECT_EQ(figures.count("match1_root_for"), 0u);
  EXPECT_EQ(figures.at("match4_root_for"),
            RootForText(report.match[3].rootFor) == "spelar ingen roll"
                ? "none"
                : RootForText(report.match[3].rootFor));
  // Match 5 stands at 1 now: "as now" has it so.
  EXPECT_EQ(figures.at("now_outcome")[4], '1');
  int alive = 0;
  for (const ValueFigure& figure : outcome.figures) alive += figure.key == "alive";
  EXPECT_EQ(alive, report.alive.size());
  EXPECT_EQ(figures.at("alive_total"), std::to_string(report.aliveTotal));
}

TEST(FollowCommand, ReportCapsTheRowsAlive) {
  // Nothing decided among matches 1-4: all 81 rows are alive.
  const FollowOutcome outcome =
      RunFollowCommand(Stryktipset(), FullOnFour(), Results("???? 1 1 1 1 1 1 1 1 1"));
  ASSERT_TRUE(outcome.report);
  EXPECT_EQ(outcome.report->aliveTotal, 81);
  EXPECT_EQ(outcome.report->alive.size(), kAliveShown);
  EXPECT_NE(outcome.reportText.find("Levande rader för 13 rätt (visar 30 av 81):"),
            std::string::npos)
      << outcome.reportText;
  EXPECT_NE(outcome.reportText.find("Match 5: avgjord 1"), std::string::npos);
  EXPECT_NE(outcome.reportText.find("Match 1: öppen"), std::string::npos);
  // Matches 1-4 open: each row needs its own four signs, the rest is decided.
  EXPECT_NE(outcome.reportText.find("behöver 1111.........  chans"), std::string::npos)
      << outcome.reportText;
  EXPECT_EQ(ShownOfText(30, 30), "30");
  EXPECT_EQ(ShownOfText(30, 1184), "visar 30 av 1 184");
}

TEST(FollowCommand, TextsOfTheMatchStates) {
  EXPECT_EQ(MatchStateText({MatchState::kOpen, -1}), "öppen");
  EXPECT_EQ(MatchStateText({MatchState::kPlaying, 1}), "pågår, X nu");
  EXPECT_EQ(MatchStateText({MatchState::kDecided, 2}), "avgjord 2");
  EXPECT_EQ(MatchStateText({MatchState::kCancelled, -1}), "inställd, lottas");
  EXPECT_EQ(RootForText(-1), "spelar ingen roll");
}

}  // namespace
}  // namespace spelkub
