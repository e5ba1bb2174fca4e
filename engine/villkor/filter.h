// The system that conditions leave: the rows of a shape that break at most
// the allowed number of conditions ("tillåtna fel").
//
// PrepareConditions checks once what the conditions need (streck, chances,
// the turnover) and turns them into per-match tables; FilterSystem then walks
// the shape's outcomes block by block: the first matches span a block whose
// counts are tabled once, so each outcome costs a compare per condition.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "coupon/system.h"
#include "coupon/work.h"
#include "value/value_model.h"
#include "villkor/condition.h"

namespace spelkub {

// Conditions made ready for a game's matches and the coupon's numbers.
struct PreparedConditions {
  int matches = 13;
  std::vector<Condition> conditions;
  // Per condition, match (index m - 1) and sign: what the sign adds to the
  // condition's count; all 0 for spelvärde and utdelning.
  std::vector<std::array<std::array<int16_t, 3>, kMaxMatches>> weight;
  // The public's favourite sign per match: the one with the most streck,
  // the first of 1, X, 2 among equals; -1 when no condition needs streck.
  std::array<int, kMaxMatches> favourite{};
  // The values spelvärde and utdelning are taken from (ValueOfRow): its
  // chances are only meaningful when spelvärde is used, its pool only when
  // utdelning is. The rows are not known while they are chosen, so the pot
  // holds no own stake (ownStake 0).
  ValueModel model;
};

// The most conditions a system takes at once.
inline constexpr int kMaxConditions = 100;

// Checks and tables the conditions for a game with `matches` matches. A
// condition whose numbers are missing or wrong is refused on one line naming
// it: Villkoret "skrällar 1-3" behöver streck: Streck: match 3 saknar värde
// för X. Own chances count in whole percent: each sign's chance scaled so
// that the match sums to 100, rounded to the nearest whole (halves up).
std::optional<PreparedConditions> PrepareConditions(std::span<const Condition> conditions,
                                                    int matches, const MatchValues& values,
                                                    const PoolModel& pool, std::string* error);

// How many of the conditions a row breaks. The definition the filter keeps:
// counts over the condition's matches compared with its bounds, spelvärde as
// ValueOfRow(model, row).value * 100 and utdelning as its payout.
int BrokenConditions(const PreparedConditions& prepared, PackedRow row);

// The outcomes of the shape that break at most `maxBroken` (>= 0) of the
// conditions (BrokenConditions), as a System; nullopt only when stopped. The shape has
// the prepared number of matches. When every outcome is kept, the system is
// the unfiltered one.
std::optional<System> FilterSystem(const SystemShape& shape, const PreparedConditions& prepared,
                                   int maxBroken, const Work& work = {});

}  // namespace spelkub
