// Exact coverage of a system by a set of rows: for every outcome of the
// system, the number of matches in which it differs from its nearest row.
//
// The distance to the nearest row is a sum over matches, so it is found one
// match at a time: a multi-source breadth-first search over the outcomes
// (neighbours differ in one match with more than one marked sign) done as one
// sweep per such match, outcomes x free matches steps in sequential memory,
// one byte per outcome. The optimized guarantee verifies its covers with it,
// the guarantee analysis reports with it, and the tests compare it with brute
// force.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "coupon/system.h"
#include "coupon/system_shape.h"
#include "coupon/work.h"

namespace spelkub {

// Rows outside the system named by position, at most this many.
inline constexpr size_t kOutsideRowsKept = 10;

struct Coverage {
  // Per outcome (by index in the system): matches differing from the nearest
  // row. Empty when there were no rows.
  std::vector<uint8_t> distance;
  // The largest distance; the guarantee is matches - maxDistance.
  int maxDistance = 0;
  // The rows with a sign that the system does not mark: how many, and the
  // positions (in the given order) of the first kOutsideRowsKept, so that
  // memory does not grow with them. Such a row still counts: it differs from
  // every outcome in those matches and agrees where it agrees.
  int64_t outsideCount = 0;
  std::vector<int64_t> outsideRows;
  // True when the work was stopped before the search ended; the rest is then
  // meaningless.
  bool stopped = false;
};

// The coverage of the system by `rows`. The stop of `work` is polled often
// enough to end the search within milliseconds; a stopped search says so in
// `stopped` and gives nothing else.
Coverage ComputeCoverage(const SystemShape& shape, std::span<const PackedRow> rows,
                         const Work& work = {});

// The same over a system that conditions cut down: the distances are those of
// every outcome of its shape, but maxDistance, and so the guarantee, counts
// only the outcomes the system allows (0 when it allows none). An unfiltered
// system gives exactly the coverage of its shape.
Coverage ComputeCoverage(const System& system, std::span<const PackedRow> rows,
                         const Work& work = {});

namespace detail {

// The outcomes within `radius` of a row of the system, the most any row
// reaches (a row outside the system reaches no more).
int64_t BallSize(const SystemShape& shape, int radius);

}  // namespace detail

}  // namespace spelkub
