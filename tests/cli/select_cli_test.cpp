// --select through the companion in-process: the report's figures against
// --value of the rows it wrote, the guarantee against a brute force over the
// outcomes, the budget in rows and kronor, the conditions, the spread, the
// refusals, and the same rows on every run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/rader.h"
#include "commands/value_command.h"
#include "coupon/games.h"
#include "support/companion_run.h"
#include "support/temp_folder.h"
#include "support/value_inputs.h"
#include "text/coupon_reader.h"

namespace spelkub {
namespace {

using testing::RunCompanion;
using testing::TempFolder;

// "45 30 25, ..." as typed.
std::string NumbersText(const MatchValues& values, int matches, bool chances) {
  std::string text;
  for (int m = 0; m < matches; ++m) {
    for (const double value : chances ? values.match[m].chance : values.match[m].streck)
      text += MachineNumber(value) + " ";
  }
  return text;
}

// Per key the cells of a tab-separated report.
std::map<std::string, std::vector<std::string>> TsvTable(const std::string& text) {
  std::map<std::string, std::vector<std::string>> table;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> cells;
    std::istringstream fields(line);
    std::string cell;
    while (std::getline(fields, cell, '\t')) cells.push_back(cell);
    if (cells.empty()) continue;
    const std::string key = cells.front();
    cells.erase(cells.begin());
    table[key] = cells;
  }
  return table;
}

std::vector<PackedRow> RowsOfFile(const std::string& path) {
  const ReadResult read = ReadCouponFile(path);
  EXPECT_TRUE(read.coupon.has_value()) << read.error;
  return read.coupon ? read.coupon->rows : std::vector<PackedRow>{};
}

int Distance(PackedRow a, PackedRow b, int n) {
  int d = 0;
  for (int m = 1; m <= n; ++m) d += PackedOutcome(a, m) != PackedOutcome(b, m);
  return d;
}

class SelectCliTest : public ::testing::Test {
 protected:
  // A coupon of 13 matches, the first `free` with all three signs, the rest
  // one; random values and pool.
  void Prepare(uint32_t seed, int free) {
    input = testing::RandomValueInput(seed, kStryktipset);
    marks.clear();
    for (int m = 0; m < 13; ++m) marks.push_back(m < free ? "1X2" : "1");
  }
  std::vector<std::string> Args(std::vector<std::string> options) const {
    options.insert(options.end(), {"--chances", NumbersText(input.values, 13, true), "--streck",
                                   NumbersText(input.values, 13, false), "--turnover",
                                   MachineNumber(input.pool.turnover)});
    options.insert(options.end(), marks.begin(), marks.end());
    return options;
  }
  std::string Path(const std::string& name) const { return (folder.path() / name).string(); }

  TempFolder folder{"select_cli"};
  ValueInput input;
  std::vector<std::string> marks;
};

TEST_F(SelectCliTest, ReportedFiguresAreTheValueOfTheRowsWritten) {
  for (const std::string objective : {"p13", "p11", "p10"}) {
    SCOPED_TRACE(objective);
    Prepare(11, 7);
    const std::string rows = Path("rader-" + objective + ".txt");
    const auto selected =
        RunCompanion(Args({"--select", objective, "--budget", "40", "--tsv", "-o", rows}));
    ASSERT_EQ(selected.status, 0) << selected.err;
    const auto report = TsvTable(selected.out);
    ASSERT_EQ(report.at("key"), (std::vector<std::string>{"chosen", "greedy", "top"}));
    EXPECT_EQ(RowsOfFile(rows).size(), 40u);
    const std::vector<std::string> value = [&] {
      std::vector<std::string> args{"--value",    rows,
                                    "--chances",  NumbersText(input.values, 13, true),
                                    "--streck",   NumbersText(input.values, 13, false),
                                    "--turnover", MachineNumber(input.pool.turnover),
                                    "--tsv"};
      return args;
    }();
    const auto valued = RunCompanion(value);
    ASSERT_EQ(valued.status, 0) << valued.err;
    const auto exact = TsvTable(valued.out);
    for (const std::string key : {"rows", "p13", "p12plus", "p11plus", "p10plus",
                                  "expected_return_kr", "return_ore_per_row"}) {
      SCOPED_TRACE(key);
      const double reported = std::strtod(report.at(key).at(0).c_str(), nullptr);
      const double truth = std::strtod(exact.at(key).at(0).c_str(), nullptr);
      EXPECT_NEAR(reported, truth, 1e-9 * std::max(1.0, std::abs(truth)));
    }
    // The objective's own figure is at least that of "Antal Rader"'s rows.
    const std::string key = objective == "return" ? "expected_return_kr"
                            : objective == "p13"  ? "p13"
                                                  : objective + "plus";
    EXPECT_GE(std::strtod(report.at(key).at(0).c_str(), nullptr),
              std::strtod(report.at(key).at(1).c_str(), nullptr));
  }
}

// Every game: what --select reports of the rows it wrote is --value of them,
// figure by figure, for E(S) and the lowest level's chance, and with
// Topptipset's stake of 5 kr a row on both sides.
TEST(SelectCliGames, ReportedFiguresAreTheValueOfTheRowsWrittenInEveryGame) {
  TempFolder folder{"select_cli_games"};
  const struct {
    int32_t game;
    const char* option;
    int free;  // matches with all three signs, the first ones
    std::vector<std::string> extra;
  } games[] = {{kStryktipset, "stryktipset", 8, {}},
               {kSupertoto, "supertoto", 8, {}},
               {kTopptipset, "topptipset", 8, {"--stake", "5"}}};
  for (const auto& game : games) {
    const int matches = Rules(game.game).matches;
    const ValueInput input = testing::RandomValueInput(31 + game.game, game.game);
    std::vector<std::string> values{"--game",     game.option,
                                    "--chances",  NumbersText(input.values, matches, true),
                                    "--streck",   NumbersText(input.values, matches, false),
                                    "--turnover", MachineNumber(input.pool.turnover)};
    values.insert(values.end(), game.extra.begin(), game.extra.end());
    std::vector<std::string> marks;
    for (int m = 0; m < matches; ++m) marks.push_back(m < game.free ? "1X2" : "1");
    std::vector<std::string> objectives{"return"};
    for (const int right : {matches, matches - 3})
      objectives.push_back(std::string(1, 'p').append(std::to_string(right)));
    for (const std::string& objective : objectives) {
      SCOPED_TRACE(std::string(game.option).append(" ").append(objective));
      const std::string rows = (folder.path() / objective).string();
      std::vector<std::string> select{"--select", objective, "--budget", "60", "--tsv", "-o", rows};
      select.insert(select.end(), values.begin(), values.end());
      select.insert(select.end(), marks.begin(), marks.end());
      const auto selected = RunCompanion(select);
      ASSERT_EQ(selected.status, 0) << selected.err;
      const auto report = TsvTable(selected.out);
      EXPECT_EQ(RowsOfFile(rows).size(), 60u);
      std::vector<std::string> value{"--value", rows, "--tsv"};
      value.insert(value.end(), values.begin() + 2, values.end());  // the file names the game
      const auto valued = RunCompanion(value);
      ASSERT_EQ(valued.status, 0) << valued.err;
      const auto exact = TsvTable(valued.out);
      int compared = 0;
      for (const auto& [key, cells] : exact) {
        if (key == "likeliest" || key.starts_with("likeliest_payout") || key.starts_with("scaled"))
          continue;
        SCOPED_TRACE(key);
        ASSERT_TRUE(report.contains(key));
        const double reported = std::strtod(report.at(key).at(0).c_str(), nullptr);
        const double truth = std::strtod(cells.at(0).c_str(), nullptr);
        EXPECT_NEAR(reported, truth, 1e-9 * std::max(1.0, std::abs(truth)));
        ++compared;
      }
      // Rows, cost, each paid level's chance (Topptipset pays 8 right only),
      // E(S), öre per row.
      EXPECT_EQ(compared, game.game == kTopptipset ? 5 : 8);
      if (!game.extra.empty()) {
        EXPECT_EQ(report.at("cost_kr").at(0), "300");
      }
    }
  }
}

TEST_F(SelectCliTest, GuaranteeHoldsOverEveryOutcomeAndStartsFromACover) {
  Prepare(12, 6);
  const std::string rows = Path("garanti.txt");
  const auto selected = RunCompanion(
      Args({"--select", "p12", "--budget", "80", "--guarantee", "12", "--tsv", "-o", rows}));
  ASSERT_EQ(selected.status, 0) << selected.err;
  const auto report = TsvTable(selected.out);
  EXPECT_EQ(report.at("guarantee").at(0), "12");
  EXPECT_GT(std::stoi(report.at("cover_rows").at(0)), 0);
  const std::vector<PackedRow> written = RowsOfFile(rows);
  ASSERT_EQ(written.size(), 80u);  // six free matches need 73 rows for 12 right
  // Every outcome of the six free matches has a row at most one match away.
  for (int64_t y = 0; y < 729; ++y) {
    PackedRow outcome = 0;
    for (int m = 0, rest = static_cast<int>(y); m < 6; ++m, rest /= 3)
      outcome |= static_cast<PackedRow>(rest % 3) << (2 * m);
    int nearest = 13;
    for (const PackedRow row : written) nearest = std::min(nearest, Distance(row, outcome, 13));
    EXPECT_LE(nearest, 1) << y;
  }
}

TEST_F(SelectCliTest, ABudgetThatHoldsNoCoverIsRefusedWithTheSmallestCover) {
  Prepare(13, 6);
  const auto selected =
      RunCompanion(Args({"--select", "p12", "--budget", "5", "--guarantee", "12"}));
  EXPECT_EQ(selected.status, 1);
  EXPECT_NE(selected.err.find("Budgeten räcker inte till garantin 12 rätt: den minsta täckningen "
                              "har "),
            std::string::npos)
      << selected.err;
  EXPECT_TRUE(selected.out.empty());
}

TEST_F(SelectCliTest, BudgetInKronorBuysWholeRowsAndConditionsAndSpreadHold) {
  Prepare(14, 6);
  const std::string rows = Path("kronor.txt");
  const auto selected = RunCompanion(Args({"--select", "p11", "--budget", "25,50kr", "--condition",
                                           "kryss 0-2", "--min-distance", "3", "-o", rows}));
  ASSERT_EQ(selected.status, 0) << selected.err;
  const std::vector<PackedRow> written = RowsOfFile(rows);
  EXPECT_EQ(written.size(), 25u);  // a row costs 1 kr
  for (size_t i = 0; i < written.size(); ++i) {
    int draws = 0;
    for (int m = 1; m <= 13; ++m) draws += PackedOutcome(written[i], m) == 1;
    EXPECT_LE(draws, 2);
    for (size_t j = 0; j < i; ++j) EXPECT_GE(Distance(written[i], written[j], 13), 3);
  }
  EXPECT_NE(selected.err.find("Minst 3 tecken skiljer två rader."), std::string::npos);
  EXPECT_NE(selected.err.find("Villkor:"), std::string::npos);
}

TEST_F(SelectCliTest, SameRowsOnEveryRun) {
  Prepare(15, 7);
  const auto first = RunCompanion(Args({"--select", "p11", "--budget", "30"}));
  const auto second = RunCompanion(Args({"--select", "p11", "--budget", "30"}));
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out, second.out);
  EXPECT_EQ(first.err, second.err);
}

TEST_F(SelectCliTest, MalformedOptionsAreRefusedWithExitTwo) {
  Prepare(16, 3);
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"--select", "p9", "--budget", "5"}, "--select tar return, p13, p12, p11 eller p10"},
      {{"--select", "return"}, "--select kräver --budget"},
      {{"--budget", "5"}, "--budget och --min-distance kräver --select"},
      {{"--select", "return", "--budget", "0"}, "--budget tar ett antal rader"},
      {{"--select", "return", "--budget", "fem"}, "--budget tar ett antal rader"},
      {{"--select", "return", "--budget", "5", "--tsv"}, "ange -o FILE för raderna"},
      {{"--select", "return", "--budget", "5", "--min-distance", "x"}, "--min-distance tar"},
      {{"--select", "return", "--budget", "5", "--rows", "3"}, "--select tar bara"},
      {{"--select", "return", "--budget", "5", "--stake", "2"},
       "--stake 2: Stryktipset spelas bara med insatsen 1 kr per rad"},
  };
  for (const auto& c : cases) {
    const auto run = RunCompanion(Args(c.args));
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
}

}  // namespace
}  // namespace spelkub
