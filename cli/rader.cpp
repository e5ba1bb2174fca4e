#include "cli/rader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <exception>
#include <limits>
#include <vector>

#include "coupon/messages.h"
#include "generate/coupon_text.h"
#include "generate/save_file.h"
#include "reduce/reduction.h"

namespace spelkub::cli {

namespace {

constexpr std::string_view kUsage =
    "Usage:\n"
    "spelkub_rader [--game stryktipset|europatipset|supertoto] [--13plus 0-1|2|3|F]\n"
    "              [--guarantee G [--reversed] | --rows K [--reversed]] [-o FILE] MARKS\n"
    "spelkub_rader --help | --version\n";

constexpr std::string_view kHelp =
    "spelkub_rader: the rows of a football pools coupon as coupon text, exactly as\n"
    "Spelkub_lite's row list holds them after \"Generera Rader\".\n"
    "\n"
    "Usage:\n"
    "spelkub_rader [--game stryktipset|europatipset|supertoto] [--13plus 0-1|2|3|F]\n"
    "              [--guarantee G [--reversed] | --rows K [--reversed]] [-o FILE] MARKS\n"
    "spelkub_rader --help | --version\n"
    "\n"
    "  --game GAME     stryktipset (default), europatipset, or supertoto with 14 matches\n"
    "  --13plus GOALS  13plus \"Ja\" with the goals 0-1, 2, 3 or F (default \"Nej\"; ignored for "
    "supertoto)\n"
    "  --guarantee G   reduce to a guarantee of G right, G from 4 to 13\n"
    "  --rows K        reduce to exactly K rows (a positive whole number) and report the "
    "guarantee\n"
    "  --reversed      run the chosen reduction from the last row upward (\"Reverserad?\")\n"
    "  -o FILE         write to FILE (a temporary file, then renamed) instead of standard output\n"
    "  --help          show this help\n"
    "  --version       show the version\n"
    "  MARKS           per match the signs 1, X, 2 to cover, or - for none; groups separated by\n"
    "                  commas or blanks, 13 groups (14 for supertoto)\n"
    "\n"
    "Exit status: 0 done, 1 refused (the message is on standard error), 2 malformed arguments.\n"
    "\n"
    "Examples:\n"
    "  spelkub_rader --rows 130 1X2 1 X2 1X2 1X 1X2 2 X 1X2 1 12 1X2 1\n"
    "  spelkub_rader --13plus 2 --guarantee 12 -o rader.txt 1X2,1X2,1,1,X,2,1X,1,1,1,2,X,1\n";

constexpr int kMaxGroups = kMaxMatches;

bool IsSeparator(char c) {
  return c == ',' || c == ' ' || c == '\t';
}

std::string Quoted(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted.append(1, '"').append(text).append(1, '"');
  return quoted;
}

// A whole number of decimal digits, at most `max`; nullopt otherwise.
std::optional<int64_t> ParseWholeNumber(std::string_view text, int64_t max, bool* tooLarge) {
  *tooLarge = false;
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    if (value <= max) value = value * 10 + (c - '0');  // stops growing once above max
  }
  if (value > max) {
    *tooLarge = true;
    return std::nullopt;
  }
  return value;
}

// One group of MARKS for one match: sets its flags or explains what is wrong.
std::string ParseGroup(std::string_view group, int match, std::array<int32_t, kCellCount>& marks) {
  if (group == "-") return {};
  const std::string where = "group " + std::to_string(match) + " of MARKS, " + Quoted(group) + ", ";
  for (const char c : group) {
    int outcome = -1;
    switch (c) {
      case '1':
        outcome = 0;
        break;
      case 'X':
      case 'x':
        outcome = 1;
        break;
      case '2':
        outcome = 2;
        break;
      default:
        return where + "holds something other than the signs 1, X, 2 (or - alone for none)";
    }
    int32_t& flag = marks[CellIndex(match, outcome)];
    if (flag == 1) return where + "repeats the sign " + OutcomeSign(outcome);
    flag = 1;
  }
  return {};
}

// MARKS from all its arguments: a run of commas and blanks, also between two
// arguments, is one separator.
std::string ParseMarks(std::span<const std::string_view> pieces,
                       std::array<int32_t, kCellCount>& marks) {
  std::vector<std::string_view> groups;
  for (const std::string_view piece : pieces) {
    size_t i = 0;
    while (i < piece.size()) {
      if (IsSeparator(piece[i])) {
        ++i;
        continue;
      }
      size_t end = i;
      while (end < piece.size() && !IsSeparator(piece[end])) ++end;
      groups.push_back(piece.substr(i, end - i));
      i = end;
    }
  }
  if (groups.size() > kMaxGroups) {
    return "MARKS has " + std::to_string(groups.size()) + " groups, more than the " +
           std::to_string(kMaxMatches) + " matches of a coupon";
  }
  for (size_t g = 0; g < groups.size(); ++g) {
    std::string error = ParseGroup(groups[g], static_cast<int>(g) + 1, marks);
    if (!error.empty()) return error;
  }
  return {};
}

// An argument that names an option rather than being part of MARKS. MARKS
// never begins with "--", nor with "-" followed by a letter other than x.
bool LooksLikeOption(std::string_view arg) {
  if (arg.size() < 2 || arg[0] != '-') return false;
  if (arg[1] == '-') return true;
  const char c = arg[1];
  return ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) && c != 'x' && c != 'X';
}

ParseResult Malformed(std::string error) {
  return ParseResult{std::nullopt, std::move(error)};
}

}  // namespace

std::string_view UsageText() {
  return kUsage;
}
std::string_view HelpText() {
  return kHelp;
}

ParseResult ParseArguments(std::span<const std::string_view> args) {
  Options options;
  if (args.size() == 1 && args[0] == "--help") {
    options.command = Command::kHelp;
    return {options, {}};
  }
  if (args.size() == 1 && args[0] == "--version") {
    options.command = Command::kVersion;
    return {options, {}};
  }

  bool seenGame = false, seenPlus13 = false, seenGuarantee = false, seenRows = false;
  bool seenReversed = false, seenOutput = false;
  std::vector<std::string_view> marks;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const bool takesValue = arg == "--game" || arg == "--13plus" || arg == "--guarantee" ||
                            arg == "--rows" || arg == "-o";
    const bool known = takesValue || arg == "--reversed" || arg == "--help" || arg == "--version";
    if (!known) {
      if (LooksLikeOption(arg)) return Malformed("unknown option " + Quoted(arg));
      marks.push_back(arg);
      continue;
    }
    if (arg == "--help" || arg == "--version") {
      return Malformed(std::string(arg) + " stands alone, without other arguments");
    }
    bool* seen = arg == "--game"        ? &seenGame
                 : arg == "--13plus"    ? &seenPlus13
                 : arg == "--guarantee" ? &seenGuarantee
                 : arg == "--rows"      ? &seenRows
                 : arg == "-o"          ? &seenOutput
                                        : &seenReversed;
    if (*seen) return Malformed("option " + std::string(arg) + " is given twice");
    *seen = true;
    if (arg == "--reversed") {
      options.reversed = true;
      continue;
    }
    if (i + 1 == args.size()) return Malformed("option " + std::string(arg) + " needs a value");
    const std::string_view value = args[++i];

    if (arg == "--game") {
      if (value == "stryktipset") {
        options.game = kStryktipset;
      } else if (value == "europatipset") {
        options.game = kEuropatipset;
      } else if (value == "supertoto") {
        options.game = kSupertoto;
      } else {
        return Malformed("--game takes stryktipset, europatipset or supertoto, not " +
                         Quoted(value));
      }
    } else if (arg == "--13plus") {
      options.plus13 = true;
      if (value == "0-1") {
        options.goals = kGoals0To1;
      } else if (value == "2") {
        options.goals = kGoals2;
      } else if (value == "3") {
        options.goals = kGoals3;
      } else if (value == "F") {
        options.goals = kGoalsF;
      } else {
        return Malformed("--13plus takes the goals 0-1, 2, 3 or F, not " + Quoted(value));
      }
    } else if (arg == "--guarantee" || arg == "--rows") {
      if (seenGuarantee && seenRows) {
        return Malformed("--guarantee and --rows exclude each other: choose one reduction");
      }
      bool tooLarge = false;
      if (arg == "--guarantee") {
        const auto level = ParseWholeNumber(value, 13, &tooLarge);
        if (!level || *level < 4) {
          return Malformed("--guarantee takes a level from 4 to 13, not " + Quoted(value));
        }
        options.reduction = kReductionGuarantee;
        options.guaranteeLevel = static_cast<int32_t>(*level);
      } else {
        const auto rows = ParseWholeNumber(value, std::numeric_limits<int32_t>::max(), &tooLarge);
        if (tooLarge) {
          return Malformed("--rows " + std::string(value) + " is too large: at most " +
                           std::to_string(std::numeric_limits<int32_t>::max()));
        }
        if (!rows || *rows < 1) {
          return Malformed("--rows takes a positive whole number, not " + Quoted(value));
        }
        options.reduction = kReductionRowCount;
        options.targetRows = static_cast<int32_t>(*rows);
      }
    } else {
      options.outputPath = std::string(value);  // even "": the save reports what is wrong
    }
  }

  if (options.reversed && options.reduction == kReductionNone) {
    return Malformed("--reversed needs a reduction: --guarantee G or --rows K");
  }
  if (marks.empty()) return Malformed("MARKS is missing");
  std::string error = ParseMarks(marks, options.marks);
  if (!error.empty()) return Malformed(std::move(error));
  return {options, {}};
}

CouponState MakeCouponState(const Options& options) {
  CouponState state;
  state.Game = options.game;
  state.Goals = options.goals;
  state.Reduction = options.reduction;
  state.GuaranteeLevel = options.guaranteeLevel;
  state.TargetRows = options.targetRows;
  for (int cell = 0; cell < kCellCount; ++cell) state.Marks[cell] = options.marks[cell];
  return state;
}

int Plus13Index(const Options& options) {
  return options.plus13 ? kPlus13Yes : kPlus13No;
}

bool StandardStreams::WriteOut(std::string_view bytes) {
  // Large blocks: one write per gigabyte at most, continued after partial
  // writes and interruptions.
  constexpr size_t kBlock = size_t{1} << 30;
  while (!bytes.empty()) {
    const ssize_t written = ::write(STDOUT_FILENO, bytes.data(), std::min(bytes.size(), kBlock));
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

void StandardStreams::WriteErr(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(STDERR_FILENO, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;  // nowhere left to tell
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

namespace {

void Tell(Output& output, std::string_view caption, std::string_view text) {
  std::string line;
  line.reserve(caption.size() + text.size() + 3);
  line.append(caption).append(": ").append(text).append("\n");
  output.WriteErr(line);
}

// Writes the text where the options say; false after telling why it failed.
bool Deliver(const Options& options, std::string_view text, Output& output) {
  if (options.outputPath) {
    try {
      SaveTextFile(*options.outputPath, text);
    } catch (const SaveError& error) {
      Tell(output, kProgramName, error.what());
      return false;
    }
    return true;
  }
  if (!output.WriteOut(text)) {
    Tell(output, kProgramName, "Stream write error");
    return false;
  }
  return true;
}

int Generate(const Options& options, Output& output) {
  const CouponState state = MakeCouponState(options);
  const int plus13Index = Plus13Index(options);
  if (const auto failure = ValidateCoupon(state, plus13Index)) {
    Tell(output, failure->message.caption, failure->message.text);
    return kExitRefused;
  }

  std::string text;
  std::string report;
  {
    RowSet set = GenerateFullSystem(state, plus13Index);
    if (options.reduction == kReductionNone) {
      text = CouponText(set);
    } else {
      const ReductionResult result =
          options.reduction == kReductionRowCount
              ? ReduceToRowCount(set, options.targetRows, options.reversed)
              : ReduceToGuarantee(set, options.guaranteeLevel, options.reversed);
      if (result.outcome == ReductionOutcome::kTargetAboveRowCount) {
        Tell(output, kTargetTooLargeMessage.caption, kTargetTooLargeMessage.text);
        return kExitRefused;
      }
      text = KeptCouponText(set, result);
      report = options.reduction == kReductionRowCount ? GuaranteeReportText(result.guarantee)
                                                       : std::string(kGuaranteeReducedMessage.text);
    }
  }  // the packed rows go before the text is written

  if (!Deliver(options, text, output)) return kExitRefused;
  if (!report.empty()) Tell(output, kReducedCaption, report);
  return kExitDone;
}

}  // namespace

int Run(std::span<const std::string_view> args, Output& output) {
  try {
    const ParseResult parsed = ParseArguments(args);
    if (!parsed.options) {
      std::string text;
      text.append(kProgramName).append(": ").append(parsed.error).append("\n");
      text.append(kUsage);
      output.WriteErr(text);
      return kExitMalformed;
    }
    const Options& options = *parsed.options;
    switch (options.command) {
      case Command::kHelp:
      case Command::kVersion:
        if (!output.WriteOut(options.command == Command::kHelp ? kHelp : kVersionText)) {
          Tell(output, kProgramName, "Stream write error");
          return kExitRefused;
        }
        return kExitDone;
      case Command::kGenerate:
        break;
    }
    return Generate(options, output);
  } catch (const std::exception& error) {
    // What the window's standard error box would show, under the program's name.
    Tell(output, kProgramName, error.what());
    return kExitRefused;
  }
}

}  // namespace spelkub::cli
