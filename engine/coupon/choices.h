// The words and numbers a player chooses from, one table each, shared by the
// window's selectors, the coupon text and the command-line companion.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "coupon/coupon_state.h"

namespace spelkub {

struct GameChoice {
  GameType game;
  std::string_view name;    // the item of "Välj spel:"
  std::string_view option;  // the companion's --game word
  std::string_view header;  // the header line's first field; empty for Supertoto (no header)
};

// In the selector's order: item index i is kGameChoices[i].
inline constexpr std::array<GameChoice, 3> kGameChoices{{
    {kStryktipset, "Stryktipset", "stryktipset", "Stryktipset"},
    {kEuropatipset, "Europatipset", "europatipset", "Italienska stryktipset"},
    {kSupertoto, "Supertoto", "supertoto", ""},
}};

struct GoalsName {
  GoalsChoice goals;
  std::string_view text;  // the item of "Välj antal mål:", the header's Antal= and --13plus
};

// In the selector's order: item index i is kGoalsNames[i].
inline constexpr std::array<GoalsName, 4> kGoalsNames{{
    {kGoals0To1, "0-1"},
    {kGoals2, "2"},
    {kGoals3, "3"},
    {kGoalsF, "F"},
}};

// "Välj Antal Rader:": 1 to 130, then six larger counts; item index i offers
// kRowCountChoices[i] rows.
inline constexpr int kSmallRowCountChoices = 130;
inline constexpr std::array<int32_t, kSmallRowCountChoices + 6> kRowCountChoices = [] {
  std::array<int32_t, kSmallRowCountChoices + 6> counts{};
  for (int i = 0; i < kSmallRowCountChoices; ++i) counts[i] = i + 1;
  const int32_t large[] = {150, 250, 500, 750, 1000, 2000};
  for (int i = 0; i < 6; ++i) counts[kSmallRowCountChoices + i] = large[i];
  return counts;
}();

// The entry of a game, or nullptr for a value that is no game.
constexpr const GameChoice* FindGame(int32_t game) {
  for (const GameChoice& choice : kGameChoices) {
    if (choice.game == game) return &choice;
  }
  return nullptr;
}

// The guarantees a game's reductions and optimizer take: kMinGuarantee right
// up to every match in play. The window's "Välj Garanti:" list keeps its own
// fixed items, "4 Rätt" to "13 Rätt".
inline constexpr int kMinGuarantee = 4;
constexpr int MaxGuarantee(int32_t game) {
  return MatchesInPlay(game);
}

// The game of a --game word (exact, lower case).
constexpr std::optional<GameType> GameOfOption(std::string_view option) {
  for (const GameChoice& choice : kGameChoices) {
    if (choice.option == option) return choice.game;
  }
  return std::nullopt;
}

// The text of a goals choice; empty for kGoalsNone or an unknown value.
constexpr std::string_view GoalsText(int32_t goals) {
  for (const GoalsName& name : kGoalsNames) {
    if (name.goals == goals) return name.text;
  }
  return {};
}

// The goals choice of its text (exact).
constexpr std::optional<GoalsChoice> GoalsOfText(std::string_view text) {
  for (const GoalsName& name : kGoalsNames) {
    if (name.text == text) return name.goals;
  }
  return std::nullopt;
}

}  // namespace spelkub
