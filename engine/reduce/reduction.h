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
#include <vector>

#include "coupon/row_set.h"
#include "coupon/system.h"
#include "coupon/work.h"

namespace spelkub {

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
// full system. `work` may stop the passes (then nothing is returned: the only
// nullopt), and hears the fraction done and each pass as the window shows it
// (Progress::PassStarted, CandidatesExamined, RowsAccepted).
std::optional<ReductionResult> ReduceToRowCount(const RowSet& set, int32_t target, bool reversed,
                                                const Work& work = {});

// Guarantee reduction, level 4..13 (4..14 for Supertoto).
std::optional<ReductionResult> ReduceToGuarantee(const RowSet& set, int32_t level, bool reversed,
                                                 const Work& work = {});

// The same on a system that conditions cut down: `set` is still the full set
// of system.shape() (GenerateSystem(shape, ...)), kept holds indices into it,
// candidates are only the system's rows, and the guarantee holds for every
// outcome of the system. The row count target is compared with system.size().
// An unfiltered system gives exactly the results above.
std::optional<ReductionResult> ReduceToRowCount(const RowSet& set, const System& system,
                                                int32_t target, bool reversed,
                                                const Work& work = {});
std::optional<ReductionResult> ReduceToGuarantee(const RowSet& set, const System& system,
                                                 int32_t level, bool reversed,
                                                 const Work& work = {});

}  // namespace spelkub
