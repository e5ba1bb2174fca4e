// The system a coupon's marks span, apart from any row of it: per match which
// signs are marked. Every outcome of the system (one sign per match, each a
// marked one) has an index, its position in generation order: an odometer over
// the marked signs with match 1 turning fastest.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "coupon/coupon_state.h"

namespace spelkub {

// A row packed in 32 bits: the outcome (0 "1", 1 "X", 2 "2") of match m
// (1..14) in bits 2(m-1) and 2(m-1)+1.
using PackedRow = uint32_t;

// 3^k: how many outcomes k matches have.
constexpr int64_t Power3(int k) {
  int64_t power = 1;
  while (k-- > 0) power *= 3;
  return power;
}

constexpr int PackedOutcome(PackedRow row, int match) {
  return static_cast<int>((row >> (2 * (match - 1))) & 3u);
}

struct SystemShape {
  int matches = 13;  // 13, or 14 for Supertoto
  // Per match (index m - 1): how many signs are marked, and which, in the
  // order "1", "X", "2".
  std::array<uint8_t, kMaxMatches> radix{};
  std::array<std::array<uint8_t, 3>, kMaxMatches> outcomes{};

  // Number of outcomes: the product of the radices (0 while a match is unmarked).
  int64_t size() const;
  // The outcome at an index, 0 <= index < size().
  PackedRow RowAt(int64_t index) const;
  // The index of a row, or nullopt when one of its signs is not marked.
  std::optional<int64_t> IndexOf(PackedRow row) const;
};

// The marks of the matches in play.
SystemShape ShapeOf(const CouponState& state);

}  // namespace spelkub
