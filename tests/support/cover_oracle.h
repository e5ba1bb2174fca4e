// Plain answers for the coverage and optimizer tests: every outcome of a
// system compared with every row, sign by sign, and random shapes and rows.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "coupon/system_shape.h"
#include "cover/block_codes.h"

namespace spelkub::testing {

// Matches in which two rows differ; a sign outside 0..2 differs from all.
inline int PlainDistance(PackedRow a, PackedRow b, int matches) {
  int differing = 0;
  for (int m = 1; m <= matches; ++m) {
    if (PackedOutcome(a, m) != PackedOutcome(b, m) || PackedOutcome(a, m) == 3) ++differing;
  }
  return differing;
}

// Per outcome of the system, the distance to its nearest row.
inline std::vector<uint8_t> PlainDistances(const SystemShape& shape,
                                           const std::vector<PackedRow>& rows) {
  std::vector<uint8_t> distances;
  if (rows.empty()) return distances;
  for (int64_t index = 0; index < shape.size(); ++index) {
    const PackedRow outcome = shape.RowAt(index);
    int nearest = shape.matches;
    for (PackedRow row : rows)
      nearest = std::min(nearest, PlainDistance(outcome, row, shape.matches));
    distances.push_back(static_cast<uint8_t>(nearest));
  }
  return distances;
}

// The engine's seeded generator: the same numbers on every platform.
using TestRandom = detail::Random;

// A shape of 13 or 14 matches with `full` three-sign matches, `half` two-sign
// matches (random pairs) and singles elsewhere, at random places.
inline SystemShape RandomShape(TestRandom& random, int matches, int full, int half) {
  SystemShape shape;
  shape.matches = matches;
  std::vector<int> kinds(matches, 1);
  std::fill(kinds.begin(), kinds.begin() + full, 3);
  std::fill(kinds.begin() + full, kinds.begin() + full + half, 2);
  for (int i = matches - 1; i > 0; --i) std::swap(kinds[i], kinds[random.Below(i + 1)]);
  for (int m = 0; m < matches; ++m) {
    shape.radix[m] = static_cast<uint8_t>(kinds[m]);
    if (kinds[m] == 3) {
      shape.outcomes[m] = {0, 1, 2};
    } else if (kinds[m] == 2) {
      const int left = random.Below(3);
      shape.outcomes[m] = {static_cast<uint8_t>(left == 0 ? 1 : 0),
                           static_cast<uint8_t>(left == 2 ? 1 : 2), 0};
    } else {
      shape.outcomes[m] = {static_cast<uint8_t>(random.Below(3)), 0, 0};
    }
  }
  return shape;
}

// A row with any sign 0..2 in every match, marked or not.
inline PackedRow RandomRow(TestRandom& random, int matches) {
  PackedRow row = 0;
  for (int m = 0; m < matches; ++m) row |= static_cast<PackedRow>(random.Below(3)) << (2 * m);
  return row;
}

}  // namespace spelkub::testing
