// --value, --row-values and --save-coupon, and --coupon's document for the
// other commands: the window's "Systemvärde" and "Radvärden" commands
// (commands/value_command.h) on a file's rows, printed for a person or, with
// --tsv, for a program.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "check/analysis.h"  // Streck, for --analyse with --coupon
#include "cli/commands.h"
#include "commands/value_command.h"
#include "coupon/games.h"
#include "coupon/number_text.h"
#include "coupon/shown_text.h"
#include "handin/handin.h"
#include "io/save_file.h"
#include "text/coupon_reader.h"

namespace spelkub::cli {

namespace {

constexpr std::string_view kValueHelp =
    "\n"
    "Värden (egna chanser mot folkets streck):\n"
    "  --value FILE       systemets värde för filens rader (- för standard in): rader,\n"
    "                     kostnad, P(13), P(≥12), P(≥11), P(≥10) (14 … 11 för supertoto),\n"
    "                     utdelning per vinstgrad vid det troligaste utfallet och vinstchans\n"
    "                     i öre per rad\n"
    "  --row-values FILE  varje rad med chans, folkets andel, spelvärde och beräknad\n"
    "                     utdelning för högsta vinstgraden, i filens ordning\n"
    "  --chances P        egna chanser i procent, 1 X 2 per match: 39 tal (42 för supertoto),\n"
    "                     decimaler med punkt eller komma (\"45,5 30 24,5, ...\"); en match\n"
    "                     som inte summerar till 100 räknas om\n"
    "  --streck P         folkets streck i procent, likadant\n"
    "  --turnover T       omsättningen i kr, större än 0: de andras insats, som spelbolaget\n"
    "                     visar innan du lämnar in (din egen insats läggs till i potten)\n"
    "  --jackpot KR       jackpott i kr på högsta vinstgradens pott, 0 om inget anges\n"
    "  --tsv              maskinläsbart: nyckel<TAB>värde (rows, cost_kr, p13, p12plus,\n"
    "                     p11plus, p10plus – p14, p13plus, p12plus, p11plus för supertoto –,\n"
    "                     likeliest, likeliest_payout13 …, expected_return_kr,\n"
    "                     return_ore_per_row, och scaled_chances, scaled_streck: matcherna\n"
    "                     som räknats om, t.ex. 2,5, tomt om ingen), chanser som andelar\n"
    "                     0..1 och spelvärdet som kvot; med --row-values en rubrikrad row,\n"
    "                     chance, public, value, payout13 (payout14 för supertoto) och en\n"
    "                     rad per rad. Talen i C-locale, kortaste text som läses tillbaka\n"
    "                     exakt\n"
    "  --coupon DOC       spel, 13plus, markeringar, värden och pott ur kupongfilen DOC\n"
    "                     (.spelkub); --game, --13plus, MARKS, --chances, --streck,\n"
    "                     --turnover och --jackpot går före. Fungerar också vid generering\n"
    "                     och --analyse\n"
    "  --save-coupon FILE\n"
    "                     skriver kupongfilen för de givna flaggorna och MARKS\n"
    "\n"
    "Exempel:\n"
    "  spelkub_rader --value rader.txt --turnover 25000000 --chances \"45 30 25, ...\" \\\n"
    "                --streck \"52 26 22, ...\"\n"
    "  spelkub_rader --coupon kupong.spelkub --row-values rader.txt --tsv\n"
    "\n";

// Where a missing value is given on the command line.
std::string GapHint(ValueGap gap) {
  switch (gap) {
    case ValueGap::kChances:
      return ": ange --chances eller --coupon DOC";
    case ValueGap::kStreck:
      return ": ange --streck eller --coupon DOC";
    case ValueGap::kTurnover:
      return ": ange --turnover eller --coupon DOC";
    case ValueGap::kNone:
    case ValueGap::kOther:
      break;
  }
  return {};
}

// Three numbers per match, kept as written (the model scales each match to
// 100 % and says so), read as ReadNumberList reads them.
std::optional<std::vector<double>> ParsePercentages(std::string_view text, int matches,
                                                    std::string_view name, std::string* error) {
  NumberList list = ReadNumberList(text);
  const size_t wanted = static_cast<size_t>(3 * matches);
  if (list.problem.empty() && list.numbers.size() != wanted)
    list.problem = CountProblem(text, wanted, list.numbers.size());
  if (!list.problem.empty()) {
    *error = std::string(name) + ": " + list.problem;
    return std::nullopt;
  }
  return std::move(list.numbers);
}

}  // namespace

MadeDocument MakeDocument(const Options& options, int32_t game) {
  MadeDocument made;
  made.document = options.value.document ? *options.value.document : NewCouponDocument(game);
  CouponState state;
  state.Game = game;
  state.Goals = options.plus13 && Rules(game).plus13 ? options.goals : kGoalsNone;
  for (int cell = 0; cell < kCellCount; ++cell) state.Marks[cell] = options.marks[cell];
  SetDocumentFromCoupon(state, made.document);
  if (options.draw != 0) made.document.draw = options.draw;
  if (options.stake != 0) made.document.stake = options.stake;

  const int matches = Rules(game).matches;
  const auto take = [&](const std::string& text, std::string_view name, bool chances) {
    if (text.empty()) return true;
    const auto numbers = ParsePercentages(text, matches, name, &made.error);
    if (!numbers) return false;
    // The same mistake as --analyse --streck refuses, with the same words,
    // under every command.
    for (int m = 0; m < matches; ++m) {
      const double* three = numbers->data() + 3 * m;
      if (three[0] + three[1] + three[2] == 0) {
        made.error = std::string(chances ? "Chans" : "Streck") + ": match " +
                     std::to_string(m + 1) + " har summan 0";
        return false;
      }
    }
    for (int m = 0; m < matches; ++m) {
      MatchValue& match = made.document.values.match[m];
      for (int sign = 0; sign < 3; ++sign)
        (chances ? match.chance : match.streck)[sign] = (*numbers)[3 * m + sign];
    }
    return true;
  };
  if (!take(options.value.chancesText, "--chances", true)) return made;
  if (!take(options.streckText, "--streck", false)) return made;
  if (options.value.turnoverText) {
    const std::string& text = *options.value.turnoverText;
    double turnover = 0;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), turnover);
    if (text.empty() || problem != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(turnover) || turnover <= 0 || turnover > kLargestAmount) {
      made.error = "--turnover tar omsättningen i kr, ett tal större än 0, inte " + Quoted(text);
      return made;
    }
    made.document.pool.turnover = turnover;
  }
  if (options.value.jackpotText) {
    const std::string& text = *options.value.jackpotText;
    double jackpot = 0;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), jackpot);
    if (text.empty() || problem != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(jackpot) || jackpot < 0 || jackpot > kLargestAmount) {
      made.error = "--jackpot tar jackpotten i kr, ett tal från 0, inte " + Quoted(text);
      return made;
    }
    made.document.pool.jackpot = jackpot;
  }
  return made;
}

std::optional<ValuedRows> PrepareValue(const Options& options, Output& output, int* status) {
  *status = kExitRefused;
  ReadResult read = ReadCouponFile(options.rowsPath);
  if (!read.coupon) {
    Tell(output, kProgramName, read.error);
    return std::nullopt;
  }
  if (read.coupon->rows.empty()) {
    Tell(output, kProgramName, "Filen har inga rader.");
    return std::nullopt;
  }
  int32_t game = read.coupon->game;
  if (options.value.gameGiven) {
    game = options.game;
  } else if (options.value.document) {
    game = options.value.document->game;
  }
  MadeDocument made = MakeDocument(options, game);
  if (!made.error.empty()) {
    Tell(output, kProgramName, made.error + std::string(kSeeHelp));
    *status = kExitMalformed;
    return std::nullopt;
  }
  const int rowMatches = Rules(read.coupon->game).matches;
  if (rowMatches != Rules(game).matches) {
    Tell(output, kProgramName,
         "Raderna har " + std::to_string(rowMatches) + " matcher men " +
             std::string(Rules(game).name) + " " + std::to_string(Rules(game).matches) +
             ": välj spel med --game");
    return std::nullopt;
  }
  // The stake of --stake, else of a hand-in file's header.
  const int stake = options.stake != 0 ? options.stake : std::max(1, read.coupon->stake);
  const GameRules& rules = Rules(game);
  if (!TakesStake(rules, stake)) {
    Tell(output, kProgramName,
         "Insatsen " + std::to_string(stake) + " kr: " + std::string(rules.name) +
             (rules.stakes.empty() ? " spelas bara med insatsen 1 kr per rad"
                                   : " tar insatsen " + StakeList(rules) + " kr per rad"));
    return std::nullopt;
  }
  ValuedRows valued;
  valued.rows = std::move(read.coupon->rows);
  valued.input = {game, made.document.values, made.document.pool, stake};
  return valued;
}

bool TellModelRefusal(const ValueModelOutcome& model, Output& output) {
  if (model.model) return false;
  Tell(output, kProgramName, model.refusal + GapHint(model.gap));
  return true;
}

void TellNotes(const std::string& notes, Output& output) {
  size_t begin = 0;
  while (begin < notes.size()) {
    const size_t end = notes.find('\n', begin);
    Tell(output, kProgramName, notes.substr(begin, end - begin));
    if (end == std::string::npos) break;
    begin = end + 1;
  }
}

int Value(const Options& options, Output& output) {
  int status = kExitRefused;
  const auto valued = PrepareValue(options, output, &status);
  if (!valued) return status;
  const SystemValueOutcome outcome = RunSystemValueCommand(valued->input, valued->rows);
  if (TellModelRefusal(outcome.model, output)) return kExitRefused;
  if (!options.value.tsv) {
    return WriteAll(output, outcome.reportText) ? kExitDone : kExitRefused;
  }
  std::string text;
  for (const ValueFigure& figure : outcome.figures) {
    text += figure.key + '\t' + (figure.numeric ? MachineNumber(figure.number) : figure.raw) + '\n';
  }
  const auto matchList = [](const std::vector<int>& matches) {
    std::string list;
    for (const int m : matches) {
      if (!list.empty()) list += ',';
      list += std::to_string(m);
    }
    return list;
  };
  text += "scaled_chances\t" + matchList(outcome.model.scaledChances) + '\n';
  text += "scaled_streck\t" + matchList(outcome.model.scaledStreck) + '\n';
  if (!WriteAll(output, text)) return kExitRefused;
  TellNotes(outcome.model.notes, output);
  return kExitDone;
}

int RowValues(const Options& options, Output& output) {
  int status = kExitRefused;
  auto valued = PrepareValue(options, output, &status);
  if (!valued) return status;
  const RowValuesOutcome outcome = RunRowValuesCommand(valued->input, std::move(valued->rows));
  if (TellModelRefusal(outcome.model, output)) return kExitRefused;
  const RowValueTable& table = *outcome.table;
  const bool tsv = options.value.tsv;
  const std::string top = std::to_string(table.matches);
  std::string text = tsv ? "row\tchance\tpublic\tvalue\tpayout" + top + "\n"
                         : "Rad\tChans\tFolket\tSpelvärde\tUtdelning " + top + "\n";
  // Written in blocks, so that millions of rows cost one block of text.
  constexpr size_t kBlockRows = 1 << 14;
  for (size_t i = 0; i < table.size(); ++i) {
    text += RowSignsText(table.rows[i], table.matches);
    if (tsv) {
      for (const double number :
           {table.chance[i], table.publicShare[i], table.value[i], table.payout[i]}) {
        text += '\t' + MachineNumber(number);
      }
    } else {
      text += '\t' + PercentText(table.chance[i]) + '\t' + PercentText(table.publicShare[i]) +
              '\t' + SpelvardeText(table.value[i]) + '\t' + KronorText(table.payout[i]);
    }
    text += '\n';
    if ((i + 1) % kBlockRows == 0) {
      if (!WriteAll(output, text)) return kExitRefused;
      text.clear();
    }
  }
  if (!tsv) text += outcome.model.notes;
  if (!WriteAll(output, text)) return kExitRefused;
  if (tsv) TellNotes(outcome.model.notes, output);
  return kExitDone;
}

int SaveCoupon(const Options& options, Output& output) {
  const int32_t game = options.value.gameGiven || !options.value.document
                           ? options.game
                           : options.value.document->game;
  MadeDocument made = MakeDocument(options, game);
  if (!made.error.empty()) {
    Tell(output, kProgramName, made.error + std::string(kSeeHelp));
    return kExitMalformed;
  }
  // --condition and --max-broken are saved as conditions in use, after the
  // document's own unless --no-coupon-conditions sets those aside.
  const ConditionArguments& conditions = options.conditions;
  if (conditions.ignoreCoupon) made.document.conditions.clear();
  if (!conditions.texts.empty()) {
    made.document.conditions.insert(made.document.conditions.end(), conditions.texts.begin(),
                                    conditions.texts.end());
    made.document.useConditions = true;
  }
  if (conditions.maxBroken) made.document.maxBroken = *conditions.maxBroken;
  // A condition that cannot be read is refused now, not when the coupon is used.
  if (const std::string problem = ConditionTextsProblem(options, MatchesInPlay(game));
      !problem.empty()) {
    Tell(output, kProgramName, problem + std::string(kSeeHelp));
    return kExitMalformed;
  }
  if (const std::string problem = CouponDocumentProblem(made.document); !problem.empty()) {
    Tell(output, kProgramName, problem);
    return kExitRefused;
  }
  try {
    SaveCouponDocument(options.value.savePath, made.document);
  } catch (const SaveError& error) {
    Tell(output, kProgramName, error.what());
    return kExitRefused;
  }
  Tell(output, kProgramName, "Kupongen sparad: " + options.value.savePath);
  return kExitDone;
}

bool ReadCouponArgument(std::span<const std::string_view> args,
                        std::optional<CouponDocument>& document, Output& output) {
  const std::optional<std::string> path = CouponArgument(args);
  if (!path) return true;
  DocumentResult read = ReadCouponDocumentFile(*path);
  if (!read.document) {
    Tell(output, kProgramName, read.error);
    return false;
  }
  document = std::move(read.document);
  return true;
}

void TakeDocument(const CouponDocument& document, Options& options) {
  options.game = document.game;
  if (document.goals != kGoalsNone && Rules(document.game).plus13) {
    options.plus13 = true;
    options.goals = document.goals;
  }
  for (int cell = 0; cell < kCellCount; ++cell) options.marks[cell] = document.marks[cell] ? 1 : 0;
  // The draw and the stake the coupon is for, unless --draw and --stake say otherwise.
  options.draw = CouponDraw(document);
  if (document.stake != 1) options.stake = document.stake;
  options.value.document = document;
}

std::optional<Streck> StreckOfDocument(const CouponDocument& document, int matches) {
  Streck streck;
  streck.matches = matches;
  for (int m = 0; m < matches; ++m) {
    const SignValues& given = document.values.match[m].streck;
    double sum = 0;
    for (const double value : given) {
      if (!std::isfinite(value) || value < 0) return std::nullopt;
      sum += value;
    }
    if (!(sum > 0) || !std::isfinite(sum)) return std::nullopt;
    if (sum < 99 || sum > 101) streck.scaledMatches.push_back(m + 1);
    for (int sign = 0; sign < 3; ++sign) streck.percent[m][sign] = given[sign] / sum * 100.0;
  }
  return streck;
}

std::string_view ValueHelpText() {
  static const std::string help = std::string(kValueHelp).append(ValueModelHelpText());
  return help;
}

}  // namespace spelkub::cli
