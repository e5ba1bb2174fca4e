// For the conditions' tests: a counter driven by hand, and the rows a set of
// simple conditions keeps counted the plain way, one row at a time.
#pragma once

#include <QCoreApplication>
#include <cstdint>
#include <string>
#include <vector>

#include "app/tools/villkor_dialog.h"
#include "coupon/system_shape.h"

namespace spelkub::testing {

// Runs the counter's latest request to its end on this thread, with every
// count it cancels and restarts on the way. The counter's worker must be in
// manual mode.
inline void Settle(tools::ConditionCounter& counter) {
  counter.StartNow();
  while (counter.Busy()) {
    counter.worker().RunPending();
    QCoreApplication::sendPostedEvents();
    counter.StartNow();
  }
}

// A condition on the number of one sign among some matches.
struct SignCount {
  int sign;          // 0 "1", 1 "X", 2 "2"
  int low;           // inclusive
  int high;          // inclusive
  uint32_t matches;  // bit m - 1 for match m; 0 for all
  std::string text;  // the same condition in the language
};

// Rows of the shape breaking at most `maxBroken` of the conditions.
inline int64_t BruteForceKept(const SystemShape& shape, const std::vector<SignCount>& conditions,
                              int maxBroken) {
  int64_t kept = 0;
  for (int64_t index = 0; index < shape.size(); ++index) {
    const PackedRow row = shape.RowAt(index);
    int broken = 0;
    for (const SignCount& condition : conditions) {
      int count = 0;
      for (int m = 1; m <= shape.matches; ++m) {
        const bool counted = condition.matches == 0 || ((condition.matches >> (m - 1)) & 1u);
        if (counted && static_cast<int>((row >> (2 * (m - 1))) & 3u) == condition.sign) ++count;
      }
      broken += count < condition.low || count > condition.high;
    }
    kept += broken <= maxBroken;
  }
  return kept;
}

}  // namespace spelkub::testing
