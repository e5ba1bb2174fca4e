// spelkub_rader --record, --settle and --history on a real database file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/companion_run.h"
#include "support/temp_folder.h"

namespace spelkub {
namespace {

using testing::RunCompanion;
using testing::TempFolder;

TEST(CompanionHistory, RecordsSettlesAndListsThroughOneDatabase) {
  TempFolder folder("cli_history");
  const std::string db = folder.Path("h.sqlite").string();
  const std::string handIn = folder.Path("inl.txt").string();
  // A hand-in file of 3 rows, saved as the companion saves it.
  ASSERT_EQ(RunCompanion({"--upload", "-o", handIn, "1X2", "1", "1", "1", "1", "1", "1", "1", "1",
                          "1", "1", "1", "1"})
                .status,
            0);
  const auto recorded = RunCompanion(
      {"--record", handIn, "--draw", "4711", "--close", "2026-12-12T15:59", "--database", db});
  ASSERT_EQ(recorded.status, 0) << recorded.err;
  EXPECT_EQ(recorded.out, "1\n");
  EXPECT_EQ(recorded.err, "Bokförd: Stryktipset omgång 4711, 3 rader, 3,00 kr.\n");
  const auto settled =
      RunCompanion({"--settle", "stryktipset", "--draw", "4711", "--result", "1111111111111",
                    "--payout", "13=12345,50 12=230 11=18 10=0", "--database", db});
  ASSERT_EQ(settled.status, 0) << settled.err;
  EXPECT_EQ(settled.out,
            "Stryktipset omgång 4711, rätt rad 1111111111111:\n"
            "Kupong 1: 13 rätt: 1 rad, 12 rätt: 2 rader, 11 rätt: 0 rader, 10 rätt: 0 rader, "
            "vinst 12 805,50 kr.\n");
  const auto tsv = RunCompanion({"--history", "--tsv", "--database", db});
  EXPECT_EQ(tsv.out,
            "id\tdatum\tspel\tomgang\trader\tinsats_kr\tvinst_kr\tnetto_kr\tforvantat_kr\n"
            "1\t2026-12-12T15:59\tStryktipset\t4711\t3\t3.00\t12805.50\t12802.50\t\n");
  const auto csv = RunCompanion({"--history", "--csv", "--game", "europatipset", "--database", db});
  EXPECT_EQ(csv.out,
            "id,datum,spel,omgang,rader,insats_kr,vinst_kr,netto_kr,forvantat_kr,kalla\r\n");
}

TEST(CompanionHistory, MalformedAndRefusedCallsSayWhy) {
  TempFolder folder("cli_history");
  const std::string db = folder.Path("h.sqlite").string();
  EXPECT_EQ(RunCompanion({"--record", "x.txt", "--database", db}).err,
            "spelkub_rader: --record FILE kräver --draw N (se --help)\n");
  EXPECT_EQ(RunCompanion({"--history", "--from", "igår", "--database", db}).status, 2);
  const auto payout = RunCompanion({"--settle", "stryktipset", "--draw", "1", "--result",
                                    "1111111111111", "--payout", "9=100", "--database", db});
  EXPECT_EQ(payout.status, 1);
  EXPECT_EQ(payout.err, "spelkub_rader: Stryktipset har ingen vinstnivå \"9 rätt\".\n");
  const auto missing = RunCompanion(
      {"--record", folder.Path("saknas.txt").string(), "--draw", "3", "--database", db});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("filen finns inte"), std::string::npos) << missing.err;
}

// --upload --m-lines: a product of marks is one M line, and the file reads
// back as the same rows the E form holds; --record takes it as well.
TEST(CompanionHistory, MLinesAreOneLinePerProductAndRecordAsTheirRows) {
  TempFolder folder("cli_history");
  const std::string mFile = folder.Path("m.txt").string();
  const std::vector<std::string> marks = {"1X2", "1X", "1", "1", "1", "1", "1",
                                          "1",   "1",  "1", "1", "1", "2"};
  std::vector<std::string> args = {"--upload", "--m-lines", "-o", mFile};
  args.insert(args.end(), marks.begin(), marks.end());
  ASSERT_EQ(RunCompanion(args).status, 0);
  EXPECT_EQ(testing::ReadFile(mFile), "Stryktipset\r\nM6,1X2,1X,1,1,1,1,1,1,1,1,1,1,2\r\n");
  EXPECT_EQ(RunCompanion({"--m-lines", "1", "1"}).err,
            "spelkub_rader: --m-lines kräver --upload (se --help)\n");
  const std::string db = folder.Path("h.sqlite").string();
  const auto recorded = RunCompanion({"--record", mFile, "--draw", "2", "--database", db});
  EXPECT_EQ(recorded.err, "Bokförd: Stryktipset omgång 2, 6 rader, 6,00 kr.\n");
}

// A game handed in with its draw and stake: the saved file reads back (E rows
// and M lines), and --record takes the stake every row cost and the file's
// draw, refusing another.
TEST(CompanionHistory, AHandInWithDrawAndStakeSavesAndRecordsAtItsStake) {
  TempFolder folder("cli_history");
  const std::string db = folder.Path("h.sqlite").string();
  const std::vector<std::string> marks = {"1X", "1", "1", "1", "1", "1", "1", "2"};
  for (const bool mLines : {false, true}) {
    const std::string handIn = folder.Path(mLines ? "m.txt" : "e.txt").string();
    std::vector<std::string> args = {"--game", "topptipset-stryk", "--draw", "2841", "--stake",
                                     "5",      "--upload",         "-o",     handIn};
    if (mLines) args.push_back("--m-lines");
    args.insert(args.end(), marks.begin(), marks.end());
    const auto saved = RunCompanion(args);
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.err, "spelkub_rader: Sparade 1 fil: " + handIn + "\n");
    EXPECT_TRUE(testing::ReadFile(handIn).starts_with("Topptipset,Stryk,Omg=2841,Insats=5\r\n"));
    const auto other = RunCompanion({"--record", handIn, "--draw", "2842", "--database", db});
    EXPECT_EQ(other.status, 1);
    EXPECT_EQ(other.err, "spelkub_rader: Filen lämnas in på omgång 2841, inte 2842.\n");
    const auto recorded = RunCompanion({"--record", handIn, "--draw", "2841", "--database", db});
    ASSERT_EQ(recorded.status, 0) << recorded.err;
    EXPECT_EQ(recorded.err, "Bokförd: Topptipset Stryk omgång 2841, 2 rader, 10,00 kr.\n");
  }
}

}  // namespace
}  // namespace spelkub
