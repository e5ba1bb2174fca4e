#include "coupon/coupon_state.h"

#include "coupon/games.h"

namespace spelkub {

namespace {
constexpr std::string_view kCellTexts[3] = {"1", "X", "2"};
}

int MarkedCount(const CouponState& state, int match) {
  const int first = CellIndex(match, 0);
  return state.Marks[first] + state.Marks[first + 1] + state.Marks[first + 2];
}

int32_t SystemSize(CouponState& state) {
  state.SizeProduct = 1;
  const int matches = MatchesInPlay(state.Game);
  for (int match = 1; match <= matches; ++match) {
    state.MatchCount = MarkedCount(state, match);
    state.SizeProduct *= state.MatchCount;
  }
  const int32_t size = state.SizeProduct;
  state.SizeProduct = 1;
  return size;
}

std::string_view ToggleMark(CouponState& state, int cell) {
  state.Marks[cell] = state.Marks[cell] == 1 ? 0 : 1;
  return CellText(state, cell);
}

std::string_view CellText(const CouponState& state, int cell) {
  return state.Marks[cell] == 1 ? kCellTexts[CellOutcome(cell)] : std::string_view();
}

}  // namespace spelkub
