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
#include <span>
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
  // Row count reduction: the guarantee to report to the user, the threshold
  // of the last pass minus 1; when the target is reached in the first pass,
  // the guarantee the kept rows truly give on the full system instead.
  // Guarantee reduction: the chosen level.
  int guarantee = 0;
  // The threshold of the last pass run (0 if none ran).
  int lastThreshold = 0;
  // Candidates examined in the last pass; the progress bar stands at this
  // number minus one when the reduction ends.
  int64_t examinedInLastPass = 0;
};

// Row count reduction, target >= 1. A target above the number of rows runs no
// pass and keeps nothing (outcome kTargetAboveRowCount); the caller keeps the
// full system.
ReductionResult ReduceToRowCount(const RowSet& set, int32_t target, bool reversed,
                                 ProgressListener* progress = nullptr);

// Guarantee reduction, level 4..13.
ReductionResult ReduceToGuarantee(const RowSet& set, int32_t level, bool reversed,
                                  ProgressListener* progress = nullptr);

// The coupon text of the kept rows: header line, then the kept rows in order
// of acceptance.
std::string KeptCouponText(const RowSet& set, const ReductionResult& result);

namespace detail {

// How a pass tells whether an accepted row covers a candidate. Both ways
// accept exactly the same rows; kAuto picks the cheaper one as the pass goes.
enum class CoverTest {
  kAuto,
  kScanKept,           // compare the candidate with the accepted rows
  kMarkNeighbourhood,  // mark every row within reach of each accepted row
};

ReductionResult ReduceToRowCount(const RowSet& set, int32_t target, bool reversed,
                                 ProgressListener* progress, CoverTest test);
ReductionResult ReduceToGuarantee(const RowSet& set, int32_t level, bool reversed,
                                  ProgressListener* progress, CoverTest test);

// The guarantee that the kept rows give on the full system: the least, over
// the rows of the set, of the most equal signs with a kept row (0 when none
// is kept). Cheap for the few rows that a first pass keeps: rows x kept.
int CoveringGuarantee(const RowSet& set, std::span<const uint32_t> kept);

}  // namespace detail

}  // namespace spelkub
