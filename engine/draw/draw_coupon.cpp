#include "draw/draw_coupon.h"

#include <cmath>

#include "coupon/games.h"

namespace spelkub {

namespace {

std::string CountProblem(size_t matches, const GameRules& rules) {
  return "Omgången har " + std::to_string(matches) + " matcher, " + std::string(rules.name) +
         " har " + std::to_string(rules.matches);
}

SignValues Difference(const SignValues& now, const SignValues& before) {
  if (std::isnan(now[0]) || std::isnan(before[0])) return kNoSignValues;
  return {now[0] - before[0], now[1] - before[1], now[2] - before[2]};
}

}  // namespace

DrawSnapshot SnapshotOfDraw(const Draw& draw, std::string time, std::string source,
                            double jackpot) {
  DrawSnapshot snapshot;
  snapshot.time = std::move(time);
  snapshot.source = std::move(source);
  snapshot.draw = draw.number;
  snapshot.turnover = draw.turnover;
  snapshot.jackpot = jackpot;
  for (const DrawEvent& event : draw.events) {
    snapshot.odds[event.number - 1] = event.odds;
    snapshot.streck[event.number - 1] = event.streck;
    snapshot.refStreck[event.number - 1] = event.refStreck;
  }
  return snapshot;
}

std::string PutDrawInDocument(const Draw& draw, const DrawSnapshot& snapshot,
                              CouponDocument& document) {
  const GameRules& rules = Rules(document.game);
  if (draw.events.size() != static_cast<size_t>(rules.matches))
    return CountProblem(draw.events.size(), rules);
  for (const DrawEvent& event : draw.events) {
    document.values.match[event.number - 1].home = event.home;
    document.values.match[event.number - 1].away = event.away;
  }
  if (!document.snapshots.empty() && document.snapshots.back().draw != snapshot.draw) {
    document.snapshots.clear();
  }
  if (document.snapshots.size() >= kMaxSnapshots) {
    document.snapshots.erase(document.snapshots.begin());
  }
  document.snapshots.push_back(snapshot);
  ChooseSnapshot(document, static_cast<int>(document.snapshots.size()) - 1);
  return {};
}

void ChooseSnapshot(CouponDocument& document, int index) {
  const DrawSnapshot& snapshot = document.snapshots.at(static_cast<size_t>(index));
  document.chosenSnapshot = index;
  for (int m = 0; m < MatchesInPlay(document.game); ++m) {
    MatchValue& match = document.values.match[m];
    match.odds = snapshot.odds[m];
    match.streck = snapshot.streck[m];
    match.chance = kNoSignValues;
    if (std::isnan(match.odds[0])) continue;
    MatchValues one;
    one.match[0].odds = match.odds;
    // The snapshot's odds were checked when it was read: each is above 1.
    if (const std::optional<SignTable> chances =
            OddsToChances(one, 1, nullptr, document.oddsMethod)) {
      for (int sign = 0; sign < 3; ++sign) match.chance[sign] = 100 * (*chances)[0][sign];
    }
  }
  if (snapshot.turnover > 0) document.pool.turnover = snapshot.turnover;
  // A snapshot without a jackpot (the jackpot answer failed or named none)
  // leaves the one typed.
  if (!std::isnan(snapshot.jackpot)) document.pool.jackpot = snapshot.jackpot;
}

StreckMove StreckMoveOf(const CouponDocument& document, int match) {
  StreckMove move;
  const int chosen = document.chosenSnapshot;
  if (chosen < 0) return move;
  const DrawSnapshot& now = document.snapshots[static_cast<size_t>(chosen)];
  move.sinceMeasurement = Difference(now.streck[match - 1], now.refStreck[match - 1]);
  if (chosen > 0) {
    move.sincePrevious =
        Difference(now.streck[match - 1],
                   document.snapshots[static_cast<size_t>(chosen - 1)].streck[match - 1]);
  }
  return move;
}

std::string PutResultInDocument(const DrawResult& result, CouponDocument& document) {
  const GameRules& rules = Rules(document.game);
  if (result.events.size() != static_cast<size_t>(rules.matches))
    return CountProblem(result.events.size(), rules);
  for (const EventOutcome& event : result.events)
    document.results[event.number - 1] = event.outcome == kOutcomeOpen ? kNoResult : event.outcome;
  return {};
}

}  // namespace spelkub
