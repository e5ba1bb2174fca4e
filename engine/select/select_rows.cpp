#include "select/select_rows.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <queue>
#include <stdexcept>

#include "coupon/system_shape.h"
#include "value/pool_share.h"

namespace spelkub {
namespace {

// Outcome y of the model's n matches has the index Σ y_m · 3^(m-1), as in the
// exact value of a system; rows are named by the same index.

constexpr int kLowMatches = 7;
// The objectives reach the top four levels: distance 0..3.
constexpr int kMaxRadius = 3;

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
  // Chance(y) as the product of its low matches' and high matches' parts,
  // for walks that keep the two apart: y = low + LowSize() · high.
  int64_t LowSize() const { return lowSize_; }
  int64_t HighSize() const { return static_cast<int64_t>(highChance_.size()); }
  double Chance(int64_t low, int64_t high) const { return lowChance_[low] * highChance_[high]; }
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
  // others' (the budget's, for a selection), each staked `stake` times.
  Levels(const ValueModel& model, const SelectObjective& objective, int64_t rows, int stake)
      : goal_(objective.goal), stake_(stake) {
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
      pot_[d] = model.Pot(n - d, static_cast<double>(rows) * stake * model.pool.rowPrice);
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
    return ExpectedLevelWin(pot_[d], publicRows_ * tables.Public(y, d), own * stake_, minimum_);
  }

 private:
  SelectGoal goal_;
  int64_t stake_ = 1;
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

// E(S) kept incrementally over the chosen rows.
class Objective {
 public:
  Objective(const OutcomeTables& tables, const Levels& levels, int n)
      : tables_(tables), levels_(levels), ball_(n), counts_(Power3(n)) {}

  double Gain(int64_t row) const {
    double gain = 0;
    if (levels_.radius() < 0) return 0;
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

// P(best row ≥ k) is a weighted coverage: an outcome counts once some
// chosen row is within the radius n − k of it. Lazy greedy would re-evaluate
// most rows after most takes (a take lowers the gain of every row within
// twice the radius: a tenth of a 13-match system), so the gains of all rows
// are kept instead, in fixed point, and lowered as outcomes get covered: a
// take costs the balls of the outcomes it newly covers, and an outcome is
// covered once in the whole run.
//
// Fixed point: an outcome weighs q(y) = ⌈P(y)·2^60⌉ units, and a row's units
// U = Σ q(y) over the uncovered outcomes of its ball, exactly in integers.
// With S the real sum of the chances and k the ball's size, S·2^60 ≤ U <
// S·2^60 + k; the gain as a double sum of k terms is within (1 ± γ)·S,
// γ < k·2^-53. So the row of most units is the greedy's choice up to rows
// within a hair of it, whose double gains (the exact ones, summed in the
// ball's order) decide, ties to the row first in generation order.
constexpr double kUnitsPerChance = 0x1p60;
// Rows out of the running (taken, too near, not in the system) hold their
// units minus this: negative, since units stay below 2^61.
constexpr int64_t kOut = int64_t{1} << 62;

int64_t UnitsOf(double chance) {
  return static_cast<int64_t>(std::ceil(chance * kUnitsPerChance));
}

int64_t OutcomesWithin(int n, int radius) {
  int64_t size = 0, choose = 1;
  for (int d = 0; d <= radius && d <= n; ++d) {
    size += choose << d;
    choose = choose * (n - d) / (d + 1);
  }
  return size;
}

// The fewest units a row may hold and still tie or beat a row of `best`
// units on the exact gain (at least 1: a row of no units has the gain 0).
int64_t UnitsWithin(int64_t best, int64_t ballSize) {
  const double lowest = static_cast<double>(best - ballSize) * (1 - 1e-11) - 1024;
  return std::max<int64_t>(1, static_cast<int64_t>(lowest));
}

// Every outcome's units within `radius`, exactly, by the transform of
// SingleBounds in integers: lane e of a cell holds, after the matches done so
// far, the units of the outcomes that differ from it there in at most
// radius − e of them. The top lane is q(y) itself, computed afresh, so
// `radius` lanes of 8 bytes are kept per outcome; lane 0 is the result.
// nullopt when stopped.
std::optional<std::vector<int64_t>> BallUnits(const OutcomeTables& tables, int n, int radius,
                                              const Work& work) {
  const int64_t lowSize = tables.LowSize(), highSize = tables.HighSize();
  const int64_t size = lowSize * highSize;
  std::vector<std::vector<int64_t>> lanes(std::max(radius, 1));
  for (auto& lane : lanes) lane.resize(static_cast<size_t>(size));
  for (int64_t high = 0; high < highSize; ++high) {
    for (int64_t low = 0; low < lowSize; ++low) {
      const int64_t units = UnitsOf(tables.Chance(low, high));
      for (auto& lane : lanes) lane[high * lowSize + low] = units;
    }
  }
  if (radius == 0) return std::move(lanes[0]);
  // The three outcomes that differ in one match only, with their q.
  const auto spread = [&](int64_t a, int64_t b, int64_t c, int64_t qa, int64_t qb, int64_t qc) {
    for (int e = 0; e < radius; ++e) {
      const bool top = e + 1 == radius;
      const int64_t ua = top ? qa : lanes[e + 1][a];
      const int64_t ub = top ? qb : lanes[e + 1][b];
      const int64_t uc = top ? qc : lanes[e + 1][c];
      lanes[e][a] += ub + uc;
      lanes[e][b] += ua + uc;
      lanes[e][c] += ua + ub;
    }
  };
  const auto q = [&](int64_t low, int64_t high) { return UnitsOf(tables.Chance(low, high)); };
  for (int m = 0; m < n; ++m) {
    if (work.Stopped()) return std::nullopt;
    work.Fraction(0.3 * m / n);
    if (Power3(m) < lowSize) {
      const int64_t stride = Power3(m);
      for (int64_t high = 0; high < highSize; ++high) {
        const int64_t base = high * lowSize;
        for (int64_t block = 0; block < lowSize; block += 3 * stride) {
          for (int64_t low = block; low < block + stride; ++low) {
            spread(base + low, base + low + stride, base + low + 2 * stride, q(low, high),
                   q(low + stride, high), q(low + 2 * stride, high));
          }
        }
      }
    } else {
      const int64_t stride = Power3(m) / lowSize;
      for (int64_t block = 0; block < highSize; block += 3 * stride) {
        for (int64_t high = block; high < block + stride; ++high) {
          for (int64_t low = 0; low < lowSize; ++low) {
            const int64_t a = high * lowSize + low;
            spread(a, a + stride * lowSize, a + 2 * stride * lowSize, q(low, high),
                   q(low, high + stride), q(low, high + 2 * stride));
          }
        }
      }
    }
  }
  return std::move(lanes[0]);
}

// The coverage kept over the chosen rows: which outcomes are covered, and
// every outcome's units as a row (kOut off for rows out of the running).
// Units are kept in blocks of the outcomes that share their high matches
// (OutcomeTables' split), each with its best, found again only when the
// block changed and its old best could be the highest.
class Coverage {
  // Outcomes newly covered that share their high matches.
  struct Group {
    int64_t high;
    size_t first, last;  // its outcomes in amounts_
  };

 public:
  Coverage(const OutcomeTables& tables, int n, int radius, std::vector<int64_t> units)
      : tables_(tables),
        ball_(n),
        lowMatches_(std::min(n, kLowMatches)),
        highBall_(n - lowMatches_),
        lowSize_(tables.LowSize()),
        radius_(radius),
        ballSize_(OutcomesWithin(n, radius)),
        units_(std::move(units)),
        covered_((units_.size() + 63) / 64, 0),
        blockBest_(static_cast<size_t>(tables.HighSize()), std::numeric_limits<int64_t>::max()),
        dirty_(blockBest_.size(), 1),
        lanes_(static_cast<size_t>((radius + 1) * lowSize_)) {
    for (int d = 0; d <= kMaxRadius; ++d)
      withinLow_[d] = static_cast<size_t>(OutcomesWithin(lowMatches_, std::min(d, radius_)));
  }

  int64_t BallSize() const { return ballSize_; }
  int64_t Units(int64_t row) const { return units_[row]; }
  void Drop(int64_t row) {
    if (units_[row] < 0) return;
    units_[row] -= kOut;
    dirty_[row / lowSize_] = 1;
  }
  void DropAll() {
    for (int64_t& units : units_) units -= kOut;
    std::fill(dirty_.begin(), dirty_.end(), 1);
  }
  void Restore(int64_t row) {
    if (units_[row] >= 0) return;
    units_[row] += kOut;
    dirty_[row / lowSize_] = 1;
  }

  // The chance of the uncovered outcomes of the row's ball, summed in the
  // ball's order, as lazy greedy's evaluation sums it.
  double Gain(int64_t row) const {
    double gain = 0;
    ball_.ForEach(row, radius_, [&](int64_t y, int) {
      if (!IsCovered(y)) gain += tables_.Chance(y);
    });
    return gain;
  }

  // Covers the row's ball; the outcomes it newly covers are appended to
  // `fresh`. Units stay as they were (Subtract lowers them).
  void Cover(int64_t row, std::vector<int64_t>& fresh) {
    ball_.ForEach(row, radius_, [&](int64_t y, int) {
      if (IsCovered(y)) return;
      covered_[y >> 6] |= uint64_t{1} << (y & 63);
      fresh.push_back(y);
    });
  }
  void Uncover(std::span<const int64_t> outcomes) {
    for (const int64_t y : outcomes) covered_[y >> 6] &= ~(uint64_t{1} << (y & 63));
  }

  // Every row within reach of a newly covered outcome loses its units. The
  // outcomes go in groups by their high matches, each outcome's ball in the
  // low matches listed once as offsets; then every block within reach of a
  // group takes the group's balls off.
  void Subtract(std::vector<int64_t>& fresh) {
    std::sort(fresh.begin(), fresh.end());
    const size_t within = withinLow_[radius_];
    amounts_.clear();
    offsets_.clear();
    groups_.clear();
    for (size_t i = 0; i < fresh.size();) {
      const int64_t high = fresh[i] / lowSize_;
      const size_t first = amounts_.size();
      for (; i < fresh.size() && fresh[i] / lowSize_ == high; ++i) {
        const int64_t amount = UnitsOf(tables_.Chance(fresh[i]));
        if (amount == 0) continue;
        amounts_.push_back(amount);
        // The steps from the outcome's low digits to the other two signs
        // of each low match.
        int64_t step[2 * kLowMatches];
        int64_t rest = fresh[i] - high * lowSize_, power = 1;
        const int64_t low = rest;
        for (int m = 0; m < lowMatches_; ++m, rest /= 3, power *= 3) {
          const int64_t digit = rest % 3;
          step[2 * m] = ((digit + 1) % 3 - digit) * power;
          step[2 * m + 1] = ((digit + 2) % 3 - digit) * power;
        }
        // The ball's offsets by distance, then by the steps taken.
        const size_t at = offsets_.size();
        offsets_.resize(at + within);
        uint16_t* out = offsets_.data() + at;
        const int steps = 2 * lowMatches_;
        *out++ = static_cast<uint16_t>(low);
        for (int d = 1; d <= radius_; ++d) {
          for (int a = 0; a < steps; ++a) {
            const int64_t one = low + step[a];
            if (d == 1) *out++ = static_cast<uint16_t>(one);
            for (int b = (a | 1) + 1; d >= 2 && b < steps; ++b) {
              const int64_t two = one + step[b];
              if (d == 2) *out++ = static_cast<uint16_t>(two);
              for (int c = (b | 1) + 1; d == 3 && c < steps; ++c)
                *out++ = static_cast<uint16_t>(two + step[c]);
            }
          }
        }
      }
      if (amounts_.size() > first) groups_.push_back({high, first, amounts_.size()});
    }
    SubtractGroups();
  }

  // Subtract's second half: every group's balls off the blocks within reach.
  void SubtractGroups() {
    int64_t* const lanes = lanes_.data();
    const size_t within = withinLow_[radius_];
    for (const Group& group : groups_) {
      const size_t outcomes = group.last - group.first;
      // A block takes the group's balls one update at a time, or, where
      // that would touch more than half the block, as one pass over it of
      // the group's balls summed beforehand (lane k: the units within k).
      const auto dense = [&](int within) {
        return 2 * outcomes * withinLow_[within] > static_cast<size_t>(lowSize_);
      };
      bool lanesMade = false;
      highBall_.ForEach(group.high, radius_, [&](int64_t block, int d) {
        int64_t* const units = units_.data() + block * lowSize_;
        const int reach = radius_ - d;
        if (dense(reach)) {
          if (!lanesMade) {
            MakeLanes(group, lanes);
            lanesMade = true;
          }
          const int64_t* const lane = lanes + reach * lowSize_;
          for (int64_t x = 0; x < lowSize_; ++x) units[x] -= lane[x];
        } else {
          const size_t count = withinLow_[reach];
          for (size_t y = group.first; y < group.last; ++y) {
            const uint16_t* const offset = offsets_.data() + y * within;
            const int64_t amount = amounts_[y];
            for (size_t k = 0; k < count; ++k) units[offset[k]] -= amount;
          }
        }
        dirty_[block] = 1;
      });
    }
  }

  // The group's balls summed over the low matches: lane k the units of its
  // outcomes within k of each.
  void MakeLanes(const Group& group, int64_t* const lanes) const {
    const size_t within = withinLow_[radius_];
    std::fill(lanes, lanes + (radius_ + 1) * lowSize_, 0);
    for (int d = 0; d <= radius_; ++d) {
      int64_t* const lane = lanes + d * lowSize_;
      for (size_t y = group.first; y < group.last; ++y) {
        const uint16_t* const offset = offsets_.data() + y * within;
        const int64_t amount = amounts_[y];
        for (size_t k = d == 0 ? 0 : withinLow_[d - 1]; k < withinLow_[d]; ++k)
          lane[offset[k]] += amount;
      }
      if (d > 0) {
        const int64_t* const inner = lane - lowSize_;
        for (int64_t x = 0; x < lowSize_; ++x) lane[x] += inner[x];
      }
    }
  }

  // The most units of a row in the running (negative: none is).
  int64_t Best() {
    for (;;) {
      const auto top = std::max_element(blockBest_.begin(), blockBest_.end());
      const size_t block = static_cast<size_t>(top - blockBest_.begin());
      if (!dirty_[block] || *top < 0) return *top;
      const int64_t* const units = units_.data() + block * lowSize_;
      *top = *std::max_element(units, units + lowSize_);
      dirty_[block] = 0;
    }
  }
  // The rows in the running with at least `least` units (least ≥ 0), in
  // outcome order, while `visit` returns true; after Best().
  template <typename Visit>
  void ForEachAtLeast(int64_t least, const Visit& visit) const {
    for (size_t block = 0; block < blockBest_.size(); ++block) {
      if (blockBest_[block] < least) continue;
      const int64_t first = static_cast<int64_t>(block) * lowSize_;
      for (int64_t i = first; i < first + lowSize_; ++i) {
        if (units_[i] >= least && !visit(i)) return;
      }
    }
  }

 private:
  bool IsCovered(int64_t y) const { return (covered_[y >> 6] >> (y & 63)) & 1; }

  const OutcomeTables& tables_;
  Ball ball_;
  int lowMatches_;
  Ball highBall_;
  int64_t lowSize_;
  int radius_;
  int64_t ballSize_;
  std::vector<int64_t> units_;
  std::vector<uint64_t> covered_;
  std::vector<int64_t> blockBest_;
  std::vector<uint8_t> dirty_;
  // How many low outcomes lie within d of one (d up to the radius): the
  // first withinLow_[d] offsets of an outcome's ball in Subtract.
  size_t withinLow_[kMaxRadius + 1] = {};
  // Subtract's work lists, kept between takes.
  std::vector<int64_t> amounts_;
  std::vector<uint16_t> offsets_;
  std::vector<Group> groups_;
  std::vector<int64_t> lanes_;
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

// The greedy for P(best row ≥ k) over the coverage (see Coverage): the same
// rows lazy greedy takes, found from the units. nullopt when stopped.
std::optional<SelectResult> SelectCoverage(const OutcomeTables& tables, int n, int radius,
                                           std::span<const uint32_t> candidates,
                                           const std::vector<std::vector<int64_t>>& starts,
                                           const SelectOptions& options, const Work& work) {
  SelectResult result;
  result.candidates = static_cast<int64_t>(candidates.size());
  std::optional<std::vector<int64_t>> units = BallUnits(tables, n, radius, work);
  if (!units) return std::nullopt;
  Coverage coverage(tables, n, radius, std::move(*units));
  coverage.DropAll();
  for (const uint32_t candidate : candidates) coverage.Restore(candidate);
  const int64_t ballSize = coverage.BallSize();
  // Ties go to the row first in generation order: the outcome order when the
  // system's signs come in the order of their outcomes, as marks give them.
  const bool inOrder = std::is_sorted(candidates.begin(), candidates.end());
  std::vector<uint32_t> order;
  if (!inOrder) {
    order.resize(static_cast<size_t>(Power3(n)));
    for (size_t i = 0; i < candidates.size(); ++i) order[candidates[i]] = static_cast<uint32_t>(i);
  }
  const auto rank = [&](int64_t row) { return inOrder ? row : int64_t{order[row]}; };

  // The best rows alone: exact gains where the units leave a doubt.
  const int64_t count =
      std::min<int64_t>(options.budgetRows, static_cast<int64_t>(candidates.size()));
  if (count > 0) {
    int64_t kth = 0;
    {
      std::vector<int64_t> sorted(candidates.size());
      for (size_t i = 0; i < candidates.size(); ++i) sorted[i] = coverage.Units(candidates[i]);
      std::nth_element(sorted.begin(), sorted.begin() + (count - 1), sorted.end(),
                       std::greater<>());
      kth = sorted[count - 1];
    }
    const int64_t least = kth > 0 ? UnitsWithin(kth, ballSize) : 0;
    std::vector<std::pair<double, size_t>> exact;
    for (size_t i = 0; i < candidates.size(); ++i) {
      const int64_t held = coverage.Units(candidates[i]);
      if (held < least) continue;
      exact.emplace_back(held == 0 ? 0.0 : coverage.Gain(candidates[i]), i);
      if (held > 0) ++result.evaluations;
    }
    std::stable_sort(exact.begin(), exact.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (int64_t i = 0; i < count; ++i)
      result.topRows.push_back(RowOfIndex(candidates[exact[i].second], n));
  }

  // The best start within the budget first, in its order (ties: the first).
  std::vector<int64_t> fresh;
  double best = -1;
  for (size_t s = 0; s < starts.size(); ++s) {
    if (work.Stopped()) return std::nullopt;
    if (static_cast<int64_t>(starts[s].size()) > options.budgetRows) {
      result.startObjectives.push_back(std::numeric_limits<double>::quiet_NaN());
      continue;
    }
    double value = 0;
    fresh.clear();
    for (const int64_t index : starts[s]) {
      value += coverage.Gain(index);
      coverage.Cover(index, fresh);
    }
    coverage.Uncover(fresh);
    result.startObjectives.push_back(value);
    if (value > best) {
      best = value;
      result.start = static_cast<int>(s);
    }
  }
  const auto take = [&](int64_t index, double gain) {
    result.objective += gain;
    fresh.clear();
    coverage.Cover(index, fresh);
    coverage.Subtract(fresh);
    coverage.Drop(index);
    result.rows.push_back(RowOfIndex(index, n));
  };
  if (result.start >= 0) {
    for (const int64_t index : starts[result.start]) take(index, coverage.Gain(index));
    result.startRows = static_cast<int64_t>(result.rows.size());
  }

  const int64_t budget = options.budgetRows;
  const int64_t startCount = static_cast<int64_t>(result.rows.size());
  std::vector<int64_t> tooNear;
  while (static_cast<int64_t>(result.rows.size()) < budget) {
    if (work.Stopped()) return std::nullopt;
    const int64_t most = coverage.Best();
    if (most < 0) break;
    int64_t chosen = -1;
    double gain = 0;
    tooNear.clear();
    coverage.ForEachAtLeast(most > 0 ? UnitsWithin(most, ballSize) : 0, [&](int64_t index) {
      if (options.minDistance > 1) {
        const PackedRow row = RowOfIndex(index, n);
        // The kept rows only grow: a row too near one of them stays so.
        if (std::any_of(result.rows.begin(), result.rows.end(), [&](PackedRow kept) {
              return DifferingMatches(kept, row) < options.minDistance;
            })) {
          tooNear.push_back(index);
          return true;
        }
      }
      if (most == 0) {
        // Every row left has the gain 0: the first in generation order.
        if (chosen < 0 || rank(index) < rank(chosen)) chosen = index;
        return !inOrder;
      }
      const double exact = coverage.Gain(index);
      ++result.evaluations;
      if (chosen < 0 || exact > gain || (exact == gain && rank(index) < rank(chosen))) {
        chosen = index;
        gain = exact;
      }
      return true;
    });
    if (!tooNear.empty()) {
      // The most units may have been a row too near: look again.
      for (const int64_t index : tooNear) coverage.Drop(index);
      continue;
    }
    take(chosen, gain);
    const int64_t added = static_cast<int64_t>(result.rows.size()) - startCount;
    if ((added & 15) == 0) {
      work.Fraction(0.3 + 0.7 * static_cast<double>(added) /
                              static_cast<double>(std::max<int64_t>(1, budget - startCount)));
    }
  }
  result.exhausted = static_cast<int64_t>(result.rows.size()) < budget;
  work.Fraction(1);
  return result;
}

}  // namespace

double ObjectiveValue(const ValueModel& model, const SelectObjective& objective,
                      std::span<const PackedRow> rows, int stake) {
  const int n = model.matches;
  const OutcomeTables tables(model);
  const Levels levels(model, objective, static_cast<int64_t>(rows.size()), stake);
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
  if (options.stake < 1) throw std::invalid_argument("SelectRows: stake below one");
  const OutcomeTables tables(model);
  // The pots hold the stake of the rows handed in: the budget's, or every
  // row of a smaller system.
  const Levels levels(model, options.objective, std::min(options.budgetRows, system.size()),
                      options.stake);
  std::vector<std::vector<int64_t>> starts;
  for (const std::vector<PackedRow>& start : options.starts) {
    starts.emplace_back();
    for (const PackedRow row : start) starts.back().push_back(IndexOfRow(row, n));
  }

  const std::vector<uint32_t> candidates = CandidatesOf(system, n);
  if (options.objective.goal == SelectGoal::kAtLeast)
    return SelectCoverage(tables, n, levels.radius(), candidates, starts, options, work);
  SelectResult result;
  result.candidates = static_cast<int64_t>(candidates.size());
  std::optional<std::vector<float>> bounds = SingleBounds(tables, levels, n, candidates, work);
  if (!bounds) return std::nullopt;
  // Memory, per row of a full system: 4 bytes its index, 4 its bound, 12 the
  // heap, 8 the counts; the transform's 16 are gone before the heap comes,
  // and the best rows alone (a copy of the bounds) are found before it.
  Objective objective(tables, levels, n);
  for (const size_t i :
       TopSingles(objective, candidates, *bounds, options.budgetRows, result.evaluations)) {
    result.topRows.push_back(RowOfIndex(candidates[i], n));
  }
  std::vector<Entry> heap;
  heap.reserve(candidates.size());
  for (size_t i = 0; i < candidates.size(); ++i)
    heap.push_back({(*bounds)[i], static_cast<uint32_t>(i)});
  bounds.reset();
  std::make_heap(heap.begin(), heap.end(), Below{});

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
