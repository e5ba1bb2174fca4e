// The rules of each game, in one table: everything that differs between
// Stryktipset, Europatipset, Supertoto and the Topptipset products is a field
// here, and the rest of the program asks the table. A new game is a new row
// (and its tests). A game travels as its number only where it is data (a
// document, a database row, a front end's choice) and in the commands, which
// check it; the functions below them take its GameRules.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "coupon/coupon_state.h"

namespace spelkub {

// A prize level of a pool: rows with exactly `right` right share `share` of
// the paid-out pool.
struct PrizeLevel {
  int right = 0;
  double share = 0;  // of the paid-out pool, 0..1
};

struct GameRules {
  GameType game;
  std::string_view name;    // the item of "Välj spel:" or of the menu, and in reports
  std::string_view option;  // the companion's --game word and the coupon document's
  int matches;              // matches in play
  // Coupon text: the header line's first field (empty: the game has no header
  // line; the reader also takes `name` alone as a header), and whether each
  // row line starts "E,".
  std::string_view header;
  bool rowPrefixE;
  // Today's hand-in form: the product name it is handed in under (empty: it
  // cannot be handed in this way), the word after it that names the matches
  // it is played on ("Stryk": "Topptipset,Stryk,..."), and whether the header
  // carries the draw and the row stake (",Omg=<draw>,Insats=<stake>").
  std::string_view handInProduct;
  std::string_view handInVariant;
  bool handInDrawAndStake;
  bool plus13;  // whether the 13plus add-on ("Dubbelvinsten?") belongs to the game
  // Whether "Välj spel:" offers it; the others are chosen in the "Kupong" menu.
  bool inGameSelector;
  // The guarantees its reductions and the optimizer take.
  int minGuarantee;
  int maxGuarantee;
  // The pool: row price (kr), the share of the turnover paid out, the prize
  // levels highest first, and the payout below which a level pays nothing.
  double rowPrice;
  double payoutShare;
  std::span<const PrizeLevel> prizeLevels;
  double minimumPayout;
  // The row stakes the player may choose (kr per row); the payouts scale with
  // the stake. Empty: every row costs the row price.
  std::span<const int> stakes;
};

// Characters of a row line without its CR LF: "E," when the game has it, then
// the signs with a comma between each two.
constexpr int RowLineLength(const GameRules& rules) {
  return (rules.rowPrefixE ? 2 : 0) + 2 * rules.matches - 1;
}
// The same with CR LF.
constexpr int RowLineBytes(const GameRules& rules) {
  return RowLineLength(rules) + 2;
}

// Character position of the sign of match m (1-based) in a row line: 2m after
// "E,", 2(m-1) in a row without it.
constexpr int SignPosition(const GameRules& rules, int match) {
  return rules.rowPrefixE ? 2 * match : 2 * (match - 1);
}

namespace detail {

inline constexpr std::array<PrizeLevel, 4> kThirteenLevels{
    {{13, 0.40}, {12, 0.15}, {11, 0.12}, {10, 0.25}}};
inline constexpr std::array<PrizeLevel, 4> kEuropaLevels{
    {{13, 0.39}, {12, 0.22}, {11, 0.12}, {10, 0.25}}};
inline constexpr std::array<PrizeLevel, 4> kFourteenLevels{
    {{14, 0.40}, {13, 0.15}, {12, 0.12}, {11, 0.25}}};
// Topptipset pays 8 right only: the whole paid-out pool.
inline constexpr std::array<PrizeLevel, 1> kEightLevels{{{8, 1.0}}};
inline constexpr std::array<int, 4> kTopptipsetStakes{1, 2, 5, 10};

// Topptipset in each of its products: the same game on other matches, with
// its own draw numbers.
constexpr GameRules Topptipset(GameType game, std::string_view name, std::string_view option,
                               std::string_view variant) {
  return {.game = game,
          .name = name,
          .option = option,
          .matches = 8,
          .header = name,
          .rowPrefixE = true,
          .handInProduct = "Topptipset",
          .handInVariant = variant,
          .handInDrawAndStake = true,
          .plus13 = false,
          .inGameSelector = false,
          .minGuarantee = 4,
          .maxGuarantee = 8,
          .rowPrice = 1.0,
          .payoutShare = 0.70,
          .prizeLevels = kEightLevels,
          .minimumPayout = 0.0,
          .stakes = kTopptipsetStakes};
}

}  // namespace detail

// The games "Välj spel:" offers first, in its order (item index i is
// kGames[i]), then those of the "Kupong" menu.
inline constexpr std::array<GameRules, 7> kGames{{
    {.game = kStryktipset,
     .name = "Stryktipset",
     .option = "stryktipset",
     .matches = 13,
     .header = "Stryktipset",
     .rowPrefixE = true,
     .handInProduct = "Stryktipset",
     .handInVariant = "",
     .handInDrawAndStake = false,
     .plus13 = true,
     .inGameSelector = true,
     .minGuarantee = 4,
     .maxGuarantee = 13,
     .rowPrice = 1.0,
     .payoutShare = 0.65,
     .prizeLevels = detail::kThirteenLevels,
     .minimumPayout = 15.0,
     .stakes = {}},
    {.game = kEuropatipset,
     .name = "Europatipset",
     .option = "europatipset",
     .matches = 13,
     .header = "Italienska stryktipset",
     .rowPrefixE = true,
     .handInProduct = "Europatipset",
     .handInVariant = "",
     .handInDrawAndStake = false,
     .plus13 = true,
     .inGameSelector = true,
     .minGuarantee = 4,
     .maxGuarantee = 13,
     .rowPrice = 1.0,
     .payoutShare = 0.65,
     .prizeLevels = detail::kEuropaLevels,
     .minimumPayout = 15.0,
     .stakes = {}},
    {.game = kSupertoto,
     .name = "Supertoto",
     .option = "supertoto",
     .matches = 14,
     .header = "",
     .rowPrefixE = false,
     .handInProduct = "",
     .handInVariant = "",
     .handInDrawAndStake = false,
     .plus13 = false,
     .inGameSelector = true,
     .minGuarantee = 4,
     .maxGuarantee = 14,
     .rowPrice = 1.0,
     .payoutShare = 0.65,
     .prizeLevels = detail::kFourteenLevels,
     .minimumPayout = 15.0,
     .stakes = {}},
    detail::Topptipset(kTopptipset, "Topptipset", "topptipset", ""),
    detail::Topptipset(kTopptipsetStryk, "Topptipset Stryk", "topptipset-stryk", "Stryk"),
    detail::Topptipset(kTopptipsetExtra, "Topptipset Extra", "topptipset-extra", ""),
    detail::Topptipset(kTopptipsetEuropa, "Topptipset Europa", "topptipset-europa", "Europa"),
}};

static_assert([] {
  for (const GameRules& rules : kGames) {
    if (rules.matches < 1 || rules.matches > kMaxMatches) return false;
    // The value layer counts rows at most three below the top level.
    for (const PrizeLevel& level : rules.prizeLevels) {
      if (level.right > rules.matches || level.right < rules.matches - 3) return false;
    }
  }
  return true;
}());

// The table the program runs on: kGames, unless a test has put in its own.
std::span<const GameRules> Games();

namespace detail {

// Runs the program on another table while it lives (tests only: a game that
// exists nowhere else proves that the table is all a new game needs). Not
// thread-safe: make it before anything runs on the table.
class ScopedGameTable {
 public:
  explicit ScopedGameTable(std::span<const GameRules> games);
  ~ScopedGameTable();
  ScopedGameTable(const ScopedGameTable&) = delete;
  ScopedGameTable& operator=(const ScopedGameTable&) = delete;

 private:
  std::span<const GameRules> previous_;
};

}  // namespace detail

// The rules of a game; the first game's for a value that is no game.
const GameRules& Rules(int32_t game);

// Whether a value is a game of the table.
bool IsGame(int32_t game);

// Matches in play.
inline int MatchesInPlay(int32_t game) {
  return Rules(game).matches;
}

// The game of a --game word or a coupon document's game (exact, lower case).
std::optional<GameType> GameOfOption(std::string_view option);

// The first game that plays this many matches; the first game when none does.
// For rows that are only a system of that many matches, with no game chosen.
int32_t GameWithMatches(int matches);

// The game whose rows have this many matches and this row-line form.
const GameRules* GameOfRowForm(int matches, bool rowPrefixE);

// The largest number of matches any game plays.
int MostMatches();

// The lowest guarantee any game takes.
int LowestGuarantee();

// The shortest row line with its CR LF of any game.
int ShortestRowLineBytes();

// The games "Välj spel:" offers, in its order.
std::span<const GameRules> SelectorGames();

// Whether the player chooses a stake for the game's rows, and whether `stake`
// is one it takes (any game takes 1).
bool TakesStake(const GameRules& rules, int stake);

// A field of every game as a Swedish list, each item through `item`:
// "stryktipset, europatipset eller supertoto".
template <typename Item>
std::string GameList(Item item) {
  const std::span<const GameRules> games = Games();
  std::string list;
  for (size_t i = 0; i < games.size(); ++i) {
    if (i > 0) list += i + 1 == games.size() ? " eller " : ", ";
    list += item(games[i]);
  }
  return list;
}

}  // namespace spelkub
