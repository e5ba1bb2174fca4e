#include "cover/optimize.h"

#include <algorithm>

#include "cover/construction.h"
#include "cover/coverage.h"
#include "cover/local_search.h"
#include "reduce/reduction.h"

namespace spelkub {

namespace detail {

namespace {

// The greedy reduction has no stop of its own; its progress calls are where a
// raised stop ends it, by unwinding out of it.
struct GreedyStopped {};

class GreedyStopListener : public ProgressListener {
 public:
  explicit GreedyStopListener(const std::atomic<bool>* stop) : stop_(stop) {}
  void CandidatesExamined(int64_t /*count*/) override {
    if (stop_ != nullptr && stop_->load(std::memory_order_relaxed)) throw GreedyStopped{};
  }

 private:
  const std::atomic<bool>* stop_;
};

// Work of the local search per second on this 2-core machine, one core;
// turns the effort levels' seconds into a budget that does not depend on
// the clock.
constexpr int64_t kWorkPerSecond = 150'000'000;

class Search {
 public:
  Search(const SystemShape& shape, int radius, OptimizeListener* listener,
         const std::atomic<bool>* stop)
      : shape_(shape), radius_(radius), listener_(listener), stop_(stop) {}

  bool Stopped() const { return stop_ != nullptr && stop_->load(std::memory_order_relaxed); }

  // Keeps the rows if they are fewer than the best so far and verified.
  // Every source hands its rows over in ascending index already.
  bool Offer(std::vector<PackedRow> rows, const std::string& method) {
    if (rows.empty() || (found_ && rows.size() >= rows_.size())) return false;
    const Coverage coverage = ComputeCoverage(shape_, rows, stop_);
    if (coverage.stopped || coverage.distance.empty() || coverage.maxDistance > radius_)
      return false;
    rows_ = std::move(rows);
    maxDistance_ = coverage.maxDistance;
    method_ = method;
    found_ = true;
    if (listener_ != nullptr) listener_->BestVerified(static_cast<int64_t>(rows_.size()));
    return true;
  }

  void Spent(double fraction) {
    if (listener_ != nullptr) listener_->Spent(std::clamp(fraction, 0.0, 1.0));
  }

  bool found() const { return found_; }
  const std::vector<PackedRow>& rows() const { return rows_; }

  OptimizeResult Result(int64_t greedyRows) {
    OptimizeResult result;
    result.greedyRows = greedyRows;
    result.stopped = Stopped();
    if (!found_) return result;
    result.rows = std::move(rows_);
    found_ = false;
    result.guarantee = shape_.matches - maxDistance_;
    result.method = method_;
    return result;
  }

 private:
  const SystemShape& shape_;
  const int radius_;
  OptimizeListener* const listener_;
  const std::atomic<bool>* const stop_;
  bool found_ = false;
  std::vector<PackedRow> rows_;
  int maxDistance_ = 0;
  std::string method_;
};

// The greedy guarantee reduction's rows, or nullopt when stopped.
std::optional<std::vector<PackedRow>> GreedyRows(const SystemShape& shape, int guarantee,
                                                 const std::atomic<bool>* stop) {
  const RowSet set = GenerateSystem(shape, GameWithMatches(shape.matches), std::string());
  GreedyStopListener listener(stop);
  try {
    const ReductionResult reduction = ReduceToGuarantee(set, guarantee, false, &listener);
    std::vector<PackedRow> rows;
    rows.reserve(reduction.kept.size());
    for (uint32_t index : reduction.kept) rows.push_back(set.rows[index]);
    return rows;
  } catch (const GreedyStopped&) {
    return std::nullopt;
  }
}

}  // namespace

std::vector<PackedRow> SystemRows(const SystemShape& shape) {
  return GenerateSystem(shape, GameWithMatches(shape.matches), std::string()).rows;
}

OptimizeOptions OptionsFor(Effort effort) {
  OptimizeOptions options;
  switch (effort) {
    case Effort::kQuick:
      break;
    case Effort::kNormal:
      options.searchWork = 15 * kWorkPerSecond;
      options.wallSeconds = 90;
      options.patience = 0.25;
      break;
    case Effort::kDeep:
      options.searchWork = 55 * kWorkPerSecond;
      options.wallSeconds = 300;
      options.patience = 0.25;
      break;
  }
  return options;
}

OptimizeResult Optimize(const SystemShape& shape, int guarantee, const OptimizeOptions& options,
                        OptimizeListener* listener, const std::atomic<bool>* stop) {
  guarantee = std::clamp(guarantee, 0, shape.matches);
  const int radius = shape.matches - guarantee;
  Search search(shape, radius, listener, stop);
  if (shape.size() == 0) return search.Result(0);
  if (radius == 0) {
    // Every row is needed, and the greedy keeps every row too.
    search.Offer(SystemRows(shape), "full system");
    search.Spent(1);
    return search.Result(shape.size());
  }

  int three = 0;
  int two = 0;
  for (int m = 0; m < shape.matches; ++m) {
    three += shape.radix[m] == 3;
    two += shape.radix[m] == 2;
  }
  const std::vector<CatalogEntry> catalog =
      options.catalog != nullptr ? *options.catalog : BlockCatalog(options.useShippedTable);
  // The next split is the fallback when one fails its check; folding may
  // also make a split smaller than its nominal size.
  for (const Plan& plan : BestPlans(catalog, three, two, radius, options.plans)) {
    if (search.Stopped()) return search.Result(0);
    if (search.found() && plan.size >= static_cast<int64_t>(search.rows().size())) continue;
    search.Offer(DirectSumRows(shape, PlacePlan(shape, catalog, plan), stop),
                 plan.Describe(catalog));
  }
  const bool polish = options.searchWork > 0 && shape.size() <= options.searchLimit;
  search.Spent(polish ? 0.02 : 0.5);

  const std::optional<std::vector<PackedRow>> greedy = GreedyRows(shape, guarantee, stop);
  if (!greedy) return search.Result(0);
  const int64_t greedyRows = static_cast<int64_t>(greedy->size());
  search.Offer(*greedy, "greedy");
  // Only a fault could leave nothing verified here; the whole system always holds.
  if (!search.found()) search.Offer(SystemRows(shape), "full system");
  search.Spent(polish ? 0.05 : 1);
  if (!polish || search.Stopped() || !search.found()) return search.Result(greedyRows);

  // Three searches share the budget: two weighted ones (which leave the flat
  // ground around a perfect code) polish the best construction and then,
  // with other random choices, the best cover found; the last shrinks the
  // greedy rows, whose irregular layout suits a plain tabu search.
  bool timeCapped = false;
  auto polishFrom = [&](const std::vector<PackedRow>& from, bool weighted, uint64_t seed,
                        double share, double spentFrom) {
    std::vector<uint32_t> start;
    for (PackedRow row : from) start.push_back(static_cast<uint32_t>(*shape.IndexOf(row)));
    SearchBudget budget;
    budget.work = static_cast<int64_t>(static_cast<double>(options.searchWork) * share);
    budget.wallSeconds = options.wallSeconds * share;
    budget.seed = seed;
    budget.weighted = weighted;
    budget.sampledMoves = options.sampledMoves;
    budget.patience = static_cast<int64_t>(static_cast<double>(budget.work) * options.patience);
    const SearchOutcome outcome = ShrinkCover(
        shape, radius, std::move(start), budget, stop,
        [&](const std::vector<uint32_t>& indices) {
          if (indices.size() >= search.rows().size()) return;
          std::vector<PackedRow> rows;
          rows.reserve(indices.size());
          for (uint32_t index : indices) rows.push_back(shape.RowAt(index));
          search.Offer(std::move(rows), "tabu");
        },
        [&](double fraction) { search.Spent(spentFrom + 0.95 * share * fraction); });
    timeCapped = timeCapped || outcome.timeCapped;
  };
  if (options.twoSearches) {
    const std::vector<PackedRow> construction = search.rows();
    polishFrom(construction, true, options.seed, 0.5, 0.05);
    if (!search.Stopped()) polishFrom(*greedy, false, options.seed + 1, 0.5, 0.525);
    search.Spent(1);
    OptimizeResult result = search.Result(greedyRows);
    result.timeCapped = timeCapped;
    return result;
  }
  polishFrom(search.rows(), true, options.seed, 0.4, 0.05);
  if (!search.Stopped()) {
    const std::vector<PackedRow> best = search.rows();
    polishFrom(best, true, options.seed + 2, 0.35, 0.05 + 0.95 * 0.4);
  }
  if (!search.Stopped()) polishFrom(*greedy, false, options.seed + 1, 0.25, 0.05 + 0.95 * 0.75);
  search.Spent(1);
  OptimizeResult result = search.Result(greedyRows);
  result.timeCapped = timeCapped;
  return result;
}

}  // namespace detail

OptimizeResult OptimizeGuarantee(const SystemShape& shape, int guarantee, Effort effort,
                                 OptimizeListener* listener, const std::atomic<bool>* stop) {
  return detail::Optimize(shape, guarantee, detail::OptionsFor(effort), listener, stop);
}

}  // namespace spelkub
