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

// The first failing check of the generate command: 1..14 the first unmarked
// match in play, 15 13plus "Ja" without goals (in a game that has 13plus),
// 16 "Garanti" without a level or with one the game does not take, 17 "Antal
// Rader" without a row count.
struct ValidationFailure {
  int check;
  Message message;
};

// Runs the checks in their fixed order and returns the first that fails.
std::optional<ValidationFailure> ValidateCoupon(const CouponState& state, Plus13Choice plus13);

// The header line with its CR LF: the game's header, then its 13plus part
// when the game has 13plus; empty for a game without a header line.
std::string HeaderLine(const CouponState& state, Plus13Choice plus13);

}  // namespace spelkub
