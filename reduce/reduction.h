// Cutting a full system down by greedy selection.
//
// A pass walks the candidate rows (generation order, or backwards when
// reversed) and accepts a candidate unless a row accepted earlier shares at
// least `threshold` signs with it. The row-count reduction runs passes with
// thresholds 4, 5, ... that extend the kept rows until there are exactly
// `target`; the guarantee reduction runs one pass at the chosen level.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "coupon/progress.h"
#include "generate/coupon_text.h"

namespace spelkub {

// Equal signs of two packed rows over the first `matches` matches.
int EqualSignCount(PackedRow a, PackedRow b, int matches);

// Equal signs of two row lines of the game, compared at the sign positions.
int EqualSignCount(std::string_view candidate, std::string_view accepted, int32_t game);

enum class ReductionOutcome {
  kDone,
  kTargetAboveRowCount,  // the row count reduction was asked for more rows than there are
};

struct ReductionResult {
  ReductionOutcome outcome = ReductionOutcome::kDone;
  // Indices (generation order) of the kept rows, in the order of acceptance.
  std::vector<uint32_t> kept;
  // Row count reduction: the guarantee to report to the user. Guarantee
  // reduction: the chosen level.
  int guarantee = 0;
  // The threshold of the last pass run (0 if none ran).
  int lastThreshold = 0;
  // Candidates examined in the last pass; the progress bar stands at this
  // number minus one when the reduction ends.
  int64_t examinedInLastPass = 0;
};

// Row count reduction, target >= 1.
ReductionResult ReduceToRowCount(const RowSet& set, int32_t target, bool reversed,
                                 ProgressListener* progress = nullptr);

// Guarantee reduction, level 4..13.
ReductionResult ReduceToGuarantee(const RowSet& set, int32_t level, bool reversed,
                                  ProgressListener* progress = nullptr);

// The coupon text of the kept rows: header line, then the kept rows in order
// of acceptance.
std::string KeptCouponText(const RowSet& set, const ReductionResult& result);

}  // namespace spelkub
