#include "commands/refusal.h"

#include "coupon/validation.h"

namespace spelkub {

std::optional<Refusal> CheckMarks(const CouponState& state, Plus13Choice plus13) {
  CouponState marks = state;
  marks.Reduction = kReductionNone;
  const auto failure = ValidateCoupon(marks, plus13);
  if (!failure) return std::nullopt;
  return Refusal{std::string(failure->message.text), std::string(failure->message.caption),
                 RefusalKind::kCoupon};
}

Refusal ReaderRefusal(const ReadResult& read) {
  return {read.error, "Felaktig rad!"};
}

Refusable<CouponRows> RowsToCheck(ReadResult read, RowSource source, std::string_view caption) {
  if (!read.coupon) return Refusable<CouponRows>::Refused(ReaderRefusal(read));
  if (read.coupon->rows.empty()) {
    if (source == RowSource::kFile) {
      return Refusable<CouponRows>::Refused("Filen har inga rader.", caption);
    }
    return Refusable<CouponRows>::Refused("Radlistan har inga rader.", caption);
  }
  return {std::move(read.coupon), {}};
}

}  // namespace spelkub
