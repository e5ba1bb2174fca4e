// Whether a set of rows covers a system within a radius, for tests that check
// a cover and its bound; the program asks ComputeCoverage for the distances.
#pragma once

#include <span>

#include "coupon/system.h"
#include "coupon/system_shape.h"

namespace spelkub {

// Whether every outcome of the system lies within `radius` differing matches
// of some row, as ComputeCoverage tells it, with an early answer where too
// few rows could reach every outcome.
bool CoversWithin(const SystemShape& shape, std::span<const PackedRow> rows, int radius);

// Whether every outcome the system allows lies within `radius` of some row.
bool CoversWithin(const System& system, std::span<const PackedRow> rows, int radius);

}  // namespace spelkub
