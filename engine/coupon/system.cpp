#include "coupon/system.h"

#include <bit>
#include <stdexcept>

namespace spelkub {

System::System(SystemShape shape) : shape_(shape), size_(shape.size()) {}

System::System(SystemShape shape, std::vector<uint64_t> allowed)
    : shape_(shape), allowed_(std::move(allowed)) {
  const int64_t outcomes = shape_.size();
  if (static_cast<int64_t>(allowed_.size()) != (outcomes + 63) / 64)
    throw std::invalid_argument("System: the bitmap does not fit the shape");
  // Bits past the last outcome are cleared so that whole words can be counted
  // and copied.
  if (outcomes % 64 != 0) allowed_.back() &= (uint64_t{1} << (outcomes % 64)) - 1;
  size_ = 0;
  for (uint64_t word : allowed_) size_ += std::popcount(word);
  if (size_ == outcomes) std::vector<uint64_t>().swap(allowed_);
}

}  // namespace spelkub
