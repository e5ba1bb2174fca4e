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

std::optional<ReductionResult> ReduceToRowCount(const RowSet& set, int32_t target, bool reversed,
                                                const Work& work) {
  return detail::ReduceToRowCount(set, target, reversed, detail::CoverTest::kAuto, work);
}

std::optional<ReductionResult> ReduceToGuarantee(const RowSet& set, int32_t level, bool reversed,
                                                 const Work& work) {
  return detail::ReduceToGuarantee(set, level, reversed, detail::CoverTest::kAuto, work);
}

namespace {

const System* FilteredOrNull(const RowSet& set, const System& system) {
  if (!system.filtered()) return nullptr;
  if (set.size() != system.shape().size()) {
    throw std::invalid_argument("reduction: the row set is not the system's full set");
  }
  return &system;
}

}  // namespace

std::optional<ReductionResult> ReduceToRowCount(const RowSet& set, const System& system,
                                                int32_t target, bool reversed, const Work& work) {
  return detail::ReduceToRowCount(set, target, reversed, detail::CoverTest::kAuto, work,
                                  FilteredOrNull(set, system));
}

std::optional<ReductionResult> ReduceToGuarantee(const RowSet& set, const System& system,
                                                 int32_t level, bool reversed, const Work& work) {
  return detail::ReduceToGuarantee(set, level, reversed, detail::CoverTest::kAuto, work,
                                   FilteredOrNull(set, system));
}

namespace detail {

namespace {

// The fraction of one pass told as its share of the whole reduction, which
// runs at most `passes` passes.
class PassShare final : public Progress {
 public:
  PassShare(const Work& work, int passes) : work_(work), passes_(passes) {}

  // The work a pass polls and tells: the reduction's stop, and this share;
  // the stages go through as they are.
  Work ForPasses() { return Work{work_.stop, work_.progress != nullptr ? this : nullptr}; }
  void Begin(int pass) { pass_ = pass; }
  void Fraction(double done) override { work_.Fraction((pass_ + done) / passes_); }
  void PassStarted(int threshold) override { work_.PassStarted(threshold); }
  void CandidatesExamined(int64_t count) override { work_.CandidatesExamined(count); }
  void RowsAccepted(int64_t count) override { work_.RowsAccepted(count); }

 private:
  const Work& work_;
  const int passes_;
  int pass_ = 0;
};

}  // namespace

std::optional<ReductionResult> ReduceToRowCount(const RowSet& set, int32_t target, bool reversed,
                                                CoverTest test, const Work& work,
                                                const System* system) {
  ReductionResult result;
  if (target > (system != nullptr ? system->size() : set.size())) {
    result.outcome = ReductionOutcome::kTargetAboveRowCount;
    return result;
  }
  if (target < 1) return result;  // nothing to keep; the window never asks for it

  PassShare share(work, std::max(set.matches - kFirstThreshold + 1, 1));
  GreedySelection selection(set, reversed, test, share.ForPasses(), system);
  // The pass with threshold `matches` accepts every row not yet kept, so the
  // target is reached by then at the latest.
  int threshold = kFirstThreshold;
  for (;; ++threshold) {
    share.Begin(threshold - kFirstThreshold);
    const bool reached = selection.ReductionPass(threshold, target);
    if (selection.stopped()) return std::nullopt;
    if (reached || threshold >= set.matches) break;
  }

  result.lastThreshold = threshold;
  result.examinedInLastPass = selection.examinedInLastPass();
  result.kept = selection.TakeKept();
  // After a complete pass with threshold t - 1 every row has t - 1 right
  // against a kept row. Reached in the first pass, no pass has gone over all
  // rows, so the guarantee is measured instead.
  result.guarantee =
      threshold == kFirstThreshold ? CoveringGuarantee(set, result.kept, system) : threshold - 1;
  work.Fraction(1);
  return result;
}

std::optional<ReductionResult> ReduceToGuarantee(const RowSet& set, int32_t level, bool reversed,
                                                 CoverTest test, const Work& work,
                                                 const System* system) {
  GreedySelection selection(set, reversed, test, work, system);
  selection.ReductionPass(level);
  if (selection.stopped()) return std::nullopt;
  ReductionResult result;
  result.guarantee = level;
  result.lastThreshold = level;
  result.examinedInLastPass = selection.examinedInLastPass();
  result.kept = selection.TakeKept();
  work.Fraction(1);
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
