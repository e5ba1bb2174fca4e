#include "support/covers_within.h"

#include "cover/coverage.h"

namespace spelkub {

bool CoversWithin(const SystemShape& shape, std::span<const PackedRow> rows, int radius) {
  const int64_t size = shape.size();
  if (size == 0) return true;
  if (rows.empty() || radius < 0) return false;
  // Too few rows to reach every outcome even if no two balls overlapped.
  const int64_t ball = detail::BallSize(shape, radius);
  if (static_cast<int64_t>(rows.size()) < (size + ball - 1) / ball) return false;
  const Coverage coverage = ComputeCoverage(shape, rows);
  return coverage.maxDistance <= radius;
}

bool CoversWithin(const System& system, std::span<const PackedRow> rows, int radius) {
  if (!system.filtered()) return CoversWithin(system.shape(), rows, radius);
  if (system.size() == 0) return true;
  if (rows.empty() || radius < 0) return false;
  const int64_t ball = detail::BallSize(system.shape(), radius);
  if (static_cast<int64_t>(rows.size()) < (system.size() + ball - 1) / ball) return false;
  return ComputeCoverage(system, rows).maxDistance <= radius;
}

}  // namespace spelkub
