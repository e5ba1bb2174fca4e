// spelkub_rader's arguments: the options, MARKS, and the texts that explain them.
#include <algorithm>
#include <limits>
#include <vector>

#include "cli/rader.h"
#include "coupon/choices.h"

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
    "  --              end of the options: what follows is MARKS, even when it begins with -\n"
    "  MARKS           per match the signs 1, X, 2 to cover, or - for none; groups separated by\n"
    "                  commas or blanks, 13 groups (14 for supertoto)\n"
    "\n"
    "Exit status: 0 done, 1 refused (the message is on standard error), 2 malformed arguments.\n"
    "\n"
    "Examples:\n"
    "  spelkub_rader --rows 130 1X2 1 X2 1X2 1X 1X2 2 X 1X2 1 12 1X2 1\n"
    "  spelkub_rader --13plus 2 --guarantee 12 -o rader.txt 1X2,1X2,1,1,X,2,1X,1,1,1,2,X,1\n";

constexpr int kMaxGroups = kMaxMatches;

enum class Flag { kGame, kPlus13, kGuarantee, kRows, kReversed, kOutput, kHelp, kVersion };

struct OptionSpec {
  std::string_view name;
  Flag flag;
  bool takesValue;
};

constexpr OptionSpec kOptionSpecs[] = {
    {"--game", Flag::kGame, true},           {"--13plus", Flag::kPlus13, true},
    {"--guarantee", Flag::kGuarantee, true}, {"--rows", Flag::kRows, true},
    {"--reversed", Flag::kReversed, false},  {"-o", Flag::kOutput, true},
    {"--help", Flag::kHelp, false},          {"--version", Flag::kVersion, false},
};

const OptionSpec* FindOption(std::string_view arg) {
  for (const OptionSpec& spec : kOptionSpecs) {
    if (spec.name == arg) return &spec;
  }
  return nullptr;
}

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

// The value of an option into the options; an explanation when it is wrong.
std::string TakeValue(Flag flag, std::string_view value, Options& options) {
  bool tooLarge = false;
  switch (flag) {
    case Flag::kGame:
      if (const auto game = GameOfOption(value)) {
        options.game = *game;
        return {};
      }
      return "--game takes stryktipset, europatipset or supertoto, not " + Quoted(value);
    case Flag::kPlus13:
      if (const auto goals = GoalsOfText(value)) {
        options.plus13 = true;
        options.goals = *goals;
        return {};
      }
      return "--13plus takes the goals 0-1, 2, 3 or F, not " + Quoted(value);
    case Flag::kGuarantee: {
      const auto level = ParseWholeNumber(value, 13, &tooLarge);
      if (!level || *level < 4)
        return "--guarantee takes a level from 4 to 13, not " + Quoted(value);
      options.reduction = kReductionGuarantee;
      options.guaranteeLevel = static_cast<int32_t>(*level);
      return {};
    }
    case Flag::kRows: {
      const auto rows = ParseWholeNumber(value, std::numeric_limits<int32_t>::max(), &tooLarge);
      if (tooLarge) {
        return "--rows " + Quoted(value) + " is too large: at most " +
               std::to_string(std::numeric_limits<int32_t>::max());
      }
      if (!rows || *rows < 1) return "--rows takes a positive whole number, not " + Quoted(value);
      options.reduction = kReductionRowCount;
      options.targetRows = static_cast<int32_t>(*rows);
      return {};
    }
    case Flag::kOutput:
      options.outputPath = std::string(value);  // even "": the save reports what is wrong
      return {};
    case Flag::kReversed:
    case Flag::kHelp:
    case Flag::kVersion:
      break;
  }
  return {};
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

  std::vector<Flag> seen;
  std::vector<std::string_view> marks;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
      continue;
    }
    const OptionSpec* spec = optionsEnded ? nullptr : FindOption(arg);
    if (spec == nullptr) {
      if (!optionsEnded && LooksLikeOption(arg)) return Malformed("unknown option " + Quoted(arg));
      marks.push_back(arg);
      continue;
    }
    if (spec->flag == Flag::kHelp || spec->flag == Flag::kVersion) {
      return Malformed(std::string(arg) + " stands alone, without other arguments");
    }
    if (std::find(seen.begin(), seen.end(), spec->flag) != seen.end()) {
      return Malformed("option " + std::string(arg) + " is given twice");
    }
    seen.push_back(spec->flag);
    if (spec->flag == Flag::kReversed) {
      options.reversed = true;
      continue;
    }
    if (i + 1 == args.size()) return Malformed("option " + std::string(arg) + " needs a value");
    if ((spec->flag == Flag::kGuarantee || spec->flag == Flag::kRows) &&
        options.reduction != kReductionNone) {
      return Malformed("--guarantee and --rows exclude each other: choose one reduction");
    }
    std::string error = TakeValue(spec->flag, args[++i], options);
    if (!error.empty()) return Malformed(std::move(error));
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

GenerateControls Controls(const Options& options) {
  return {.plus13Index = Plus13Index(options),
          .guaranteeReversed = options.reversed,
          .rowCountReversed = options.reversed};
}

}  // namespace spelkub::cli
