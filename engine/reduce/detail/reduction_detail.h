// The reduction's parts that only tests and benchmarks call: the ways a pass
// can test coverage, the reductions with a chosen way, the measured guarantee,
// and the equal-sign counts that the tests compare with a plain count.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "reduce/reduction.h"

namespace spelkub {

// Equal signs of two packed rows over the first `matches` matches.
int EqualSignCount(PackedRow a, PackedRow b, int matches);

namespace detail {

// How a pass tells whether an accepted row covers a candidate. Both ways
// accept exactly the same rows; kAuto picks the cheaper one as the pass goes.
enum class CoverTest {
  kAuto,
  kScanKept,           // compare the candidate with the accepted rows
  kMarkNeighbourhood,  // mark every row within reach of each accepted row
};

// nullopt only when `work` was stopped. `system`, when given, is a filtered
// system whose shape's full set `set` is.
std::optional<ReductionResult> ReduceToRowCount(const RowSet& set, int32_t target, bool reversed,
                                                CoverTest test, const Work& work = {},
                                                const System* system = nullptr);
std::optional<ReductionResult> ReduceToGuarantee(const RowSet& set, int32_t level, bool reversed,
                                                 CoverTest test, const Work& work = {},
                                                 const System* system = nullptr);

// The guarantee that the kept rows give on the full system: the least, over
// the rows of the set, of the most equal signs with a kept row (0 when none
// is kept). Cheap for the few rows that a first pass keeps: rows x kept.
// With a system, over its allowed rows only.
int CoveringGuarantee(const RowSet& set, std::span<const uint32_t> kept,
                      const System* system = nullptr);

}  // namespace detail

}  // namespace spelkub
