// The words and numbers a player chooses from, one table each, shared by the
// window's selectors, the coupon text and the command-line companion. The
// games themselves are the table in coupon/games.h. A selector's item index
// is the index into its table; only the window should need one.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "coupon/coupon_state.h"
#include "coupon/games.h"

namespace spelkub {

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

struct Plus13Name {
  Plus13Choice choice;
  std::string_view text;  // the item of "Dubbelvinsten?"
};

// In the selector's order: item index i is kPlus13Names[i].
inline constexpr std::array<Plus13Name, 2> kPlus13Names{{
    {kPlus13Yes, "Ja"},
    {kPlus13No, "Nej"},
}};

struct ReductionName {
  ReductionMode mode;
  std::string_view text;  // the item of "Välj reducering:"
};

// In the selector's order: item index i is kReductionNames[i].
inline constexpr std::array<ReductionName, 3> kReductionNames{{
    {kReductionNone, "Ingen"},
    {kReductionGuarantee, "Garanti"},
    {kReductionRowCount, "Antal Rader"},
}};

// "Välj Garanti:": "4 Rätt" to "13 Rätt", the same items for every game;
// item index i offers a guarantee of kGuaranteeChoices[i] right.
inline constexpr std::array<int32_t, 10> kGuaranteeChoices{4, 5, 6, 7, 8, 9, 10, 11, 12, 13};

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

// The entry of a selector's table at item index `index`, or nullptr for -1
// (nothing selected) or an index beyond the table.
template <typename Entry, size_t N>
constexpr const Entry* ItemAt(const std::array<Entry, N>& table, int index) {
  return index >= 0 && static_cast<size_t>(index) < N ? &table[static_cast<size_t>(index)]
                                                      : nullptr;
}
template <typename Entry>
constexpr const Entry* ItemAt(std::span<const Entry> table, int index) {
  return index >= 0 && static_cast<size_t>(index) < table.size()
             ? &table[static_cast<size_t>(index)]
             : nullptr;
}

// The item index of the 13plus choice in "Dubbelvinsten?"; -1 for kPlus13Unset.
constexpr int Plus13Item(Plus13Choice choice) {
  for (size_t i = 0; i < kPlus13Names.size(); ++i) {
    if (kPlus13Names[i].choice == choice) return static_cast<int>(i);
  }
  return -1;
}

// The 13plus choice of an item index of "Dubbelvinsten?" (-1: kPlus13Unset).
constexpr Plus13Choice Plus13OfItem(int index) {
  const Plus13Name* name = ItemAt(kPlus13Names, index);
  return name != nullptr ? name->choice : kPlus13Unset;
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
