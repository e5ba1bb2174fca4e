// spelkub_rader's value options in-process: --tsv against the engine's exact
// value, --row-values against each row's value, the report text the command
// makes, --coupon and --save-coupon round trips, and the refusals.
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
#include "document/coupon_document.h"
#include "support/companion_run.h"
#include "support/temp_folder.h"
#include "support/value_inputs.h"

namespace spelkub {
namespace {

using testing::RandomRows;
using testing::RandomValueInput;
using testing::RowsText;
using testing::TempFolder;

using Ran = testing::CompanionRun;
using testing::RunCompanion;

// "45 30 25 ..." as typed: the numbers of each match in the order 1, X, 2.
std::string NumbersText(const MatchValues& values, int matches, bool chances) {
  std::string text;
  for (int m = 0; m < matches; ++m) {
    for (const double value : chances ? values.match[m].chance : values.match[m].streck) {
      text += MachineNumber(value) + (m == 0 ? " " : ", ");
    }
  }
  return text;
}

std::map<std::string, std::string> TsvPairs(const std::string& text) {
  std::map<std::string, std::string> pairs;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t tab = line.find('\t');
    EXPECT_NE(tab, std::string::npos) << line;
    EXPECT_EQ(pairs.count(line.substr(0, tab)), 0u) << line;
    pairs[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return pairs;
}

double Number(const std::string& text) {
  return std::strtod(text.c_str(), nullptr);
}

class ValueCliTest : public ::testing::Test {
 protected:
  std::string WriteRows(int32_t game, const std::vector<PackedRow>& rows) {
    const std::string path = (folder.path() / "rader.txt").string();
    std::ofstream(path, std::ios::binary) << RowsText(game, rows);
    return path;
  }
  std::vector<std::string> ValueArgs(const std::string& command, const std::string& path,
                                     const ValueInput& input) {
    const int matches = Rules(input.game).matches;
    return {command,      path,
            "--chances",  NumbersText(input.values, matches, true),
            "--streck",   NumbersText(input.values, matches, false),
            "--turnover", MachineNumber(input.pool.turnover)};
  }
  TempFolder folder{"value_cli"};
};

TEST_F(ValueCliTest, TsvIsTheExactValueForEveryGame) {
  for (const GameRules& rules : kGames) {
    const uint32_t seed = 31 + static_cast<uint32_t>(rules.game);
    SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::string(rules.name));
    const ValueInput input = RandomValueInput(seed, rules.game);
    const std::vector<PackedRow> rows = RandomRows(seed, rules.matches, 250);
    std::vector<std::string> args = ValueArgs("--value", WriteRows(rules.game, rows), input);
    if (!rules.header.empty()) {
      args.push_back("--game");
      args.push_back(std::string(rules.option));
    }
    args.push_back("--tsv");
    const Ran ran = RunCompanion(args);
    ASSERT_EQ(ran.status, 0) << ran.err;

    const auto model = MakeValueModel(input.values, rules.matches, input.pool, nullptr);
    ASSERT_TRUE(model);
    const auto exact = ComputeSystemValue(*model, rows);
    ASSERT_TRUE(exact);
    std::map<std::string, std::string> pairs = TsvPairs(ran.out);
    EXPECT_EQ(pairs["rows"], "250");
    const std::string top = std::to_string(rules.matches);
    EXPECT_EQ(Number(pairs["p" + top]), exact->levels[0].chanceAtLeast);
    ASSERT_EQ(exact->levels.size(), rules.prizeLevels.size());
    for (size_t level = 1; level < rules.prizeLevels.size(); ++level) {
      const std::string key =
          std::string("p").append(std::to_string(rules.prizeLevels[level].right));
      EXPECT_EQ(Number(pairs[key + "plus"]), exact->levels[level].chanceAtLeast) << key;
    }
    EXPECT_EQ(Number(pairs["return_ore_per_row"]), exact->returnOrePerRow);
    EXPECT_EQ(Number(pairs["expected_return_kr"]), exact->expectedReturn);
    // At least nine significant digits: the text reads back to the same double.
    EXPECT_EQ(pairs["return_ore_per_row"], MachineNumber(exact->returnOrePerRow));
  }
}

TEST_F(ValueCliTest, TextIsTheCommandsReport) {
  const ValueInput input = RandomValueInput(77, kStryktipset);
  const std::vector<PackedRow> rows = RandomRows(77, 13, 64);
  const Ran ran = RunCompanion(ValueArgs("--value", WriteRows(kStryktipset, rows), input));
  ASSERT_EQ(ran.status, 0) << ran.err;
  // The numbers as typed go through text; the command sees the same doubles.
  EXPECT_EQ(ran.out, RunSystemValueCommand(input, rows).reportText);
  EXPECT_NE(ran.out.find("Vinstchans: "), std::string::npos);
}

TEST_F(ValueCliTest, RowValuesGiveEachRowInTheFilesOrder) {
  const uint32_t seed = 5150;
  SCOPED_TRACE("seed " + std::to_string(seed));
  const ValueInput input = RandomValueInput(seed, kSupertoto);
  const std::vector<PackedRow> rows = RandomRows(seed, 14, 40000);
  std::vector<std::string> args = ValueArgs("--row-values", WriteRows(kSupertoto, rows), input);
  args.push_back("--tsv");
  const Ran ran = RunCompanion(args);
  ASSERT_EQ(ran.status, 0) << ran.err;
  auto model = MakeValueModel(input.values, 14, input.pool, nullptr);
  ASSERT_TRUE(model);
  // The player's own stake, these rows, is in the pot.
  model->ownStake = static_cast<double>(rows.size()) * input.pool.rowPrice;
  std::istringstream lines(ran.out);
  std::string line;
  ASSERT_TRUE(std::getline(lines, line));
  // Supertoto's top level is 14 right.
  EXPECT_EQ(line, "row\tchance\tpublic\tvalue\tpayout14");
  size_t i = 0;
  while (std::getline(lines, line)) {
    ASSERT_LT(i, rows.size());
    const RowValue value = ValueOfRow(*model, rows[i]);
    EXPECT_EQ(line, RowSignsText(rows[i], 14) + "\t" + MachineNumber(value.chance) + "\t" +
                        MachineNumber(value.publicShare) + "\t" + MachineNumber(value.value) +
                        "\t" + MachineNumber(value.payout));
    ++i;
  }
  EXPECT_EQ(i, rows.size());
}

TEST_F(ValueCliTest, SavedCouponGivesTheSameNumbersAndMarks) {
  const ValueInput input = RandomValueInput(12, kStryktipset);
  const std::vector<PackedRow> rows = RandomRows(12, 13, 100);
  const std::string rowsPath = WriteRows(kStryktipset, rows);
  const std::string coupon = (folder.path() / "kupong.spelkub").string();
  std::vector<std::string> save = ValueArgs("--save-coupon", coupon, input);
  for (const char* group : {"1X2", "1X", "1", "1", "2", "X", "1", "1", "1", "1", "1", "12", "1"})
    save.push_back(group);
  const Ran saved = RunCompanion(save);
  ASSERT_EQ(saved.status, 0) << saved.err;
  EXPECT_EQ(saved.err, "spelkub_rader: Kupongen sparad: " + coupon + "\n");

  std::vector<std::string> direct = ValueArgs("--value", rowsPath, input);
  direct.push_back("--tsv");
  const Ran fromArgs = RunCompanion(direct);
  const Ran fromCoupon = RunCompanion({"--coupon", coupon, "--value", rowsPath, "--tsv"});
  ASSERT_EQ(fromCoupon.status, 0) << fromCoupon.err;
  EXPECT_EQ(fromCoupon.out, fromArgs.out);

  // The document's marks make the rows; marks given as arguments win.
  const Ran generated = RunCompanion({"--coupon", coupon});
  const Ran marked =
      RunCompanion({"1X2", "1X", "1", "1", "2", "X", "1", "1", "1", "1", "1", "12", "1"});
  ASSERT_EQ(generated.status, 0) << generated.err;
  EXPECT_EQ(generated.out, marked.out);
  const Ran overridden = RunCompanion(
      {"--coupon", coupon, "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1X"});
  EXPECT_EQ(overridden.out,
            "Stryktipset,13plus=Nej\r\nE,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n"
            "E,1,1,1,1,1,1,1,1,1,1,1,1,X\r\n");
  // Saving what was opened writes the same document.
  const std::string again = (folder.path() / "igen.spelkub").string();
  ASSERT_EQ(RunCompanion({"--coupon", coupon, "--save-coupon", again}).status, 0);
  std::ifstream first(coupon), second(again);
  std::stringstream a, b;
  a << first.rdbuf();
  b << second.rdbuf();
  EXPECT_EQ(a.str(), b.str());
}

// Conditions given with --save-coupon are kept in the document, in use, and
// a later --coupon generates only the rows that meet them.
TEST_F(ValueCliTest, SaveCouponKeepsTheConditionsGiven) {
  const std::string coupon = (folder.path() / "villkor.spelkub").string();
  const Ran saved =
      RunCompanion({"--save-coupon", coupon, "--condition", "kryss 0", "--max-broken", "0", "1X2",
                    "1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  ASSERT_EQ(saved.status, 0) << saved.err;
  const Ran generated = RunCompanion({"--coupon", coupon});
  ASSERT_EQ(generated.status, 0) << generated.err;
  EXPECT_EQ(
      generated.out,
      "Stryktipset,13plus=Nej\r\nE,1,1,1,1,1,1,1,1,1,1,1,1,1\r\nE,2,1,1,1,1,1,1,1,1,1,1,1,1\r\n"
      "E,1,2,1,1,1,1,1,1,1,1,1,1,1\r\nE,2,2,1,1,1,1,1,1,1,1,1,1,1\r\n");
  // Set aside, the document's conditions change nothing.
  const Ran whole = RunCompanion({"--coupon", coupon, "--no-coupon-conditions"});
  ASSERT_EQ(whole.status, 0) << whole.err;
  EXPECT_EQ(std::count(whole.out.begin(), whole.out.end(), '\n'), 1 + 9);
}

TEST_F(ValueCliTest, RefusalsNameWhatToGive) {
  const ValueInput input = RandomValueInput(3, kStryktipset);
  const std::string path = WriteRows(kStryktipset, RandomRows(3, 13, 10));
  std::vector<std::string> noTurnover = ValueArgs("--value", path, input);
  noTurnover.resize(6);
  Ran ran = RunCompanion(noTurnover);
  EXPECT_EQ(ran.status, 1);
  EXPECT_EQ(ran.err,
            "spelkub_rader: Kupongen saknar omsättning: ange --turnover eller --coupon DOC\n");
  EXPECT_TRUE(ran.out.empty());

  ran = RunCompanion({"--value", path, "--chances", "1 2 3", "--turnover", "1e6"});
  EXPECT_EQ(ran.status, 2);
  EXPECT_EQ(ran.err,
            "spelkub_rader: --chances: väntade 39 tal, tre per match, fick 3 (se --help)\n");
  ran = RunCompanion({"--value", path, "--turnover", "-5"});
  EXPECT_EQ(ran.status, 2);
  EXPECT_EQ(ran.err,
            "spelkub_rader: --turnover tar omsättningen i kr, ett tal större än 0, inte "
            "\"-5\" (se --help)\n");
  ran = RunCompanion({"--tsv", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  EXPECT_EQ(ran.status, 2);
  EXPECT_EQ(ran.err,
            "spelkub_rader: --tsv kräver --value FILE eller --row-values FILE (se --help)\n");
  ran = RunCompanion({"--value", path, "--rows", "3"});
  EXPECT_EQ(ran.status, 2);
  ran = RunCompanion({"--value", path, "1"});
  EXPECT_EQ(ran.err, "spelkub_rader: --value FILE tar inga MARKS (se --help)\n");
  ran = RunCompanion({"--coupon", (folder.path() / "saknas.spelkub").string(), "--value", path});
  EXPECT_EQ(ran.status, 1);
  EXPECT_NE(ran.err.find("filen finns inte"), std::string::npos) << ran.err;
  // Rows of another game than --game's.
  std::vector<std::string> wrongGame = ValueArgs("--value", path, input);
  wrongGame.push_back("--game");
  wrongGame.push_back("supertoto");
  ran = RunCompanion(wrongGame);
  EXPECT_EQ(ran.status, 2) << ran.err;  // 39 numbers for 14 matches
}

// "45,5 30 24,5, 50 25 25, ...": commas between digits are decimal commas
// when blanks separate the numbers; the same numbers as with points.
TEST_F(ValueCliTest, ChancesTakeADecimalComma) {
  const ValueInput input = RandomValueInput(8, kStryktipset);
  const std::string path = WriteRows(kStryktipset, RandomRows(8, 13, 30));
  std::vector<std::string> points = ValueArgs("--value", path, input);
  std::string chances;
  for (int m = 0; m < 13; ++m) chances += m == 0 ? "45.5 30 24.5" : ", 45.5 30 24.5";
  points[3] = chances;
  points.push_back("--tsv");
  std::vector<std::string> commas = points;
  std::replace(commas[3].begin(), commas[3].end(), '.', ',');
  const Ran withPoints = RunCompanion(points);
  const Ran withCommas = RunCompanion(commas);
  ASSERT_EQ(withCommas.status, 0) << withCommas.err;
  EXPECT_EQ(withCommas.out, withPoints.out);
  // Commas alone separate the numbers, and a count gone wrong says why.
  commas[3] = "45,5,30,24,5";
  const Ran alone = RunCompanion(commas);
  EXPECT_EQ(alone.status, 2);
  EXPECT_EQ(alone.err,
            "spelkub_rader: --chances: väntade 39 tal, tre per match, fick 5 (med decimalkomma: "
            "skilj talen åt med mellanslag eller semikolon) (se --help)\n");
}

// --jackpot lies on the top level's pot; the figures are the engine's with
// that jackpot, and a note on scaled matches has keys of its own.
TEST_F(ValueCliTest, JackpotAndScaledMatchesInTheTsv) {
  ValueInput input = RandomValueInput(19, kEuropatipset);
  input.pool = PoolModelOf(Rules(kEuropatipset));
  input.pool.turnover = 4e6;
  const std::vector<PackedRow> rows = RandomRows(19, 13, 120);
  std::vector<std::string> args = ValueArgs("--value", WriteRows(kEuropatipset, rows), input);
  for (const char* more : {"--game", "europatipset", "--jackpot", "2500000", "--tsv"})
    args.push_back(more);
  const Ran ran = RunCompanion(args);
  ASSERT_EQ(ran.status, 0) << ran.err;
  input.pool.jackpot = 2.5e6;
  const auto model = MakeValueModel(input.values, 13, input.pool, nullptr);
  ASSERT_TRUE(model);
  const auto exact = ComputeSystemValue(*model, rows);
  ASSERT_TRUE(exact);
  std::map<std::string, std::string> pairs = TsvPairs(ran.out);
  EXPECT_EQ(Number(pairs["expected_return_kr"]), exact->expectedReturn);
  input.pool.jackpot = 0;
  const auto without =
      ComputeSystemValue(*MakeValueModel(input.values, 13, input.pool, nullptr), rows);
  EXPECT_GT(exact->expectedReturn, without->expectedReturn);
  const auto scaled = [&](ValueKind kind) {
    std::string list;
    const auto scaledValues = ScaleValues(input.values, 13, kind, nullptr);
    for (const int m : scaledValues->scaledMatches) {
      if (!list.empty()) list += ',';
      list += std::to_string(m);
    }
    return list;
  };
  ASSERT_EQ(pairs.count("scaled_chances"), 1u);
  EXPECT_EQ(pairs["scaled_chances"], scaled(ValueKind::kChance));
  EXPECT_EQ(pairs["scaled_streck"], scaled(ValueKind::kStreck));
  EXPECT_FALSE(pairs["scaled_chances"].empty() && pairs["scaled_streck"].empty());

  args[args.size() - 2] = "-1";
  const Ran negative = RunCompanion(args);
  EXPECT_EQ(negative.status, 2);
  EXPECT_EQ(negative.err,
            "spelkub_rader: --jackpot tar jackpotten i kr, ett tal från 0, inte \"-1\" (se "
            "--help)\n");
}

// Numbers no pool has: chances whose sum is no double, a row price of 1e308.
// Refused with a line naming them, never figures of 0 or "inf".
TEST_F(ValueCliTest, HugeNumbersAreRefused) {
  const std::string rows = WriteRows(kStryktipset, RandomRows(4, 13, 5));
  const ValueInput input = RandomValueInput(4, kStryktipset);
  std::string document = "format = 1\ngame = \"stryktipset\"\n\n[pool]\nturnover = 1e7\n";
  std::string huge = document;
  for (int m = 1; m <= 13; ++m) {
    const std::string match = "\n[[match]]\nnumber = " + std::to_string(m) + "\nmark = \"1\"\n";
    document += match + "chance = [40, 30, 30]\nstreck = [40, 30, 30]\n";
    huge += match + (m == 3 ? "chance = [1e308, 1e308, 1e308]\n" : "chance = [40, 30, 30]\n") +
            "streck = [40, 30, 30]\n";
  }
  const auto write = [&](const std::string& name, const std::string& text) {
    const std::string path = (folder.path() / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  };
  Ran ran = RunCompanion({"--coupon", write("stor.spelkub", huge), "--value", rows});
  EXPECT_EQ(ran.status, 1);
  EXPECT_NE(ran.err.find("chanserna är för stora att lägga ihop"), std::string::npos) << ran.err;
  EXPECT_TRUE(ran.out.empty());

  std::string price = document;
  price.replace(price.find("turnover"), 0, "row_price = 1e308\n");
  ran = RunCompanion({"--coupon", write("pris.spelkub", price), "--value", rows});
  EXPECT_EQ(ran.status, 1);
  EXPECT_NE(ran.err.find("radpriset är orimligt stort"), std::string::npos) << ran.err;
  EXPECT_EQ(ran.out.find("inf"), std::string::npos);

  std::vector<std::string> digits = ValueArgs("--value", rows, input);
  digits[3] = std::string(400, '9') + " 1 1" + digits[3].substr(digits[3].find(','));
  ran = RunCompanion(digits);
  EXPECT_EQ(ran.status, 2);
  EXPECT_EQ(ran.err, "spelkub_rader: --chances: \"9999999999999999…\" är för stort (se --help)\n");
  ran = RunCompanion({"--value", rows, "--turnover", "1e300"});
  EXPECT_EQ(ran.status, 2);
}

TEST_F(ValueCliTest, HelpStatesTheModel) {
  const Ran ran = RunCompanion({"--help"});
  ASSERT_EQ(ran.status, 0);
  EXPECT_NE(ran.out.find(std::string(ValueModelHelpText())), std::string::npos);
  for (const char* option : {"--value FILE", "--row-values FILE", "--chances P", "--turnover T",
                             "--jackpot KR", "--tsv", "--coupon DOC", "--save-coupon FILE"}) {
    EXPECT_NE(ran.out.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace spelkub
