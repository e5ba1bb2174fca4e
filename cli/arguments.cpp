// spelkub_rader's arguments: the options, MARKS, and the texts that explain them.
#include <algorithm>
#include <charconv>
#include <limits>
#include <vector>

#include "check/grading.h"
#include "cli/commands.h"
#include "cli/history_commands.h"
#include "cli/rader.h"
#include "coupon/choices.h"
#include "coupon/shown_text.h"
#include "coupon/text_fields.h"
#include "handin/handin.h"
#include "villkor/condition.h"
#include "villkor/filter.h"

namespace spelkub::cli {

namespace {

// The texts name the games from their table: GAMES stands for the --game
// words, and the help's game lines are made in GameHelp().
constexpr std::string_view kUsage =
    "Usage:\n"
    "spelkub_rader [--game GAMES] [--13plus 0-1|2|3|F]\n"
    "              [--guarantee G [--reversed] | --rows K [--reversed]] [--upload [--m-lines]]\n"
    "              [-o FILE]\n"
    "              MARKS\n"
    "spelkub_rader [--game GAME] [--13plus GOALS] --optimize G [--effort quick|normal|deep]\n"
    "              [--threads N] [--upload [--m-lines]] [-o FILE] MARKS\n"
    "spelkub_rader [--game GAME] --analyse FILE [--streck PERCENTAGES] MARKS\n"
    "spelkub_rader --grade RESULT FILE\n"
    "spelkub_rader [--game GAME] [--coupon DOC] --value FILE [--chances P] [--streck P]\n"
    "              [--turnover T] [--jackpot KR] [--tsv]\n"
    "spelkub_rader [--game GAME] [--coupon DOC] --row-values FILE [--chances P] [--streck P]\n"
    "              [--turnover T] [--jackpot KR] [--tsv]\n"
    "spelkub_rader [--game GAME] [--13plus GOALS] [--coupon DOC] --save-coupon FILE\n"
    "              [--chances P] [--streck P] [--turnover T] [--jackpot KR] [MARKS]\n"
    "spelkub_rader [--game GAME] [--coupon DOC] --follow RESULT FILE [--chances P] [--streck P]\n"
    "              [--turnover T] [--tsv]\n"
    "spelkub_rader --fetch GAME [--draw N] [--coupon DOC] [--odds-method M] [--api-base URL]\n"
    "              --save-coupon FILE\n"
    "spelkub_rader --fetch-result GAME --draw N [[--coupon DOC] --save-coupon FILE]\n"
    "              [--api-base URL]\n"
    "spelkub_rader --help | --version\n";

constexpr std::string_view kHelpIntro =
    "spelkub_rader: the rows of a football pools coupon as coupon text, exactly as\n"
    "Spelkub_lite's row list holds them after \"Generera Rader\".\n"
    "\n";

constexpr std::string_view kHelpOptions =
    "  --rows K        reduce to exactly K rows (a positive whole number) and report the "
    "guarantee\n"
    "  --reversed      run the chosen reduction from the last row upward (\"Reverserad?\")\n"
    "  -o FILE         write to FILE (a temporary file, then renamed) instead of standard output\n"
    "  --optimize G    the fewest rows the search finds that still give G right, verified;\n"
    "                  the count and the \"Garanti\" reduction's count go to standard error\n"
    "  --effort E      how long --optimize searches: quick (under a second), normal (under\n"
    "                  ten seconds on two cores), deep (under a minute); the rows depend on E\n"
    "                  and the coupon only, never on the machine or its load\n"
    "  --threads N     threads --optimize searches on (default: every core); the rows are the\n"
    "                  same for any N\n"
    "  --m-lines       with --upload: M lines (one per product of marks the rows split into)\n"
    "                  instead of E rows\n"
    "  --upload        the rows in today's hand-in form (product name, no 13plus); with -o\n"
    "                  NAME.txt more than 10000 rows go to NAME-1.txt, NAME-2.txt, ...\n"
    "  --draw N        the draw number (\"omgång\") the rows are handed in for; needed by\n"
    "                  --upload for DRAW_GAMES\n"
    "  --stake S       the stake per row in kr: STAKES (default 1); the cost and the\n"
    "                  payouts of --value scale with it\n"
    "  --analyse FILE  the guarantee of the coupon file's rows (- for standard input) on the\n"
    "                  system of MARKS: outcomes by number of right\n"
    "  --streck P      with --analyse: per match the percentages of 1, X and 2, STRECK numbers\n"
    "                  STRECK_OTHERS; adds the chance of each number of right\n"
    "  --grade RESULT FILE  right per row of the coupon file; RESULT one sign per match, or -\n"
    "                  for a match not yet played; fetch:GAME:N fetches draw N's result\n"
    "                  from the draw service (at SPELKUB_API_BASE when set)\n"
    "  --help          show this help\n"
    "  --version       show the version\n"
    "  --              end of the options: what follows is MARKS, even when it begins with -\n"
    "  MARKS           per match the signs 1, X, 2 to cover, or - for none; groups separated by\n"
    "                  commas or blanks, GROUPS groups GROUPS_OTHERS\n"
    "\n"
    "Exit status: 0 done, 1 refused (the message is on standard error, one line), 2 malformed\n"
    "arguments.\n"
    "\n"
    "Examples:\n"
    "  spelkub_rader --rows 130 1X2 1 X2 1X2 1X 1X2 2 X 1X2 1 12 1X2 1\n"
    "  spelkub_rader --13plus 2 --guarantee 12 -o rader.txt 1X2,1X2,1,1,X,2,1X,1,1,1,2,X,1\n"
    "  spelkub_rader --optimize 12 -o rader.txt 1X2 1X2 1X2 1X2 1 1 1 1 1 1 1 1 1\n"
    "  spelkub_rader --analyse rader.txt 1X2 1X2 1X2 1X2 1 1 1 1 1 1 1 1 1\n"
    "  spelkub_rader --grade 1X21-11111111 rader.txt\n";

// The --game words joined: "stryktipset|europatipset|supertoto".
std::string JoinedOptions(std::string_view separator, std::string_view last) {
  std::string text;
  const std::span<const GameRules> games = Games();
  for (size_t i = 0; i < games.size(); ++i) {
    if (i > 0) text += i + 1 == games.size() ? last : separator;
    text += games[i].option;
  }
  return text;
}

void Replace(std::string& text, std::string_view placeholder, std::string_view by) {
  text.replace(text.find(placeholder), placeholder.size(), by);
}

// The games where `value` differs from the first game's, grouped by value in
// the table's order, for the help: "(14 for supertoto; 8 for topptipset and
// topptipset-stryk)"; empty when every game has the first's.
template <typename Value>
std::string Exceptions(Value value, std::string_view glue, std::string_view last,
                       std::string_view Name(const GameRules&)) {
  const std::span<const GameRules> games = Games();
  std::vector<std::pair<int, std::vector<std::string_view>>> groups;
  for (const GameRules& rules : games) {
    if (value(rules) == value(games.front())) continue;
    const auto same = [&](const auto& group) { return group.first == value(rules); };
    auto group = std::find_if(groups.begin(), groups.end(), same);
    if (group == groups.end()) group = groups.insert(groups.end(), {value(rules), {}});
    group->second.push_back(Name(rules));
  }
  std::string text;
  for (const auto& [number, names] : groups) {
    text += text.empty() ? "(" : "; ";
    text += std::to_string(number) + std::string(glue);
    for (size_t i = 0; i < names.size(); ++i) {
      if (i > 0) text += i + 1 == names.size() ? last : ", ";
      text += names[i];
    }
  }
  return text.empty() ? text : text + ")";
}

std::string_view OptionOf(const GameRules& rules) {
  return rules.option;
}
std::string_view NameOf(const GameRules& rules) {
  return rules.name;
}

// The help's lines of --game, --13plus and --guarantee.
std::string GameHelp() {
  const std::span<const GameRules> games = Games();
  const GameRules& first = games.front();
  std::string game = "\n  --game GAME     ";
  for (size_t i = 0; i < games.size(); ++i) {
    const GameRules& rules = games[i];
    if (i > 0) game += i + 1 == games.size() ? ", or " : ", ";
    game += rules.option;
    if (i == 0) game += " (default)";
    if (rules.matches != first.matches)
      game += " with " + std::to_string(rules.matches) + " matches";
  }
  std::string without;
  for (const GameRules& rules : games) {
    if (rules.plus13) continue;
    without += (without.empty() ? "" : ", ") + std::string(rules.option);
  }
  std::string plus13 =
      "  --13plus GOALS  13plus \"Ja\" with the goals 0-1, 2, 3 or F (default \"Nej\"";
  plus13 += without.empty() ? ")" : "; ignored for " + without + ")";
  std::string guarantee = "  --guarantee G   reduce to a guarantee of G right, G from " +
                          std::to_string(first.minGuarantee) + " to " +
                          std::to_string(first.maxGuarantee);
  const std::string others = Exceptions([](const GameRules& rules) { return rules.maxGuarantee; },
                                        " for ", " and ", OptionOf);
  if (!others.empty()) guarantee += " " + others;
  return game + "\n" + plus13 + "\n" + guarantee + "\n";
}

enum class Flag {
  kGame,
  kPlus13,
  kGuarantee,
  kRows,
  kReversed,
  kOutput,
  kOptimize,
  kEffort,
  kThreads,
  kUpload,
  kMLines,
  kDraw,
  kStake,
  kAnalyse,
  kStreck,
  kGrade,
  kHelp,
  kVersion,
  // The value layer (cli/value_commands.cpp).
  kValue,
  kRowValues,
  kChances,
  kTurnover,
  kJackpot,
  kCoupon,
  kSaveCoupon,
  kTsv,
  // The conditions (cli/condition_commands.cpp).
  kCondition,
  kMaxBroken,
  kNoCouponConditions,
  kWholeSystem,
  // "Följ kupongen" (cli/follow_commands.cpp).
  kFollow,
  // "Värdereducering" (cli/select_command.cpp).
  kSelect,
  kBudget,
  kMinDistance,
};

struct KnownOption {
  std::string_view name;
  Flag flag;
  int values;
};

constexpr KnownOption kKnownOptions[] = {
    {"--game", Flag::kGame, 1},           {"--13plus", Flag::kPlus13, 1},
    {"--guarantee", Flag::kGuarantee, 1}, {"--rows", Flag::kRows, 1},
    {"--reversed", Flag::kReversed, 0},   {"-o", Flag::kOutput, 1},
    {"--optimize", Flag::kOptimize, 1},   {"--effort", Flag::kEffort, 1},
    {"--threads", Flag::kThreads, 1},     {"--upload", Flag::kUpload, 0},
    {"--analyse", Flag::kAnalyse, 1},     {"--streck", Flag::kStreck, 1},
    {"--grade", Flag::kGrade, 2},         {"--help", Flag::kHelp, 0},
    {"--version", Flag::kVersion, 0},     {"--m-lines", Flag::kMLines, 0},
    {"--draw", Flag::kDraw, 1},           {"--stake", Flag::kStake, 1},
};

// The value layer's options.
constexpr KnownOption kValueOptions[] = {
    {"--value", Flag::kValue, 1},
    {"--row-values", Flag::kRowValues, 1},
    {"--chances", Flag::kChances, 1},
    {"--turnover", Flag::kTurnover, 1},
    {"--jackpot", Flag::kJackpot, 1},
    {"--coupon", Flag::kCoupon, 1},
    {"--save-coupon", Flag::kSaveCoupon, 1},
    {"--tsv", Flag::kTsv, 0},
};

// The conditions' options; --condition may be given more than once.
constexpr KnownOption kConditionOptions[] = {
    {"--condition", Flag::kCondition, 1},
    {"--max-broken", Flag::kMaxBroken, 1},
    {"--no-coupon-conditions", Flag::kNoCouponConditions, 0},
    {"--whole-system", Flag::kWholeSystem, 0},
};

// "Värdereducering"'s options.
constexpr KnownOption kSelectOptions[] = {
    {"--select", Flag::kSelect, 1},
    {"--budget", Flag::kBudget, 1},
    {"--min-distance", Flag::kMinDistance, 1},
};

struct EffortName {
  Effort effort;
  std::string_view name;
};
constexpr EffortName kEffortNames[] = {
    {Effort::kQuick, "quick"}, {Effort::kNormal, "normal"}, {Effort::kDeep, "deep"}};

// "Följ kupongen".
constexpr KnownOption kFollowOptions[] = {
    {"--follow", Flag::kFollow, 2},
};

const KnownOption* FindOption(std::string_view arg) {
  for (const KnownOption& option : kFollowOptions) {
    if (option.name == arg) return &option;
  }
  for (const KnownOption& option : kKnownOptions) {
    if (option.name == arg) return &option;
  }
  for (const KnownOption& option : kValueOptions) {
    if (option.name == arg) return &option;
  }
  for (const KnownOption& option : kConditionOptions) {
    if (option.name == arg) return &option;
  }
  for (const KnownOption& option : kSelectOptions) {
    if (option.name == arg) return &option;
  }
  return nullptr;
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
  const std::string where = "MARKS grupp " + std::to_string(match) + ", " + Quoted(group) + ", ";
  for (const char c : group) {
    const int outcome = TypedSignOutcome(c);
    if (outcome < 0) return where + "har annat än tecknen 1, X, 2 (eller - ensamt för inget)";
    int32_t& flag = marks[CellIndex(match, outcome)];
    if (flag == 1) return where + "har tecknet " + OutcomeSign(outcome) + " två gånger";
    flag = 1;
  }
  return {};
}

// MARKS from all its arguments: a run of commas and blanks, also between two
// arguments, is one separator. One group per match of the game, no more and
// no fewer: a group too many or too few is a slip the rows must not hide.
std::string ParseMarks(std::span<const std::string_view> pieces, int32_t game,
                       std::array<int32_t, kCellCount>& marks) {
  std::vector<std::string_view> groups;
  for (const std::string_view piece : pieces) {
    const std::vector<std::string_view> fields = SplitFields(piece, ", \t");
    groups.insert(groups.end(), fields.begin(), fields.end());
  }
  const size_t parsed = std::min<size_t>(groups.size(), kMaxMatches);
  for (size_t g = 0; g < parsed; ++g) {
    std::string error = ParseGroup(groups[g], static_cast<int>(g) + 1, marks);
    if (!error.empty()) return error;
  }
  const int matches = MatchesInPlay(game);
  const int given = static_cast<int>(groups.size());
  if (given == matches) return {};
  std::string error = "MARKS har " + std::to_string(given) + (given == 1 ? " grupp" : " grupper") +
                      ", men " + std::string(Rules(game).name) + " tar " + std::to_string(matches) +
                      ", en per match";
  if (given == matches - 1) {
    error += ": match " + std::to_string(matches) + " saknas";
  } else if (given < matches) {
    error += ": matcherna " + std::to_string(given + 1) + "–" + std::to_string(matches) + " saknas";
  }
  return error;
}

// "4 till 13 (14 för Supertoto)": the guarantees of every game, from the table
// (every game's lowest is the first game's).
std::string GuaranteeRangesText() {
  const GameRules& first = Games().front();
  std::string text =
      std::to_string(first.minGuarantee) + " till " + std::to_string(first.maxGuarantee);
  const std::string others = Exceptions([](const GameRules& rules) { return rules.maxGuarantee; },
                                        " för ", " och ", NameOf);
  if (!others.empty()) text += " " + others;
  return text;
}

// A guarantee of --guarantee or --optimize: a whole number, checked against
// the game once the game is known.
std::optional<int32_t> ParseGuarantee(std::string_view value) {
  bool tooLarge = false;
  const auto level = ParseWholeNumber(value, kMaxMatches, &tooLarge);
  if (!level || *level < LowestGuarantee()) return std::nullopt;
  return static_cast<int32_t>(*level);
}

std::string GuaranteeValueError(std::string_view option, std::string_view value) {
  return std::string(option) + " tar ett antal rätt från " + GuaranteeRangesText() + ", inte " +
         Quoted(value);
}

// Empty when the game takes the guarantee; otherwise why not.
std::string GuaranteeForGame(std::string_view option, int32_t level, int32_t game) {
  const GameRules& rules = Rules(game);
  if (level >= rules.minGuarantee && level <= rules.maxGuarantee) return {};
  return std::string(option) + " " + std::to_string(level) + ": " + std::string(rules.name) +
         " har garantier från " + std::to_string(rules.minGuarantee) + " till " +
         std::to_string(rules.maxGuarantee) + " rätt";
}

// RESULT fits the matches of some game. The file, read later, decides which;
// a text that fits none is refused before any file is opened.
std::string CheckResults(std::string_view results) {
  // Each game's explanation, in the table's order, a match count once.
  std::vector<std::pair<int, std::string>> why;
  for (const GameRules& rules : Games()) {
    const auto seen = [&](const auto& entry) { return entry.first == rules.matches; };
    if (std::any_of(why.begin(), why.end(), seen)) continue;
    std::string error;
    if (ParseResults(results, rules.matches, &error)) return {};
    why.emplace_back(rules.matches, std::move(error));
  }
  // The first game's explanation, unless the text has another game's count
  // and fails on a sign. Explanations of a wrong count differ only in their
  // numbers, so another game's is about a sign when it differs from the one
  // for a count one short of the first game's beyond the numbers while the
  // first game's does not.
  std::string shortOfFirst;
  ParseResults(results, why.front().first - 1, &shortOfFirst);
  const auto withoutDigits = [](std::string text) {
    std::erase_if(text, [](char c) { return c >= '0' && c <= '9'; });
    return text;
  };
  const std::string countShape = withoutDigits(shortOfFirst);
  if (withoutDigits(why.front().second) == countShape) {
    for (size_t i = 1; i < why.size(); ++i) {
      if (withoutDigits(why[i].second) != countShape) return why[i].second;
    }
  }
  return why.front().second;
}

// An argument that names an option rather than being part of MARKS. MARKS
// never begins with "--", nor with "-" followed by a letter other than x.
bool LooksLikeOption(std::string_view arg) {
  if (arg.size() < 2 || arg[0] != '-') return false;
  if (arg[1] == '-') return true;
  const char c = arg[1];
  return ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) && c != 'x' && c != 'X';
}

// --rows K: a positive whole number that fits the row count.
std::string TakeRowCount(std::string_view value, Options& options) {
  bool tooLarge = false;
  const auto rows = ParseWholeNumber(value, std::numeric_limits<int32_t>::max(), &tooLarge);
  if (tooLarge) {
    return "--rows " + Quoted(value) + " är för stort: högst " +
           std::to_string(std::numeric_limits<int32_t>::max());
  }
  if (!rows || *rows < 1) return "--rows tar ett positivt heltal, inte " + Quoted(value);
  options.reduction = kReductionRowCount;
  options.targetRows = static_cast<int32_t>(*rows);
  return {};
}

std::string TakeEffort(std::string_view value, Options& options) {
  for (const EffortName& name : kEffortNames) {
    if (name.name == value) {
      options.effort = name.effort;
      return {};
    }
  }
  return "--effort tar quick, normal eller deep, inte " + Quoted(value);
}

// The game and how its rows are made: reduction, search and where they go.
std::string TakeRowsValue(Flag flag, std::string_view value, Options& options) {
  switch (flag) {
    case Flag::kGame:
      if (const auto game = GameOfOption(value)) {
        options.game = *game;
        return {};
      }
      return "--game tar " + JoinedOptions(", ", " eller ") + ", inte " + Quoted(value);
    case Flag::kPlus13:
      if (const auto goals = GoalsOfText(value)) {
        options.plus13 = true;
        options.goals = *goals;
        return {};
      }
      return "--13plus tar målen 0-1, 2, 3 eller F, inte " + Quoted(value);
    case Flag::kGuarantee: {
      const auto level = ParseGuarantee(value);
      if (!level) return GuaranteeValueError("--guarantee", value);
      options.reduction = kReductionGuarantee;
      options.guaranteeLevel = *level;
      return {};
    }
    case Flag::kRows:
      return TakeRowCount(value, options);
    case Flag::kOutput:
      options.outputPath = std::string(value);  // even "": the save reports what is wrong
      return {};
    case Flag::kOptimize: {
      const auto level = ParseGuarantee(value);
      if (!level) return GuaranteeValueError("--optimize", value);
      options.optimizeLevel = *level;
      return {};
    }
    case Flag::kEffort:
      return TakeEffort(value, options);
    case Flag::kThreads: {
      int threads = 0;
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), threads);
      if (error != std::errc() || end != value.data() + value.size() || threads < 1 ||
          threads > 256) {
        return "--threads tar ett antal trådar från 1 till 256, inte " + Quoted(value);
      }
      options.threads = threads;
      return {};
    }
    case Flag::kUpload:
      options.upload = true;
      return {};
    case Flag::kMLines:
      options.mLines = true;
      return {};
    case Flag::kDraw: {
      bool tooLarge = false;
      const auto draw = ParseWholeNumber(value, 999999, &tooLarge);
      if (!draw || *draw < 1) {
        return "--draw tar ett omgångsnummer från 1 till 999999, inte " + Quoted(value);
      }
      options.draw = static_cast<int>(*draw);
      return {};
    }
    case Flag::kStake: {
      bool tooLarge = false;
      const auto stake = ParseWholeNumber(value, 1000, &tooLarge);
      if (!stake || *stake < 1) return "--stake tar en insats i kr per rad, inte " + Quoted(value);
      options.stake = static_cast<int>(*stake);
      return {};
    }
    default:
      return {};
  }
}

// The commands on a file of rows: --analyse with its --streck, and --grade.
std::string TakeRowFileValues(Flag flag, std::span<const std::string_view> values,
                              Options& options) {
  switch (flag) {
    case Flag::kAnalyse:
      options.command = Command::kAnalyse;
      options.rowsPath = std::string(values[0]);
      return {};
    case Flag::kStreck:
      options.streckText = std::string(values[0]);
      return {};
    case Flag::kGrade:
      options.command = Command::kGrade;
      options.results = std::string(values[0]);
      options.rowsPath = std::string(values[1]);
      return {};
    default:
      return {};
  }
}

// The value layer's commands and the numbers they read.
std::string TakeValueLayerValue(Flag flag, std::string_view value, Options& options) {
  switch (flag) {
    case Flag::kValue:
    case Flag::kRowValues:
      options.command = flag == Flag::kValue ? Command::kValue : Command::kRowValues;
      options.rowsPath = std::string(value);
      return {};
    case Flag::kSaveCoupon:
      options.command = Command::kSaveCoupon;
      options.value.savePath = std::string(value);
      return {};
    case Flag::kChances:
      options.value.chancesText = std::string(value);
      return {};
    case Flag::kTurnover:
      options.value.turnoverText = std::string(value);
      return {};
    case Flag::kJackpot:
      options.value.jackpotText = std::string(value);
      return {};
    case Flag::kCoupon:
      options.value.couponPath = std::string(value);
      return {};
    case Flag::kTsv:
      options.value.tsv = true;
      return {};
    default:
      return {};
  }
}

// The conditions on the rows.
std::string TakeConditionValue(Flag flag, std::string_view value, Options& options) {
  switch (flag) {
    case Flag::kCondition:
      options.conditions.texts.emplace_back(value);
      return {};
    case Flag::kMaxBroken: {
      bool tooLarge = false;
      const auto broken = ParseWholeNumber(value, kMaxConditions, &tooLarge);
      if (!broken) {
        return "--max-broken tar ett antal villkor från 0 till " + std::to_string(kMaxConditions) +
               ", inte " + Quoted(value);
      }
      options.conditions.maxBroken = static_cast<int32_t>(*broken);
      return {};
    }
    case Flag::kNoCouponConditions:
      options.conditions.ignoreCoupon = true;
      return {};
    case Flag::kWholeSystem:
      options.conditions.wholeSystem = true;
      return {};
    default:
      return {};
  }
}

// The value of an option into the options; an explanation when it is wrong.
std::string TakeValues(Flag flag, std::span<const std::string_view> values, Options& options) {
  const std::string_view value = values.empty() ? std::string_view() : values[0];
  switch (flag) {
    case Flag::kGame:
    case Flag::kPlus13:
    case Flag::kGuarantee:
    case Flag::kRows:
    case Flag::kOutput:
    case Flag::kOptimize:
    case Flag::kEffort:
    case Flag::kThreads:
    case Flag::kUpload:
    case Flag::kMLines:
    case Flag::kDraw:
    case Flag::kStake:
      return TakeRowsValue(flag, value, options);
    case Flag::kAnalyse:
    case Flag::kStreck:
    case Flag::kGrade:
      return TakeRowFileValues(flag, values, options);
    case Flag::kValue:
    case Flag::kRowValues:
    case Flag::kSaveCoupon:
    case Flag::kChances:
    case Flag::kTurnover:
    case Flag::kJackpot:
    case Flag::kCoupon:
    case Flag::kTsv:
      return TakeValueLayerValue(flag, value, options);
    case Flag::kCondition:
    case Flag::kMaxBroken:
    case Flag::kNoCouponConditions:
    case Flag::kWholeSystem:
      return TakeConditionValue(flag, value, options);
    case Flag::kFollow:
      options.command = Command::kFollow;
      options.results = std::string(values[0]);
      options.rowsPath = std::string(values[1]);
      return {};
    case Flag::kSelect:
    case Flag::kBudget:
    case Flag::kMinDistance:
      for (const KnownOption& option : kSelectOptions) {
        if (option.flag == flag) return TakeSelectValue(option.name, value, options);
      }
      break;
    case Flag::kReversed:
    case Flag::kHelp:
    case Flag::kVersion:
      break;
  }
  return {};
}

bool Has(const std::vector<Flag>& seen, Flag flag) {
  return std::find(seen.begin(), seen.end(), flag) != seen.end();
}

// The value layer's combinations: --value, --row-values and --save-coupon are
// commands of their own; --coupon also feeds generation and --analyse.
// nullopt when the usual checks decide.
std::optional<std::string> CheckValueCombination(const std::vector<Flag>& seen, Options& options) {
  options.value.gameGiven = Has(seen, Flag::kGame);
  const auto onlyWith = [&](std::initializer_list<Flag> allowed) {
    for (const Flag flag : seen) {
      if (std::find(allowed.begin(), allowed.end(), flag) == allowed.end()) return false;
    }
    return true;
  };
  const int commands = (Has(seen, Flag::kValue) ? 1 : 0) + (Has(seen, Flag::kRowValues) ? 1 : 0) +
                       (Has(seen, Flag::kSaveCoupon) ? 1 : 0);
  if (commands > 1) return "--value, --row-values och --save-coupon utesluter varandra";
  if (Has(seen, Flag::kStake) && Has(seen, Flag::kRowValues)) {
    return "--stake gäller --value och raderna, inte --row-values";
  }
  if (Has(seen, Flag::kValue) || Has(seen, Flag::kRowValues)) {
    if (!onlyWith({Flag::kValue, Flag::kRowValues, Flag::kGame, Flag::kCoupon, Flag::kChances,
                   Flag::kStreck, Flag::kTurnover, Flag::kJackpot, Flag::kTsv, Flag::kStake})) {
      return std::string(Has(seen, Flag::kValue) ? "--value" : "--row-values") +
             " FILE tar bara --game, --coupon, --chances, --streck, --turnover, --jackpot, "
             "--stake och --tsv";
    }
    return std::string();
  }
  if (Has(seen, Flag::kSaveCoupon)) {
    if (!onlyWith({Flag::kSaveCoupon, Flag::kGame, Flag::kPlus13, Flag::kCoupon, Flag::kChances,
                   Flag::kStreck, Flag::kTurnover, Flag::kJackpot, Flag::kCondition,
                   Flag::kMaxBroken, Flag::kNoCouponConditions, Flag::kDraw, Flag::kStake})) {
      return std::string(
          "--save-coupon FILE tar bara --game, --13plus, --coupon, --chances, --streck, "
          "--turnover, --jackpot, --condition, --max-broken, --no-coupon-conditions, --draw "
          "och --stake");
    }
    return std::string();
  }
  if (Has(seen, Flag::kTsv))
    return std::string("--tsv kräver --value FILE eller --row-values FILE");
  if ((Has(seen, Flag::kChances) || Has(seen, Flag::kTurnover) || Has(seen, Flag::kJackpot)) &&
      !ConditionsInEffect(options)) {
    const std::string_view flag = Has(seen, Flag::kChances)    ? "--chances"
                                  : Has(seen, Flag::kTurnover) ? "--turnover"
                                                               : "--jackpot";
    return std::string(flag) + " kräver --value FILE, --row-values FILE eller --save-coupon FILE";
  }
  if (Has(seen, Flag::kCoupon) && Has(seen, Flag::kAnalyse) && !Has(seen, Flag::kStreck) &&
      options.value.document) {
    options.streck = StreckOfDocument(*options.value.document, MatchesInPlay(options.game));
  }
  return std::nullopt;
}

// The conditions' combinations, and the conditions given as arguments read
// for the game. Empty when they are fine.
std::string CheckConditionCombination(const std::vector<Flag>& seen, const Options& options) {
  if (Has(seen, Flag::kNoCouponConditions) && !Has(seen, Flag::kCoupon)) {
    return "--no-coupon-conditions kräver --coupon DOC";
  }
  const bool inEffect = ConditionsInEffect(options);
  if (Has(seen, Flag::kMaxBroken) && !inEffect) {
    return "--max-broken kräver villkor: --condition TEXT eller en kupongfil med villkor";
  }
  if (Has(seen, Flag::kWholeSystem)) {
    if (!Has(seen, Flag::kAnalyse)) return "--whole-system kräver --analyse FILE";
    if (!inEffect) {
      return "--whole-system kräver villkor: --condition TEXT eller en kupongfil med villkor";
    }
  }
  return ConditionTextsProblem(options, MatchesInPlay(options.game));
}

// --follow RESULT FILE: the value options, and RESULT fits some game.
std::string CheckFollowCombination(const std::vector<Flag>& seen) {
  for (const Flag flag : seen) {
    if (flag != Flag::kFollow && flag != Flag::kGame && flag != Flag::kCoupon &&
        flag != Flag::kChances && flag != Flag::kStreck && flag != Flag::kTurnover &&
        flag != Flag::kTsv) {
      return "--follow RESULT FILE tar bara --game, --coupon, --chances, --streck, --turnover "
             "och --tsv";
    }
  }
  return {};
}

// The options that go together, and the values that depend on the game.
std::string CheckCombination(const std::vector<Flag>& seen, Options& options) {
  if (Has(seen, Flag::kFollow)) {
    options.value.gameGiven = Has(seen, Flag::kGame);
    return CheckFollowCombination(seen);
  }
  if (Has(seen, Flag::kSelect) || Has(seen, Flag::kBudget) || Has(seen, Flag::kMinDistance)) {
    if (std::string error = CheckConditionCombination(seen, options); !error.empty()) return error;
    std::vector<std::string_view> given;
    const auto name = [&given](std::span<const KnownOption> table, Flag flag) {
      for (const KnownOption& option : table) {
        if (option.flag == flag) given.push_back(option.name);
      }
    };
    for (const Flag flag : seen) {
      name(kKnownOptions, flag);
      name(kValueOptions, flag);
      name(kConditionOptions, flag);
      name(kSelectOptions, flag);
    }
    if (Has(seen, Flag::kGuarantee)) {
      options.reduction = kReductionNone;  // with --select a guarantee is a constraint
      if (std::string error = GuaranteeForGame("--guarantee", options.guaranteeLevel, options.game);
          !error.empty())
        return error;
    }
    return CheckSelectOptions(given, options);
  }
  if (auto valueCheck = CheckValueCombination(seen, options)) return std::move(*valueCheck);
  if (std::string error = CheckConditionCombination(seen, options); !error.empty()) return error;
  const auto onlyWith = [&](std::initializer_list<Flag> allowed) {
    for (const Flag flag : seen) {
      if (std::find(allowed.begin(), allowed.end(), flag) == allowed.end()) return false;
    }
    return true;
  };
  if (Has(seen, Flag::kGrade)) {
    if (!onlyWith({Flag::kGrade})) return "--grade RESULT FILE tar inga andra flaggor";
    if (IsFetchedResult(options.results)) return FetchedResultProblem(options.results);
    return CheckResults(options.results);
  }
  if (Has(seen, Flag::kAnalyse)) {
    if (!onlyWith({Flag::kAnalyse, Flag::kStreck, Flag::kGame, Flag::kCoupon, Flag::kCondition,
                   Flag::kMaxBroken, Flag::kNoCouponConditions, Flag::kWholeSystem, Flag::kChances,
                   Flag::kTurnover, Flag::kJackpot})) {
      return "--analyse FILE tar bara --game, --streck, --coupon, villkoren, --chances, "
             "--turnover, --jackpot och MARKS";
    }
    if (Has(seen, Flag::kStreck)) {
      std::string error;
      options.streck = ParseStreck(options.streckText, MatchesInPlay(options.game), &error);
      if (!options.streck) return error;
    }
    return {};
  }
  if (Has(seen, Flag::kStreck) && !ConditionsInEffect(options)) {
    return "--streck kräver --analyse FILE";
  }
  if (Has(seen, Flag::kEffort) && options.optimizeLevel == 0) return "--effort kräver --optimize G";
  if (Has(seen, Flag::kMLines) && !options.upload) return "--m-lines kräver --upload";
  if (Has(seen, Flag::kThreads) && options.optimizeLevel == 0) {
    return "--threads kräver --optimize G";
  }
  if (options.optimizeLevel != 0) {
    if (options.reduction != kReductionNone) return "--optimize utesluter --rows och --guarantee";
    std::string error = GuaranteeForGame("--optimize", options.optimizeLevel, options.game);
    if (!error.empty()) return error;
  }
  if (options.reduction == kReductionGuarantee) {
    std::string error = GuaranteeForGame("--guarantee", options.guaranteeLevel, options.game);
    if (!error.empty()) return error;
  }
  // --value and --row-values check the stake against the game of their rows.
  const GameRules& rules = Rules(options.game);
  const bool valuesRows =
      options.command == Command::kValue || options.command == Command::kRowValues;
  if (!valuesRows && !TakesStake(rules, StakeOf(options))) {
    return "--stake " + std::to_string(options.stake) + ": " + std::string(rules.name) +
           (rules.stakes.empty() ? " spelas bara med insatsen 1 kr per rad"
                                 : " tar insatsen " + StakeList(rules) + " kr per rad");
  }
  if (Has(seen, Flag::kDraw) && !options.upload && options.command != Command::kSaveCoupon) {
    return "--draw kräver --upload eller --save-coupon";
  }
  if (options.reversed && options.reduction == kReductionNone) {
    return "--reversed kräver en reducering: --guarantee G eller --rows K";
  }
  return {};
}

// Why an option cannot be taken where it stands, with `left` arguments after
// it: alone, twice, short of values, or a second reduction; empty when it can.
std::string OptionMisplaced(std::string_view arg, const KnownOption& known,
                            const std::vector<Flag>& seen, const Options& options, size_t left) {
  if (known.flag == Flag::kHelp || known.flag == Flag::kVersion) {
    return std::string(arg) + " står ensamt, utan andra argument";
  }
  if (Has(seen, known.flag) && known.flag != Flag::kCondition) {
    return "flaggan " + std::string(arg) + " anges två gånger";
  }
  if (left < static_cast<size_t>(known.values)) {
    return "flaggan " + std::string(arg) +
           (known.values == 1 ? " kräver ett värde" : " kräver två värden");
  }
  if ((known.flag == Flag::kGuarantee || known.flag == Flag::kRows) &&
      options.reduction != kReductionNone) {
    return "--guarantee och --rows utesluter varandra: välj en reducering";
  }
  return {};
}

// The options into `options` and the flags seen, the rest into MARKS; an
// explanation of the first malformed argument.
std::string ReadOptions(std::span<const std::string_view> args, Options& options,
                        std::vector<Flag>& seen, std::vector<std::string_view>& marks) {
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
      continue;
    }
    const KnownOption* known = optionsEnded ? nullptr : FindOption(arg);
    if (known == nullptr) {
      if (!optionsEnded && LooksLikeOption(arg)) return "okänd flagga " + Quoted(arg);
      marks.push_back(arg);
      continue;
    }
    std::string error = OptionMisplaced(arg, *known, seen, options, args.size() - i - 1);
    if (!error.empty()) return error;
    // A value that is itself a flag ("--condition -o FILE") means the value
    // was left out; taken as the value it would hide the mistake.
    for (size_t v = 1; v <= static_cast<size_t>(known->values) && i + v < args.size(); ++v) {
      if (FindOption(args[i + v]) != nullptr) {
        return std::string(arg) + " saknar sitt värde: " + Quoted(args[i + v]) + " är en flagga";
      }
    }
    seen.push_back(known->flag);
    if (known->flag == Flag::kReversed) {
      options.reversed = true;
      continue;
    }
    error = TakeValues(known->flag, args.subspan(i + 1, known->values), options);
    if (!error.empty()) return error;
    i += known->values;
  }
  return {};
}

// MARKS as the command takes them: --grade, --value and --row-values take
// none, a coupon document may stand for them, every other command needs them.
std::string TakeMarks(const std::vector<std::string_view>& marks, bool haveDocument,
                      Options& options) {
  if (options.command == Command::kGrade) {
    if (!marks.empty()) return "--grade RESULT FILE tar inga andra flaggor och inga MARKS";
    return {};
  }
  if (options.command == Command::kFollow) {
    if (!marks.empty()) return "--follow RESULT FILE tar inga MARKS";
    return {};
  }
  options.value.marksGiven = !marks.empty();
  if (options.command == Command::kValue || options.command == Command::kRowValues) {
    if (!marks.empty()) {
      return std::string(options.command == Command::kValue ? "--value" : "--row-values") +
             " FILE tar inga MARKS";
    }
    return {};
  }
  if (marks.empty() && haveDocument) return {};
  if (marks.empty()) return "MARKS saknas";
  options.marks = {};
  return ParseMarks(marks, options.game, options.marks);
}

ParseResult Malformed(std::string error) {
  return ParseResult{std::nullopt, std::move(error)};
}

}  // namespace

std::string_view UsageText() {
  static const std::string usage = [] {
    std::string text(kUsage);
    Replace(text, "GAMES", JoinedOptions("|", "|"));
    return text;
  }();
  return usage;
}
std::string_view HelpText() {
  static const std::string help = [] {
    std::string options(kHelpOptions);
    const GameRules& first = Games().front();
    const auto streck = [](const GameRules& rules) { return 3 * rules.matches; };
    const auto groups = [](const GameRules& rules) { return rules.matches; };
    Replace(options, "STRECK_OTHERS", Exceptions(streck, " for ", " and ", OptionOf));
    Replace(options, "STRECK", std::to_string(streck(first)));
    Replace(options, "GROUPS_OTHERS", Exceptions(groups, " for ", " and ", OptionOf));
    Replace(options, "GROUPS", std::to_string(groups(first)));
    std::string drawGames;
    std::string stakes;
    for (const GameRules& rules : Games()) {
      if (rules.handInDrawAndStake) {
        drawGames += (drawGames.empty() ? "" : ", ") + std::string(rules.option);
      }
      if (!rules.stakes.empty() && stakes.empty()) {
        for (size_t i = 0; i < rules.stakes.size(); ++i) {
          if (i > 0) stakes += i + 1 == rules.stakes.size() ? " or " : ", ";
          stakes += std::to_string(rules.stakes[i]);
        }
        stakes += " for " + std::string(rules.option);
      } else if (!rules.stakes.empty()) {
        stakes += ", " + std::string(rules.option);
      }
    }
    Replace(options, "DRAW_GAMES", drawGames.empty() ? "no game" : drawGames);
    Replace(options, "STAKES", stakes.empty() ? "1" : stakes);
    return std::string(kHelpIntro)
        .append(UsageText())
        .append(GameHelp())
        .append(options)
        .append(ValueHelpText())
        .append(ConditionHelpText())
        .append(FollowHelpText())
        .append(SelectHelpText())
        .append(FetchHelpText())
        .append(HistoryHelpText());
  }();
  return help;
}

ParseResult ParseArguments(std::span<const std::string_view> args) {
  return ParseArguments(args, nullptr);
}

std::optional<std::string> CouponArgument(std::span<const std::string_view> args) {
  for (size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
    const KnownOption* known = FindOption(args[i]);
    if (known == nullptr) continue;
    if (known->flag == Flag::kCoupon && i + 1 < args.size()) return std::string(args[i + 1]);
    i += known->values;
  }
  return std::nullopt;
}

ParseResult ParseArguments(std::span<const std::string_view> args, const CouponDocument* document) {
  Options options;
  if (document != nullptr) TakeDocument(*document, options);
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
  std::string error = ReadOptions(args, options, seen, marks);
  if (!error.empty()) return Malformed(std::move(error));
  error = CheckCombination(seen, options);
  if (!error.empty()) return Malformed(std::move(error));
  error = TakeMarks(marks, document != nullptr, options);
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

Plus13Choice Plus13Of(const Options& options) {
  return options.plus13 ? kPlus13Yes : kPlus13No;
}

GenerateControls Controls(const Options& options) {
  return {.plus13 = Plus13Of(options),
          .guaranteeReversed = options.reversed,
          .rowCountReversed = options.reversed};
}

}  // namespace spelkub::cli
