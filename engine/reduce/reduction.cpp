#include "reduce/reduction.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

#include "reduce/detail/reduction_detail.h"
#include "reduce/greedy_selection.h"

namespace spelkub {

namespace {

constexpr int kFirstThreshold = 4;

}  // namespace

int EqualSignCount(PackedRow a, PackedRow b, int matches) {
  const uint32_t used = matches >= 16 ? ~0u : (1u << (2 * matches)) - 1;
  uint32_t x = (a ^ b) & used;
  x = (x | (x >> 1)) & 0x55555555u & used;
  return matches - std::popcount(x);
}

ReductionResult ReduceToRowCount(const RowSet& set, int32_t target, bool reversed,
                                 ProgressListener* progress) {
  return detail::ReduceToRowCount(set, target, reversed, progress, detail::CoverTest::kAuto);
}

ReductionResult ReduceToGuarantee(const RowSet& set, int32_t level, bool reversed,
                                  ProgressListener* progress) {
  return detail::ReduceToGuarantee(set, level, reversed, progress, detail::CoverTest::kAuto);
}

namespace {

const System* FilteredOrNull(const RowSet& set, const System& system) {
  if (!system.filtered()) return nullptr;
  if (set.size() != system.shape().size())
    throw std::invalid_argument("reduction: the row set is not the system's full set");
  return &system;
}

}  // namespace

ReductionResult ReduceToRowCount(const RowSet& set, const System& system, int32_t target,
                                 bool reversed, ProgressListener* progress) {
  return detail::ReduceToRowCount(set, target, reversed, progress, detail::CoverTest::kAuto,
                                  FilteredOrNull(set, system));
}

ReductionResult ReduceToGuarantee(const RowSet& set, const System& system, int32_t level,
                                  bool reversed, ProgressListener* progress) {
  return detail::ReduceToGuarantee(set, level, reversed, progress, detail::CoverTest::kAuto,
                                   FilteredOrNull(set, system));
}

namespace detail {

ReductionResult ReduceToRowCount(const RowSet& set, int32_t target, bool reversed,
                                 ProgressListener* progress, CoverTest test, const System* system) {
  ReductionResult result;
  if (target > (system != nullptr ? system->size() : set.size())) {
    result.outcome = ReductionOutcome::kTargetAboveRowCount;
    return result;
  }
  if (target < 1) return result;  // nothing to keep; the window never asks for it

  GreedySelection selection(set, reversed, progress, test, system);
  // The pass with threshold `matches` accepts every row not yet kept, so the
  // target is reached by then at the latest.
  int threshold = kFirstThreshold;
  while (!selection.ReductionPass(threshold, target) && threshold < set.matches) ++threshold;

  result.lastThreshold = threshold;
  result.examinedInLastPass = selection.examinedInLastPass();
  result.kept = selection.TakeKept();
  // After a complete pass with threshold t - 1 every row has t - 1 right
  // against a kept row. Reached in the first pass, no pass has gone over all
  // rows, so the guarantee is measured instead.
  result.guarantee =
      threshold == kFirstThreshold ? CoveringGuarantee(set, result.kept, system) : threshold - 1;
  return result;
}

ReductionResult ReduceToGuarantee(const RowSet& set, int32_t level, bool reversed,
                                  ProgressListener* progress, CoverTest test,
                                  const System* system) {
  GreedySelection selection(set, reversed, progress, test, system);
  selection.ReductionPass(level);
  ReductionResult result;
  result.guarantee = level;
  result.lastThreshold = level;
  result.examinedInLastPass = selection.examinedInLastPass();
  result.kept = selection.TakeKept();
  return result;
}

int CoveringGuarantee(const RowSet& set, std::span<const uint32_t> kept, const System* system) {
  if (kept.empty() || set.rows.empty()) return 0;
  std::vector<PackedRow> keptRows;
  keptRows.reserve(kept.size());
  for (uint32_t index : kept) keptRows.push_back(set.rows[index]);

  // Least distance to a kept row, as large as it gets over all rows; a row
  // stops looking once a kept row is as near as the worst found so far.
  int worst = 0;
  for (size_t index = 0; index < set.rows.size(); ++index) {
    if (system != nullptr && !system->Allows(static_cast<int64_t>(index))) continue;
    const PackedRow row = set.rows[index];
    int nearest = set.matches + 1;
    for (PackedRow other : keptRows) {
      nearest = std::min(nearest, detail::DifferingMatches(row, other));
      if (nearest <= worst) break;
    }
    worst = std::max(worst, nearest);
    if (worst == set.matches) break;
  }
  return set.matches - worst;
}

}  // namespace detail

}  // namespace spelkub
