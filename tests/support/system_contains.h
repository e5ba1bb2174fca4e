// Whether a row lies in a system, for tests that sort rows into those inside
// and those outside.
#pragma once

#include "coupon/system_shape.h"

namespace spelkub {

// Whether every sign of the row is marked in the system.
inline bool Contains(const SystemShape& shape, PackedRow row) {
  return shape.IndexOf(row).has_value();
}

}  // namespace spelkub
