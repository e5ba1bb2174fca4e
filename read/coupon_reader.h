// Reading coupon text strictly: the header forms that generation writes, the
// product name alone (today's hand-in form), or no header (Supertoto); then
// row lines. Anything else is refused with one message that names the line
// and what is wrong; nothing is half-read. Input of any size is read in
// bounded memory: the packed rows plus a buffer of a few megabytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "coupon/coupon_state.h"
#include "coupon/system_shape.h"

namespace spelkub {

enum class HeaderForm {
  kNone,         // no header line: Supertoto rows, or only "Dina Rader:"
  kGenerated,    // "Stryktipset,13plus=Nej" and the other forms generation writes
  kProductName,  // "Stryktipset" or "Europatipset" alone
};

struct CouponRows {
  int32_t game = kStryktipset;  // from the header, or kSupertoto for 14-sign rows
  HeaderForm headerForm = HeaderForm::kNone;
  std::string header;  // the header line as read, without its line break
  std::vector<PackedRow> rows;
  // Line number (1-based) of each row, for messages about single rows.
  std::vector<int64_t> lines;
};

struct ReadResult {
  std::optional<CouponRows> coupon;
  // When refused: one line in Swedish, e.g. "Rad 17: väntade 13 tecken 1, X eller 2".
  std::string error;
};

ReadResult ReadCouponText(std::string_view text);
// "-" reads standard input.
ReadResult ReadCouponFile(const std::string& path);

}  // namespace spelkub
