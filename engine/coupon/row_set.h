// Rows of a system, packed, with the system's shape and the header line they
// are written under.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "coupon/coupon_state.h"
#include "coupon/games.h"
#include "coupon/system.h"
#include "coupon/system_shape.h"
#include "coupon/work.h"

namespace spelkub {

// The full system of a coupon: every row in generation order. The order is an
// odometer over the marked outcomes, match 1 changing fastest, so row i is the
// mixed-radix number i with digit radix[m] for match m.
struct RowSet {
  int32_t game = kStryktipset;
  int matches = 13;
  std::string header;  // HeaderLine(): with CR LF, empty for a game without a header line
  // Per match (index m - 1): how many outcomes are marked, and which, in the
  // order "1", "X", "2".
  std::array<uint8_t, kMaxMatches> radix{};
  std::array<std::array<uint8_t, 3>, kMaxMatches> outcomes{};
  std::vector<PackedRow> rows;

  int64_t size() const { return static_cast<int64_t>(rows.size()); }
};

// The full system of a coupon that passed ValidateCoupon. Reports rows begun
// to the listener, if any.
RowSet GenerateFullSystem(const CouponState& state, Plus13Choice plus13,
                          Progress* progress = nullptr);

// The same for any system: its rows in generation order, as rows of the game
// of `rules` under `header` (with CR LF, or empty).
RowSet GenerateSystem(const SystemShape& shape, const GameRules& rules, std::string header,
                      Progress* progress = nullptr);

// The rows of a system that conditions may have cut down, in generation
// order: the same as above when it is unfiltered. A filtered system's set
// holds only its allowed rows, so its size is system.size(), not the shape's;
// the reductions take the full set beside the System instead.
RowSet GenerateSystem(const System& system, const GameRules& rules, std::string header,
                      Progress* progress = nullptr);

}  // namespace spelkub
