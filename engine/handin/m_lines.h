// M lines: one line of a hand-in file that stands for a whole system, the
// product of one group of signs per match. "M<rows>,<group>,…": the number of
// rows it covers, then per match the signs in the order 1, X, 2
// ("M12,1X2,1,X2,…"). A file holds E rows or M lines, never both.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "coupon/system_shape.h"

namespace spelkub {

// The operator's largest system on one M line.
inline constexpr int64_t kLargestMSystem = 41472;
inline constexpr int64_t kHandInMLinesPerFile = 1000;

// One product: per match (index m - 1) a mask of its signs (bit 0 "1", bit 1
// "X", bit 2 "2").
struct MSystem {
  int matches = 13;
  std::array<uint8_t, kMaxMatches> signs{};

  int64_t Rows() const;
  // Its rows, match 1 turning fastest.
  std::vector<PackedRow> Expand() const;
  // "M12,1X2,1,X2,…" without a line break.
  std::string Line() const;
};

// Splits rows exactly into products of at most `largest` rows each: every row
// (as often as it occurs) in exactly one product. Greedy: the first row not
// yet covered grows match by match while every row of the grown product is
// still uncovered. A system that is one product, and no larger than
// `largest`, comes out as that one product.
std::vector<MSystem> SplitIntoMSystems(int matches, std::span<const PackedRow> rows,
                                       int64_t largest);

}  // namespace spelkub
