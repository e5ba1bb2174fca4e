// Every outcome of n matches, for the brute forces of the tests: outcome y
// (0 <= y < Power3(n)) as a row whose match m has the sign of base-3 digit
// m - 1 of y, and how many matches two rows have alike.
#pragma once

#include <cstdint>

#include "coupon/system_shape.h"

namespace spelkub::testing {

inline PackedRow RowOfIndex(int64_t index, int matches) {
  PackedRow row = 0;
  for (int m = 1; m <= matches; ++m, index /= 3)
    row |= static_cast<PackedRow>(index % 3) << (2 * (m - 1));
  return row;
}

// Matches with the same sign in both rows.
inline int Right(PackedRow a, PackedRow b, int matches) {
  int right = 0;
  for (int m = 1; m <= matches; ++m) right += PackedOutcome(a, m) == PackedOutcome(b, m);
  return right;
}

}  // namespace spelkub::testing
