// The rules of each game, in one table: everything that differs between
// Stryktipset, Europatipset and Supertoto is a field here, and the rest of the
// program asks the table. A new game is a new row (and its tests).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "coupon/coupon_state.h"

namespace spelkub {

// A prize level of a game's pool: rows with exactly `right` right share
// `share` of the paid-out pool.
struct PrizeShare {
  int right;
  double share;
};

struct GameRules {
  GameType game;
  std::string_view name;    // the item of "Välj spel:" and in reports
  std::string_view option;  // the companion's --game word and the coupon document's
  int matches;              // matches in play
  // Coupon text: the header line's first field (empty: the game has no header
  // line; the reader also takes `name` alone as a header), and whether each
  // row line starts "E,".
  std::string_view header;
  bool rowPrefixE;
  // Today's hand-in form: the product name it is handed in under (empty: it
  // cannot be handed in this way).
  std::string_view handInProduct;
  bool plus13;  // whether the 13plus add-on ("Dubbelvinsten?") belongs to the game
  // The guarantees its reductions and the optimizer take.
  int minGuarantee;
  int maxGuarantee;
  // The pool: row price (kr), the share of the turnover paid out, the prize
  // levels highest first, and the payout below which a level pays nothing.
  double rowPrice;
  double payoutShare;
  std::array<PrizeShare, 4> prizeLevels;
  double minimumPayout;
};

// In the selector's order: item index i is kGames[i].
inline constexpr std::array<GameRules, 3> kGames{{
    {.game = kStryktipset,
     .name = "Stryktipset",
     .option = "stryktipset",
     .matches = 13,
     .header = "Stryktipset",
     .rowPrefixE = true,
     .handInProduct = "Stryktipset",
     .plus13 = true,
     .minGuarantee = 4,
     .maxGuarantee = 13,
     .rowPrice = 1.0,
     .payoutShare = 0.65,
     .prizeLevels = {{{13, 0.40}, {12, 0.15}, {11, 0.12}, {10, 0.25}}},
     .minimumPayout = 15.0},
    {.game = kEuropatipset,
     .name = "Europatipset",
     .option = "europatipset",
     .matches = 13,
     .header = "Italienska stryktipset",
     .rowPrefixE = true,
     .handInProduct = "Europatipset",
     .plus13 = true,
     .minGuarantee = 4,
     .maxGuarantee = 13,
     .rowPrice = 1.0,
     .payoutShare = 0.65,
     .prizeLevels = {{{13, 0.39}, {12, 0.22}, {11, 0.12}, {10, 0.25}}},
     .minimumPayout = 15.0},
    {.game = kSupertoto,
     .name = "Supertoto",
     .option = "supertoto",
     .matches = 14,
     .header = "",
     .rowPrefixE = false,
     .handInProduct = "",
     .plus13 = false,
     .minGuarantee = 4,
     .maxGuarantee = 14,
     .rowPrice = 1.0,
     .payoutShare = 0.65,
     .prizeLevels = {{{14, 0.40}, {13, 0.15}, {12, 0.12}, {11, 0.25}}},
     .minimumPayout = 15.0},
}};

// The rules of a game; the first game's for a value that is no game.
constexpr const GameRules& Rules(int32_t game) {
  for (const GameRules& rules : kGames) {
    if (rules.game == game) return rules;
  }
  return kGames.front();
}

// Whether a value is a game of the table.
constexpr bool IsGame(int32_t game) {
  for (const GameRules& rules : kGames) {
    if (rules.game == game) return true;
  }
  return false;
}

// Matches in play.
constexpr int MatchesInPlay(int32_t game) {
  return Rules(game).matches;
}

// The game of a --game word or a coupon document's game (exact, lower case).
constexpr std::optional<GameType> GameOfOption(std::string_view option) {
  for (const GameRules& rules : kGames) {
    if (rules.option == option) return rules.game;
  }
  return std::nullopt;
}

// The first game that plays this many matches; the first game when none does.
// For rows that are only a system of that many matches, with no game chosen.
constexpr int32_t GameWithMatches(int matches) {
  for (const GameRules& rules : kGames) {
    if (rules.matches == matches) return rules.game;
  }
  return kGames.front().game;
}

// The game whose rows have this many matches and this row-line form.
constexpr const GameRules* GameOfRowForm(int matches, bool rowPrefixE) {
  for (const GameRules& rules : kGames) {
    if (rules.matches == matches && rules.rowPrefixE == rowPrefixE) return &rules;
  }
  return nullptr;
}

// The largest number of matches any game plays.
inline constexpr int kMostMatches = [] {
  int most = 0;
  for (const GameRules& rules : kGames) most = rules.matches > most ? rules.matches : most;
  return most;
}();
static_assert(kMostMatches <= kMaxMatches);

// The lowest guarantee any game takes.
inline constexpr int kLowestGuarantee = [] {
  int lowest = kGames.front().minGuarantee;
  for (const GameRules& rules : kGames) {
    lowest = rules.minGuarantee < lowest ? rules.minGuarantee : lowest;
  }
  return lowest;
}();

// A field of every game as a Swedish list, each item through `item`:
// "stryktipset, europatipset eller supertoto".
template <typename Item>
std::string GameList(Item item) {
  std::string list;
  for (size_t i = 0; i < kGames.size(); ++i) {
    if (i > 0) list += i + 1 == kGames.size() ? " eller " : ", ";
    list += item(kGames[i]);
  }
  return list;
}

}  // namespace spelkub
