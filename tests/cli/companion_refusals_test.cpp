// spelkub_rader in-process against mistakes a user makes: each is refused
// with one line, the exit code of its kind (2 a malformed argument, 1 a
// refusal), before any work is done, and nothing is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/rader.h"
#include "coupon/parallel_for.h"
#include "support/companion_run.h"
#include "support/temp_folder.h"

namespace spelkub {
namespace {

using testing::RunCompanion;

const std::vector<std::string> kMarks{"1X2", "1X2", "1X2", "1", "1", "1", "1",
                                      "1",   "1",   "1",   "1", "1", "1"};

std::vector<std::string> With(std::vector<std::string> args) {
  args.insert(args.end(), kMarks.begin(), kMarks.end());
  return args;
}

std::string Numbers(const std::string& match1, const std::string& others) {
  std::string text = match1;
  for (int m = 2; m <= 13; ++m) text += "  " + others;
  return text;
}

class CompanionRefusalsTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return folder_.Path(name).string(); }
  std::vector<std::string> Entries() const { return folder_.Entries(); }
  testing::TempFolder folder_{"companion_refusals"};
};

// "krys 2" and the like were saved, and failed only when the coupon was used.
TEST_F(CompanionRefusalsTest, SaveCouponRefusesAConditionItCannotReadAndWritesNothing) {
  for (const char* condition : {"krys 2", "kryss 5-2", "kryss 1 i 99"}) {
    const auto ran = RunCompanion(With({"--save-coupon", Path("kupong.spelkub"), "--condition",
                                        "kryss 1", "--condition", condition}));
    EXPECT_EQ(ran.status, cli::kExitMalformed) << condition;
    EXPECT_TRUE(ran.err.starts_with(std::string("spelkub_rader: Villkoret \"") + condition))
        << ran.err;
    EXPECT_TRUE(ran.err.ends_with("(se --help)\n")) << ran.err;
    EXPECT_TRUE(Entries().empty());
  }
  const auto saved =
      RunCompanion(With({"--save-coupon", Path("kupong.spelkub"), "--condition", "kryss 1 i 1 2"}));
  EXPECT_EQ(saved.status, cli::kExitDone) << saved.err;
  // Read back, the document's conditions keep the rows the same condition keeps.
  const auto fromDocument = RunCompanion({"--coupon", Path("kupong.spelkub")});
  const auto fromArgument = RunCompanion(With({"--condition", "kryss 1 i 1,2"}));
  EXPECT_EQ(fromDocument.status, cli::kExitDone) << fromDocument.err;
  EXPECT_EQ(fromDocument.out, fromArgument.out);
  EXPECT_EQ(std::count(fromArgument.out.begin(), fromArgument.out.end(), '\n'), 1 + 12);
}

// A document written by hand (or by an older version) can still hold a
// condition that does not read: every command that uses it names the file.
TEST_F(CompanionRefusalsTest, AConditionOfTheDocumentThatDoesNotReadNamesTheFile) {
  const auto saved =
      RunCompanion(With({"--save-coupon", Path("kupong.spelkub"), "--condition", "kryss 1"}));
  ASSERT_EQ(saved.status, cli::kExitDone) << saved.err;
  {
    std::ifstream in(Path("kupong.spelkub"));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t at = text.find("\"kryss 1\"");
    ASSERT_NE(at, std::string::npos) << text;
    text.replace(at, 9, "\"krys 2\"");
    std::ofstream(Path("kupong.spelkub"), std::ios::trunc) << text;
  }
  const std::string expected =
      "spelkub_rader: Kupongen \"" + Path("kupong.spelkub") + "\": Villkoret \"krys 2\"";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--coupon", Path("kupong.spelkub")},
        std::vector<std::string>{"--coupon", Path("kupong.spelkub"), "--guarantee", "12"},
        std::vector<std::string>{"--coupon", Path("kupong.spelkub"), "--rows", "3"}}) {
    const auto ran = RunCompanion(args);
    EXPECT_EQ(ran.status, cli::kExitRefused) << ran.err;
    EXPECT_TRUE(ran.err.starts_with(expected)) << ran.err;
    EXPECT_EQ(ran.out, "");
  }
}

TEST_F(CompanionRefusalsTest, AFlagWhereAValueBelongsIsAMissingValue) {
  const auto ran = RunCompanion(With({"--condition", "-o", Path("rader.txt")}));
  EXPECT_EQ(ran.status, cli::kExitMalformed);
  EXPECT_EQ(ran.err,
            "spelkub_rader: --condition saknar sitt värde: \"-o\" är en flagga (se --help)\n");
  EXPECT_TRUE(Entries().empty());
  const auto guarantee = RunCompanion(With({"--guarantee", "--rows", "3"}));
  EXPECT_EQ(guarantee.status, cli::kExitMalformed);
  EXPECT_EQ(guarantee.err,
            "spelkub_rader: --guarantee saknar sitt värde: \"--rows\" är en flagga (se --help)\n");
}

TEST_F(CompanionRefusalsTest, MoreConditionsThanCanBeUsedIsAMalformedArgument) {
  std::vector<std::string> args;
  for (int i = 0; i < 101; ++i) args.insert(args.end(), {"--condition", "kryss 0-13"});
  const auto ran = RunCompanion(With(args));
  EXPECT_EQ(ran.status, cli::kExitMalformed);
  EXPECT_EQ(ran.err, "spelkub_rader: Högst 100 villkor går att använda (se --help)\n");
  args.resize(200);
  EXPECT_EQ(RunCompanion(With(args)).status, cli::kExitDone);
  args.insert(args.end(), {"--condition", "kryss 0-13"});
  args.insert(args.begin(), {"--save-coupon", Path("kupong.spelkub")});
  EXPECT_EQ(RunCompanion(With(args)).status, cli::kExitMalformed);
  EXPECT_TRUE(Entries().empty());
}

// A match whose numbers sum to 0 is one mistake: exit 2 under every command.
TEST_F(CompanionRefusalsTest, ASumOfZeroIsMalformedUnderEveryCommand) {
  const std::string rows = Path("rader.txt");
  ASSERT_EQ(RunCompanion(With({"-o", rows})).status, cli::kExitDone);
  const std::string zero = Numbers("0 0 0", "40 30 30");
  const std::string fine = Numbers("40 30 30", "40 30 30");
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const std::vector<Case> cases{
      {{"--value", rows, "--chances", zero, "--streck", fine, "--turnover", "1e6"},
       "Chans: match 1 har summan 0"},
      {{"--row-values", rows, "--chances", fine, "--streck", zero, "--turnover", "1e6"},
       "Streck: match 1 har summan 0"},
      {With({"--save-coupon", Path("kupong.spelkub"), "--chances", zero}),
       "Chans: match 1 har summan 0"},
      {With({"--condition", "spelvärde 1-", "--chances", zero, "--streck", fine}),
       "Chans: match 1 har summan 0"},
      {With({"--analyse", rows, "--streck", zero}), "Streck: match 1 har summan 0"},
  };
  for (const Case& c : cases) {
    const auto ran = RunCompanion(c.args);
    EXPECT_EQ(ran.status, cli::kExitMalformed) << c.args[0] << ": " << ran.err;
    EXPECT_EQ(ran.err, "spelkub_rader: " + c.error + " (se --help)\n") << c.args[0];
  }
  EXPECT_EQ(Entries(), std::vector<std::string>{"rader.txt"});
}

// A number too large for any double is said the same way by --streck under
// --analyse and under --value.
TEST_F(CompanionRefusalsTest, AHugeStreckValueIsTooLargeUnderEveryCommand) {
  const std::string rows = Path("rader.txt");
  ASSERT_EQ(RunCompanion(With({"-o", rows})).status, cli::kExitDone);
  const std::string huge = Numbers(std::string(400, '9') + " 30 30", "40 30 30");
  const auto analysed = RunCompanion(With({"--analyse", rows, "--streck", huge}));
  const auto valued = RunCompanion({"--value", rows, "--streck", huge, "--chances",
                                    Numbers("40 30 30", "40 30 30"), "--turnover", "1e6"});
  EXPECT_EQ(analysed.status, cli::kExitMalformed);
  EXPECT_EQ(valued.status, cli::kExitMalformed);
  const std::string said = "\"" + std::string(16, '9') + "…\" är för stort (se --help)\n";
  EXPECT_TRUE(analysed.err.ends_with(said)) << analysed.err;
  EXPECT_TRUE(valued.err.ends_with(said)) << valued.err;
}

// The optimizer's threads start only when the search does: with the target
// a folder, no thread may start.
class SearchStarts {
 public:
  SearchStarts() {
    started = 0;
    detail::SetThreadStartHookForTest([](int) {
      ++started;
      return true;
    });
  }
  ~SearchStarts() { detail::SetThreadStartHookForTest(nullptr); }
  static inline int started = 0;
};

TEST_F(CompanionRefusalsTest, OptimizeRefusesAFolderAsTargetBeforeTheSearch) {
  const SearchStarts starts;
  const std::vector<std::string> optimize{
      "--optimize", "12",  "--effort", "quick", "--threads", "2", "1X2", "1X2", "1X2", "1X2",
      "1X2",        "1X2", "1X2",      "1",     "1",         "1", "1",   "1",   "1"};
  std::vector<std::string> toFile = optimize;
  toFile.insert(toFile.begin(), {"-o", Path("rader.txt")});
  ASSERT_EQ(RunCompanion(toFile).status, cli::kExitDone);
  ASSERT_GT(SearchStarts::started, 0) << "the search runs on its helper threads";

  std::filesystem::create_directory(Path("mapp"));
  SearchStarts::started = 0;
  std::vector<std::string> toFolder = optimize;
  toFolder.insert(toFolder.begin(), {"-o", Path("mapp")});
  const auto ran = RunCompanion(toFolder);
  EXPECT_EQ(ran.status, cli::kExitRefused);
  EXPECT_EQ(ran.err,
            "spelkub_rader: Kan inte skapa filen \"" + Path("mapp") + "\": det är en mapp.\n");
  EXPECT_EQ(SearchStarts::started, 0);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"mapp", "rader.txt"}));
}

}  // namespace
}  // namespace spelkub
