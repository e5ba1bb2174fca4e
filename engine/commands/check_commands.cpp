#include "commands/check_commands.h"

#include <cstdio>
#include <utility>

#include "coupon/games.h"
#include "coupon/messages.h"
#include "coupon/shown_text.h"

namespace spelkub {

namespace {

// "Garantianalys" and "Rätta rader" name this many of the highest numbers of
// right that the rows can still reach.
constexpr int kReachLines = 4;

// A share 0..1 as a percentage with two decimals and a decimal comma.
std::string Percent(double share) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", share * 100.0);
  std::string percent(text);
  for (char& c : percent) {
    if (c == '.') c = ',';
  }
  return percent;
}

// Rows of the system's length, but without the header and "E," that the
// system's game wants: the reader took the file for its headerless game.
// Said of files only: the window's row list is written by the program.
std::optional<Refusal> HeaderlessRefusal(const ReadResult& read, int matches) {
  const GameRules* headerless = HeaderlessGame();
  if (read.coupon || read.headerlessSigns != matches || headerless == nullptr ||
      GameOfRowForm(matches, false) != nullptr) {
    return std::nullopt;
  }
  return Refusal{"Rad " + std::to_string(read.headerlessLine) + ": systemet har " +
                     std::to_string(matches) + " matcher och raden " + std::to_string(matches) +
                     " tecken, men filen har ingen rubrik och läses då som " +
                     std::string(headerless->name) + " med " + std::to_string(headerless->matches) +
                     " tecken per rad: skriv " + HeaderNames() + " först och " + Quoted("E,") +
                     " före varje rad",
                 std::string(kAnalysisCaption)};
}

}  // namespace

Refusable<AnalysisInput> PrepareAnalysis(const CouponState& state, ReadResult read,
                                         RowSource source, const ConditionInput& conditions,
                                         bool wholeSystem) {
  Refusable<AnalysisInput> prepared = PrepareAnalysis(state, std::move(read), source);
  if (!prepared.value || conditions.empty()) return prepared;
  Refusable<System> system = ConditionedSystem(prepared.value->shape, conditions);
  if (!system.value) return Refusable<AnalysisInput>::Refused(std::move(system.refusal));
  if (system.value->filtered()) {
    prepared.value->conditioned = std::move(system.value);
    prepared.value->wholeSystem = wholeSystem;
  }
  return prepared;
}

Refusable<AnalysisInput> PrepareAnalysis(const CouponState& state, ReadResult read,
                                         RowSource source) {
  using Answer = Refusable<AnalysisInput>;
  if (auto refusal = CheckMarks(state, kPlus13No)) return Answer::Refused(std::move(*refusal));
  const SystemShape shape = ShapeOf(state);
  if (source == RowSource::kFile) {
    if (auto refusal = HeaderlessRefusal(read, shape.matches)) {
      return Answer::Refused(std::move(*refusal));
    }
  }
  Refusable<CouponRows> coupon = RowsToCheck(std::move(read), source, kAnalysisCaption);
  if (!coupon.value) return Answer::Refused(std::move(coupon.refusal));
  const int matches = Rules(coupon.value->game).matches;
  if (matches != shape.matches) {
    if (source == RowSource::kFile) {
      return Answer::Refused("Raderna har " + std::to_string(matches) + " matcher men systemet " +
                                 std::to_string(shape.matches) + ": välj spel med --game",
                             kAnalysisCaption);
    }
    return Answer::Refused("Raderna har " + std::to_string(matches) + " matcher men kupongen " +
                               std::to_string(shape.matches) + ".",
                           kAnalysisCaption);
  }
  AnalysisInput input;
  input.shape = shape;
  input.rows = std::move(coupon.value->rows);
  input.lines.assign(coupon.value->lines.begin(), coupon.value->lines.end());
  return {std::move(input), {}};
}

std::optional<AnalysisOutcome> RunAnalysis(const AnalysisInput& input,
                                           const std::optional<Streck>& streck, const Work& work) {
  AnalysisOutcome outcome;
  const bool onConditioned = input.conditioned && !input.wholeSystem;
  const Streck* weights = streck ? &*streck : nullptr;
  outcome.report = onConditioned
                       ? AnalyseRowsOnSystem(*input.conditioned, input.rows, weights, work)
                       : AnalyseRows(input.shape, input.rows, weights, work);
  if (outcome.report.stopped) return std::nullopt;
  const AnalysisReport& report = outcome.report;

  outcome.guaranteeText = "Garanti: " + std::to_string(report.guarantee) + " rätt";
  const int64_t outcomes = onConditioned ? input.conditioned->size() : input.shape.size();
  outcome.summaryText = RowCountText(input.rows.size()) + " på ett system med " +
                        std::to_string(outcomes) + " utfall.";
  if (input.conditioned) {
    const std::string kept = GroupedNumber(input.conditioned->size());
    const std::string all = GroupedNumber(input.shape.size());
    outcome.scopeText = onConditioned ? "Villkor: analysen gäller de " + kept + " av " + all +
                                            " utfall som uppfyller villkoren."
                                      : "Villkor: analysen gäller hela systemet, " + all +
                                            " utfall, varav " + kept + " uppfyller villkoren.";
  }
  if (report.outsideCount > 0) {
    std::string named;
    for (const int64_t position : report.outsideRows) {
      if (!named.empty()) named += ", ";
      named +=
          std::to_string(position < static_cast<int64_t>(input.lines.size()) ? input.lines[position]
                                                                             : position + 1);
    }
    const bool more = report.outsideCount > static_cast<int64_t>(report.outsideRows.size());
    outcome.outsideText = "Rader utanför systemet: " + std::to_string(report.outsideCount) +
                          " (rad " + named + (more ? ", ..." : "") + ")";
  }
  const std::string scaled = streck ? ScaledStreckText(*streck) : std::string();
  if (!scaled.empty()) outcome.scaledText = scaled + ".";

  std::string& text = outcome.companionText;
  if (!outcome.scopeText.empty()) text = outcome.scopeText + "\n";
  text += outcome.guaranteeText + "\n";
  for (int right = report.matches; right >= report.guarantee; --right) {
    text += std::to_string(right) + " rätt: " + std::to_string(report.outcomesByRight[right]) +
            " utfall";
    if (report.probabilityByRight) {
      text += " (" + Percent((*report.probabilityByRight)[right]) + " %)";
    }
    text += '\n';
  }
  if (report.outsideCount > 0) {
    text += "Rader utanför systemet: " + std::to_string(report.outsideCount) + "\n";
  }
  if (!scaled.empty()) text += scaled + "\n";
  return outcome;
}

GradeOutcome RunGrade(std::span<const PackedRow> rows, const MatchResults& results) {
  GradeOutcome outcome;
  outcome.report = GradeRows(rows, results);
  const GradeReport& report = outcome.report;
  const int matches = results.matches;
  outcome.decidedText = RowCountText(rows.size()) + ", " + std::to_string(report.decided) + " av " +
                        std::to_string(matches) + " matcher avgjorda.";
  if (report.decided < matches) {
    for (int right = matches; right > matches - kReachLines; --right) {
      outcome.reachLines.push_back("Kan nå " + std::to_string(right) + " rätt: " +
                                   RowCountText(static_cast<size_t>(report.rowsCanReach[right])));
    }
  }
  std::string& text = outcome.companionText;
  for (int right = matches; right >= 0; --right) {
    if (report.rowsByRight[right] == 0) continue;
    text += std::to_string(right) +
            " rätt: " + RowCountText(static_cast<size_t>(report.rowsByRight[right])) + "\n";
  }
  for (const std::string& line : outcome.reachLines) text += line + "\n";
  return outcome;
}

}  // namespace spelkub
