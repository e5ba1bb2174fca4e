// Conditions ("villkor") for the commands: the conditions a coupon uses and
// the numbers they need, turned into the system the commands work on, and the
// line their reports add when the conditions leave out rows.
//
// Policy, the same for the window and the companion: no conditions, or
// conditions that keep every row, change nothing (the unfiltered system);
// conditions that keep no row are refused.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "commands/refusal.h"
#include "coupon/system.h"
#include "coupon/system_shape.h"
#include "coupon/work.h"
#include "document/coupon_document.h"
#include "value/match_values.h"

namespace spelkub {

inline constexpr std::string_view kConditionsCaption = "Villkor";
inline constexpr std::string_view kNoRowKeptText = "Inga rader uppfyller villkoren.";

// What the commands read of the conditions: the texts in the condition
// language (none: the whole system), the allowed broken conditions ("tillåtna
// fel"), and the match values and pool the measures take their numbers from.
struct ConditionInput {
  std::vector<std::string> conditions{};
  int maxBroken = 0;
  MatchValues values{};
  PoolModel pool{};

  bool empty() const { return conditions.empty(); }
};

// The document's conditions when it uses them, else none; its values and pool.
ConditionInput ConditionInputOf(const CouponDocument& document);

// The system of `shape` that the conditions leave, whatever it holds (no row
// at all, or every row): the one pipeline from texts to the allowed set, for
// the commands and for the conditions' live count. Refused on one Swedish line
// under kConditionsCaption: a condition that does not read, one whose numbers
// are missing, or negative allowed broken conditions. Stopped through `work`:
// neither a value nor a refusal's text.
Refusable<System> FilteredSystem(const SystemShape& shape, const ConditionInput& input,
                                 const Work& work = {});

// The system of `shape` that the conditions leave. Refused on one Swedish line
// under kConditionsCaption: a condition that does not read, one whose numbers
// are missing, negative allowed broken conditions, or no row kept
// (kNoRowKeptText). Stopped through `work`: neither a value nor a refusal's
// text.
Refusable<System> ConditionedSystem(const SystemShape& shape, const ConditionInput& input,
                                    const Work& work = {});

// "Villkor: 823 534 av 1 594 323 rader uppfyller villkoren."; empty for an
// unfiltered system, whose reports say nothing of conditions.
std::string ConditionsLine(const System& system);

// A whole number with a space between thousands: "1 594 323".
std::string GroupedNumber(int64_t number);

// Where an outcome of a system stands among the system's own rows: the rows
// a filtered system writes are its allowed outcomes only, so the reductions'
// indices into the full set are moved to indices into them.
class SystemRank {
 public:
  explicit SystemRank(const System& system);
  // The allowed outcomes below `index` (0 <= index <= shape size).
  int64_t operator()(int64_t index) const;

 private:
  const System& system_;
  std::vector<int64_t> before_;  // allowed outcomes before each word of the bitmap
};

}  // namespace spelkub
