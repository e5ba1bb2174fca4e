// A system: the outcomes of a shape, or the part of them that conditions
// allow. The odometer numbering of the shape stays; a bitmap with one bit per
// outcome index says which are in the system (200 KB for 13 full matches), so
// every step downstream asks "is this outcome in the system" in O(1).
#pragma once

#include <cstdint>
#include <vector>

#include "coupon/system_shape.h"

namespace spelkub {

class System {
 public:
  // Every outcome of the shape.
  explicit System(SystemShape shape);
  // The outcomes whose bit is set: bit i of word i / 64 for index i, with
  // (shape.size() + 63) / 64 words; bits past the last index are ignored.
  // A bitmap that allows every outcome is dropped, so such a system is the
  // same as the unfiltered one, and throws std::invalid_argument when its
  // length does not fit the shape.
  System(SystemShape shape, std::vector<uint64_t> allowed);

  const SystemShape& shape() const { return shape_; }
  // Whether some outcome of the shape is left out.
  bool filtered() const { return !allowed_.empty(); }
  // Whether the outcome at an index (0 <= index < shape().size()) is in it.
  bool Allows(int64_t index) const {
    return allowed_.empty() || ((allowed_[static_cast<size_t>(index >> 6)] >> (index & 63)) & 1u);
  }
  // Outcomes in the system.
  int64_t size() const { return size_; }
  // The bitmap, empty when unfiltered.
  const std::vector<uint64_t>& allowed() const { return allowed_; }

 private:
  SystemShape shape_;
  std::vector<uint64_t> allowed_;
  int64_t size_ = 0;
};

}  // namespace spelkub
