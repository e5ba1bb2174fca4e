// From a coupon to its rows: validation, the full system in odometer order,
// and the coupon text that the row list shows and the save command writes.
//
// Coupon text: an optional header line (Stryktipset and Europatipset), then one
// 27-character row line per row, every line ended by CR LF. Row lines carry
// the signs at fixed even positions: "E,1,X,..." with 13 signs, or 14 signs
// without prefix for Supertoto.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "coupon/coupon_state.h"
#include "coupon/messages.h"
#include "coupon/progress.h"
#include "coupon/system_shape.h"

namespace spelkub {

inline constexpr int kRowLineLength = 27;                 // without CR LF
inline constexpr int kRowLineBytes = kRowLineLength + 2;  // with CR LF
inline constexpr std::string_view kLineBreak = "\r\n";

// Character position of the sign of match m (1-based) in a row line: 2m after
// "E," for Stryktipset and Europatipset, 2(m-1) for Supertoto.
constexpr int SignPosition(int32_t game, int match) {
  return game == kSupertoto ? 2 * (match - 1) : 2 * match;
}

// The first failing check of the generate command: 1..13 an unmarked match,
// 14 an unmarked match 14 in Supertoto, 15 13plus "Ja" without goals,
// 16 "Garanti" without a level, 17 "Antal Rader" without a row count.
struct ValidationFailure {
  int check;
  Message message;
};

// Runs the checks in their fixed order and returns the first that fails.
// plus13Index is the selected index of the 13plus selector (0 "Ja", 1 "Nej").
std::optional<ValidationFailure> ValidateCoupon(const CouponState& state, int plus13Index);

// The header line with its CR LF; empty for Supertoto.
std::string HeaderLine(const CouponState& state, int plus13Index);

// The full system of a coupon: every row in generation order. The order is an
// odometer over the marked outcomes, match 1 changing fastest, so row i is the
// mixed-radix number i with digit radix[m] for match m.
struct RowSet {
  int32_t game = kStryktipset;
  int matches = 13;
  std::string header;  // HeaderLine(): with CR LF, empty for Supertoto
  // Per match (index m - 1): how many outcomes are marked, and which, in the
  // order "1", "X", "2".
  std::array<uint8_t, kMaxMatches> radix{};
  std::array<std::array<uint8_t, 3>, kMaxMatches> outcomes{};
  std::vector<PackedRow> rows;

  int64_t size() const { return static_cast<int64_t>(rows.size()); }
};

// The full system of a coupon that passed ValidateCoupon. Reports rows begun
// to the listener, if any.
RowSet GenerateFullSystem(const CouponState& state, int plus13Index,
                          ProgressListener* progress = nullptr);

// The same for any system: its rows in generation order, as rows of `game`
// under `header` (with CR LF, or empty).
RowSet GenerateSystem(const SystemShape& shape, int32_t game, std::string header,
                      ProgressListener* progress = nullptr);

// Streaming: the row lines of a block of rows, rendered straight from the
// packed rows into a caller's buffer, so that a large text never has to exist
// whole. Each writes (number of rows) * kRowLineBytes bytes and returns that.
//
// Rows [begin, end) of the set in generation order.
size_t RenderRowLines(const RowSet& set, int64_t begin, int64_t end, char* out);
// The rows of the set at these indices (generation order), in the given order.
size_t RenderRowLines(const RowSet& set, std::span<const uint32_t> rowIndices, char* out);

// The coupon text of the whole set: header line, then every row.
std::string CouponText(const RowSet& set);

// The coupon text of some rows of the set, by their index in generation order:
// header line, then those rows in the given order.
std::string CouponText(const RowSet& set, std::span<const uint32_t> rowIndices);

}  // namespace spelkub
