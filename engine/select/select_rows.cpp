#include "select/select_rows.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <queue>
#include <stdexcept>

#include "value/pool_share.h"

namespace spelkub {
namespace {

// Outcome y of the model's n matches has the index Σ y_m · 3^(m-1), as in the
// exact value of a system; rows are named by the same index.

constexpr int kLowMatches = 7;
// The objectives reach the top four levels: distance 0..3.
constexpr int kMaxRadius = 3;

int64_t Power3(int k) {
  int64_t power = 1;
  while (k-- > 0) power *= 3;
  return power;
}

int64_t IndexOfRow(PackedRow row, int n) {
  int64_t index = 0;
  for (int m = n; m >= 1; --m) {
    const int sign = PackedOutcome(row, m);
    if (sign > 2) throw std::invalid_argument("SelectRows: a row without a sign in a match");
    index = 3 * index + sign;
  }
  if ((row >> (2 * n)) != 0 && n < 16)
    throw std::invalid_argument("SelectRows: a row with signs beyond the matches");
  return index;
}

PackedRow RowOfIndex(int64_t index, int n) {
  PackedRow row = 0;
  for (int m = 1; m <= n; ++m, index /= 3)
    row |= static_cast<PackedRow>(index % 3) << (2 * (m - 1));
  return row;
}

int DifferingMatches(PackedRow a, PackedRow b) {
  const uint32_t x = a ^ b;
  return std::popcount((x | (x >> 1)) & 0x55555555u);
}

// What every outcome needs of the model: its chance P(y) and the public's
// chance of a row with exactly n - d right against it, d = 0..3 (the
// coefficients of t^d in Π_m (q_m + (1 - q_m) t)), from tables of the low
// matches and of the high ones.
class OutcomeTables {
 public:
  explicit OutcomeTables(const ValueModel& model) : n_(model.matches) {
    const int low = std::min(n_, kLowMatches);
    lowSize_ = Power3(low);
    Fill(model, 1, low, lowSize_, lowChance_, lowPoly_);
    Fill(model, low + 1, n_, Power3(n_ - low), highChance_, highPoly_);
  }

  double Chance(int64_t y) const { return lowChance_[y % lowSize_] * highChance_[y / lowSize_]; }
  // The public's chance of exactly n - d right at y.
  double Public(int64_t y, int d) const {
    const Poly& a = lowPoly_[y % lowSize_];
    const Poly& b = highPoly_[y / lowSize_];
    double sum = 0;
    for (int i = 0; i <= d; ++i) sum += a.c[i] * b.c[d - i];
    return sum;
  }

 private:
  struct Poly {
    double c[4] = {1, 0, 0, 0};
  };

  static void Fill(const ValueModel& model, int first, int last, int64_t size,
                   std::vector<double>& chance, std::vector<Poly>& poly) {
    chance.assign(size, 1);
    poly.assign(size, Poly{});
    for (int64_t digits = 0; digits < size; ++digits) {
      int64_t rest = digits;
      for (int m = first; m <= last; ++m, rest /= 3) {
        const int sign = static_cast<int>(rest % 3);
        chance[digits] *= model.chance[m - 1][sign];
        const double q = model.streck[m - 1][sign];
        const double miss = 1 - q;
        Poly& p = poly[digits];
        p = {{p.c[0] * q, p.c[1] * q + p.c[0] * miss, p.c[2] * q + p.c[1] * miss,
              p.c[3] * q + p.c[2] * miss}};
      }
    }
  }

  int n_;
  int64_t lowSize_ = 1;
  std::vector<double> lowChance_, highChance_;
  std::vector<Poly> lowPoly_, highPoly_;
};

// The objective at one outcome, level by level: what `own` of the player's
// rows at distance d win there (kReturn), or whether any row is within reach
// (kAtLeast).
class Levels {
 public:
  // `rows`: the player's rows whose stake goes into the pots beside the
  // others' (the budget's, for a selection).
  Levels(const ValueModel& model, const SelectObjective& objective, int64_t rows)
      : goal_(objective.goal) {
    const int n = model.matches;
    if (goal_ == SelectGoal::kAtLeast) {
      if (objective.right < std::max(0, n - 3) || objective.right > n)
        throw std::invalid_argument("SelectRows: the objective's level is not one of the top four");
      radius_ = n - objective.right;
      return;
    }
    publicRows_ = model.PublicRows();
    minimum_ = model.pool.minimumPayout;
    radius_ = -1;
    for (int d = 0; d < 4 && d <= n; ++d) {
      pot_[d] = model.Pot(n - d, static_cast<double>(rows) * model.pool.rowPrice);
      if (pot_[d] > 0) radius_ = d;
    }
  }

  SelectGoal goal() const { return goal_; }
  // The farthest distance at which a row counts; -1 when none does.
  int radius() const { return radius_; }
  bool Paid(int d) const { return goal_ == SelectGoal::kAtLeast || pot_[d] > 0; }
  // The player's expected win at distance d with `own` rows there.
  double Win(const OutcomeTables& tables, int64_t y, int d, int64_t own) const {
    if (own == 0) return 0;
    return ExpectedLevelWin(pot_[d], publicRows_ * tables.Public(y, d), own, minimum_);
  }

 private:
  SelectGoal goal_;
  int radius_ = 0;
  double publicRows_ = 0;
  double minimum_ = 0;
  double pot_[4] = {};
};

// Calls visit(y, d) for every outcome y within `radius` of the outcome
// `center`, d its distance, in a fixed order.
class Ball {
 public:
  explicit Ball(int n) : n_(n) {
    for (int m = 0; m < n; ++m) power_[m] = Power3(m);
  }

  template <typename Visit>
  void ForEach(int64_t center, int radius, const Visit& visit) const {
    int digits[kMaxMatches];
    int64_t rest = center;
    for (int m = 0; m < n_; ++m, rest /= 3) digits[m] = static_cast<int>(rest % 3);
    visit(center, 0);
    if (radius > 0 && radius <= kMaxRadius) Walk(digits, 0, 1, radius, center, visit);
  }

 private:
  template <typename Visit>
  void Walk(const int* digits, int first, int d, int radius, int64_t index,
            const Visit& visit) const {
    for (int m = first; m < n_; ++m) {
      for (int step = 1; step <= 2; ++step) {
        const int sign = (digits[m] + step) % 3;
        const int64_t y = index + (sign - digits[m]) * power_[m];
        visit(y, d);
        if (d < radius && d < kMaxRadius) Walk(digits, m + 1, d + 1, radius, y, visit);
      }
    }
  }

  int n_;
  int64_t power_[kMaxMatches] = {};
};

// Four float lanes per outcome: lane e holds what a row gets from the
// outcomes whose distance to it, added to e, is at most the radius.
using FloatLanes = float __attribute__((vector_size(16)));
using LaneOrder = int __attribute__((vector_size(16)));

// Lane e of the result is lane e + 1 of `lanes`, lane 3 is 0.
inline FloatLanes ShiftDown(FloatLanes lanes) {
  const FloatLanes zero{0, 0, 0, 0};
#if defined(__clang__)
  return __builtin_shufflevector(lanes, zero, 1, 2, 3, 4);
#else
  return __builtin_shuffle(lanes, zero, LaneOrder{1, 2, 3, 4});
#endif
}

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// Float sums of non-negative terms over at most 14 matches are within 1e-5
// of the exact sum; bounds are raised by more than that to stay above it.
constexpr double kBoundSlack = 1e-4;

// Every row's gain on the empty set, as an upper bound, for the rows at
// `candidates`: the outcomes' terms g_d(y) put in lane d, then per match a
// cell takes lane e + 1 of the cells that differ from it there into its lane
// e, so lane 0 of row r ends as Σ_y g_dist(r,y)(y). nullopt when stopped.
std::optional<std::vector<float>> SingleBounds(const OutcomeTables& tables, const Levels& levels,
                                               int n, std::span<const uint32_t> candidates,
                                               const Work& work) {
  const int64_t size = Power3(n);
  std::unique_ptr<FloatLanes[], FreeDeleter> cells(
      static_cast<FloatLanes*>(std::aligned_alloc(16, size * sizeof(FloatLanes))));
  if (cells == nullptr) throw std::bad_alloc();
  const int radius = levels.radius();
  for (int64_t y = 0; y < size; ++y) {
    if ((y & 0xffff) == 0) {
      if (work.Stopped()) return std::nullopt;
      work.Fraction(0.2 * static_cast<double>(y) / size);
    }
    FloatLanes lanes{0, 0, 0, 0};
    const double chance = tables.Chance(y);
    if (chance > 0) {
      for (int d = 0; d <= radius; ++d) {
        if (!levels.Paid(d)) continue;
        lanes[d] = static_cast<float>(
            levels.goal() == SelectGoal::kAtLeast ? chance : chance * levels.Win(tables, y, d, 1));
      }
    }
    cells[y] = lanes;
  }
  for (int m = 0; m < n; ++m) {
    if (work.Stopped()) return std::nullopt;
    work.Fraction(0.2 + 0.1 * m / n);
    const int64_t stride = Power3(m);
    for (int64_t high = 0; high < size; high += 3 * stride) {
      FloatLanes* a = cells.get() + high;
      FloatLanes* b = a + stride;
      FloatLanes* c = b + stride;
      for (int64_t low = 0; low < stride; ++low) {
        const FloatLanes da = ShiftDown(a[low]), db = ShiftDown(b[low]), dc = ShiftDown(c[low]);
        a[low] += db + dc;
        b[low] += da + dc;
        c[low] += da + db;
      }
    }
  }
  std::vector<float> bounds(candidates.size());
  for (size_t i = 0; i < candidates.size(); ++i)
    bounds[i] = cells[candidates[i]][0] * static_cast<float>(1 + kBoundSlack);
  return bounds;
}

// The player's rows around each outcome: per outcome the count at distance
// 0..3 (at most C(14,3)·2³ = 2 912 distinct rows each).
struct Counts {
  uint16_t at[4] = {};
};

// The objective kept incrementally over the chosen rows.
class Objective {
 public:
  Objective(const OutcomeTables& tables, const Levels& levels, int n)
      : tables_(tables), levels_(levels), ball_(n), counts_(Power3(n)) {}

  double Gain(int64_t row) const {
    double gain = 0;
    if (levels_.radius() < 0) return 0;
    if (levels_.goal() == SelectGoal::kAtLeast) {
      ball_.ForEach(row, levels_.radius(), [&](int64_t y, int) {
        const Counts& c = counts_[y];
        if ((c.at[0] | c.at[1] | c.at[2] | c.at[3]) == 0) gain += tables_.Chance(y);
      });
      return gain;
    }
    ball_.ForEach(row, levels_.radius(), [&](int64_t y, int d) {
      if (!levels_.Paid(d)) return;
      const double chance = tables_.Chance(y);
      if (chance == 0) return;
      const int64_t own = counts_[y].at[d];
      gain += chance * (levels_.Win(tables_, y, d, own + 1) - levels_.Win(tables_, y, d, own));
    });
    return gain;
  }

  void Add(int64_t row) {
    if (levels_.radius() < 0) return;
    ball_.ForEach(row, levels_.radius(), [&](int64_t y, int d) { ++counts_[y].at[d]; });
  }
  void Remove(int64_t row) {
    if (levels_.radius() < 0) return;
    ball_.ForEach(row, levels_.radius(), [&](int64_t y, int d) { --counts_[y].at[d]; });
  }

 private:
  const OutcomeTables& tables_;
  const Levels& levels_;
  Ball ball_;
  std::vector<Counts> counts_;
};

// A candidate in the heap and a bound of its gain: 12 bytes, since the heap
// holds every row of the system. Which bounds are exact gains for the rows
// taken so far is kept beside the heap.
struct __attribute__((packed)) Entry {
  double bound = 0;
  uint32_t candidate = 0;
};

// The larger bound first; on a tie the earlier candidate.
struct Below {
  bool operator()(const Entry& a, const Entry& b) const {
    if (a.bound != b.bound) return a.bound < b.bound;
    return a.candidate > b.candidate;
  }
};

// The system's rows, in generation order, by outcome index.
std::vector<uint32_t> CandidatesOf(const System& system, int n) {
  const SystemShape& shape = system.shape();
  if (shape.matches != n) throw std::invalid_argument("SelectRows: the system's matches");
  std::vector<uint32_t> candidates;
  const int64_t size = shape.size();
  candidates.reserve(static_cast<size_t>(system.size()));
  int digit[kMaxMatches] = {};
  int64_t power[kMaxMatches];
  int64_t index = 0;
  for (int m = 0; m < n; ++m) {
    power[m] = Power3(m);
    if (shape.radix[m] == 0) return candidates;
    index += shape.outcomes[m][0] * power[m];
  }
  for (int64_t i = 0; i < size; ++i) {
    if (system.Allows(i)) candidates.push_back(static_cast<uint32_t>(index));
    // The odometer: match 1 turns fastest.
    for (int m = 0; m < n; ++m) {
      index -= shape.outcomes[m][digit[m]] * power[m];
      if (++digit[m] < shape.radix[m]) {
        index += shape.outcomes[m][digit[m]] * power[m];
        break;
      }
      digit[m] = 0;
      index += shape.outcomes[m][0] * power[m];
    }
  }
  return candidates;
}

// The `count` candidates with the highest exact single gains (ties: the
// earlier), in that order: the exact gains are needed only where the bounds
// leave a doubt.
std::vector<size_t> TopSingles(const Objective& empty, std::span<const uint32_t> candidates,
                               std::span<const float> bounds, int64_t count, int64_t& evaluations) {
  count = std::min<int64_t>(count, static_cast<int64_t>(candidates.size()));
  if (count <= 0) return {};
  std::vector<float> sorted(bounds.begin(), bounds.end());
  std::nth_element(sorted.begin(), sorted.begin() + (count - 1), sorted.end(), std::greater<>());
  // A bound is at most (1 + slack)² above its exact gain, so no candidate
  // under this line can beat the count-th best.
  const double line = sorted[count - 1] / ((1 + kBoundSlack) * (1 + kBoundSlack));
  std::vector<std::pair<double, size_t>> exact;
  for (size_t i = 0; i < candidates.size(); ++i) {
    if (bounds[i] < line) continue;
    exact.emplace_back(empty.Gain(candidates[i]), i);
    ++evaluations;
  }
  std::stable_sort(exact.begin(), exact.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<size_t> top;
  for (int64_t i = 0; i < count; ++i) top.push_back(exact[i].second);
  return top;
}

}  // namespace

double ObjectiveValue(const ValueModel& model, const SelectObjective& objective,
                      std::span<const PackedRow> rows) {
  const int n = model.matches;
  const OutcomeTables tables(model);
  const Levels levels(model, objective, static_cast<int64_t>(rows.size()));
  std::vector<int64_t> indices;
  for (const PackedRow row : rows) indices.push_back(IndexOfRow(row, n));
  if (objective.goal == SelectGoal::kAtLeast) {
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  }
  double total = 0;
  const int64_t size = Power3(n);
  for (int64_t y = 0; y < size; ++y) {
    const PackedRow outcome = RowOfIndex(y, n);
    int64_t own[4] = {};
    for (const int64_t index : indices) {
      const int d = DifferingMatches(outcome, RowOfIndex(index, n));
      if (d <= levels.radius()) ++own[d];
    }
    const double chance = tables.Chance(y);
    if (objective.goal == SelectGoal::kAtLeast) {
      if (own[0] + own[1] + own[2] + own[3] > 0) total += chance;
      continue;
    }
    for (int d = 0; d <= levels.radius(); ++d) {
      if (levels.Paid(d) && chance > 0) total += chance * levels.Win(tables, y, d, own[d]);
    }
  }
  return total;
}

std::optional<SelectResult> SelectRows(const ValueModel& model, const System& system,
                                       const SelectOptions& options, const Work& work) {
  const int n = model.matches;
  if (options.budgetRows < 1) throw std::invalid_argument("SelectRows: budget below one row");
  const OutcomeTables tables(model);
  // The pots hold the stake of the rows handed in: the budget's, or every
  // row of a smaller system.
  const Levels levels(model, options.objective, std::min(options.budgetRows, system.size()));
  std::vector<std::vector<int64_t>> starts;
  for (const std::vector<PackedRow>& start : options.starts) {
    starts.emplace_back();
    for (const PackedRow row : start) starts.back().push_back(IndexOfRow(row, n));
  }

  SelectResult result;
  const std::vector<uint32_t> candidates = CandidatesOf(system, n);
  result.candidates = static_cast<int64_t>(candidates.size());
  std::optional<std::vector<float>> bounds = SingleBounds(tables, levels, n, candidates, work);
  if (!bounds) return std::nullopt;
  // Memory, per row of a full system: 4 bytes its index, 4 its bound, 12 the
  // heap, 8 the counts; the transform's 16 are gone before the heap comes.
  std::vector<Entry> heap;
  heap.reserve(candidates.size());
  for (size_t i = 0; i < candidates.size(); ++i)
    heap.push_back({(*bounds)[i], static_cast<uint32_t>(i)});
  std::make_heap(heap.begin(), heap.end(), Below{});

  Objective objective(tables, levels, n);
  for (const size_t i :
       TopSingles(objective, candidates, *bounds, options.budgetRows, result.evaluations)) {
    result.topRows.push_back(RowOfIndex(candidates[i], n));
  }
  bounds.reset();

  // The best start within the budget first, in its order (ties: the first).
  double best = -1;
  for (size_t s = 0; s < starts.size(); ++s) {
    if (work.Stopped()) return std::nullopt;
    if (static_cast<int64_t>(starts[s].size()) > options.budgetRows) {
      result.startObjectives.push_back(std::numeric_limits<double>::quiet_NaN());
      continue;
    }
    double value = 0;
    for (const int64_t index : starts[s]) {
      value += objective.Gain(index);
      objective.Add(index);
    }
    for (const int64_t index : starts[s]) objective.Remove(index);
    result.startObjectives.push_back(value);
    if (value > best) {
      best = value;
      result.start = static_cast<int>(s);
    }
  }
  std::vector<bool> taken(static_cast<size_t>(Power3(n)), false);
  if (result.start >= 0) {
    for (const int64_t index : starts[result.start]) {
      result.objective += objective.Gain(index);
      objective.Add(index);
      taken[index] = true;
      result.rows.push_back(RowOfIndex(index, n));
    }
    result.startRows = static_cast<int64_t>(result.rows.size());
  }

  const int64_t budget = options.budgetRows;
  const int64_t startCount = static_cast<int64_t>(result.rows.size());
  // The candidates whose bound is their exact gain now: those evaluated since
  // the last row was taken (a few).
  std::vector<uint32_t> fresh;
  while (static_cast<int64_t>(result.rows.size()) < budget && !heap.empty()) {
    if (work.Stopped()) return std::nullopt;
    std::pop_heap(heap.begin(), heap.end(), Below{});
    Entry top = heap.back();
    heap.pop_back();
    const int64_t index = candidates[top.candidate];
    if (taken[index]) continue;  // a row of the start
    const PackedRow row = RowOfIndex(index, n);
    if (options.minDistance > 1) {
      const auto tooNear = [&](PackedRow kept) {
        return DifferingMatches(kept, row) < options.minDistance;
      };
      // The kept rows only grow: a row too near one of them stays so.
      if (std::any_of(result.rows.begin(), result.rows.end(), tooNear)) continue;
    }
    if (std::find(fresh.begin(), fresh.end(), top.candidate) != fresh.end()) {
      // Its exact gain now, and no other bound above it: the greedy's choice.
      result.objective += top.bound;
      objective.Add(index);
      taken[index] = true;
      result.rows.push_back(row);
      fresh.clear();
      const int64_t added = static_cast<int64_t>(result.rows.size()) - startCount;
      if ((added & 15) == 0) {
        work.Fraction(0.3 + 0.7 * static_cast<double>(added) /
                                static_cast<double>(std::max<int64_t>(1, budget - startCount)));
      }
      continue;
    }
    top.bound = objective.Gain(index);
    fresh.push_back(top.candidate);
    ++result.evaluations;
    heap.push_back(top);
    std::push_heap(heap.begin(), heap.end(), Below{});
  }
  result.exhausted = static_cast<int64_t>(result.rows.size()) < budget;
  work.Fraction(1);
  return result;
}

}  // namespace spelkub
