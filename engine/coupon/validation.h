// Whether a coupon can be generated, and the header line its rows are written
// under.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "coupon/coupon_state.h"
#include "coupon/messages.h"

namespace spelkub {

// Every line of coupon text ends so.
inline constexpr std::string_view kLineBreak = "\r\n";

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

}  // namespace spelkub
