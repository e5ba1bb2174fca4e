// spelkub_rader --follow in-process: the command's figures and report with
// the values of --coupon or of the value options, and the refusals.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "commands/follow_command.h"
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
using testing::RunCompanion;
using testing::TempFolder;

class FollowCliTest : public ::testing::Test {
 protected:
  // A coupon document with the input's values and pool, and a file of rows.
  void Write(const ValueInput& input, const std::vector<PackedRow>& rows) {
    CouponDocument document = NewCouponDocument(input.game);
    document.values = input.values;
    document.pool = input.pool;
    SaveCouponDocument(couponPath, document);
    std::ofstream(rowsPath, std::ios::binary) << RowsText(input.game, rows);
  }
  TempFolder folder{"follow_cli"};
  const std::string couponPath = (folder.path() / "kupong.spelkub").string();
  const std::string rowsPath = (folder.path() / "rader.txt").string();
};

FollowResults Parsed(std::string_view text, int matches) {
  std::string error;
  const auto results = ParseFollowResults(text, matches, &error);
  EXPECT_TRUE(results) << error;
  return *results;
}

TEST_F(FollowCliTest, TsvIsTheCommandsFiguresForEveryGame) {
  for (const int32_t game : {kStryktipset, kEuropatipset, kSupertoto}) {
    const int matches = Rules(game).matches;
    const ValueInput input = RandomValueInput(11 + game, game);
    const std::vector<PackedRow> rows = RandomRows(5 + game, matches, 400);
    Write(input, rows);
    const std::string result =
        matches == 13 ? "1 X 2 1 1 X 2 1 ? 1? L ? ?" : "1 X 2 1 1 X 2 1 ? 1? L ? ? 2";
    const testing::CompanionRun run =
        RunCompanion({"--coupon", couponPath, "--follow", result, rowsPath, "--tsv"});
    ASSERT_EQ(run.status, 0) << run.err;
    const FollowOutcome outcome = RunFollowCommand(input, rows, Parsed(result, matches), SIZE_MAX);
    ASSERT_TRUE(outcome.report);
    std::string expected;
    for (const ValueFigure& figure : outcome.figures) {
      expected +=
          figure.key + '\t' + (figure.numeric ? MachineNumber(figure.number) : figure.raw) + '\n';
    }
    EXPECT_EQ(run.out, expected) << Rules(game).name;
    // Every row alive is listed, each once.
    size_t alive = 0;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) alive += line.starts_with("alive\t");
    EXPECT_EQ(static_cast<int64_t>(alive), outcome.report->aliveTotal);
    const std::string topKey = "\np" + std::to_string(matches);
    EXPECT_NE(run.out.find(topKey), std::string::npos);
  }
}

TEST_F(FollowCliTest, TextIsTheCommandsReportAndValueOptionsOverrideTheCoupon) {
  ValueInput input = RandomValueInput(3, kStryktipset);
  const std::vector<PackedRow> rows = RandomRows(4, 13, 200);
  Write(input, rows);
  const std::string result = "1X2?? ??? 1111 1";
  const testing::CompanionRun run =
      RunCompanion({"--coupon", couponPath, "--follow", result, rowsPath, "--turnover", "1234567"});
  ASSERT_EQ(run.status, 0) << run.err;
  input.pool.turnover = 1234567;
  const FollowOutcome outcome = RunFollowCommand(input, rows, Parsed(result, 13));
  EXPECT_EQ(run.out, outcome.reportText);
  EXPECT_NE(run.out.find("Följ kupongen: 200 rader, 8 av 13 matcher avgjorda, 243 utfall kvar."),
            std::string::npos)
      << run.out;
}

TEST_F(FollowCliTest, Refusals) {
  Write(RandomValueInput(8, kStryktipset), RandomRows(8, 13, 50));
  const auto refused = [&](std::vector<std::string> args, int status, std::string_view message) {
    const testing::CompanionRun run = RunCompanion(args);
    EXPECT_EQ(run.status, status) << run.err;
    EXPECT_EQ(run.err, "spelkub_rader: " + std::string(message) + "\n");
    EXPECT_TRUE(run.out.empty());
  };
  refused({"--coupon", couponPath, "--follow", "1X2?", rowsPath}, 2,
          "Resultat: väntade 13 tecken 1, X, 2, ?, - eller L, fick 4 (se --help)");
  refused({"--coupon", couponPath, "--follow", "?????????????", rowsPath, "1X2"}, 2,
          "--follow RESULT FILE tar inga MARKS (se --help)");
  refused({"--coupon", couponPath, "--follow", "?????????????", rowsPath, "--rows", "3"}, 2,
          "--follow RESULT FILE tar bara --game, --coupon, --chances, --streck, --turnover och "
          "--tsv (se --help)");
  refused({"--follow", "?????????????", rowsPath}, 1,
          "Kupongen saknar egna chanser: ange --chances eller --coupon DOC");
  refused({"--coupon", couponPath, "--follow", "?????????????",
           (folder.path() / "saknas.txt").string()},
          1, "Kan inte läsa \"" + (folder.path() / "saknas.txt").string() + "\": filen finns inte");
  // The rows are Stryktipset's: a Supertoto result does not fit.
  refused({"--coupon", couponPath, "--follow", "?????????????", rowsPath, "--game", "supertoto"}, 1,
          "Raderna har 13 matcher men Supertoto 14: välj spel med --game");
}

TEST_F(FollowCliTest, HelpExplainsTheResultMarks) {
  const testing::CompanionRun run = RunCompanion({"--help"});
  EXPECT_NE(run.out.find("--follow RESULT FILE"), std::string::npos);
  EXPECT_NE(run.out.find("L inställd och lottas"), std::string::npos);
  EXPECT_NE(run.out.find("\"visar 30 av 184\""), std::string::npos);
}

}  // namespace
}  // namespace spelkub
