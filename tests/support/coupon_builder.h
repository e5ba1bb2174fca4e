// Builds coupons for tests from the signs marked per match, e.g.
// MakeCoupon(kStryktipset, {"1X", "X2", "1", ...}); missing matches stay unmarked.
#pragma once

#include <initializer_list>
#include <string_view>
#include <vector>

#include "coupon/coupon_state.h"
#include "coupon/games.h"

namespace spelkub::testing {

inline void MarkMatch(CouponState& state, int match, std::string_view signs) {
  for (int outcome = 0; outcome < 3; ++outcome) state.Marks[CellIndex(match, outcome)] = 0;
  for (char sign : signs) {
    const int outcome = sign == '1' ? 0 : sign == 'X' ? 1 : 2;
    state.Marks[CellIndex(match, outcome)] = 1;
  }
}

inline CouponState MakeCoupon(int32_t game, const std::vector<std::string_view>& matches) {
  CouponState state;
  state.Game = game;
  int match = 1;
  for (std::string_view signs : matches) MarkMatch(state, match++, signs);
  return state;
}

// Every match in play gets the same signs.
inline CouponState UniformCoupon(int32_t game, std::string_view signs) {
  CouponState state;
  state.Game = game;
  for (int match = 1; match <= MatchesInPlay(game); ++match) MarkMatch(state, match, signs);
  return state;
}

}  // namespace spelkub::testing
