#include "coupon/system_shape.h"

#include "coupon/games.h"

namespace spelkub {

int64_t SystemShape::size() const {
  int64_t size = 1;
  for (int m = 0; m < matches; ++m) size *= radix[m];
  return size;
}

PackedRow SystemShape::RowAt(int64_t index) const {
  PackedRow row = 0;
  for (int m = 0; m < matches; ++m) {
    row |= PackedRow{outcomes[m][index % radix[m]]} << (2 * m);
    index /= radix[m];
  }
  return row;
}

std::optional<int64_t> SystemShape::IndexOf(PackedRow row) const {
  int64_t index = 0;
  int64_t stride = 1;
  for (int m = 0; m < matches; ++m) {
    const int outcome = PackedOutcome(row, m + 1);
    int digit = 0;
    while (digit < radix[m] && outcomes[m][digit] != outcome) ++digit;
    if (digit == radix[m]) return std::nullopt;
    index += digit * stride;
    stride *= radix[m];
  }
  return index;
}

SystemShape ShapeOf(const CouponState& state) {
  SystemShape shape;
  shape.matches = MatchesInPlay(state.Game);
  for (int m = 0; m < shape.matches; ++m) {
    uint8_t count = 0;
    for (int outcome = 0; outcome < 3; ++outcome) {
      if (state.Marks[CellIndex(m + 1, outcome)] == 1) shape.outcomes[m][count++] = outcome;
    }
    shape.radix[m] = count;
  }
  return shape;
}

}  // namespace spelkub
