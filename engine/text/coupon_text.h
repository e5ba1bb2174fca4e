// From a coupon to its rows: the full system in odometer order, and the
// coupon text that the row list shows and the save command writes.
//
// Coupon text: the game's header line if it has one, then one row line per
// row, every line ended by CR LF. Row lines carry the signs at fixed even
// positions, after "E," in the games whose rows have it: "E,1,X,..." with 13
// signs for Stryktipset, or 14 signs without prefix for Supertoto; the game
// table gives each game's form (RowLineLength, SignPosition).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "coupon/coupon_state.h"
#include "coupon/games.h"
#include "coupon/messages.h"
#include "coupon/row_set.h"
#include "coupon/system_shape.h"
#include "coupon/validation.h"
#include "coupon/work.h"

namespace spelkub {

// Bytes of one row line of the set's game with its CR LF.
inline size_t RowLineBytes(const RowSet& set) {
  return static_cast<size_t>(RowLineBytes(Rules(set.game)));
}

// Streaming: the row lines of a block of rows, rendered straight from the
// packed rows into a caller's buffer, so that a large text never has to exist
// whole. Each writes (number of rows) * RowLineBytes(set) bytes and returns that.
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
