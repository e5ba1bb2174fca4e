// What the commands share: a refusal as both front ends tell it, where the
// rows came from, and the checks of the marks.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "coupon/coupon_state.h"
#include "text/coupon_reader.h"

namespace spelkub {

// What a refusal is about. The front ends tell it by its kind, never by its
// text or caption: the companion writes "CAPTION: TEXT" for a check of the
// coupon and its own name in place of the caption for the others, and maps
// each kind to its exit status.
enum class RefusalKind {
  kInput,       // rows, a file, a value or a target that does not do
  kCoupon,      // a check of the marks and choices, as "Generera Rader" makes it
  kConditions,  // conditions that do not read or keep no row
};

// Why a command did nothing: the text, and the caption of the window's
// message box.
struct Refusal {
  std::string text;
  std::string caption;
  RefusalKind kind = RefusalKind::kInput;
};

// A command's answer: the value, or why there is none.
template <typename T, typename E = Refusal>
struct Expected {
  std::optional<T> value;
  E refusal;  // when there is no value

  static Expected Refused(std::string text, std::string_view caption,
                          RefusalKind kind = RefusalKind::kInput) {
    return {std::nullopt, {std::move(text), std::string(caption), kind}};
  }
  static Expected Refused(E refusal) { return {std::nullopt, std::move(refusal)}; }
};

template <typename T>
using Refusable = Expected<T, Refusal>;

// Where a command's rows were read: the window's row list, or a file the
// companion was given. Refusals name the one or the other.
enum class RowSource { kRowList, kFile };

// The checks of "Generera Rader" for a command that reads the marks and the
// 13plus choice only: the reduction settings are not its business.
std::optional<Refusal> CheckMarks(const CouponState& state, Plus13Choice plus13);

// The reader's refusal of a row list or a file.
Refusal ReaderRefusal(const ReadResult& read);

// The rows a check of rows ("Garantianalys", "Rätta rader") works on, or why
// there are none: the reader's refusal, or no rows. `caption` is the
// command's, for the window.
Refusable<CouponRows> RowsToCheck(ReadResult read, RowSource source, std::string_view caption);

}  // namespace spelkub
