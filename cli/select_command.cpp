// --select: the window's "Värdereducering" (commands/select_command.h) from the
// command line. The rows go where generated rows go (standard output or -o
// FILE), the report to standard error; with --tsv the report is for a
// program, on standard output, and the rows need -o FILE.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "cli/commands.h"
#include "cli/rader.h"
#include "commands/select_command.h"
#include "coupon/games.h"
#include "coupon/shown_text.h"
#include "handin/handin.h"

namespace spelkub::cli {

namespace {

constexpr std::string_view kSelectHelp =
    "\n"
    "Värdereducering (välj rader efter värde):\n"
    "  spelkub_rader [--game GAME] [--coupon DOC] --select MÅL --budget N[kr] [--guarantee G]\n"
    "                [--min-distance D] [villkor] [--chances P --streck P --turnover T]\n"
    "                [-o FILE] [--tsv] [MARKS]\n"
    "  --select MÅL       return: högsta förväntade återbetalning; p13, p12, p11, p10: högsta\n"
    "                     chans att någon rad har minst så många rätt (p14 … p11 för\n"
    "                     supertoto). Räknas exakt över alla utfall\n"
    "  --budget N[kr]     antal rader, eller kronor med kr efter (\"500kr\"): hela rader till\n"
    "                     spelets radpris\n"
    "  --guarantee G      raderna ger garantin G rätt över systemets alla utfall (kontrolleras):\n"
    "                     de börjar från en täckning, den bästa efter målet som ryms i budgeten\n"
    "  --min-distance D   minst D tecken skiljer två rader (de som väljs efter värde)\n"
    "  --stake S          insatsen per rad i kr där spelet tar insatser (topptipset): varje\n"
    "                     rad räknas S gånger, som vid --value; budget i kr köper rader till\n"
    "                     radpriset gånger S\n"
    "  Raderna skrivs som vid generering, rapporten på standard fel: målet för de valda\n"
    "  raderna, för lika många rader från \"Antal Rader\" och för de rader som är bäst var\n"
    "  för sig. Med --tsv skrivs rapporten maskinläsbart på standard ut (nyckel, valda,\n"
    "  antal_rader, basta) och raderna kräver -o FILE. Samma rader på alla datorer.\n"
    "\n"
    "Exempel:\n"
    "  spelkub_rader --coupon kupong.spelkub --select return --budget 500kr -o rader.txt\n"
    "  spelkub_rader --coupon kupong.spelkub --select p11 --budget 200 --guarantee 10 \\\n"
    "                --min-distance 2 -o rader.txt\n"
    "\n";

// The objectives by name: return, and pK for the game's top four levels.
std::optional<SelectObjective> ObjectiveOf(std::string_view text, int matches) {
  if (text == "return") return SelectObjective{SelectGoal::kReturn, 0};
  if (text.size() < 2 || text[0] != 'p') return std::nullopt;
  int right = 0;
  const auto [end, error] = std::from_chars(text.data() + 1, text.data() + text.size(), right);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (right > matches || right < std::max(0, matches - 3)) return std::nullopt;
  return SelectObjective{SelectGoal::kAtLeast, right};
}

std::string ObjectiveNames(int matches) {
  std::string names = "return";
  for (int right = matches; right >= std::max(0, matches - 3); --right) {
    names += right == std::max(0, matches - 3) ? " eller p" : ", p";
    names += std::to_string(right);
  }
  return names;
}

// "200" rows or "500kr" (also "500 kr", "499,50kr").
bool ReadBudget(std::string_view text, SelectInput& input) {
  const bool kronor = text.ends_with("kr");
  if (kronor) {
    text.remove_suffix(2);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  }
  if (text.empty()) return false;
  if (!kronor) {
    int64_t rows = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), rows);
    if (error != std::errc() || end != text.data() + text.size() || rows < 1) return false;
    input.budgetRows = rows;
    return true;
  }
  std::string number(text);
  std::replace(number.begin(), number.end(), ',', '.');
  double amount = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), amount,
                                            std::chars_format::fixed);
  if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(amount) ||
      amount <= 0)
    return false;
  input.budgetKronor = amount;
  return true;
}

void TellNotes(Output& output, const std::string& notes) {
  size_t begin = 0;
  while (begin < notes.size()) {
    const size_t end = notes.find('\n', begin);
    Tell(output, kProgramName, notes.substr(begin, end - begin));
    if (end == std::string::npos) break;
    begin = end + 1;
  }
}

}  // namespace

std::string TakeSelectValue(std::string_view name, std::string_view value, Options& options) {
  if (name == "--select") {
    options.command = Command::kSelect;
    options.select.objective = std::string(value);
    return {};
  }
  if (name == "--budget") {
    options.select.budget = std::string(value);
    return {};
  }
  int distance = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), distance);
  if (error != std::errc() || end != value.data() + value.size() || distance < 0 ||
      distance > kMaxMatches) {
    return "--min-distance tar ett antal tecken från 0 till " + std::to_string(kMaxMatches) +
           ", inte " + Quoted(value);
  }
  options.select.minDistance = distance;
  return {};
}

std::string CheckSelectOptions(const std::vector<std::string_view>& given, const Options& options) {
  const auto has = [&given](std::string_view name) {
    return std::find(given.begin(), given.end(), name) != given.end();
  };
  if (!has("--select")) return "--budget och --min-distance kräver --select MÅL";
  if (!has("--budget")) return "--select kräver --budget N eller --budget Nkr";
  constexpr std::string_view kAllowed[] = {"--select",
                                           "--budget",
                                           "--min-distance",
                                           "--guarantee",
                                           "--game",
                                           "--13plus",
                                           "--coupon",
                                           "--chances",
                                           "--streck",
                                           "--turnover",
                                           "--condition",
                                           "--max-broken",
                                           "--no-coupon-conditions",
                                           "--stake",
                                           "-o",
                                           "--tsv"};
  for (const std::string_view name : given) {
    if (std::find(std::begin(kAllowed), std::end(kAllowed), name) == std::end(kAllowed)) {
      return "--select tar bara --budget, --guarantee, --min-distance, --game, --13plus, "
             "--coupon, --chances, --streck, --turnover, villkoren, --stake, -o och --tsv, "
             "inte " +
             std::string(name);
    }
  }
  const int matches = Rules(options.game).matches;
  if (!ObjectiveOf(options.select.objective, matches)) {
    return "--select tar " + ObjectiveNames(matches) + ", inte " + Quoted(options.select.objective);
  }
  SelectInput probe;
  if (!ReadBudget(options.select.budget, probe)) {
    return "--budget tar ett antal rader (\"200\") eller kronor (\"500kr\"), inte " +
           Quoted(options.select.budget);
  }
  if (options.select.minDistance > matches) {
    return "--min-distance " + std::to_string(options.select.minDistance) + ": " +
           std::string(Rules(options.game).name) + " har " + std::to_string(matches) + " matcher";
  }
  if (const GameRules& rules = Rules(options.game); !TakesStake(rules, StakeOf(options))) {
    return "--stake " + std::to_string(options.stake) + ": " + std::string(rules.name) +
           (rules.stakes.empty() ? " spelas bara med insatsen 1 kr per rad"
                                 : " tar insatsen " + StakeList(rules) + " kr per rad");
  }
  if (options.value.tsv && !options.outputPath)
    return "--select med --tsv skriver rapporten på standard ut: ange -o FILE för raderna";
  return {};
}

int Select(const Options& options, Output& output) {
  MadeDocument made = MakeDocument(options, options.game);
  if (!made.error.empty()) {
    Tell(output, kProgramName, made.error + std::string(kSeeHelp));
    return kExitMalformed;
  }
  CommandConditions conditions = ConditionsOf(options);
  if (const int fault = TellConditionsFault(conditions, output); fault != kExitDone) return fault;
  SelectInput input;
  input.state = MakeCouponState(options);
  input.state.Reduction = kReductionNone;
  input.plus13 = Plus13Of(options);
  input.value = {options.game, made.document.values, made.document.pool, StakeOf(options)};
  input.conditions = std::move(conditions.input);
  input.objective = *ObjectiveOf(options.select.objective, Rules(options.game).matches);
  ReadBudget(options.select.budget, input);
  input.guarantee = options.guaranteeLevel;
  input.minDistance = options.select.minDistance;

  const Refusable<SelectOutcome> outcome = RunSelectCommand(input);
  if (!outcome.value) {
    TellRefusal(output, outcome.refusal);
    return kExitRefused;
  }
  const SelectOutcome& selected = *outcome.value;
  if (!WriteRows(options, selected.rows, nullptr, output)) return kExitRefused;
  if (!options.value.tsv) {
    std::string_view report = selected.report;
    while (report.ends_with('\n')) report.remove_suffix(1);
    TellLines(output, kSelectCaption, report);
    return kExitDone;
  }
  std::string text = "key";
  for (const SelectColumn& column : selected.columns) text += '\t' + column.key;
  text += '\n';
  for (const ValueFigure& figure : selected.columns.front().figures) {
    if (!figure.numeric) continue;
    text += figure.key;
    for (const SelectColumn& column : selected.columns) {
      const auto same = std::find_if(column.figures.begin(), column.figures.end(),
                                     [&](const ValueFigure& f) { return f.key == figure.key; });
      text += '\t' + (same != column.figures.end() ? MachineNumber(same->number) : "");
    }
    text += '\n';
  }
  text += "guarantee\t" + std::to_string(selected.verifiedGuarantee) + "\t\t\n";
  text += "cover_rows\t" + std::to_string(selected.coverRows) + "\t\t\n";
  if (!WriteAll(output, text)) return kExitRefused;
  TellNotes(output, selected.notes);
  return kExitDone;
}

std::string_view SelectHelpText() {
  return kSelectHelp;
}

}  // namespace spelkub::cli
