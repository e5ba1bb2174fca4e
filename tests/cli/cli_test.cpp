// spelkub_rader end to end: the built executable is started with arguments,
// and its standard output, standard error, exit status and files are checked.
// MARKS parsing is also checked in-process through ParseArguments.
#include "cli/rader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "check/analysis.h"
#include "check/grading.h"
#include "coupon/messages.h"
#include "coupon/shown_text.h"
#include "cover/coverage.h"
#include "cover/optimize.h"
#include "reduce/reduction.h"
#include "support/kept_text.h"
#include "support/temp_folder.h"
#include "text/coupon_text.h"

extern char** environ;

namespace spelkub::cli {
namespace {

// A Stryktipset row line with its CR LF.
const size_t kStryktipsetLineBytes = static_cast<size_t>(RowLineBytes(Rules(kStryktipset)));

namespace fs = std::filesystem;

constexpr const char* kRaderPath = SPELKUB_RADER_PATH;

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

using spelkub::testing::ReadFile;
using spelkub::testing::WriteFile;

// Each test gets a fresh folder for the program's output files.
class RaderTest : public ::testing::Test {
 protected:
  fs::path Path(const std::string& name) const { return folder_.Path(name); }

  // Runs spelkub_rader; standard output goes to `stdoutPath` when given, or
  // to the open descriptor `stdoutFd`.
  Outcome Rader(const std::vector<std::string>& args, const std::string& stdoutPath = {},
                int stdoutFd = -1) {
    const std::string outPath = stdoutPath.empty() ? Path(".stdout").string() : stdoutPath;
    const std::string errPath = Path(".stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, stdinPath_.c_str(), O_RDONLY, 0);
    if (stdoutFd >= 0) {
      posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    } else {
      posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv{const_cast<char*>(kRaderPath)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    Outcome outcome;
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, kRaderPath, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(spawned, 0) << "cannot start " << kRaderPath;
    if (spawned != 0) return outcome;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    EXPECT_TRUE(WIFEXITED(status)) << "spelkub_rader did not exit normally";
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (stdoutPath.empty() && stdoutFd < 0) {
      outcome.out = ReadFile(outPath);
      fs::remove(outPath);
    }
    outcome.err = ReadFile(errPath);
    fs::remove(errPath);
    return outcome;
  }

  // The names in the folder: no temporary file may stay behind.
  std::vector<std::string> Entries() const { return folder_.Entries(); }

  spelkub::testing::TempFolder folder_{"spelkub_rader"};
  std::string stdinPath_ = "/dev/null";
};

std::string Line(std::string_view caption, std::string_view text) {
  return std::string(caption) + ": " + std::string(text) + "\n";
}

std::vector<std::string> WithMarks(std::vector<std::string> options,
                                   const std::vector<std::string>& marks) {
  options.insert(options.end(), marks.begin(), marks.end());
  return options;
}

// The example coupon of the coupon text: match 1 "1X", match 2 "X2", the rest "1".
const std::vector<std::string> kExampleMarks{"1X", "X2", "1", "1", "1", "1", "1",
                                             "1",  "1",  "1", "1", "1", "1"};
constexpr std::string_view kExampleText =
    "Stryktipset,13plus=Nej\r\n"
    "E,1,X,1,1,1,1,1,1,1,1,1,1,1\r\n"
    "E,X,X,1,1,1,1,1,1,1,1,1,1,1\r\n"
    "E,1,2,1,1,1,1,1,1,1,1,1,1,1\r\n"
    "E,X,2,1,1,1,1,1,1,1,1,1,1,1\r\n";

// Matches 1 and 2 full, 3 to 13 "1": nine rows.
const std::vector<std::string> kNineRowMarks{"1X2", "1X2", "1", "1", "1", "1", "1",
                                             "1",   "1",   "1", "1", "1", "1"};

// ---------------------------------------------------------------------------
// The coupon text written

TEST_F(RaderTest, WritesTheExampleCouponToStandardOutput) {
  const Outcome run = Rader(kExampleMarks);
  EXPECT_EQ(run.exitCode, kExitDone);
  EXPECT_EQ(run.out, kExampleText);
  EXPECT_EQ(run.err, "");
}

TEST_F(RaderTest, WritesTheSupertotoExampleWithoutHeaderLine) {
  const Outcome run = Rader({"--game", "supertoto", "1X,X2,1,1,1,1,1,1,1,1,1,1,1,2"});
  EXPECT_EQ(run.exitCode, kExitDone);
  EXPECT_EQ(run.out,
            "1,X,1,1,1,1,1,1,1,1,1,1,1,2\r\n"
            "X,X,1,1,1,1,1,1,1,1,1,1,1,2\r\n"
            "1,2,1,1,1,1,1,1,1,1,1,1,1,2\r\n"
            "X,2,1,1,1,1,1,1,1,1,1,1,1,2\r\n");
}

TEST_F(RaderTest, MarksMayComeInOneArgumentOrSeveralWithAnySeparatorRuns) {
  for (const std::vector<std::string>& marks : std::vector<std::vector<std::string>>{
           {"1X,X2,1,1,1,1,1,1,1,1,1,1,1"},
           {" ,1x ,, 2X\t1,1", "1 1 1", ",1,1,1,1,1,1,"},
           {"X1", "2x", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"}}) {
    const Outcome run = Rader(marks);
    EXPECT_EQ(run.exitCode, kExitDone) << marks[0];
    EXPECT_EQ(run.out, kExampleText) << marks[0];
  }
}

TEST_F(RaderTest, EuropatipsetWritesItsOwnHeaderLine) {
  const Outcome europa = Rader(WithMarks({"--game", "europatipset"}, kExampleMarks));
  EXPECT_EQ(europa.exitCode, kExitDone);
  EXPECT_EQ(europa.out.substr(0, 35), "Italienska stryktipset,13plus=Nej\r\n");
  EXPECT_EQ(europa.out.substr(35), kExampleText.substr(24));
}

// A group too many or too few is a slip: neither dropped nor read as an
// unmarked match, but malformed, with the game's count and the count given.
TEST_F(RaderTest, MarksNeedOneGroupPerMatchOfTheGame) {
  struct CountCase {
    std::vector<std::string> args;
    std::string reason;
  };
  const std::string twelve = "1 1 1 1 1 1 1 1 1 1 1 1";
  const std::vector<CountCase> cases{
      {{twelve, "1", "1X2"}, "MARKS har 14 grupper, men Stryktipset tar 13, en per match"},
      {{"--game", "europatipset", twelve, "1", "-"},
       "MARKS har 14 grupper, men Europatipset tar 13, en per match"},
      {{twelve}, "MARKS har 12 grupper, men Stryktipset tar 13, en per match: match 13 saknas"},
      {{"--rows", "3", "--13plus", "2", "1,1,1,1,1,1,1,1,1,1,1,1"},
       "MARKS har 12 grupper, men Stryktipset tar 13, en per match: match 13 saknas"},
      {{"1X X2 1 1"},
       "MARKS har 4 grupper, men Stryktipset tar 13, en per match: matcherna 5–13 saknas"},
      {{"-"}, "MARKS har 1 grupp, men Stryktipset tar 13, en per match: matcherna 2–13 saknas"},
      {{",", "--game", "supertoto"},
       "MARKS har 0 grupper, men Supertoto tar 14, en per match: matcherna 1–14 saknas"},
      {{"--game", "supertoto", twelve, "1"},
       "MARKS har 13 grupper, men Supertoto tar 14, en per match: match 14 saknas"},
      {{twelve, "1 1 1", "--game", "supertoto"},
       "MARKS har 15 grupper, men Supertoto tar 14, en per match"},
      {{"--analyse", "rows.txt", twelve},
       "MARKS har 12 grupper, men Stryktipset tar 13, en per match: match 13 saknas"},
      {{"--optimize", "12", twelve, "1", "1"},
       "MARKS har 14 grupper, men Stryktipset tar 13, en per match"},
  };
  for (const CountCase& c : cases) {
    const Outcome run = Rader(c.args);
    EXPECT_EQ(run.exitCode, kExitMalformed) << c.args[0];
    EXPECT_EQ(run.err, "spelkub_rader: " + c.reason + " (se --help)\n") << c.args[0];
    EXPECT_EQ(run.out, "") << c.args[0];
  }
  // The right count for each game is taken.
  EXPECT_EQ(Rader({twelve, "1"}).exitCode, kExitDone);
  EXPECT_EQ(Rader({"--game", "europatipset", twelve, "1"}).exitCode, kExitDone);
  EXPECT_EQ(Rader({"--game", "supertoto", twelve, "1 X"}).out, "1,1,1,1,1,1,1,1,1,1,1,1,1,X\r\n");
}

TEST_F(RaderTest, ThirteenPlusChoosesTheJaHeaderWithItsGoals) {
  const std::vector<std::pair<std::string, std::string>> goals{
      {"0-1", "Stryktipset,13plus=Ja,Antal=0-1\r\n"},
      {"2", "Stryktipset,13plus=Ja,Antal=2\r\n"},
      {"3", "Stryktipset,13plus=Ja,Antal=3\r\n"},
      {"F", "Stryktipset,13plus=Ja,Antal=F\r\n"}};
  for (const auto& [value, header] : goals) {
    const Outcome run = Rader(WithMarks({"--13plus", value}, kExampleMarks));
    EXPECT_EQ(run.exitCode, kExitDone) << value;
    EXPECT_EQ(run.out, header + std::string(kExampleText.substr(24))) << value;
  }
  const Outcome europa =
      Rader(WithMarks({"--game", "europatipset", "--13plus", "F"}, kExampleMarks));
  EXPECT_EQ(europa.out.substr(0, europa.out.find('\n') + 1),
            "Italienska stryktipset,13plus=Ja,Antal=F\r\n");
}

TEST_F(RaderTest, ThirteenPlusIsIgnoredForSupertoto) {
  const std::vector<std::string> marks{"1X2,1,1,1,1,1,1,1,1,1,1,1,X,12"};
  const Outcome plain = Rader(WithMarks({"--game", "supertoto"}, marks));
  const Outcome withPlus = Rader(WithMarks({"--13plus", "3", "--game", "supertoto"}, marks));
  EXPECT_EQ(withPlus.exitCode, kExitDone);
  EXPECT_EQ(withPlus.out, plain.out);
  EXPECT_EQ(withPlus.out.size(), 6u * kStryktipsetLineBytes);
}

TEST_F(RaderTest, WritesTheFullThirteenMatchSystemCompletely) {
  const Outcome run = Rader({"1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2"});
  EXPECT_EQ(run.exitCode, kExitDone);
  CouponState state;
  for (int cell = 0; cell < 39; ++cell) state.Marks[cell] = 1;
  const std::string expected = CouponText(GenerateFullSystem(state, kPlus13No));
  ASSERT_EQ(run.out.size(), expected.size());
  EXPECT_TRUE(run.out == expected);
}

// ---------------------------------------------------------------------------
// Messages and exit status

TEST_F(RaderTest, RefusesAnUnmarkedMatchWithTheWindowsMessage) {
  const std::string invalid = Line("Felaktig rad!", "Klicka i ett giltigt system!");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"1X X2 - 1 1 1 1 1 1 1 1 1 1"},  // match 3 unmarked
           {"-,1,1,1,1,1,1,1,1,1,1,1,1"},    // a MARKS argument may begin with "-"
           {"--game", "supertoto", "1,1,1,1,1,1,1,1,1,1,1,1,1,-"},  // match 14 unmarked
           {"--rows", "3", "--13plus", "2", "1,1,1,1,1,1,1,1,1,1,1,1,-"}}) {
    const Outcome run = Rader(args);
    EXPECT_EQ(run.exitCode, kExitRefused) << args.back();
    EXPECT_EQ(run.err, invalid) << args.back();
    EXPECT_EQ(run.out, "") << args.back();
  }
}

TEST_F(RaderTest, TargetAboveTheRowCountIsRefusedForEveryGame) {
  const std::string tooLarge = Line("FEL!", "Felaktigt val av antal rader!");
  for (const std::string game : {"stryktipset", "europatipset", "supertoto"}) {
    std::vector<std::string> marks = kExampleMarks;  // 4 rows for every game
    if (game == "supertoto") marks.push_back("X");
    const Outcome over = Rader(WithMarks({"--game", game, "--rows", "5"}, marks));
    EXPECT_EQ(over.exitCode, kExitRefused) << game;
    EXPECT_EQ(over.err, tooLarge) << game;
    EXPECT_EQ(over.out, "") << game;

    const Outcome exact = Rader(WithMarks({"--game", game, "--rows", "4"}, marks));
    EXPECT_EQ(exact.exitCode, kExitDone) << game;
    const size_t headerLines = game == "supertoto" ? 0 : 1;
    EXPECT_EQ(std::count(exact.out.begin(), exact.out.end(), '\n'), 4 + headerLines) << game;
  }
  const Outcome huge = Rader(WithMarks({"--rows", "2147483647"}, kExampleMarks));
  EXPECT_EQ(huge.exitCode, kExitRefused);
  EXPECT_EQ(huge.err, tooLarge);
}

TEST_F(RaderTest, RowCountReductionReportsTheGuarantee) {
  // The nine-row system: target 2 keeps rows 1 and 5 (guarantee 11), target 4
  // reversed keeps rows 9, 5, 1 and 8 (guarantee 12).
  const Outcome two = Rader(WithMarks({"--rows", "2"}, kNineRowMarks));
  EXPECT_EQ(two.exitCode, kExitDone);
  EXPECT_EQ(two.err, Line("Reducering", "11 rätts garanti på dina nu reducerade rader!"));
  EXPECT_EQ(two.out,
            "Stryktipset,13plus=Nej\r\n"
            "E,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n"
            "E,X,X,1,1,1,1,1,1,1,1,1,1,1\r\n");

  const Outcome four = Rader(WithMarks({"--reversed", "--rows", "4"}, kNineRowMarks));
  EXPECT_EQ(four.exitCode, kExitDone);
  EXPECT_EQ(four.err, Line("Reducering", "12 rätts garanti på dina nu reducerade rader!"));
  EXPECT_EQ(four.out,
            "Stryktipset,13plus=Nej\r\n"
            "E,2,2,1,1,1,1,1,1,1,1,1,1,1\r\n"
            "E,X,X,1,1,1,1,1,1,1,1,1,1,1\r\n"
            "E,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n"
            "E,X,2,1,1,1,1,1,1,1,1,1,1,1\r\n");
}

TEST_F(RaderTest, GuaranteeReductionSaysTheRowsAreReduced) {
  const Outcome run = Rader(WithMarks({"--guarantee", "12", "--reversed"}, kNineRowMarks));
  EXPECT_EQ(run.exitCode, kExitDone);
  EXPECT_EQ(run.err, Line("Reducering", "Dina rader är nu reducerade!!"));
  EXPECT_EQ(run.out,
            "Stryktipset,13plus=Nej\r\n"
            "E,2,2,1,1,1,1,1,1,1,1,1,1,1\r\n"
            "E,X,X,1,1,1,1,1,1,1,1,1,1,1\r\n"
            "E,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n");
}

TEST_F(RaderTest, VersionAndHelp) {
  const Outcome version = Rader({"--version"});
  EXPECT_EQ(version.exitCode, kExitDone);
  EXPECT_EQ(version.out, "spelkub_rader 1.02\n");
  EXPECT_EQ(version.err, "");

  const Outcome help = Rader({"--help"});
  EXPECT_EQ(help.exitCode, kExitDone);
  EXPECT_EQ(help.err, "");
  const std::string_view usage = UsageText().substr(UsageText().find('\n') + 1);
  EXPECT_NE(help.out.find(usage), std::string::npos) << help.out;
  for (const char* option :
       {"--game", "--13plus", "--guarantee", "--rows", "--reversed", "-o FILE", "--version"}) {
    EXPECT_NE(help.out.find("\n  " + std::string(option)), std::string::npos) << option;
  }
  // The help's own example runs and reduces to 130 rows.
  const size_t example = help.out.find("spelkub_rader --rows 130 ");
  ASSERT_NE(example, std::string::npos);
  const std::string marks =
      help.out.substr(example + 25, help.out.find('\n', example) - example - 25);
  const Outcome run = Rader({"--rows", "130", marks});
  EXPECT_EQ(run.exitCode, kExitDone) << run.err;
  EXPECT_EQ(run.out.size(), 24u + 130u * kStryktipsetLineBytes);
}

TEST_F(RaderTest, FailedWriteToStandardOutputIsReported) {
  const Outcome full = Rader(kExampleMarks, "/dev/full");
  EXPECT_EQ(full.exitCode, kExitRefused);
  EXPECT_EQ(full.err, "spelkub_rader: Kunde inte skriva till standard ut: disken är full.\n");
  const Outcome fullHelp = Rader({"--help"}, "/dev/full");
  EXPECT_EQ(fullHelp.exitCode, kExitRefused);
  EXPECT_EQ(fullHelp.err, full.err);

  // A reader that has gone away: reported the same way, not a death by signal.
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  ::close(pipeEnds[0]);
  const Outcome closed = Rader(kExampleMarks, {}, pipeEnds[1]);
  ::close(pipeEnds[1]);
  EXPECT_EQ(closed.exitCode, kExitRefused);
  EXPECT_EQ(closed.err,
            "spelkub_rader: Kunde inte skriva till standard ut: mottagaren har slutat läsa.\n");
}

// ---------------------------------------------------------------------------
// Malformed arguments: one line of explanation, exit 2, nothing written

struct MalformedCase {
  std::vector<std::string> args;
  std::string reason;  // a piece of the explanation
};

TEST_F(RaderTest, MalformedArgumentsAreExplainedInOneLineAndWriteNothing) {
  const std::string marks = "1X,X2,1,1,1,1,1,1,1,1,1,1,1";
  const std::vector<MalformedCase> cases{
      {{"--colour", "red", marks}, "okänd flagga \"--colour\""},
      {{"-q", marks}, "okänd flagga \"-q\""},
      {{"--rows=4", marks}, "okänd flagga \"--rows=4\""},
      {{"--guarantee", "3", marks},
       "från 4 till 13 (14 för Supertoto; 8 för Topptipset, Topptipset Stryk, Topptipset Extra och "
       "Topptipset Europa), inte \"3\""},
      {{"--guarantee", "14", marks}, "Stryktipset har garantier från 4 till 13 rätt"},
      {{"--guarantee", "12x", marks},
       "från 4 till 13 (14 för Supertoto; 8 för Topptipset, Topptipset Stryk, Topptipset Extra och "
       "Topptipset Europa), inte \"12x\""},
      {{"--rows", "0", marks}, "positivt heltal"},
      {{"--rows", "-3", marks}, "positivt heltal"},
      {{"--rows", "2.5", marks}, "positivt heltal"},
      {{"--rows", "", marks}, "positivt heltal"},
      {{"--rows", "2147483648", marks}, "för stort"},
      {{"--rows", "99999999999999999999999", marks}, "för stort"},
      {{"1XX,1,1,1,1,1,1,1,1,1,1,1,1"}, "har tecknet X två gånger"},
      {{"1x1X,1,1,1,1,1,1,1,1,1,1,1,1"}, "två gånger"},
      {{"1,1,1,1,1,1,1,1,1,1,1,1,1", "Y"}, "annat än tecknen"},
      {{"1,1,1,1,1,1,0,1,1,1,1,1,1"}, "annat än tecknen"},
      {{"1-,1,1,1,1,1,1,1,1,1,1,1,1"}, "annat än tecknen"},
      {{"1;X,1,1,1,1,1,1,1,1,1,1,1,1"}, "annat än tecknen"},
      {{marks, "1", "2"}, "MARKS har 15 grupper"},
      {{"--game", "supertoto", marks, "1", "2"}, "MARKS har 15 grupper"},
      {{"--rows", "4", "--guarantee", "12", marks}, "utesluter varandra"},
      {{"--guarantee", "12", "--rows", "4", marks}, "utesluter varandra"},
      {{"--reversed", marks}, "--reversed kräver en reducering"},
      {{"--game", "supertoto", "--game", "supertoto", marks}, "flaggan --game anges två gånger"},
      {{"--13plus", "2", "--13plus", "3", marks}, "flaggan --13plus anges två gånger"},
      {{"--rows", "2", "--rows", "2", marks}, "flaggan --rows anges två gånger"},
      {{"--guarantee", "9", "--guarantee", "9", marks}, "flaggan --guarantee anges två gånger"},
      {{"--rows", "2", "--reversed", "--reversed", marks}, "flaggan --reversed anges två gånger"},
      {{"-o", "a.txt", "-o", "b.txt", marks}, "flaggan -o anges två gånger"},
      {{"--game", "Stryktipset", marks},
       "stryktipset, europatipset, supertoto, topptipset, topptipset-stryk, topptipset-extra eller "
       "topptipset-europa"},
      {{"--13plus", "1", marks}, "0-1, 2, 3 eller F"},
      {{"--13plus", "Ja", marks}, "0-1, 2, 3 eller F"},
      {{marks, "--rows"}, "--rows kräver ett värde"},
      {{marks, "-o"}, "-o kräver ett värde"},
      {{"--help", marks}, "--help står ensamt"},
      {{"--version", "--help"}, "--version står ensamt"},
      {{"--game", "supertoto"}, "MARKS saknas"},
      {{}, "MARKS saknas"},
      {{"--", "--rows", "4"}, "MARKS grupp 1, \"--rows\""},
      {{"--rows", "4", "--"}, "MARKS saknas"},
      {{"--x\x1b[7m", marks}, "okänd flagga \"--x\\x1b[7m\""},
      {{"1\x1b[7mX,1,1,1,1,1,1,1,1,1,1,1,1"}, "\"1\\x1b[7mX\""},
      {{"--game", "super\ntoto", marks}, "inte \"super\\x0atoto\""},
      {{"--13plus", "\xff\xc3", marks}, "inte \"\\xff\\xc3\""},
      {{"--13plus",
        "\xc2\x9b"
        "2",
        marks},
       "inte \"\\xc2\\x9b2\""},
      {{"--13plus", "\x7f", marks}, "inte \"\\x7f\""},
      {{"--rows", "\r9", marks}, "inte \"\\x0d9\""},
  };
  const std::string kept = "a file that must stay as it is\n";
  for (const MalformedCase& c : cases) {
    std::string shown;
    for (const std::string& arg : c.args) shown += "[" + arg + "] ";
    WriteFile(Path("a.txt"), kept);
    std::vector<std::string> args = c.args;
    if (std::find(args.begin(), args.end(), "-o") == args.end()) {
      args.insert(args.begin(), {"-o", Path("a.txt").string()});
    }
    const Outcome run = Rader(args);
    EXPECT_EQ(run.exitCode, kExitMalformed) << shown;
    EXPECT_EQ(run.out, "") << shown;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << shown << run.err;
    EXPECT_EQ(run.err.back(), '\n') << shown;
    EXPECT_EQ(run.err.rfind("spelkub_rader: ", 0), 0u) << shown << run.err;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << shown << run.err;
    EXPECT_TRUE(run.err.ends_with(" (se --help)\n")) << shown << run.err;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << shown;
    EXPECT_EQ(run.err.find('\r'), std::string::npos) << shown;
    EXPECT_EQ(ReadFile(Path("a.txt")), kept) << shown;
    EXPECT_EQ(Entries(), std::vector<std::string>{"a.txt"}) << shown;
  }
}

TEST_F(RaderTest, DoubleDashEndsTheOptions) {
  const Outcome run = Rader(WithMarks({"--rows", "2", "--"}, kNineRowMarks));
  EXPECT_EQ(run.exitCode, kExitDone);
  EXPECT_EQ(run.err, Line("Reducering", "11 rätts garanti på dina nu reducerade rader!"));
  // After "--" even "-q" is MARKS: a group with other characters than signs.
  const Outcome dash = Rader({"--", "-q", "1"});
  EXPECT_EQ(dash.exitCode, kExitMalformed);
  EXPECT_NE(dash.err.find("MARKS grupp 1, \"-q\""), std::string::npos) << dash.err;
  // And "-" alone, an unmarked first match, is refused as the window refuses it.
  const Outcome unmarked = Rader({"--", "-", "1 1 1 1 1 1 1 1 1 1 1 1"});
  EXPECT_EQ(unmarked.exitCode, kExitRefused);
  EXPECT_EQ(unmarked.err, Line("Felaktig rad!", "Klicka i ett giltigt system!"));
}

TEST_F(RaderTest, FileNameWithControlCharactersIsToldInOneEscapedLine) {
  const std::string missing = Path("no\nsuch\x1b[2J").string() + "/rader.txt";
  const Outcome run = Rader(WithMarks({"-o", missing}, kExampleMarks));
  EXPECT_EQ(run.exitCode, kExitRefused);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_EQ(run.err.find('\x1b'), std::string::npos);
  EXPECT_NE(run.err.find("no\\x0asuch\\x1b[2J/rader.txt\""), std::string::npos) << run.err;
}

TEST(ShownText, KeepsValidUtf8AndEscapesControlsAndBrokenBytes) {
  EXPECT_EQ(ShownText("Dina rader är nu reducerade!! ∑ 😀"), "Dina rader är nu reducerade!! ∑ 😀");
  EXPECT_EQ(ShownText("a\tb\nc\x7f"), "a\\x09b\\x0ac\\x7f");
  EXPECT_EQ(ShownText(std::string_view("\0", 1)), "\\x00");
  EXPECT_EQ(ShownText("\xc2\x85"), "\\xc2\\x85");                    // C1 "next line"
  EXPECT_EQ(ShownText("\xc3"), "\\xc3");                             // cut short
  EXPECT_EQ(ShownText("\xc0\xaf"), "\\xc0\\xaf");                    // overlong "/"
  EXPECT_EQ(ShownText("\xed\xa0\x80"), "\\xed\\xa0\\x80");           // a surrogate
  EXPECT_EQ(ShownText("\xf4\x90\x80\x80"), "\\xf4\\x90\\x80\\x80");  // above U+10FFFF
}

// ---------------------------------------------------------------------------
// -o FILE

TEST_F(RaderTest, OutputFileIsReplacedByRename) {
  const fs::path file = Path("rader.txt");
  WriteFile(file, "old rows\r\n");
  struct stat before {};
  ASSERT_EQ(::stat(file.c_str(), &before), 0);
  // A reader holding the old file keeps seeing the old text: the new text
  // arrives as a new file, never by rewriting the old one in place.
  const int reader = ::open(file.c_str(), O_RDONLY);
  ASSERT_GE(reader, 0);

  const Outcome run = Rader(WithMarks({"-o", file.string()}, kExampleMarks));
  EXPECT_EQ(run.exitCode, kExitDone);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadFile(file), kExampleText);

  char old[32] = {};
  EXPECT_EQ(::pread(reader, old, sizeof old, 0), 10);
  EXPECT_EQ(std::string(old), "old rows\r\n");
  ::close(reader);
  struct stat after {};
  ASSERT_EQ(::stat(file.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);
  EXPECT_EQ(Entries(), std::vector<std::string>{"rader.txt"});
}

TEST_F(RaderTest, OutputFileWithReductionHoldsTheKeptRowsAndReportsOnStandardError) {
  const fs::path file = Path("kept.txt");
  const Outcome run = Rader(WithMarks({"--rows", "2", "-o", file.string()}, kNineRowMarks));
  EXPECT_EQ(run.exitCode, kExitDone);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, Line("Reducering", "11 rätts garanti på dina nu reducerade rader!"));
  EXPECT_EQ(ReadFile(file),
            "Stryktipset,13plus=Nej\r\n"
            "E,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n"
            "E,X,X,1,1,1,1,1,1,1,1,1,1,1\r\n");
}

TEST_F(RaderTest, RefusedRunsLeaveAnExistingOutputFileIntact) {
  const fs::path file = Path("rader.txt");
  const std::string kept = "E,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n";
  WriteFile(file, kept);
  const Outcome invalid = Rader({"-o", file.string(), "1X X2 - 1 1 1 1 1 1 1 1 1 1"});
  EXPECT_EQ(invalid.exitCode, kExitRefused);
  EXPECT_EQ(ReadFile(file), kept);
  const Outcome over = Rader(WithMarks({"-o", file.string(), "--rows", "5"}, kExampleMarks));
  EXPECT_EQ(over.exitCode, kExitRefused);
  EXPECT_EQ(over.err, Line("FEL!", "Felaktigt val av antal rader!"));
  EXPECT_EQ(ReadFile(file), kept);
  EXPECT_EQ(Entries(), std::vector<std::string>{"rader.txt"});
}

TEST_F(RaderTest, AFileThatFailsHalfWrittenLeavesTheOldFileAsItWas) {
  const fs::path file = Path("rader.txt");
  WriteFile(file, kExampleText);
  {
    // The full system is 46 MB: the limit cuts it off after a few blocks.
    const spelkub::testing::FileSizeLimit limit(10 << 20);
    const Outcome run =
        Rader({"-o", file.string(), "1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2"});
    EXPECT_EQ(run.exitCode, kExitRefused);
    EXPECT_EQ(run.err, "spelkub_rader: Kan inte skriva filen \"" + file.string() +
                           "\": filen blir för stor.\n");
  }
  EXPECT_EQ(ReadFile(file), kExampleText);
  EXPECT_EQ(Entries(), std::vector<std::string>{"rader.txt"});
}

TEST_F(RaderTest, UnwritableOutputFileGivesTheSaveErrorText) {
  const std::string missing = Path("no such folder").string() + "/rader.txt";
  const Outcome run = Rader(WithMarks({"-o", missing}, kExampleMarks));
  EXPECT_EQ(run.exitCode, kExitRefused);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err,
            "spelkub_rader: Kan inte skapa filen \"" + missing + "\": mappen finns inte.\n");

  const Outcome empty = Rader(WithMarks({"-o", ""}, kExampleMarks));
  EXPECT_EQ(empty.exitCode, kExitRefused);
  EXPECT_EQ(empty.err, "spelkub_rader: Kan inte skapa filen \"\": mappen finns inte.\n");

  // A folder in the way: it stays a folder with what it held.
  fs::create_directories(Path("folder"));
  WriteFile(Path("folder") / "inside.txt", "inside");
  const Outcome folder = Rader(WithMarks({"-o", Path("folder").string()}, kExampleMarks));
  EXPECT_EQ(folder.exitCode, kExitRefused);
  EXPECT_EQ(folder.err, "spelkub_rader: Kan inte skapa filen \"" + Path("folder").string() +
                            "\": det är en mapp.\n");
  EXPECT_TRUE(fs::is_directory(Path("folder")));
  EXPECT_EQ(ReadFile(Path("folder") / "inside.txt"), "inside");
}

// ---------------------------------------------------------------------------
// Random systems: the program writes what the engine makes of the same choices

TEST_F(RaderTest, RandomSystemsGiveTheEnginesCouponText) {
  std::mt19937 random(20080918);
  const char* const groups[] = {"1", "X", "2", "1X", "X1", "12", "X2", "1X2", "2x1"};
  const char* const games[] = {"stryktipset", "europatipset", "supertoto"};
  const char* const goals[] = {"0-1", "2", "3", "F"};
  for (int round = 0; round < 40; ++round) {
    const int game = static_cast<int>(random() % 3) + 1;
    std::vector<std::string> args{"--game", games[game - 1]};
    const bool plus13 = random() % 2 == 0;
    const int goal = static_cast<int>(random() % 4);
    if (plus13) args.insert(args.end(), {"--13plus", goals[goal]});

    // Keep most matches single so the systems stay small, a few hundred rows.
    std::string marks;
    CouponState state;
    state.Game = game;
    state.Goals = plus13 ? goal + 1 : kGoalsNone;
    for (int match = 1; match <= MatchesInPlay(game); ++match) {
      const std::string group = groups[random() % 10 < 7 ? random() % 3 : 3 + random() % 6];
      marks += group + (random() % 2 ? ", " : " ");
      for (const char sign : group) {
        const int outcome = sign == '1' ? 0 : (sign == 'X' || sign == 'x') ? 1 : 2;
        state.Marks[CellIndex(match, outcome)] = 1;
      }
    }
    const RowSet set = GenerateFullSystem(state, plus13 ? kPlus13Yes : kPlus13No);
    const bool reversed = random() % 2 == 0;

    std::string expectedOut;
    std::string expectedErr;
    switch (random() % 3) {
      case 0:
        expectedOut = CouponText(set);
        break;
      case 1: {
        const int level = 4 + static_cast<int>(random() % 10);
        args.insert(args.end(), {"--guarantee", std::to_string(level)});
        if (reversed) args.push_back("--reversed");
        expectedOut = KeptCouponText(set, *ReduceToGuarantee(set, level, reversed));
        expectedErr = Line("Reducering", "Dina rader är nu reducerade!!");
        break;
      }
      default: {
        const int target = 1 + static_cast<int>(random() % set.size());
        if (reversed) args.push_back("--reversed");
        args.insert(args.end(), {"--rows", std::to_string(target)});
        const ReductionResult result = *ReduceToRowCount(set, target, reversed);
        expectedOut = KeptCouponText(set, result);
        expectedErr = Line("Reducering", GuaranteeReportText(result.guarantee));
        break;
      }
    }
    args.push_back(marks);

    const Outcome run = Rader(args);
    EXPECT_EQ(run.exitCode, kExitDone) << marks << run.err;
    EXPECT_TRUE(run.out == expectedOut) << "round " << round << ": " << marks;
    EXPECT_EQ(run.err, expectedErr) << marks;
  }
}

// ---------------------------------------------------------------------------
// --analyse, --grade, --optimize, --upload

Options Parsed(std::vector<std::string_view> args) {
  const ParseResult result = ParseArguments(args);
  EXPECT_TRUE(result.options.has_value()) << result.error;
  return result.options.value_or(Options{});
}
Options ParsedMarks(const std::vector<std::string>& marks) {
  return Parsed(std::vector<std::string_view>(marks.begin(), marks.end()));
}

std::string NineRowLine(int row) {  // rows 1..9 of kNineRowMarks, with CR LF
  std::string line = "E,";
  line += "1X2"[(row - 1) % 3];
  line += ',';
  line += "1X2"[(row - 1) / 3];
  return line + ",1,1,1,1,1,1,1,1,1,1,1\r\n";
}

TEST_F(RaderTest, AnalyseGivesTheTrueGuaranteeOfTheRowsByNumberOfRight) {
  // Rows 1, 5 and 9 of the nine-row system: the row count reduction reports
  // 11, but these rows give 12 right whatever the outcome.
  const std::string rows =
      "Stryktipset,13plus=Nej\r\n" + NineRowLine(1) + NineRowLine(5) + NineRowLine(9);
  WriteFile(Path("rows.txt"), rows);
  const Outcome run = Rader(WithMarks({"--analyse", Path("rows.txt").string()}, kNineRowMarks));
  EXPECT_EQ(run.exitCode, kExitDone) << run.err;
  EXPECT_EQ(run.out, "Garanti: 12 rätt\n13 rätt: 3 utfall\n12 rätt: 6 utfall\n");
  EXPECT_EQ(run.err, "");

  // From standard input, weighted by streck: outcome 1-1 and its kin.
  stdinPath_ = Path("rows.txt").string();
  std::string streck;
  for (int match = 0; match < 13; ++match) streck += "50 25 25 ";
  const Outcome weighted = Rader(WithMarks({"--streck", streck, "--analyse", "-"}, kNineRowMarks));
  EXPECT_EQ(weighted.exitCode, kExitDone) << weighted.err;
  // 13 right on 1-1, X-X, 2-2: 0.25 + 0.0625 + 0.0625 of the weight.
  EXPECT_EQ(weighted.out,
            "Garanti: 12 rätt\n13 rätt: 3 utfall (37,50 %)\n12 rätt: 6 utfall (62,50 %)\n");
}

TEST_F(RaderTest, AnalyseCountsRowsOutsideTheSystem) {
  const std::string rows = "Stryktipset\r\n" + NineRowLine(1) + "E,1,1,2,1,1,1,1,1,1,1,1,1,1\r\n";
  WriteFile(Path("rows.txt"), rows);
  const Outcome run = Rader(WithMarks({"--analyse", Path("rows.txt").string()}, kNineRowMarks));
  EXPECT_EQ(run.exitCode, kExitDone) << run.err;
  // Row 1 alone covers the system with 11 right; the outside row adds 12 on 1-1.
  const SystemShape shape = ShapeOf(MakeCouponState(ParsedMarks(kNineRowMarks)));
  const PackedRow outside = PackedRow{2} << 4;
  const std::vector<PackedRow> packed{0, outside};
  const AnalysisReport report = AnalyseRows(shape, packed);
  std::string expected = "Garanti: " + std::to_string(report.guarantee) + " rätt\n";
  for (int right = 13; right >= report.guarantee; --right) {
    expected += std::to_string(right) + " rätt: " + std::to_string(report.outcomesByRight[right]) +
                " utfall\n";
  }
  EXPECT_EQ(run.out, expected + "Rader utanför systemet: 1\n");
}

TEST_F(RaderTest, AnalyseAndGradeRefuseBadFilesInOneLine) {
  WriteFile(Path("bad.txt"), "Stryktipset\r\nE,1,1,1\r\n");
  const Outcome bad = Rader(WithMarks({"--analyse", Path("bad.txt").string()}, kNineRowMarks));
  EXPECT_EQ(bad.exitCode, kExitRefused);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 1) << bad.err;
  EXPECT_EQ(bad.err.rfind("spelkub_rader: Rad 2: ", 0), 0u) << bad.err;

  const Outcome missing = Rader({"--grade", "1111111111111", Path("none.txt").string()});
  EXPECT_EQ(missing.exitCode, kExitRefused);
  EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1) << missing.err;

  // Supertoto rows against a Stryktipset system.
  WriteFile(Path("toto.txt"), "1,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n");
  const Outcome game = Rader(WithMarks({"--analyse", Path("toto.txt").string()}, kNineRowMarks));
  EXPECT_EQ(game.exitCode, kExitRefused);
  EXPECT_NE(game.err.find("--game"), std::string::npos) << game.err;

  // An unmarked match is refused as generation refuses it.
  const Outcome unmarked =
      Rader({"--analyse", Path("toto.txt").string(), "1 1 - 1 1 1 1 1 1 1 1 1 1"});
  EXPECT_EQ(unmarked.err, Line("Felaktig rad!", "Klicka i ett giltigt system!"));
}

TEST_F(RaderTest, GradeCountsRowsByRightAndWhatUndecidedMatchesCanBring) {
  std::string rows = "Stryktipset,13plus=Nej\r\n";
  for (int row = 1; row <= 9; ++row) rows += NineRowLine(row);
  WriteFile(Path("rows.txt"), rows);

  // Every match decided: 1-1 right on row 1 only.
  const Outcome all = Rader({"--grade", "1,1,1,1,1,1,1,1,1,1,1,1,1", Path("rows.txt").string()});
  EXPECT_EQ(all.exitCode, kExitDone) << all.err;
  EXPECT_EQ(all.out, "13 rätt: 1 rad\n12 rätt: 4 rader\n11 rätt: 4 rader\n");

  // Match 1 undecided, match 2 "X": rows with X on match 2 can reach 13.
  const Outcome open = Rader({"--grade", "-X11111111111", Path("rows.txt").string()});
  EXPECT_EQ(open.exitCode, kExitDone) << open.err;
  // Brute force: right on the decided matches, and the best each row can still reach.
  std::array<int, 14> exactly{}, reach{};
  for (int row = 1; row <= 9; ++row) {
    const int right = 11 + ((row - 1) / 3 == 1 ? 1 : 0);
    ++exactly[right];
    for (int k = 0; k <= right + 1; ++k) ++reach[k];
  }
  std::string expected;
  const auto counted = [](int count) {
    return std::to_string(count) + (count == 1 ? " rad" : " rader");
  };
  for (int k = 13; k >= 0; --k) {
    if (exactly[k] > 0) expected += std::to_string(k) + " rätt: " + counted(exactly[k]) + "\n";
  }
  for (int k = 13; k >= 10; --k) {
    expected += "Kan nå " + std::to_string(k) + " rätt: " + counted(reach[k]) + "\n";
  }
  EXPECT_EQ(open.out, expected);

  const Outcome wrong = Rader({"--grade", "1X", Path("rows.txt").string()});
  EXPECT_EQ(wrong.exitCode, kExitMalformed);
  EXPECT_TRUE(wrong.err.ends_with(" (se --help)\n")) << wrong.err;
}

// RESULT that fits no game is malformed before any file is opened: a missing
// file or a folder gives the same explanation as a good file.
TEST_F(RaderTest, GradeChecksResultBeforeTouchingTheFile) {
  WriteFile(Path("rows.txt"), "Stryktipset\r\n" + NineRowLine(1));
  fs::create_directories(Path("folder"));
  const struct {
    std::string results;
    std::string explanation;
  } cases[] = {
      {"QQ", "Resultat: match 1 har \"Q\""},
      {"1111111111111111", "Resultat: väntade 13 tecken"},
      {"111111111111Q", "Resultat: match 13 har \"Q\""},
      {"1111111111111Q", "Resultat: match 14 har \"Q\""},
  };
  for (const auto& c : cases) {
    for (const std::string file : {"rows.txt", "none.txt", "folder"}) {
      const Outcome run = Rader({"--grade", c.results, Path(file).string()});
      EXPECT_EQ(run.exitCode, kExitMalformed) << c.results << " " << file;
      EXPECT_EQ(run.err.rfind("spelkub_rader: " + c.explanation, 0), 0u) << file << run.err;
      EXPECT_TRUE(run.err.ends_with(" (se --help)\n")) << run.err;
      EXPECT_EQ(run.out, "");
    }
  }
  // A result of either count passes the arguments; the file decides.
  EXPECT_EQ(Rader({"--grade", "1111111111111", Path("none.txt").string()}).exitCode, kExitRefused);
  EXPECT_EQ(Rader({"--grade", "11111111111111", Path("none.txt").string()}).exitCode, kExitRefused);
  EXPECT_EQ(Rader({"--grade", "1111111111111", Path("rows.txt").string()}).out, "13 rätt: 1 rad\n");
}

TEST_F(RaderTest, GradeReadsEveryRowAfterAFirstLineOfAByteOrderMarkAndBlanks) {
  // The mark and 64 blanks before a header and one row.
  WriteFile(Path("bom.txt"), "\xEF\xBB\xBF" + std::string(64, ' ') +
                                 "\r\nStryktipset\r\nE,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n");
  const Outcome one = Rader({"--grade", "1111111111111", Path("bom.txt").string()});
  EXPECT_EQ(one.exitCode, kExitDone) << one.err;
  EXPECT_EQ(one.out, "13 rätt: 1 rad\n");

  // The same first line, six empty lines and 56,155 Supertoto rows: more than
  // the reader's first megabyte.
  std::string rows = "\xEF\xBB\xBF" + std::string(64, ' ') + "\r\n";
  for (int i = 0; i < 6; ++i) rows += "\r\n";
  for (int i = 0; i < 56155; ++i) rows += "1,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n";
  WriteFile(Path("st.txt"), rows);
  const Outcome many = Rader({"--grade", "11111111111111", Path("st.txt").string()});
  EXPECT_EQ(many.exitCode, kExitDone) << many.err;
  EXPECT_EQ(many.out, "14 rätt: 56155 rader\n");
}

TEST_F(RaderTest, GradeSaysOneRowAndReadsRunsOfSignsBySign) {
  // Row 5 of the nine-row system (X-X) alone; the result in runs of signs.
  WriteFile(Path("one.txt"), "Stryktipset\r\n" + NineRowLine(5));
  const Outcome run = Rader({"--grade", "xx11 111 1111 11", Path("one.txt").string()});
  EXPECT_EQ(run.exitCode, kExitDone) << run.err;
  EXPECT_EQ(run.out, "13 rätt: 1 rad\n");
  const Outcome open = Rader({"--grade", "XX11111111---", Path("one.txt").string()});
  EXPECT_EQ(open.exitCode, kExitDone) << open.err;
  EXPECT_EQ(open.out,
            "10 rätt: 1 rad\nKan nå 13 rätt: 1 rad\nKan nå 12 rätt: 1 rad\n"
            "Kan nå 11 rätt: 1 rad\nKan nå 10 rätt: 1 rad\n");
  const Outcome bad = Rader({"--grade", "2x1x21 1q11 112", Path("one.txt").string()});
  EXPECT_EQ(bad.exitCode, kExitMalformed);
  EXPECT_NE(bad.err.find("match 8 har \"q\" (i \"1q11\")"), std::string::npos) << bad.err;
}

TEST_F(RaderTest, AnalyseOfHeaderlessThirteenSignRowsSaysWhatTheSystemAndTheFileSay) {
  WriteFile(Path("rows.txt"), "\r\n1,1,1,1,1,1,1,1,1,1,1,1,1\r\n");
  const Outcome run = Rader(WithMarks({"--analyse", Path("rows.txt").string()}, kNineRowMarks));
  EXPECT_EQ(run.exitCode, kExitRefused);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err,
            "spelkub_rader: Rad 2: systemet har 13 matcher och raden 13 tecken, men filen har "
            "ingen rubrik och läses då som Supertoto med 14 tecken per rad: skriv "
            "\"Stryktipset\" eller \"Europatipset\" först och \"E,\" före varje rad\n");
  // Supertoto marks keep the reader's own message: 14 signs are what they need.
  std::vector<std::string> toto(14, "1");
  const Outcome game =
      Rader(WithMarks({"--game", "supertoto", "--analyse", Path("rows.txt").string()}, toto));
  EXPECT_EQ(game.exitCode, kExitRefused);
  EXPECT_EQ(game.err, "spelkub_rader: Rad 2: väntade 14 tecken 1, X eller 2\n");
}

TEST_F(RaderTest, AnalyseNamesScaledStreckAndRefusesSumsBeyondCounting) {
  const std::string rows =
      "Stryktipset,13plus=Nej\r\n" + NineRowLine(1) + NineRowLine(5) + NineRowLine(9);
  WriteFile(Path("rows.txt"), rows);
  // Match 2 adds up to 50 and match 4 to 110: both scaled, and said so; 99.5 is rounding.
  std::string streck;
  for (int match = 1; match <= 13; ++match) {
    streck += match == 2   ? "25 12.5 12.5 "
              : match == 4 ? "55 30 25 "
              : match == 6 ? "50 25 24.5 "
                           : "50 25 25 ";
  }
  const Outcome run =
      Rader(WithMarks({"--streck", streck, "--analyse", Path("rows.txt").string()}, kNineRowMarks));
  EXPECT_EQ(run.exitCode, kExitDone) << run.err;
  EXPECT_EQ(run.out,
            "Garanti: 12 rätt\n13 rätt: 3 utfall (37,50 %)\n12 rätt: 6 utfall (62,50 %)\n"
            "Streck som inte summerade till 100 har räknats om: match 2, 4\n");

  const std::string huge = "1" + std::string(308, '0');
  std::string infinite = huge + " " + huge + " " + huge;
  for (int match = 2; match <= 13; ++match) infinite += " 50 25 25";
  const Outcome refused = Rader(
      WithMarks({"--streck", infinite, "--analyse", Path("rows.txt").string()}, kNineRowMarks));
  EXPECT_EQ(refused.exitCode, kExitMalformed);
  EXPECT_EQ(refused.out, "");
  EXPECT_NE(refused.err.find("Streck: \"1000000000000000…\" är för stort"), std::string::npos)
      << refused.err;
}

// The search's rows do not depend on how many threads it runs on; --threads
// takes a count and goes only with --optimize.
TEST_F(RaderTest, ThreadsChangeNothingButTheSpeed) {
  const std::vector<std::string> marks{"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1",
                                       "1",   "1",   "1",   "1",   "1",   "1"};
  const Outcome one =
      Rader(WithMarks({"--optimize", "11", "--effort", "quick", "--threads", "1"}, marks));
  const Outcome two =
      Rader(WithMarks({"--optimize", "11", "--effort", "quick", "--threads", "2"}, marks));
  ASSERT_EQ(one.exitCode, kExitDone) << one.err;
  ASSERT_EQ(two.exitCode, kExitDone) << two.err;
  EXPECT_EQ(one.out, two.out);
  EXPECT_EQ(one.err, two.err);
  for (const std::string bad : {"0", "x", "-1", "257"}) {
    const Outcome refused = Rader(WithMarks({"--optimize", "11", "--threads", bad}, marks));
    EXPECT_EQ(refused.exitCode, kExitMalformed) << bad;
    EXPECT_NE(refused.err.find("--threads tar ett antal trådar"), std::string::npos) << refused.err;
  }
  const Outcome alone = Rader(WithMarks({"--threads", "2"}, marks));
  EXPECT_EQ(alone.exitCode, kExitMalformed);
  EXPECT_NE(alone.err.find("--threads kräver --optimize G"), std::string::npos) << alone.err;
}

TEST_F(RaderTest, OptimizeWritesAVerifiedCoverAndComparesWithGaranti) {
  // Four full matches and nine singles, 12 right: the perfect code of 9 rows.
  const std::vector<std::string> marks{"1X2", "1X2", "1X2", "1X2", "1", "1", "1",
                                       "1",   "1",   "1",   "1",   "1", "1"};
  const Outcome run = Rader(WithMarks({"--optimize", "12", "--effort", "quick"}, marks));
  EXPECT_EQ(run.exitCode, kExitDone) << run.err;
  ASSERT_EQ(run.out.rfind("Stryktipset,13plus=Nej\r\n", 0), 0u);
  const size_t rows = (run.out.size() - 24) / kStryktipsetLineBytes;
  EXPECT_EQ(run.out.size(), 24 + rows * kStryktipsetLineBytes);
  const CouponState state = MakeCouponState(ParsedMarks(marks));
  const OptimizeResult expected = *OptimizeGuarantee(ShapeOf(state), 12, Effort::kQuick, 0, Work{});
  EXPECT_EQ(rows, expected.rows.size());
  EXPECT_EQ(run.err, "Optimerad garanti: " + std::to_string(rows) +
                         " rader, 12 rätts garanti (Garanti ger " +
                         std::to_string(expected.greedyRows) + " rader)" +
                         (expected.provedMinimal ? ", bevisat minsta" : "") + "\n");
  // Nine rows meet the sphere-covering bound of this system.
  EXPECT_TRUE(expected.provedMinimal);
  // One row, the whole system, in the singular.
  const Outcome single =
      Rader({"--optimize", "12", "--effort", "quick", "1 1 1 1 1 1 1 1 1 1 1 1 1"});
  EXPECT_EQ(single.exitCode, kExitDone) << single.err;
  EXPECT_EQ(single.out, "Stryktipset,13plus=Nej\r\nE,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n");
  EXPECT_EQ(single.err,
            "Optimerad garanti: 1 rad, 13 rätts garanti (Garanti ger 1 rad), bevisat minsta\n");
  // Every outcome of the system has 12 right on some written row.
  const RowSet system = GenerateFullSystem(state, kPlus13No);
  for (const PackedRow outcome : system.rows) {
    int best = 0;
    for (size_t r = 0; r < rows; ++r) {
      int equal = 0;
      for (int match = 1; match <= 13; ++match) {
        equal += run.out[24 + r * kStryktipsetLineBytes + 2 * match] ==
                 OutcomeSign(PackedOutcome(outcome, match));
      }
      best = std::max(best, equal);
    }
    ASSERT_GE(best, 12);
  }
  // Validation comes first, as for generation.
  const Outcome unmarked = Rader({"--optimize", "12", "1X2 1X2 - 1 1 1 1 1 1 1 1 1 1"});
  EXPECT_EQ(unmarked.exitCode, kExitRefused);
  EXPECT_EQ(unmarked.err, Line("Felaktig rad!", "Klicka i ett giltigt system!"));
}

TEST_F(RaderTest, UploadWritesTodaysFormSplitInFilesOfTenThousandRows) {
  const Outcome small = Rader(WithMarks({"--upload", "--rows", "2"}, kNineRowMarks));
  EXPECT_EQ(small.exitCode, kExitDone) << small.err;
  EXPECT_EQ(small.out, "Stryktipset\r\n" + NineRowLine(1) + NineRowLine(5));
  EXPECT_EQ(small.err, Line("Reducering", "11 rätts garanti på dina nu reducerade rader!"));

  // 3^9 = 19,683 rows: two files with -o, refused on standard output.
  const std::vector<std::string> marks{"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2",
                                       "1X2", "1X2", "1",   "1",   "1",   "1"};
  const Outcome tooMany = Rader(WithMarks({"--upload"}, marks));
  EXPECT_EQ(tooMany.exitCode, kExitRefused);
  EXPECT_EQ(std::count(tooMany.err.begin(), tooMany.err.end(), '\n'), 1) << tooMany.err;

  const Outcome split = Rader(
      WithMarks({"--upload", "--game", "europatipset", "-o", Path("in.txt").string()}, marks));
  EXPECT_EQ(split.exitCode, kExitDone) << split.err;
  EXPECT_EQ(Entries(), (std::vector<std::string>{"in-1.txt", "in-2.txt"}));
  const std::string first = ReadFile(Path("in-1.txt")), second = ReadFile(Path("in-2.txt"));
  EXPECT_EQ(first.rfind("Europatipset\r\nE,1,1,1,", 0), 0u);
  EXPECT_EQ(first.size(), 14 + 10000u * kStryktipsetLineBytes);
  EXPECT_EQ(second.size(), 14 + 9683u * kStryktipsetLineBytes);
  EXPECT_NE(split.err.find("Sparade 2 filer"), std::string::npos) << split.err;

  // A later save of fewer rows names the files of the earlier one that stay.
  const Outcome fewer =
      Rader(WithMarks({"--upload", "-o", Path("in.txt").string()}, kExampleMarks));
  EXPECT_EQ(fewer.exitCode, kExitDone) << fewer.err;
  EXPECT_EQ(ReadFile(Path("in.txt")), "Stryktipset\r\n" + std::string(kExampleText.substr(24)));
  EXPECT_EQ(fewer.err, "spelkub_rader: Sparade 1 fil: " + Path("in.txt").string() +
                           "\nspelkub_rader: Äldre filer ligger kvar, lämna inte in dem: " +
                           Path("in-1.txt").string() + ", " + Path("in-2.txt").string() + "\n");

  const Outcome toto = Rader({"--upload", "--game", "supertoto", "1 1 1 1 1 1 1 1 1 1 1 1 1 1"});
  EXPECT_EQ(toto.exitCode, kExitRefused);
  EXPECT_EQ(toto.err, "spelkub_rader: Supertoto kan inte lämnas in på det här sättet.\n");
}

TEST_F(RaderTest, WriteFailuresNameTheFileAndTheReasonInSwedish) {
  if (fs::exists("/dev/full")) {
    const Outcome full = Rader(WithMarks({"-o", "/dev/full"}, kExampleMarks));
    EXPECT_EQ(full.exitCode, kExitRefused);
    EXPECT_EQ(full.err, "spelkub_rader: Kan inte skriva filen \"/dev/full\": disken är full.\n");
  }
  // The hand-in's own words follow the reason's full stop.
  const std::vector<std::string> marks{"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2",
                                       "1X2", "1X2", "1",   "1",   "1",   "1"};
  fs::create_directories(Path("in-2.txt"));
  const Outcome folder = Rader(WithMarks({"--upload", "-o", Path("in.txt").string()}, marks));
  EXPECT_EQ(folder.exitCode, kExitRefused);
  EXPECT_EQ(folder.err, "spelkub_rader: Kan inte skapa filen \"" + Path("in-2.txt").string() +
                            "\": det är en mapp. Ingen av de 2 filerna sparades.\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"in-2.txt"});
}

// Rows that need several files need a name to number: a pipe or a device
// is refused, and nothing appears beside it.
TEST_F(RaderTest, UploadOfSeveralFilesRefusesAPipeOrADevice) {
  const std::vector<std::string> marks{"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2",
                                       "1X2", "1X2", "1",   "1",   "1",   "1"};
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  std::vector<std::string> targets{"pipe"};
  // The null device under a name of the test's own, so that nothing can
  // appear in /dev.
  if (::mknod(Path("null").c_str(), S_IFCHR | 0600, ::makedev(1, 3)) == 0)
    targets.push_back("null");
  for (const std::string& name : targets) {
    const Outcome run = Rader(WithMarks({"--upload", "-o", Path(name).string()}, marks));
    EXPECT_EQ(run.exitCode, kExitRefused) << name;
    EXPECT_EQ(run.err, "spelkub_rader: Raderna behöver 2 filer, och \"" + Path(name).string() +
                           "\" är ingen vanlig fil. Ange en vanlig fil eller ett nytt namn.\n");
  }
  std::sort(targets.begin(), targets.end());
  EXPECT_EQ(Entries(), targets);
  // One file goes to the pipe as before.
  const Outcome one = Rader(WithMarks({"--upload", "-o", "/dev/null"}, kExampleMarks));
  EXPECT_EQ(one.exitCode, kExitDone) << one.err;
}

// Today's hand-in form has no 13plus: the rows are handed in, and the
// report says to choose 13plus at the operator.
TEST_F(RaderTest, UploadWith13plusHandsInTheRowsAndSaysSo) {
  const std::string note =
      "spelkub_rader: 13plus ingår inte i inlämningsfilen: välj det hos spelbolaget när du "
      "lämnar in.\n";
  const Outcome saved =
      Rader(WithMarks({"--upload", "--13plus", "2", "-o", Path("in.txt").string()}, kExampleMarks));
  EXPECT_EQ(saved.exitCode, kExitDone) << saved.err;
  EXPECT_EQ(ReadFile(Path("in.txt")), "Stryktipset\r\n" + std::string(kExampleText.substr(24)));
  EXPECT_EQ(saved.err, "spelkub_rader: Sparade 1 fil: " + Path("in.txt").string() + "\n" + note);

  const Outcome out = Rader(WithMarks({"--upload", "--13plus", "F"}, kExampleMarks));
  EXPECT_EQ(out.exitCode, kExitDone) << out.err;
  EXPECT_EQ(out.out, "Stryktipset\r\n" + std::string(kExampleText.substr(24)));
  EXPECT_EQ(out.err, note);

  const Outcome without = Rader(WithMarks({"--upload"}, kExampleMarks));
  EXPECT_EQ(without.err, "");
}

TEST_F(RaderTest, ToolOptionsThatDoNotGoTogetherAreMalformed) {
  const std::string marks = "1X,X2,1,1,1,1,1,1,1,1,1,1,1";
  const std::vector<MalformedCase> cases{
      {{"--effort", "quick", marks}, "--effort kräver --optimize"},
      {{"--optimize", "12", "--effort", "fast", marks}, "quick, normal eller deep"},
      {{"--optimize", "12", "--rows", "4", marks}, "utesluter --rows och --guarantee"},
      {{"--guarantee", "11", "--optimize", "12", marks}, "utesluter --rows och --guarantee"},
      {{"--optimize", "14", marks}, "Stryktipset har garantier från 4 till 13 rätt"},
      {{"--optimize", "3", marks}, "från 4 till 13"},
      {{"--streck", "1 2 3", marks}, "--streck kräver --analyse"},
      {{"--analyse", "a.txt", "--streck", "1 2 3", marks}, "Streck: "},
      {{"--analyse", "a.txt", "--rows", "3", marks}, "--analyse FILE tar bara"},
      {{"--grade", "1111111111111"}, "--grade kräver två värden"},
      {{"--grade", "1111111111111", "a.txt", marks}, "tar inga andra flaggor"},
  };
  for (const MalformedCase& c : cases) {
    std::string shown;
    for (const std::string& arg : c.args) shown += "[" + arg + "] ";
    const Outcome run = Rader(c.args);
    EXPECT_EQ(run.exitCode, kExitMalformed) << shown << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << shown << run.err;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << shown << run.err;
    EXPECT_EQ(run.out, "") << shown;
    EXPECT_EQ(Entries(), std::vector<std::string>{}) << shown;
  }
}

// --guarantee and --optimize take the same guarantees for a game, up to every
// match in play, whether --game comes before or after them.
TEST_F(RaderTest, GuaranteeAndOptimizeTakeEachGamesOwnRange) {
  const std::string thirteen = "1X 1 1 1 1 1 1 1 1 1 1 1 X2";  // 4 rows
  for (const std::string option : {"--guarantee", "--optimize"}) {
    for (const auto& [game, name] : std::vector<std::pair<std::string, std::string>>{
             {"stryktipset", "Stryktipset"}, {"europatipset", "Europatipset"}}) {
      const Outcome above = Rader({option, "14", "--game", game, thirteen});
      EXPECT_EQ(above.exitCode, kExitMalformed) << option << game;
      EXPECT_EQ(above.err, "spelkub_rader: " + option + " 14: " + name +
                               " har garantier från 4 till 13 rätt (se --help)\n");
      const Outcome top = Rader({"--game", game, option, "13", thirteen});
      EXPECT_EQ(top.exitCode, kExitDone) << option << game << top.err;
      EXPECT_EQ(std::count(top.out.begin(), top.out.end(), '\n'), 5) << option << game;
    }
    for (const std::string level : {"3", "15", "0", "-4"}) {
      const Outcome outside = Rader({"--game", "supertoto", option, level, thirteen + " 1"});
      EXPECT_EQ(outside.exitCode, kExitMalformed) << option << level;
      EXPECT_EQ(outside.err,
                "spelkub_rader: " + option +
                    " tar ett antal rätt från 4 till 13 (14 för Supertoto; 8 för Topptipset, "
                    "Topptipset Stryk, Topptipset Extra och Topptipset Europa), inte \"" +
                    level + "\" (se --help)\n");
    }
  }
  // Supertoto: 14 right keeps every row of the system, by either road.
  const std::string fourteen = thirteen + " 1";
  const std::string allRows = Rader({"--game", "supertoto", fourteen}).out;
  ASSERT_EQ(allRows.size(), 4 * kStryktipsetLineBytes);
  const Outcome guarantee = Rader({"--guarantee", "14", "--game", "supertoto", fourteen});
  EXPECT_EQ(guarantee.exitCode, kExitDone) << guarantee.err;
  EXPECT_EQ(guarantee.err, Line("Reducering", "Dina rader är nu reducerade!!"));
  EXPECT_EQ(guarantee.out, allRows);
  const Outcome optimize =
      Rader({"--game", "supertoto", "--optimize", "14", "--effort", "quick", fourteen});
  EXPECT_EQ(optimize.exitCode, kExitDone) << optimize.err;
  EXPECT_EQ(optimize.err,
            "Optimerad garanti: 4 rader, 14 rätts garanti (Garanti ger 4 rader), bevisat minsta\n");
  std::vector<std::string> written, all;
  for (size_t at = 0; at < allRows.size(); at += kStryktipsetLineBytes) {
    all.push_back(allRows.substr(at, kStryktipsetLineBytes));
    written.push_back(optimize.out.substr(at, kStryktipsetLineBytes));
  }
  std::sort(written.begin(), written.end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(written, all);
}

// The English words the companion's messages once held, as whole words of a
// message: option names, quoted values and placeholders in capitals aside.
std::vector<std::string> EnglishWords(const std::string& message) {
  static const std::vector<std::string> kEnglish{
      "unknown",   "option",     "options", "stands",  "alone",     "without",   "other",
      "arguments", "given",      "twice",   "needs",   "value",     "values",    "exclude",
      "excludes",  "each",       "choose",  "one",     "reduction", "takes",     "take",
      "nor",       "missing",    "group",   "groups",  "holds",     "something", "than",
      "signs",     "sign",       "none",    "repeats", "level",     "from",      "positive",
      "whole",     "number",     "too",     "large",   "most",      "not",       "above",
      "matches",   "game",       "writes",  "today",   "which",     "has",       "see",
      "stream",    "write",      "error",   "cannot",  "create",    "file",      "only",
      "and",       "or",         "the",     "of",      "to",        "is",        "at",
      "for",       "permission", "denied",  "no",      "such",      "directory", "space",
      "left",      "broken",     "pipe",    "device",  "memory"};
  std::string text;  // the message without its quoted parts
  bool quoted = false;
  for (const char c : message) {
    if (c == '"')
      quoted = !quoted;
    else if (!quoted)
      text += c;
  }
  std::vector<std::string> found;
  std::string word;
  const auto flush = [&] {
    const bool capitals = std::all_of(word.begin(), word.end(),
                                      [](char c) { return (c >= 'A' && c <= 'Z') || c == '-'; });
    if (!word.empty() && word[0] != '-' && !capitals) {
      std::string lower = word;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (std::find(kEnglish.begin(), kEnglish.end(), lower) != kEnglish.end()) {
        found.push_back(word);
      }
    }
    word.clear();
  };
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalpha(byte) || byte >= 0x80 || c == '-') {
      word += c;
    } else {
      flush();
    }
  }
  flush();
  return found;
}

TEST(EnglishWords, FindsTheOldMessagesWords) {
  EXPECT_EQ(EnglishWords("spelkub_rader: unknown option \"--x\" (see --help)"),
            (std::vector<std::string>{"unknown", "option", "see"}));
  EXPECT_EQ(EnglishWords("spelkub_rader: Stream write error"),
            (std::vector<std::string>{"Stream", "write", "error"}));
  EXPECT_EQ(EnglishWords("spelkub_rader: --analyse FILE tar bara --game och MARKS, inte \"the\""),
            std::vector<std::string>{});
}

// Every refusal of the companion speaks Swedish: the arguments, the counts,
// the results, the output.
TEST_F(RaderTest, EveryRefusalIsSwedish) {
  const std::string marks = "1X,X2,1,1,1,1,1,1,1,1,1,1,1";
  WriteFile(Path("rows.txt"), "Stryktipset\r\n" + NineRowLine(1));
  const std::vector<std::vector<std::string>> refused{
      {"--colour", marks},
      {"-q", marks},
      {"--help", marks},
      {"--version", "--help"},
      {"--rows", "2", "--rows", "2", marks},
      {marks, "--rows"},
      {"--grade", "1111111111111"},
      {"--rows", "4", "--guarantee", "12", marks},
      {"--grade", "1111111111111", "a.txt", marks},
      {"--grade", "1111111111111", "--game", "supertoto", "a.txt"},
      {"--grade", "QQ", "/nonexistent"},
      {"--grade", "1111111111111Q", "/nonexistent"},
      {},
      {"1XX,1,1,1,1,1,1,1,1,1,1,1,1"},
      {"1Y,1,1,1,1,1,1,1,1,1,1,1,1"},
      {marks, "1"},
      {"1 1 1 1 1 1 1 1 1 1 1 1"},
      {"1 1"},
      {"--game", "Stryktipset", marks},
      {"--13plus", "1", marks},
      {"--guarantee", "3", marks},
      {"--guarantee", "14", marks},
      {"--rows", "0", marks},
      {"--rows", "99999999999", marks},
      {"--optimize", "x", marks},
      {"--optimize", "14", marks},
      {"--optimize", "12", "--effort", "fast", marks},
      {"--effort", "quick", marks},
      {"--optimize", "12", "--rows", "4", marks},
      {"--analyse", "a.txt", "--rows", "3", marks},
      {"--streck", "1 2 3", marks},
      {"--reversed", marks},
      {"--upload", "--game", "supertoto", marks + ",1"},
      {"--rows", "5", marks},
      {"1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1X2 1 1 1 1", "--upload"},
      {"-", "1 1 1 1 1 1 1 1 1 1 1 1"},
  };
  for (const std::vector<std::string>& args : refused) {
    std::string shown;
    for (const std::string& arg : args) shown += "[" + arg + "] ";
    const Outcome run = Rader(args);
    EXPECT_NE(run.exitCode, kExitDone) << shown;
    EXPECT_FALSE(run.err.empty()) << shown;
    EXPECT_EQ(EnglishWords(run.err), std::vector<std::string>{}) << shown << run.err;
  }
  const Outcome full = Rader({marks}, "/dev/full");
  EXPECT_EQ(full.exitCode, kExitRefused);
  EXPECT_EQ(EnglishWords(full.err), std::vector<std::string>{}) << full.err;
  const Outcome optimized = Rader({"--optimize", "12", "--effort", "quick", marks});
  EXPECT_EQ(optimized.exitCode, kExitDone);
  EXPECT_EQ(EnglishWords(optimized.err), std::vector<std::string>{}) << optimized.err;
}

// ---------------------------------------------------------------------------
// MARKS and options in-process

constexpr std::string_view kThirteenOnes = "1 1 1 1 1 1 1 1 1 1 1 1 1";
constexpr std::string_view kFourteenOnes = "1 1 1 1 1 1 1 1 1 1 1 1 1 1";

int MarkedSigns(const Options& options, int match) {
  return options.marks[CellIndex(match, 0)] + options.marks[CellIndex(match, 1)] +
         options.marks[CellIndex(match, 2)];
}

TEST(ParseArguments, DashGroupLeavesAMatchUnmarked) {
  const Options options = Parsed({"-,12", "x", "- - - - - - - - - -"});
  EXPECT_EQ(MarkedSigns(options, 1), 0);
  EXPECT_EQ(options.marks[CellIndex(2, 0)], 1);
  EXPECT_EQ(options.marks[CellIndex(2, 1)], 0);
  EXPECT_EQ(options.marks[CellIndex(2, 2)], 1);
  EXPECT_EQ(options.marks[CellIndex(3, 1)], 1);
  EXPECT_EQ(MarkedSigns(options, 3), 1);
  for (int match = 4; match <= kMaxMatches; ++match) EXPECT_EQ(MarkedSigns(options, match), 0);
}

TEST(ParseArguments, FourteenthGroupIsKeptOnMatch14) {
  const Options options = Parsed({"--game", "supertoto", "1 1 1 1 1 1 1 1 1 1 1 1 1 2X"});
  EXPECT_EQ(options.marks[CellIndex(14, 1)], 1);
  EXPECT_EQ(options.marks[CellIndex(14, 2)], 1);
  EXPECT_EQ(MarkedSigns(options, 14), 2);
}

TEST(ParseArguments, ChoicesBecomeTheWindowsCouponState) {
  const Options rows =
      Parsed({"--rows", "3000000", "--reversed", "--13plus", "0-1", kThirteenOnes});
  const CouponState rowState = MakeCouponState(rows);
  EXPECT_EQ(rowState.Reduction, kReductionRowCount);
  EXPECT_EQ(rowState.TargetRows, 3000000);
  EXPECT_EQ(rowState.Goals, kGoals0To1);
  EXPECT_EQ(Plus13Of(rows), kPlus13Yes);
  EXPECT_TRUE(rows.reversed);

  const Options guarantee = Parsed({"--game", "europatipset", "--guarantee", "04", kThirteenOnes});
  const CouponState guaranteeState = MakeCouponState(guarantee);
  EXPECT_EQ(guaranteeState.Game, kEuropatipset);
  EXPECT_EQ(guaranteeState.Reduction, kReductionGuarantee);
  EXPECT_EQ(guaranteeState.GuaranteeLevel, 4);
  EXPECT_EQ(Plus13Of(guarantee), kPlus13No);
  EXPECT_FALSE(guarantee.reversed);

  const Options none = Parsed({"-o", "-", kThirteenOnes});
  EXPECT_EQ(MakeCouponState(none).Reduction, kReductionNone);
  EXPECT_EQ(none.outputPath, "-");
}

TEST(ParseArguments, ReversedTicksBothOfTheWindowsReverseBoxes) {
  const GenerateControls plain = Controls(Parsed({"--rows", "4", kThirteenOnes}));
  EXPECT_FALSE(plain.rowCountReversed);
  EXPECT_FALSE(plain.guaranteeReversed);
  EXPECT_EQ(plain.plus13, kPlus13No);
  const GenerateControls reversed =
      Controls(Parsed({"--13plus", "F", "--rows", "4", "--reversed", kThirteenOnes}));
  EXPECT_TRUE(reversed.rowCountReversed);
  EXPECT_TRUE(reversed.guaranteeReversed);
  EXPECT_EQ(reversed.plus13, kPlus13Yes);
}

TEST(ParseArguments, ToolOptionsKeepTheirValues) {
  const Options optimize =
      Parsed({"--game", "supertoto", "--optimize", "14", "--effort", "deep", kFourteenOnes});
  EXPECT_EQ(optimize.command, Command::kGenerate);
  EXPECT_EQ(optimize.optimizeLevel, 14);
  EXPECT_EQ(optimize.effort, Effort::kDeep);
  EXPECT_EQ(Parsed({"--optimize", "9", kThirteenOnes}).effort, Effort::kNormal);

  std::string streck;
  for (int match = 0; match < 13; ++match) streck += "40,30,30;";
  const Options analyse = Parsed({"--streck", streck, "--analyse", "-", kThirteenOnes});
  EXPECT_EQ(analyse.command, Command::kAnalyse);
  EXPECT_EQ(analyse.rowsPath, "-");
  ASSERT_TRUE(analyse.streck.has_value());
  EXPECT_DOUBLE_EQ(analyse.streck->percent[12][0], 40.0);

  const Options grade = Parsed({"--grade", "1X2-111111111", "rader.txt"});
  EXPECT_EQ(grade.command, Command::kGrade);
  EXPECT_EQ(grade.results, "1X2-111111111");
  EXPECT_EQ(grade.rowsPath, "rader.txt");

  EXPECT_TRUE(Parsed({"--upload", "--guarantee", "10", kThirteenOnes}).upload);
}

TEST(ParseArguments, HelpAndVersionStandAlone) {
  EXPECT_EQ(Parsed({"--help"}).command, Command::kHelp);
  EXPECT_EQ(Parsed({"--version"}).command, Command::kVersion);
  EXPECT_FALSE(ParseArguments(std::vector<std::string_view>{"--help", "--help"}).options);
}

}  // namespace
}  // namespace spelkub::cli
