#include "commands/follow_command.h"

#include "coupon/games.h"

namespace spelkub {
namespace {

std::string Sign(int outcome) {
  return std::string(1, OutcomeSign(outcome));
}

std::string Count(int64_t count) {
  // KronorText groups thousands; a count has no unit.
  std::string text = KronorText(static_cast<double>(count));
  return text.substr(0, text.size() - 3);
}

std::string Rows(int64_t count) {
  return Count(count) + (count == 1 ? " rad" : " rader");
}

// "0,52 % (1 på 192)"; no "1 på" for an even chance or better.
std::string ChanceText(double chance) {
  const std::string oneIn = chance < 0.5 ? OneInText(chance) : std::string();
  return PercentText(chance) + (oneIn.empty() ? "" : " (" + oneIn + ")");
}

void Add(std::vector<ValueFigure>& figures, std::string key, double number) {
  ValueFigure figure;
  figure.key = std::move(key);
  figure.number = number;
  figures.push_back(std::move(figure));
}

void AddRaw(std::vector<ValueFigure>& figures, std::string key, std::string raw) {
  ValueFigure figure;
  figure.key = std::move(key);
  figure.numeric = false;
  figure.raw = std::move(raw);
  figures.push_back(std::move(figure));
}

std::string MachineState(const MatchStatus& status) {
  switch (status.state) {
    case MatchState::kOpen:
      return "open";
    case MatchState::kPlaying:
      return "playing_" + Sign(status.sign);
    case MatchState::kDecided:
      return Sign(status.sign);
    case MatchState::kCancelled:
      return "cancelled";
  }
  return {};
}

std::string MachineSign(int sign) {
  return sign < 0 ? "none" : Sign(sign);
}

std::vector<ValueFigure> FollowFigures(const FollowReport& report, const FollowResults& results) {
  std::vector<ValueFigure> figures;
  const int n = report.matches;
  Add(figures, "rows", static_cast<double>(report.rows));
  Add(figures, "decided", report.decided);
  Add(figures, "open", report.open);
  Add(figures, "outcomes", static_cast<double>(report.outcomes));
  Add(figures, "best_possible", report.bestPossible);
  Add(figures, "expected_win_kr", report.expectedWin);
  AddRaw(figures, "now_outcome", RowSignsText(report.nowOutcome, n));
  Add(figures, "win_now_kr", report.winNow);
  AddRaw(figures, "best_outcome", RowSignsText(report.bestOutcome, n));
  Add(figures, "best_win_kr", report.bestWin);
  for (const FollowLevel& level : report.levels) {
    const std::string k = std::to_string(level.right);
    Add(figures, "can_reach" + k, static_cast<double>(level.rowsCanReach));
    Add(figures, "p" + k + (level.right == n ? "" : "plus"), level.chanceAtLeast);
    Add(figures, "expected_win" + k + "_kr", level.expectedWin);
    Add(figures, "payout_per_row" + k + "_kr", level.payoutPerRow);
    Add(figures, "rows_now" + k, static_cast<double>(level.rowsNow));
    Add(figures, "payout_now" + k + "_kr", level.payoutNow);
    Add(figures, "rows_best" + k, static_cast<double>(level.rowsBest));
    AddRaw(figures, "best_outcome" + k, RowSignsText(level.bestOutcome, n));
  }
  for (const FollowMatch& match : report.match) {
    const std::string m = "match" + std::to_string(match.match) + "_";
    AddRaw(figures, m + "state", MachineState(match.status));
    for (int s = 0; s < 3; ++s)
      Add(figures, m + "rows" + Sign(s), static_cast<double>(match.rows[s]));
    if (match.status.Decided()) continue;
    for (int s = 0; s < 3; ++s)
      Add(figures, m + "win" + Sign(s) + "_kr", match.sign[s].expectedWin);
    for (int s = 0; s < 3; ++s)
      Add(figures, m + "alive" + Sign(s), static_cast<double>(match.sign[s].rowsAlive));
    AddRaw(figures, m + "root_for", MachineSign(match.rootFor));
    AddRaw(figures, m + "keeps_most", MachineSign(match.keepsMost));
  }
  Add(figures, "alive_level", report.aliveLevel);
  Add(figures, "alive_total", static_cast<double>(report.aliveTotal));
  for (const AliveRow& row : report.alive) {
    AddRaw(figures, "alive",
           RowSignsText(row.row, n) + '\t' + NeededSignsText(row.row, results) + '\t' +
               MachineNumber(row.chance));
  }
  return figures;
}

std::string MatchLine(const FollowMatch& match) {
  std::string line = "Match " + std::to_string(match.match) + ": " + MatchStateText(match.status);
  line += "; rader 1/X/2: " + Count(match.rows[0]) + " / " + Count(match.rows[1]) + " / " +
          Count(match.rows[2]);
  if (match.status.Decided()) return line + ".";
  line += "; värt 1: " + KronorText(match.sign[0].expectedWin) +
          ", X: " + KronorText(match.sign[1].expectedWin) +
          ", 2: " + KronorText(match.sign[2].expectedWin);
  line += "; heja på " + RootForText(match.rootFor);
  line += "; flest levande: ";
  if (match.keepsMost < 0) {
    line += "spelar ingen roll";
  } else {
    line += Sign(match.keepsMost) + " (" + Rows(match.sign[match.keepsMost].rowsAlive) + ")";
  }
  return line + ".";
}

std::string LevelLine(const FollowLevel& level) {
  std::string line = std::to_string(level.right) + " rätt: " + Rows(level.rowsCanReach) +
                     " kan nå; chans " + ChanceText(level.chanceAtLeast) + "; väntad vinst " +
                     KronorText(level.expectedWin) + ", per vinnande rad " +
                     (level.expectedRows > 0 ? KronorText(level.payoutPerRow) : "–");
  line += "; om det slutar som nu " + Rows(level.rowsNow) + " à " + KronorText(level.payoutNow);
  line += "; bäst möjligt " + Rows(level.rowsBest) + ".";
  return line;
}

std::string ReportText(const FollowReport& report, const FollowResults& results) {
  const int n = report.matches;
  std::string text = "Följ kupongen: " + Rows(report.rows) + ", " + std::to_string(report.decided) +
                     " av " + std::to_string(n) + " matcher avgjorda, " + Count(report.outcomes) +
                     " utfall kvar.\n";
  text += "Bästa möjliga: " + std::to_string(report.bestPossible) + " rätt.\n";
  text += "Väntad vinst: " + KronorText(report.expectedWin) + ".\n";
  text += "Om det slutar som nu (" + RowSignsText(report.nowOutcome, n) +
          "): " + KronorText(report.winNow) + ".\n";
  text += "Högsta möjliga vinst: " + KronorText(report.bestWin) + " vid " +
          RowSignsText(report.bestOutcome, n) + ".\n";
  text += "\n";
  for (const FollowMatch& match : report.match) text += MatchLine(match) + "\n";
  text += "\n";
  for (const FollowLevel& level : report.levels) text += LevelLine(level) + "\n";
  text += "\nLevande rader för " + std::to_string(report.aliveLevel) + " rätt (" +
          ShownOfText(report.alive.size(), report.aliveTotal) + "):\n";
  for (const AliveRow& row : report.alive) {
    text += RowSignsText(row.row, n) + "  behöver " + NeededSignsText(row.row, results) +
            "  chans " + PercentText(row.chance) + "\n";
  }
  return text;
}

}  // namespace

std::string MatchStateText(const MatchStatus& status) {
  switch (status.state) {
    case MatchState::kOpen:
      return "öppen";
    case MatchState::kPlaying:
      return "pågår, " + Sign(status.sign) + " nu";
    case MatchState::kDecided:
      return "avgjord " + Sign(status.sign);
    case MatchState::kCancelled:
      return "inställd, lottas";
  }
  return {};
}

std::string RootForText(int sign) {
  return sign < 0 ? "spelar ingen roll" : Sign(sign);
}

std::string NeededSignsText(PackedRow row, const FollowResults& results) {
  std::string text;
  for (int m = 0; m < results.matches; ++m)
    text += results.match[m].Decided() ? '.' : OutcomeSign(PackedOutcome(row, m + 1));
  return text;
}

std::string ShownOfText(size_t shown, int64_t total) {
  if (static_cast<int64_t>(shown) >= total) return Count(total);
  return "visar " + Count(static_cast<int64_t>(shown)) + " av " + Count(total);
}

FollowOutcome RunFollowCommand(const ValueInput& input, std::span<const PackedRow> rows,
                               const FollowResults& results, size_t aliveShown, const Work& work) {
  FollowOutcome outcome;
  if (rows.empty()) {
    outcome.model.gap = ValueGap::kOther;
    outcome.model.refusal = "Det finns inga rader att följa";
    return outcome;
  }
  // A decided match is certain: its own chances, given or not, do not count.
  ValueInput certain = input;
  for (int m = 0; m < results.matches; ++m) {
    const MatchStatus& status = results.match[m];
    if (!status.Decided()) continue;
    SignValues& chance = certain.values.match[m].chance;
    chance = {0, 0, 0};
    chance[status.sign] = 100;
  }
  outcome.model = MakeCommandModel(certain);
  if (!outcome.model.model) return outcome;
  FollowOptions options;
  options.aliveShown = aliveShown;
  outcome.report = ComputeFollow(*outcome.model.model, rows, results, options, work);
  if (!outcome.report) {
    outcome.stopped = true;
    return outcome;
  }
  outcome.figures = FollowFigures(*outcome.report, results);
  outcome.reportText = ReportText(*outcome.report, results) + outcome.model.notes;
  return outcome;
}

}  // namespace spelkub
