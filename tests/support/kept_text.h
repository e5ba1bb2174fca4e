// The coupon text of a reduction's kept rows, for tests that compare whole
// texts; the program renders the kept rows in blocks.
#pragma once

#include <string>

#include "reduce/reduction.h"
#include "text/coupon_text.h"

namespace spelkub {

inline std::string KeptCouponText(const RowSet& set, const ReductionResult& result) {
  return CouponText(set, result.kept);
}

}  // namespace spelkub
