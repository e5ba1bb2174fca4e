// spelkub_rader on Topptipset: --game chooses a product, --draw and --stake
// go into the hand-in header, and --value scales with the stake; refusals
// name what is missing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/companion_run.h"

namespace spelkub {
namespace {

using testing::RunCompanion;

// Matches 1 and 2 full, the rest "1": 9 rows in generation order.
const std::vector<std::string> kMarks = {"1X2", "1X2", "1", "1", "1", "1", "1", "1"};

std::vector<std::string> With(std::vector<std::string> args) {
  args.insert(args.end(), kMarks.begin(), kMarks.end());
  return args;
}

std::string NineRows() {
  std::string rows;
  for (const char second : {'1', 'X', '2'}) {
    for (const char first : {'1', 'X', '2'}) {
      rows += std::string("E,") + first + "," + second + ",1,1,1,1,1,1\r\n";
    }
  }
  return rows;
}

TEST(TopptipsetCompanion, GeneratesUnderTheProductsHeader) {
  const testing::CompanionRun run = RunCompanion(With({"--game", "topptipset-extra"}));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Topptipset Extra\r\n" + NineRows());
}

TEST(TopptipsetCompanion, HandInCarriesDrawAndStake) {
  const testing::CompanionRun stryk = RunCompanion(
      With({"--game", "topptipset-stryk", "--upload", "--draw", "2841", "--stake", "10"}));
  ASSERT_EQ(stryk.status, 0) << stryk.err;
  EXPECT_EQ(stryk.out, "Topptipset,Stryk,Omg=2841,Insats=10\r\n" + NineRows());

  const testing::CompanionRun plain =
      RunCompanion(With({"--game", "topptipset", "--upload", "--draw", "77"}));
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out, "Topptipset,Omg=77,Insats=1\r\n" + NineRows());

  // A guarantee reduction of 8 right keeps every row.
  const testing::CompanionRun reduced =
      RunCompanion(With({"--game", "topptipset", "--guarantee", "8", "--upload", "--draw", "77"}));
  ASSERT_EQ(reduced.status, 0) << reduced.err;
  EXPECT_EQ(reduced.out, "Topptipset,Omg=77,Insats=1\r\n" + NineRows());
}

TEST(TopptipsetCompanion, RefusesWhatTheGameDoesNotTake) {
  const testing::CompanionRun noDraw = RunCompanion(With({"--game", "topptipset", "--upload"}));
  EXPECT_EQ(noDraw.status, 1);
  EXPECT_EQ(noDraw.out, "");
  EXPECT_EQ(noDraw.err, "spelkub_rader: Ange omgången för Topptipset.\n");

  const testing::CompanionRun badStake =
      RunCompanion(With({"--game", "topptipset", "--stake", "3"}));
  EXPECT_EQ(badStake.status, 2);
  EXPECT_NE(badStake.err.find("Topptipset tar insatsen 1, 2, 5 eller 10 kr per rad"),
            std::string::npos)
      << badStake.err;

  const testing::CompanionRun stryktipsetStake = RunCompanion(
      {"--stake", "2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  EXPECT_EQ(stryktipsetStake.status, 2);
  EXPECT_NE(stryktipsetStake.err.find("Stryktipset spelas bara med insatsen 1 kr per rad"),
            std::string::npos)
      << stryktipsetStake.err;

  const testing::CompanionRun high =
      RunCompanion(With({"--game", "topptipset", "--guarantee", "9"}));
  EXPECT_EQ(high.status, 2);
  EXPECT_NE(high.err.find("Topptipset har garantier från 4 till 8 rätt"), std::string::npos)
      << high.err;

  const testing::CompanionRun drawAlone =
      RunCompanion(With({"--game", "topptipset", "--draw", "5"}));
  EXPECT_EQ(drawAlone.status, 2);
  EXPECT_NE(drawAlone.err.find("--draw kräver --upload"), std::string::npos) << drawAlone.err;
}

// The coupon document keeps the draw and the stake: the hand-in and the
// value take them from it unless --draw and --stake say otherwise.
TEST(TopptipsetCompanion, TheCouponDocumentKeepsTheDrawAndTheStake) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("topptipset_doc_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string doc = (dir / "topp.spelkub").string();
  const testing::CompanionRun saved = RunCompanion(
      With({"--game", "topptipset-stryk", "--draw", "2841", "--stake", "5", "--save-coupon", doc}));
  ASSERT_EQ(saved.status, 0) << saved.err;
  std::ifstream in(doc);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("\ndraw = 2841\nstake = 5\n"), std::string::npos) << text;

  const testing::CompanionRun upload = RunCompanion({"--coupon", doc, "--upload"});
  ASSERT_EQ(upload.status, 0) << upload.err;
  EXPECT_EQ(upload.out, "Topptipset,Stryk,Omg=2841,Insats=5\r\n" + NineRows());
  const testing::CompanionRun other =
      RunCompanion({"--coupon", doc, "--upload", "--draw", "2842", "--stake", "2"});
  ASSERT_EQ(other.status, 0) << other.err;
  EXPECT_EQ(other.out, "Topptipset,Stryk,Omg=2842,Insats=2\r\n" + NineRows());

  // Rows without a stake of their own are valued at the coupon's.
  const std::string rows = (dir / "rader.txt").string();
  std::ofstream(rows, std::ios::binary) << "Topptipset Stryk\r\n" + NineRows();
  std::string chances, streck;
  for (int m = 0; m < 8; ++m) {
    chances += "50 30 20 ";
    streck += "40 35 25 ";
  }
  const auto value = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = {"--value",   rows,         "--coupon", doc,
                                     "--chances", chances,      "--streck", streck,
                                     "--tsv",     "--turnover", "1000000"};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunCompanion(args);
  };
  const testing::CompanionRun fromDocument = value({});
  const testing::CompanionRun typed = value({"--stake", "5"});
  ASSERT_EQ(fromDocument.status, 0) << fromDocument.err;
  ASSERT_EQ(typed.status, 0) << typed.err;
  EXPECT_NE(fromDocument.out.find("cost_kr\t45\n"), std::string::npos) << fromDocument.out;
  EXPECT_EQ(fromDocument.out, typed.out);
  std::filesystem::remove_all(dir);
}

// The cost and the expected return of a hand-in file's rows at its own stake,
// and at --stake, read from the machine-readable output.
TEST(TopptipsetCompanion, ValueFollowsTheStake) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("topptipset_cli_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "rader.txt").string();
  std::ofstream(file, std::ios::binary) << "Topptipset,Omg=77,Insats=5\r\n" + NineRows();
  std::string chances, streck;
  for (int m = 0; m < 8; ++m) {
    chances += "50 30 20 ";
    streck += "40 35 25 ";
  }
  const auto value = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = {"--value", file,    "--chances",  chances,  "--streck",
                                     streck,    "--tsv", "--turnover", "1000000"};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunCompanion(args);
  };
  const auto field = [](const std::string& out, const std::string& key) {
    const size_t at = out.find(key + "\t");
    if (at == std::string::npos) return std::string();
    const size_t begin = at + key.size() + 1;
    return out.substr(begin, out.find('\n', begin) - begin);
  };
  const testing::CompanionRun atFive = value({});
  ASSERT_EQ(atFive.status, 0) << atFive.err;
  EXPECT_EQ(field(atFive.out, "cost_kr"), "45");
  EXPECT_NE(field(atFive.out, "p8"), "");
  EXPECT_EQ(field(atFive.out, "p7plus"), "");  // one paid level
  const testing::CompanionRun atOne = value({"--stake", "1"});
  ASSERT_EQ(atOne.status, 0) << atOne.err;
  EXPECT_EQ(field(atOne.out, "cost_kr"), "9");
  // Five times the stake wins a little less than five times as much: the
  // own rows share the pot with themselves.
  const double five = std::stod(field(atFive.out, "expected_return_kr"));
  const double one = std::stod(field(atOne.out, "expected_return_kr"));
  EXPECT_GT(five, 4 * one);
  EXPECT_LT(five, 5 * one);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace spelkub
