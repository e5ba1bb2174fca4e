// What a player knows of a coupon's matches beyond the marks: the teams, the
// bookmakers' odds, the player's own chances and the public's streck; and the
// pool the rows are played in. Plain data, shared by the value model, the
// conditions and the coupon document.
#pragma once

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "coupon/coupon_state.h"
#include "coupon/games.h"

namespace spelkub {

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// Per sign in the order "1", "X", "2"; NaN where nothing is given.
using SignValues = std::array<double, 3>;

inline constexpr SignValues kNoSignValues{kNoValue, kNoValue, kNoValue};

struct MatchValue {
  std::string home;  // team names, may be empty
  std::string away;
  SignValues odds = kNoSignValues;    // decimal odds, > 1
  SignValues chance = kNoSignValues;  // own chance in percent (any scale; scaled per match)
  SignValues streck = kNoSignValues;  // the public's share in percent (scaled per match)
};

// The pool's rules and the turnover the player expects.
struct PoolModel {
  double rowPrice = 1.0;           // kr
  double payoutShare = 0.65;       // of the turnover
  std::vector<PrizeLevel> levels;  // highest first
  double minimumPayout = 15.0;     // kr per winning row; a level below it pays 0
  // kr: the others' stake, what the operator shows before the player hands in
  // (the player's own rows come on top); NaN until the player gives it.
  double turnover = kNoValue;
  double jackpot = 0;  // kr added to the top level's pot
};

// The pool of a game as its table row has it, with no turnover yet.
inline PoolModel PoolModelOf(const GameRules& rules) {
  PoolModel model;
  model.rowPrice = rules.rowPrice;
  model.payoutShare = rules.payoutShare;
  model.levels.assign(rules.prizeLevels.begin(), rules.prizeLevels.end());
  model.minimumPayout = rules.minimumPayout;
  return model;
}

// The pool of any number of matches, for systems that are no game: the top
// four levels with 40, 15, 12 and 25 % of the paid-out pool (the rest goes to
// a jackpot fund), as in every game of the table.
inline PoolModel DefaultPoolModel(int matches) {
  PoolModel model;
  model.levels = {{matches, 0.40}, {matches - 1, 0.15}, {matches - 2, 0.12}, {matches - 3, 0.25}};
  return model;
}

struct MatchValues {
  std::array<MatchValue, kMaxMatches> match{};  // index m - 1
};

}  // namespace spelkub
