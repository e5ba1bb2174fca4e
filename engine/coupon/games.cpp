#include "coupon/games.h"

#include <algorithm>
#include <cassert>

namespace spelkub {

namespace {

std::span<const GameRules> activeGames = kGames;

}  // namespace

std::span<const GameRules> Games() {
  return activeGames;
}

namespace detail {

ScopedGameTable::ScopedGameTable(std::span<const GameRules> games) : previous_(activeGames) {
  assert(!games.empty());
  for (const GameRules& rules : games) {
    assert(rules.matches >= 1 && rules.matches <= kMaxMatches);
    (void)rules;
  }
  activeGames = games;
}

ScopedGameTable::~ScopedGameTable() {
  activeGames = previous_;
}

}  // namespace detail

const GameRules& Rules(int32_t game) {
  for (const GameRules& rules : Games()) {
    if (rules.game == game) return rules;
  }
  return Games().front();
}

bool IsGame(int32_t game) {
  for (const GameRules& rules : Games()) {
    if (rules.game == game) return true;
  }
  return false;
}

std::optional<GameType> GameOfOption(std::string_view option) {
  for (const GameRules& rules : Games()) {
    if (rules.option == option) return rules.game;
  }
  return std::nullopt;
}

int32_t GameWithMatches(int matches) {
  for (const GameRules& rules : Games()) {
    if (rules.matches == matches) return rules.game;
  }
  return Games().front().game;
}

const GameRules* GameOfRowForm(int matches, bool rowPrefixE) {
  for (const GameRules& rules : Games()) {
    if (rules.matches == matches && rules.rowPrefixE == rowPrefixE) return &rules;
  }
  return nullptr;
}

int MostMatches() {
  int most = 0;
  for (const GameRules& rules : Games()) most = std::max(most, rules.matches);
  return most;
}

int LowestGuarantee() {
  int lowest = Games().front().minGuarantee;
  for (const GameRules& rules : Games()) lowest = std::min(lowest, rules.minGuarantee);
  return lowest;
}

int ShortestRowLineBytes() {
  int shortest = RowLineBytes(Games().front());
  for (const GameRules& rules : Games()) shortest = std::min(shortest, RowLineBytes(rules));
  return shortest;
}

std::span<const GameRules> SelectorGames() {
  const std::span<const GameRules> games = Games();
  size_t count = 0;
  while (count < games.size() && games[count].inGameSelector) ++count;
  return games.first(count);
}

bool TakesStake(const GameRules& rules, int stake) {
  if (rules.stakes.empty()) return stake == 1;
  return std::find(rules.stakes.begin(), rules.stakes.end(), stake) != rules.stakes.end();
}

}  // namespace spelkub
