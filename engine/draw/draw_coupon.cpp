#include "draw/draw_coupon.h"

#include <cmath>

#include "coupon/games.h"

namespace spelkub {

namespace {

std::string CountProblem(size_t matches, const GameRules& rules) {
  return "Omgången har " + std::to_string(matches) + " matcher, " + std::string(rules.name) +
         " har " + std::to_string(rules.matches);
}

}  // namespace

std::string PutDrawInDocument(const Draw& draw, OddsMethod method, CouponDocument& document) {
  const GameRules& rules = Rules(document.game);
  if (draw.events.size() != static_cast<size_t>(rules.matches))
    return CountProblem(draw.events.size(), rules);
  MatchValues values = document.values;
  for (const DrawEvent& event : draw.events) {
    MatchValue& match = values.match[event.number - 1];
    match.home = event.home;
    match.away = event.away;
    match.odds = event.odds;
    match.streck = event.streck;
    match.chance = kNoSignValues;
    if (std::isnan(event.odds[0])) continue;
    MatchValues one;
    one.match[0].odds = event.odds;
    std::string error;
    const std::optional<SignTable> chances = OddsToChances(one, 1, &error, method);
    if (!chances) return error;
    for (int sign = 0; sign < 3; ++sign) match.chance[sign] = 100 * (*chances)[0][sign];
  }
  document.values = values;
  if (draw.turnover > 0) document.pool.turnover = draw.turnover;
  return {};
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
