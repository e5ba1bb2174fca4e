// The coupon document reader on any bytes: a refusal with a message, or a
// document whose canonical text reads back to the same text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "document/coupon_document.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace spelkub;
  // Larger files are refused unread by the file reader.
  if (size > kMaxCouponDocumentBytes) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const DocumentResult loaded = LoadCouponDocument(text);
  if (!loaded.document) {
    SPELKUB_FUZZ_CHECK(!loaded.error.empty());
    return 0;
  }
  if (!CouponDocumentProblem(*loaded.document).empty()) return 0;
  const std::string written = CouponDocumentText(*loaded.document);
  const DocumentResult again = LoadCouponDocument(written);
  SPELKUB_FUZZ_CHECK(again.document);
  SPELKUB_FUZZ_CHECK(CouponDocumentText(*again.document) == written);
  return 0;
}
