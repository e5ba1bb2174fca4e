// Tabu search that shrinks a cover of a system: at a fixed number of rows it
// moves one row at a time to cover more outcomes, and whenever every outcome
// is covered it hands the cover over and drops the row that alone covers the
// fewest. Rows are outcome indices of the system.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "coupon/system.h"
#include "coupon/system_shape.h"

namespace spelkub::detail {

struct SearchBudget {
  // Outcomes visited in balls, the measure of work: the same budget gives the
  // same search on every machine.
  int64_t work = 0;
  uint64_t seed = 1;
  // Moves weighed per step, sampled when there are more.
  int sampledMoves = 16;
  // Steps a moved row stays where it was put.
  int tenure = 3;
  // Outcomes left uncovered step after step weigh more, which lets the
  // search leave the flat ground around a perfect code.
  bool weighted = false;
  // Work without a smaller cover after which the search starts again from
  // the best cover with other random choices (0: never).
  int64_t patience = 0;
};

struct SearchOutcome {
  bool stopped = false;
  int64_t workDone = 0;
};

// `found` receives each complete cover smaller than any before (ascending
// indices); `spent` the share of the budget used, now and then; `stopped`,
// asked now and then, ends the search early.
SearchOutcome ShrinkCover(const SystemShape& shape, int radius, std::vector<uint32_t> start,
                          const SearchBudget& budget, const std::function<bool()>& stopped,
                          const std::function<void(const std::vector<uint32_t>&)>& found,
                          const std::function<void(double)>& spent);

// The same over a system that conditions cut down: only the outcomes it
// allows need a row within the radius, and rows are only placed on them
// (`start` must hold allowed outcomes).
SearchOutcome ShrinkCover(const System& system, int radius, std::vector<uint32_t> start,
                          const SearchBudget& budget, const std::function<bool()>& stopped,
                          const std::function<void(const std::vector<uint32_t>&)>& found,
                          const std::function<void(double)>& spent);

// The fewest rows that could cover the system: outcomes over the largest ball.
int64_t SphereBound(const SystemShape& shape, int radius);

}  // namespace spelkub::detail
