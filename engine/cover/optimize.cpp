#include "cover/optimize.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <span>
#include <thread>

#include "coupon/parallel_for.h"
#include "cover/construction.h"
#include "cover/coverage.h"
#include "cover/local_search.h"
#include "cover/matrix_codes.h"
#include "reduce/reduction.h"

namespace spelkub {

namespace {

// Known lower bounds on ternary covering codes beyond the sphere-covering
// bound: K3(n, R) from the table of Cohen, Honkala, Litsyn and Lobstein,
// "Covering Codes" (1997), p. 174, exact values for n <= 5 and the lower ends
// of the ranges for n = 6..8.
struct KnownBound {
  int length;
  int radius;
  int64_t rows;
};
constexpr KnownBound kKnownBounds[] = {
    {2, 1, 3}, {3, 1, 5}, {4, 1, 9}, {5, 1, 27}, {6, 1, 71}, {7, 1, 156}, {8, 1, 402},
    {3, 2, 3}, {4, 2, 3}, {5, 2, 8}, {4, 3, 3},  {5, 3, 3},  {5, 4, 3},
};
constexpr const char* kTableSource = "tabell: Cohen m.fl., Covering Codes (1997)";
constexpr const char* kSphereSource = "sfärtäckningsgränsen";

}  // namespace

CoverBound LowerBound(const SystemShape& shape, int guarantee) {
  guarantee = std::clamp(guarantee, 0, shape.matches);
  const int radius = shape.matches - guarantee;
  CoverBound bound;
  bound.rows = std::max<int64_t>(1, detail::SphereBound(shape, radius));
  bound.source = kSphereSource;
  // Leaving out coordinates keeps a cover's radius, so a ternary bound for
  // `three` or fewer coordinates holds for the whole shape.
  int three = 0;
  for (int m = 0; m < shape.matches; ++m) three += shape.radix[m] == 3;
  int64_t table = 0;
  for (const KnownBound& known : kKnownBounds) {
    if (known.radius == radius && known.length <= three) table = std::max(table, known.rows);
  }
  // Two words leave a third that differs from both everywhere.
  if (radius >= 1 && radius + 1 <= three) table = std::max<int64_t>(table, 3);
  if (table > bound.rows) {
    bound.rows = table;
    bound.source = kTableSource;
  }
  return bound;
}

namespace detail {

namespace {

// Work of the local search per second on this 2-core machine, one core;
// turns the effort levels' seconds into a budget that does not depend on
// the clock.
constexpr int64_t kWorkPerSecond = 150'000'000;

// Where to stop: the caller's stop, and the wall-clock safety net.
class Halt {
 public:
  Halt(const Work& work, double wallSeconds)
      : work_(work),
        deadline_(wallSeconds > 0 ? std::chrono::steady_clock::now() +
                                        std::chrono::duration_cast<std::chrono::nanoseconds>(
                                            std::chrono::duration<double>(wallSeconds))
                                  : std::chrono::steady_clock::time_point::max()) {}

  bool Stopped() const { return work_.Stopped(); }
  // For the searches: stopped, or past the safety net (remembered).
  bool SearchStopped() const {
    if (work_.Stopped()) return true;
    if (capped_.load(std::memory_order_relaxed)) return true;
    if (std::chrono::steady_clock::now() < deadline_) return false;
    capped_.store(true, std::memory_order_relaxed);
    return true;
  }
  bool Capped() const { return capped_.load(std::memory_order_relaxed); }

 private:
  const Work& work_;
  std::chrono::steady_clock::time_point deadline_;
  mutable std::atomic<bool> capped_{false};
};

class Search {
 public:
  // Covers are verified over `system`, which must outlive the search.
  Search(const System& system, int radius, const Work& work)
      : system_(system), radius_(radius), work_(work) {}

  bool Stopped() const { return work_.Stopped(); }

  // Keeps the rows if they are fewer than the best so far and verified.
  // Every source hands its rows over in ascending index already.
  bool Offer(std::vector<PackedRow> rows, const std::string& method) {
    if (rows.empty() || (found_ && rows.size() >= rows_.size())) return false;
    const Coverage coverage = ComputeCoverage(system_, rows, work_);
    if (coverage.stopped || coverage.distance.empty() || coverage.maxDistance > radius_)
      return false;
    rows_ = std::move(rows);
    maxDistance_ = coverage.maxDistance;
    method_ = method;
    found_ = true;
    work_.Best(static_cast<int64_t>(rows_.size()));
    return true;
  }

  void Spent(double fraction) {
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (fraction < spent_) return;
    spent_ = fraction;
    work_.Fraction(fraction);
  }

  bool found() const { return found_; }
  const std::vector<PackedRow>& rows() const { return rows_; }
  int maxDistance() const { return maxDistance_; }
  const std::string& method() const { return method_; }

 private:
  const System& system_;
  const int radius_;
  const Work& work_;
  bool found_ = false;
  std::vector<PackedRow> rows_;
  int maxDistance_ = 0;
  std::string method_;
  double spent_ = 0;
};

// The greedy guarantee reduction's rows, or nullopt when stopped.
std::optional<std::vector<PackedRow>> GreedyRows(const SystemShape& shape, int guarantee,
                                                 const std::stop_token& stop) {
  const RowSet set = GenerateSystem(shape, Rules(GameWithMatches(shape.matches)), std::string());
  const std::optional<ReductionResult> reduction =
      ReduceToGuarantee(set, guarantee, false, Work{stop, nullptr});
  if (!reduction) return std::nullopt;
  std::vector<PackedRow> rows;
  rows.reserve(reduction->kept.size());
  for (uint32_t index : reduction->kept) rows.push_back(set.rows[index]);
  return rows;
}

// A unit of the matrix search: one block, radius, number of checks and seed.
struct MatrixUnit {
  int pair = 0;  // which block and radius
  int length = 0;
  int radius = 0;
  int checks = 0;
  int climbs = 0;
  uint64_t seed = 0;
};

struct MatrixPair {
  int length = 0;
  int radius = 0;
  int seeds = 0;
  int climbs = 0;
};

// Codes of the matrix method for the blocks a split may use: all free
// matches (two-sign ones folded) and the three-sign ones alone, at the full
// radius with every seed (more at radius one and where no local search
// follows) and at smaller radii with a quarter of them.
std::vector<CatalogEntry> MatrixCatalog(int three, int two, int radius, bool polished,
                                        const OptimizeOptions& options, const Halt& halt,
                                        const std::function<void(double)>& spent) {
  std::vector<CatalogEntry> entries;
  if (options.matrixSeeds <= 0 || options.matrixWork <= 0) return entries;
  std::vector<MatrixPair> pairs;
  std::vector<int> lengths{three + two};
  if (two > 0 && three >= 2) lengths.push_back(three);
  for (int length : lengths) {
    for (int r = radius; r >= 1; --r) {
      if (length < 2 || r >= length) continue;
      int seeds = std::max(1, options.matrixSeeds / 4);
      int climbs = 0;
      if (r == radius) {
        seeds = options.matrixSeeds;
        if (!polished) seeds = std::max(seeds, options.matrixSeedsUnpolished);
        // The climb pays where a search over syndromes is cheap and a good
        // matrix is rare; at radius one a good code hangs on a lucky matrix
        // more than on a climb, and on systems too large for the local
        // search the balls are large, so the budget buys more seeds there.
        if (r == 1) {
          if (length == three + two) seeds = std::max(seeds, options.matrixSeedsRadiusOne);
        } else if (polished) {
          climbs = options.matrixClimbs;
        }
      }
      pairs.push_back({length, r, seeds, climbs});
    }
  }
  std::vector<MatrixUnit> units;
  for (size_t p = 0; p < pairs.size(); ++p) {
    for (int checks : ChecksToTry(pairs[p].length, pairs[p].radius)) {
      for (int s = 0; s < pairs[p].seeds; ++s) {
        const uint64_t seed = 0x6D617472ull ^ (static_cast<uint64_t>(pairs[p].length) << 40) ^
                              (static_cast<uint64_t>(pairs[p].radius) << 32) ^
                              (static_cast<uint64_t>(checks) << 24) ^ static_cast<uint64_t>(s);
        units.push_back(
            {static_cast<int>(p), pairs[p].length, pairs[p].radius, checks, pairs[p].climbs, seed});
      }
    }
  }
  std::vector<std::optional<MatrixCode>> codes(units.size());
  const std::function<bool()> stopped = [&halt] { return halt.SearchStopped(); };
  ParallelFor(
      units.size(), options.threads, {},
      [&](int64_t i) {
        const MatrixUnit& u = units[i];
        codes[i] = SearchMatrixCode(
            u.length, u.checks, u.radius,
            {u.climbs > 0 ? options.matrixClimbWork : options.matrixWork, u.climbs}, u.seed,
            stopped);
      },
      [&](int64_t finished) {
        spent(static_cast<double>(finished) / static_cast<double>(units.size()));
      });
  if (halt.SearchStopped()) return {};
  // Per block and radius the smallest code, the first unit among equals.
  for (size_t p = 0; p < pairs.size(); ++p) {
    const MatrixCode* best = nullptr;
    for (size_t i = 0; i < units.size(); ++i) {
      if (units[i].pair != static_cast<int>(p) || !codes[i]) continue;
      if (best == nullptr || codes[i]->size() < best->size()) best = &*codes[i];
    }
    if (best == nullptr) continue;
    const std::string name = "matrix[" + std::to_string(best->length) + "," +
                             std::to_string(best->checks) + "]r" + std::to_string(best->radius);
    const MatrixCode code = *best;
    entries.push_back({name, code.length, 0, code.radius, code.size(),
                       [code, name] { return WordsOf(code, name); }});
  }
  return entries;
}

PackedRow Reorder(PackedRow row, const std::array<int, kMaxMatches>& order, int matches) {
  PackedRow mapped = 0;
  for (int j = 0; j < matches; ++j) mapped |= ((row >> (2 * j)) & 3u) << (2 * order[j]);
  return mapped;
}

// The inverse of Reorder: the row with match order[j] placed at j.
PackedRow Unorder(PackedRow row, const std::array<int, kMaxMatches>& order, int matches) {
  PackedRow mapped = 0;
  for (int j = 0; j < matches; ++j) mapped |= ((row >> (2 * order[j])) & 3u) << (2 * j);
  return mapped;
}

// The shape with its matches grouped by their number of marked signs, the
// groups in the order `signs` gives and the matches of a group as they came:
// `order[j]` is the match placed at j.
SystemShape SortedBySigns(const SystemShape& shape, std::initializer_list<int> signs,
                          std::array<int, kMaxMatches>& order) {
  int placed = 0;
  for (int radix : signs) {
    for (int m = 0; m < shape.matches; ++m) {
      if (shape.radix[m] == radix) order[placed++] = m;
    }
  }
  SystemShape sorted = shape;
  for (int j = 0; j < shape.matches; ++j) {
    sorted.radix[j] = shape.radix[order[j]];
    sorted.outcomes[j] = shape.outcomes[order[j]];
  }
  return sorted;
}

OptimizeResult OptimizeCanonical(const SystemShape& shape, int guarantee,
                                 const OptimizeOptions& options, const Work& work,
                                 const Halt& halt) {
  const int radius = shape.matches - guarantee;
  const System whole(shape);
  Search search(whole, radius, work);
  OptimizeResult result;
  result.threads = ThreadCount(options.threads);
  const CoverBound bound = LowerBound(shape, guarantee);
  result.bound = bound.rows;
  result.boundSource = bound.source;
  auto finish = [&](int64_t greedyRows) {
    result.greedyRows = greedyRows;
    result.stopped = search.Stopped();
    result.timeCapped = halt.Capped();
    if (search.found()) {
      result.rows = search.rows();
      result.guarantee = shape.matches - search.maxDistance();
      result.method = search.method();
      result.provedMinimal = static_cast<int64_t>(result.rows.size()) <= result.bound;
    }
    return result;
  };
  auto proved = [&] {
    return search.found() && static_cast<int64_t>(search.rows().size()) <= result.bound;
  };
  if (shape.size() == 0) return finish(0);
  if (radius == 0) {
    // Every row is needed, and the greedy keeps every row too.
    search.Offer(SystemRows(shape), "full system");
    search.Spent(1);
    return finish(shape.size());
  }
  const std::function<bool()> stopped = [&halt] { return halt.SearchStopped(); };

  int three = 0;
  int two = 0;
  for (int m = 0; m < shape.matches; ++m) {
    three += shape.radix[m] == 3;
    two += shape.radix[m] == 2;
  }
  const bool polish = options.searchWork > 0 && shape.size() <= options.searchLimit;
  // Shares of the progress bar: codes, constructions, greedy, local search.
  const double codesShare = polish ? 0.15 : 0.6;
  work.Phase("Bygger koder");
  std::vector<CatalogEntry> catalog =
      options.catalog != nullptr ? *options.catalog : BlockCatalog(options.useShippedTable);
  // The shipped codes alone first: they may already meet the bound.
  auto construct = [&](std::span<const CatalogEntry> entries) {
    for (const Plan& plan : BestPlans(entries, three, two, radius, options.plans)) {
      if (search.Stopped() || proved()) return;
      if (search.found() && plan.size >= static_cast<int64_t>(search.rows().size())) continue;
      search.Offer(DirectSumRows(shape, PlacePlan(shape, entries, plan), work.stop),
                   plan.Describe(entries));
    }
  };
  construct(catalog);
  if (search.Stopped()) return finish(0);
  if (!proved()) {
    const std::vector<CatalogEntry> matrix =
        MatrixCatalog(three, two, radius, polish, options, halt,
                      [&](double f) { search.Spent(codesShare * 0.95 * f); });
    if (search.Stopped()) return finish(0);
    if (!matrix.empty()) {
      catalog.insert(catalog.end(), matrix.begin(), matrix.end());
      construct(catalog);
    }
  }
  search.Spent(codesShare);
  if (search.Stopped()) return finish(0);

  work.Phase("Reducerar");
  const std::optional<std::vector<PackedRow>> greedy = GreedyRows(shape, guarantee, work.stop);
  if (!greedy) return finish(0);
  const int64_t greedyRows = static_cast<int64_t>(greedy->size());
  search.Offer(*greedy, "greedy");
  // Only a fault could leave nothing verified here; the whole system always holds.
  if (!search.found()) search.Offer(SystemRows(shape), "full system");
  search.Spent(polish ? codesShare + 0.05 : 1);
  if (!polish || search.Stopped() || !search.found() || proved() || halt.SearchStopped()) {
    search.Spent(1);
    return finish(greedyRows);
  }

  work.Phase("Söker");
  // Polishing in rounds of independent units, each from a fixed start with
  // a fixed seed and work; a round's best (the first unit among equals) is
  // offered, and the next round starts from it.
  struct PolishUnit {
    std::vector<PackedRow> from;
    bool weighted = false;
    uint64_t seed = 0;
    double share = 0;
    // Searched with the two-sign matches first: the same cover problem, but
    // the search walks it differently and finds other covers.
    bool twoSignFirst = false;
  };
  // The matches with two signs first, then three: `alternate[j]` is the
  // match (of the canonical order) placed at j.
  std::array<int, kMaxMatches> alternate{};
  const SystemShape alternateShape = SortedBySigns(shape, {2, 3, 1, 0}, alternate);
  const bool mixed = two > 0 && three > 0;
  const double searchFrom = codesShare + 0.05;
  double sharesDone = 0;
  // The shares of every round together: 1 for the two searches, 1.5 for the rounds.
  const double allShares = options.twoSearches ? 1.0 : 1.5;
  // `firstBest` receives the first unit's smallest cover (empty when none).
  auto round = [&](std::vector<PolishUnit> units, std::vector<PackedRow>* firstBest) {
    double roundShare = 0;
    for (const PolishUnit& u : units) roundShare += u.share;
    std::vector<std::vector<uint32_t>> found(units.size());
    ParallelFor(
        units.size(), options.threads, {},
        [&](int64_t i) {
          const PolishUnit& u = units[i];
          const SystemShape& searched = u.twoSignFirst ? alternateShape : shape;
          std::vector<uint32_t> start;
          for (PackedRow row : u.from) {
            if (u.twoSignFirst) row = Unorder(row, alternate, shape.matches);
            start.push_back(static_cast<uint32_t>(*searched.IndexOf(row)));
          }
          SearchBudget budget;
          budget.work = static_cast<int64_t>(static_cast<double>(options.searchWork) * u.share);
          budget.seed = u.seed;
          budget.weighted = u.weighted;
          budget.sampledMoves = options.sampledMoves;
          budget.patience =
              static_cast<int64_t>(static_cast<double>(budget.work) * options.patience);
          ShrinkCover(
              searched, radius, std::move(start), budget, stopped,
              [&](const std::vector<uint32_t>& indices) {
                if (found[i].empty() || indices.size() < found[i].size()) found[i] = indices;
              },
              [](double) {});
          if (u.twoSignFirst) {
            // Back to indices of the canonical order.
            for (uint32_t& index : found[i]) {
              index = static_cast<uint32_t>(
                  *shape.IndexOf(Reorder(searched.RowAt(index), alternate, shape.matches)));
            }
            std::sort(found[i].begin(), found[i].end());
          }
        },
        [&](int64_t finished) {
          search.Spent(searchFrom + (1 - searchFrom) *
                                        (sharesDone + roundShare * finished /
                                                          static_cast<double>(units.size())) /
                                        allShares);
        });
    sharesDone += roundShare;
    if (search.Stopped()) return;
    if (firstBest != nullptr && !found[0].empty()) {
      firstBest->clear();
      for (uint32_t index : found[0]) firstBest->push_back(shape.RowAt(index));
    }
    size_t best = units.size();
    for (size_t i = 0; i < units.size(); ++i) {
      if (found[i].empty()) continue;
      if (best == units.size() || found[i].size() < found[best].size()) best = i;
    }
    if (best == units.size() || found[best].size() >= search.rows().size()) return;
    std::vector<PackedRow> rows;
    rows.reserve(found[best].size());
    for (uint32_t index : found[best]) rows.push_back(shape.RowAt(index));
    search.Offer(std::move(rows), "tabu");
  };

  if (options.twoSearches) {
    // The plan the shipped code table was built with, one after the other.
    // A copy: the round replaces the search's rows while it reads these.
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
    const std::vector<PackedRow> construction = search.rows();
    round({{construction, true, options.seed, 0.5}}, nullptr);
    if (!search.Stopped()) round({{*greedy, false, options.seed + 1, 0.5}}, nullptr);
  } else {
    // A weighted search (which leaves the flat ground around a perfect
    // code) polishes the best construction while a plain one shrinks the
    // irregular greedy rows and a second weighted one, with other random
    // choices, polishes the construction again; then two weighted ones
    // polish the first unit's best and the round's best. The units of a
    // round are sized so that two cores finish them together.
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): a copy, as above
    const std::vector<PackedRow> first = search.rows();
    std::vector<PackedRow> afterFirst;
    round({{first, true, options.seed, 0.4},
           {*greedy, false, options.seed + 1, 0.25},
           {first, true, options.seed + 5, 0.15, mixed}},
          &afterFirst);
    if (!search.Stopped() && !proved() && !halt.SearchStopped()) {
      round({{afterFirst.empty() ? first : afterFirst, true, options.seed + 2, 0.35},
             {search.rows(), true, options.seed + 6, 0.35, mixed}},
            nullptr);
    }
  }
  search.Spent(1);
  return finish(greedyRows);
}

// A system that conditions cut down: the greedy reduction of the system,
// shrunk by local search over its outcomes in units of fixed seeds and work.
OptimizeResult OptimizeFiltered(const System& system, int guarantee, const OptimizeOptions& options,
                                const Work& work) {
  const SystemShape& shape = system.shape();
  guarantee = std::clamp(guarantee, 0, shape.matches);
  const int radius = shape.matches - guarantee;
  const Halt halt(work, options.wallSeconds);
  Search search(system, radius, work);
  OptimizeResult result;
  result.threads = ThreadCount(options.threads);
  const int64_t ball = BallSize(shape, radius);
  result.bound = std::max<int64_t>(1, (system.size() + ball - 1) / ball);
  result.boundSource = kSphereSource;
  auto finish = [&] {
    result.stopped = search.Stopped();
    result.timeCapped = halt.Capped();
    if (search.found()) {
      result.rows = search.rows();
      result.guarantee = shape.matches - search.maxDistance();
      result.method = search.method();
      result.provedMinimal = static_cast<int64_t>(result.rows.size()) <= result.bound;
    }
    return result;
  };
  if (system.size() == 0) return finish();

  work.Phase("Reducerar");
  const RowSet set = GenerateSystem(shape, Rules(GameWithMatches(shape.matches)), std::string());
  const std::optional<ReductionResult> reduction =
      ReduceToGuarantee(set, system, guarantee, false, Work{work.stop, nullptr});
  if (!reduction) return finish();
  std::vector<uint32_t> greedy(reduction->kept.begin(), reduction->kept.end());
  std::sort(greedy.begin(), greedy.end());
  std::vector<PackedRow> greedyRows;
  greedyRows.reserve(greedy.size());
  for (uint32_t index : greedy) greedyRows.push_back(set.rows[index]);
  result.greedyRows = static_cast<int64_t>(greedyRows.size());
  search.Offer(greedyRows, "greedy");
  const bool polish = options.searchWork > 0 && shape.size() <= options.searchLimit;
  if (!polish || !search.found() || search.Stopped() ||
      static_cast<int64_t>(search.rows().size()) <= result.bound) {
    search.Spent(1);
    return finish();
  }
  search.Spent(0.05);

  work.Phase("Söker");
  // A plain and a weighted search from the greedy rows side by side, each
  // with its own seed and work; the first unit's cover wins among equals.
  struct Unit {
    bool weighted;
    uint64_t seed;
  };
  const Unit units[] = {{false, options.seed}, {true, options.seed + 1}};
  std::vector<std::vector<uint32_t>> found(std::size(units));
  ParallelFor(
      std::size(units), options.threads, {},
      [&](int64_t i) {
        SearchBudget budget;
        budget.work = options.searchWork / 2;
        budget.seed = units[i].seed;
        budget.weighted = units[i].weighted;
        budget.sampledMoves = options.sampledMoves;
        budget.patience = static_cast<int64_t>(static_cast<double>(budget.work) * options.patience);
        ShrinkCover(
            system, radius, greedy, budget, [&halt] { return halt.SearchStopped(); },
            [&](const std::vector<uint32_t>& indices) {
              if (found[i].empty() || indices.size() < found[i].size()) found[i] = indices;
            },
            [](double) {});
      },
      [&](int64_t finished) { search.Spent(0.05 + 0.95 * finished / 2.0); });
  if (search.Stopped()) return finish();
  for (const std::vector<uint32_t>& cover : found) {
    if (cover.empty() || cover.size() >= search.rows().size()) continue;
    std::vector<PackedRow> rows;
    rows.reserve(cover.size());
    for (uint32_t index : cover) rows.push_back(shape.RowAt(index));
    search.Offer(std::move(rows), "tabu");
  }
  search.Spent(1);
  return finish();
}

}  // namespace

std::vector<PackedRow> SystemRows(const SystemShape& shape) {
  return GenerateSystem(shape, Rules(GameWithMatches(shape.matches)), std::string()).rows;
}

SystemShape CanonicalShape(const SystemShape& shape, std::array<int, kMaxMatches>& order) {
  return SortedBySigns(shape, {3, 2, 1, 0}, order);
}

OptimizeOptions OptionsFor(Effort effort) {
  OptimizeOptions options;
  switch (effort) {
    case Effort::kQuick:
      options.matrixSeeds = 2;
      options.matrixWork = 1'500'000;
      break;
    case Effort::kNormal:
      options.searchWork = kWorkPerSecond * 21 / 2;
      options.wallSeconds = 300;
      options.patience = 0.25;
      options.matrixSeeds = 4;
      options.matrixSeedsRadiusOne = 24;
      options.matrixSeedsUnpolished = 64;
      options.matrixWork = 8'000'000;
      options.matrixClimbs = 16;
      options.matrixClimbWork = 2'000'000;
      break;
    case Effort::kDeep:
      options.searchWork = 40 * kWorkPerSecond;
      options.wallSeconds = 1200;
      options.patience = 0.25;
      options.matrixSeeds = 8;
      options.matrixSeedsRadiusOne = 24;
      options.matrixSeedsUnpolished = 64;
      options.matrixWork = 24'000'000;
      options.matrixClimbs = 40;
      options.matrixClimbWork = 3'000'000;
      break;
  }
  return options;
}

OptimizeResult Optimize(const SystemShape& original, int guarantee, const OptimizeOptions& options,
                        const Work& work) {
  guarantee = std::clamp(guarantee, 0, original.matches);
  const Halt halt(work, options.wallSeconds);
  std::array<int, kMaxMatches> order{};
  const SystemShape shape = CanonicalShape(original, order);
  OptimizeResult result = OptimizeCanonical(shape, guarantee, options, work, halt);
  if (result.rows.empty()) return result;
  // Back to the coupon's own order of matches, ascending index there, and
  // checked once more where the rows will be used.
  std::vector<std::pair<int64_t, PackedRow>> placed;
  placed.reserve(result.rows.size());
  for (PackedRow row : result.rows) {
    const PackedRow mapped = Reorder(row, order, original.matches);
    placed.emplace_back(original.IndexOf(mapped).value_or(-1), mapped);
  }
  std::sort(placed.begin(), placed.end());
  for (size_t i = 0; i < placed.size(); ++i) result.rows[i] = placed[i].second;
  // Already verified in the search's order, so a stop does not cut this
  // last check short: a stopped search still hands back its best cover.
  const Coverage coverage = ComputeCoverage(original, result.rows);
  const int radius = original.matches - guarantee;
  if (coverage.distance.empty() || coverage.maxDistance > radius || placed.front().first < 0) {
    // Cannot happen short of a fault: fall back on the greedy rows of the coupon itself.
    const std::optional<std::vector<PackedRow>> greedy = GreedyRows(original, guarantee, work.stop);
    result.rows = greedy.value_or(std::vector<PackedRow>{});
    result.method = "greedy";
    result.provedMinimal = false;
    if (!greedy) {
      result.stopped = true;
      return result;
    }
    result.guarantee = original.matches - ComputeCoverage(original, result.rows).maxDistance;
    return result;
  }
  result.guarantee = original.matches - coverage.maxDistance;
  bool reordered = false;
  for (int j = 0; j < original.matches; ++j) reordered = reordered || order[j] != j;
  if (reordered && result.greedyRows > 0 && !result.stopped) {
    // "Garanti" reduces the coupon in its own order: that is the size to
    // report, and the most rows the answer may have.
    std::optional<std::vector<PackedRow>> greedy = GreedyRows(original, guarantee, work.stop);
    if (!greedy) {
      result.stopped = true;
      return result;
    }
    result.greedyRows = static_cast<int64_t>(greedy->size());
    if (greedy->size() < result.rows.size()) {
      result.guarantee = original.matches - ComputeCoverage(original, *greedy).maxDistance;
      result.rows = std::move(*greedy);
      result.method = "greedy";
      result.provedMinimal = static_cast<int64_t>(result.rows.size()) <= result.bound;
    }
  }
  return result;
}

OptimizeResult Optimize(const System& system, int guarantee, const OptimizeOptions& options,
                        const Work& work) {
  if (!system.filtered()) return Optimize(system.shape(), guarantee, options, work);
  return OptimizeFiltered(system, guarantee, options, work);
}

}  // namespace detail

std::optional<OptimizeResult> OptimizeGuarantee(const SystemShape& shape, int guarantee,
                                                Effort effort, int threads, const Work& work) {
  return OptimizeGuarantee(System(shape), guarantee, effort, threads, work);
}

std::optional<OptimizeResult> OptimizeGuarantee(const System& system, int guarantee, Effort effort,
                                                int threads, const Work& work) {
  OptimizeResult result = OptimizeUntilStopped(system, guarantee, effort, threads, work);
  if (result.stopped || work.Stopped()) return std::nullopt;
  return result;
}

OptimizeResult OptimizeUntilStopped(const System& system, int guarantee, Effort effort, int threads,
                                    const Work& work) {
  detail::OptimizeOptions options = detail::OptionsFor(effort);
  options.threads = threads;
  OptimizeResult result = detail::Optimize(system, guarantee, options, work);
  if (work.Stopped()) result.stopped = true;
  return result;
}

}  // namespace spelkub
