// spelkub_rader: a coupon's rows from the command line.
//
// The arguments stand for the window's choices (game, 13plus, reduction and the
// marks); the program writes exactly the text the row list holds after
// "Generera Rader" with those choices, to standard output or to a file, and
// tells on standard error what the window would have shown in a message box.
//
// Input: ParseArguments turns the arguments into Options (cli/arguments.cpp).
// Engine: the window's own "Generera Rader" command (command/generate_command.h).
// Output: Run writes the text in blocks through an Output or into the file,
// and tells every refusal in one line on standard error.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/analysis.h"
#include "commands/generate_command.h"
#include "coupon/coupon_state.h"
#include "cover/optimize.h"
#include "document/coupon_document.h"
#include "version.h"

namespace spelkub::cli {

inline constexpr std::string_view kProgramName = "spelkub_rader";
inline constexpr std::string_view kVersionText = "spelkub_rader " SPELKUB_VERSION "\n";

// Exit status: done; refused by the coupon's checks or the output could not be
// written; the arguments are malformed.
inline constexpr int kExitDone = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitMalformed = 2;

// The exit status of a command's refusal, by what it is about: every kind is
// a refusal of what was asked, not a malformed argument.
constexpr int ExitStatus(RefusalKind kind) {
  switch (kind) {
    case RefusalKind::kInput:
    case RefusalKind::kCoupon:
    case RefusalKind::kConditions:
      return kExitRefused;
  }
  return kExitRefused;
}

// The usage lines, as --help shows them.
std::string_view UsageText();
std::string_view HelpText();

enum class Command {
  kGenerate,  // the rows of the marks, reduced as asked (also --optimize)
  kAnalyse,   // --analyse FILE: the guarantee of a file's rows on the marks' system
  kGrade,     // --grade RESULT FILE: a file's rows against the results
  // The value layer (cli/value_commands.cpp).
  kValue,       // --value FILE: the exact value of a file's rows
  kRowValues,   // --row-values FILE: each row's values
  kSaveCoupon,  // --save-coupon FILE: the coupon document of the options
  kFollow,      // --follow RESULT FILE: the rows against the results so far
  kSelect,      // --select OBJECTIVE --budget N[kr]: rows chosen by value (cli/select_command.cpp)
  kHelp,
  kVersion,
};

// The value layer's options (cli/value_commands.cpp).
struct ValueArguments {
  std::string chancesText;  // --chances, read once the game is known
  std::optional<std::string> turnoverText;
  std::optional<std::string> jackpotText;  // --jackpot KR
  std::optional<std::string> couponPath;   // --coupon FILE
  std::string savePath;                    // --save-coupon FILE
  bool tsv = false;
  bool gameGiven = false;   // --game given: it overrides the document's and the file's
  bool marksGiven = false;  // MARKS given: they override the document's
  // The document of --coupon, read before the arguments are parsed.
  std::optional<CouponDocument> document;
};

// The conditions' options (cli/condition_commands.cpp).
struct ConditionArguments {
  std::vector<std::string> texts;    // --condition TEXT, in the order given
  std::optional<int32_t> maxBroken;  // --max-broken E
  bool ignoreCoupon = false;         // --no-coupon-conditions
  bool wholeSystem = false;          // --whole-system: --analyse on every outcome of MARKS
};

// "Värdereducering"'s options (cli/select_command.cpp).
struct SelectArguments {
  std::string objective;  // --select: return, p13, p12, ...
  std::string budget;     // --budget: rows, or kronor ending in "kr"
  int minDistance = 0;    // --min-distance D
};

struct Options {
  Command command = Command::kGenerate;
  int32_t game = kStryktipset;
  bool plus13 = false;  // --13plus given: the selector's "Ja"
  int32_t goals = kGoalsNone;
  int32_t reduction = kReductionNone;
  int32_t guaranteeLevel = 0;
  int32_t targetRows = 0;
  bool reversed = false;
  std::optional<std::string> outputPath;
  // --optimize G: the fewest rows with a guarantee of G right, found with this effort.
  int32_t optimizeLevel = 0;  // 0: not asked
  Effort effort = Effort::kNormal;
  int threads = 0;      // --threads N: the search's threads; 0 every core (the answer is the same)
  bool upload = false;  // --upload: the rows in today's hand-in form
  bool mLines = false;  // --m-lines: with --upload, M lines instead of E rows
  int draw = 0;         // --draw N: the draw the hand-in is for; 0 not given
  int stake = 0;        // --stake S: kr per row, for a game that takes stakes; 0 not given (1)
  // --analyse FILE [--streck PERCENTAGES], --grade RESULT FILE.
  std::string rowsPath;
  std::string streckText;  // as given; read into `streck` once the game is known
  std::optional<Streck> streck;
  std::string results;
  // The 42 mark flags, as the cells hold them (match 14 too, even when the
  // game ignores it).
  std::array<int32_t, kCellCount> marks{};
  ValueArguments value;
  ConditionArguments conditions;
  SelectArguments select;
};

// Options, or the one-line explanation of why the arguments are malformed.
struct ParseResult {
  std::optional<Options> options;
  std::string error;
};

// args excludes the program name.
ParseResult ParseArguments(std::span<const std::string_view> args);
// With the document of --coupon: its game, 13plus choice and marks are the
// defaults that --game, --13plus and MARKS override.
ParseResult ParseArguments(std::span<const std::string_view> args, const CouponDocument* document);
// The FILE of --coupon FILE among the options, if given.
std::optional<std::string> CouponArgument(std::span<const std::string_view> args);

// The coupon state and the 13plus choice the window would hold for these
// options: reduction "Garanti" with the level, "Antal Rader" with the row
// count, else "Ingen"; 13plus "Ja" with --13plus, else "Nej".
CouponState MakeCouponState(const Options& options);
Plus13Choice Plus13Of(const Options& options);
// The stake of --stake: 1 kr when not given.
inline int StakeOf(const Options& options) {
  return options.stake == 0 ? 1 : options.stake;
}
// The window's controls for these options: --13plus, and --reversed for both ticks.
GenerateControls Controls(const Options& options);

// Where the program's text goes. WriteOut must write everything and returns
// false when it could not.
class Output {
 public:
  virtual ~Output() = default;
  virtual bool WriteOut(std::string_view bytes) = 0;
  virtual void WriteErr(std::string_view bytes) = 0;
};

// The process's standard output and standard error, written unbuffered in
// large blocks.
class StandardStreams final : public Output {
 public:
  bool WriteOut(std::string_view bytes) override;
  void WriteErr(std::string_view bytes) override;
};

// The whole program: parses, validates, generates, reduces and writes.
// Returns the exit status.
int Run(std::span<const std::string_view> args, Output& output);

}  // namespace spelkub::cli
