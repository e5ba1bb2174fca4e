// Choosing rows by value against plain oracles: every outcome and every
// public row counted one by one, and every subset of a small system tried.
#include "select/select_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "support/outcomes.h"
#include "value/pool_share.h"
#include "value/system_value.h"

namespace spelkub {
namespace {

using testing::RowOfIndex;

int Distance(PackedRow a, PackedRow b, int n) {
  int d = 0;
  for (int m = 1; m <= n; ++m) d += PackedOutcome(a, m) != PackedOutcome(b, m);
  return d;
}

// Random chances and streck (some signs the public leaves alone, some the
// player rules out), a pool whose minimum payout binds now and then.
ValueModel RandomModel(int n, std::mt19937_64& random) {
  MatchValues values;
  std::uniform_real_distribution<double> percent(0, 80);
  for (int m = 0; m < n; ++m) {
    for (int sign = 0; sign < 3; ++sign) {
      values.match[m].chance[sign] = random() % 13 == 0 ? 0 : percent(random) + 1;
      values.match[m].streck[sign] = random() % 11 == 0 ? 0 : percent(random) + 1;
    }
    if (values.match[m].chance[0] + values.match[m].chance[1] + values.match[m].chance[2] == 0)
      values.match[m].chance[1] = 5;
    if (values.match[m].streck[0] + values.match[m].streck[1] + values.match[m].streck[2] == 0)
      values.match[m].streck[2] = 5;
  }
  PoolModel pool = DefaultPoolModel(n);
  if (n < 4) pool.levels.resize(n + 1);
  pool.turnover = std::exp(std::uniform_real_distribution<double>(3, 12)(random));
  pool.minimumPayout = random() % 3 == 0 ? 0 : 15;
  std::string error;
  const std::optional<ValueModel> model = MakeValueModel(values, n, pool, &error);
  EXPECT_TRUE(model.has_value()) << error;
  return *model;
}

// The objective counted plainly: per outcome its chance as a product, the
// public's chance of each number of right by going through every public row,
// and the player's rows at each distance by comparing with each of them.
class Oracle {
 public:
  Oracle(const ValueModel& model, const SelectObjective& objective)
      : model_(model), objective_(objective), n_(model.matches), size_(Power3(n_)) {
    chance_.assign(size_, 1);
    publicAt_.assign(size_ * 4, 0);
    std::vector<double> share(size_, 1);
    for (int64_t y = 0; y < size_; ++y) {
      const PackedRow row = RowOfIndex(y, n_);
      for (int m = 1; m <= n_; ++m) {
        chance_[y] *= model.chance[m - 1][PackedOutcome(row, m)];
        share[y] *= model.streck[m - 1][PackedOutcome(row, m)];
      }
    }
    for (int64_t y = 0; y < size_; ++y) {
      for (int64_t r = 0; r < size_; ++r) {
        const int d = Distance(RowOfIndex(y, n_), RowOfIndex(r, n_), n_);
        if (d < 4) publicAt_[4 * y + d] += share[r];
      }
    }
  }

  double Value(const std::vector<PackedRow>& rows) const {
    double total = 0;
    for (int64_t y = 0; y < size_; ++y) {
      const PackedRow outcome = RowOfIndex(y, n_);
      int64_t own[4] = {};
      bool reached = false;
      for (const PackedRow row : rows) {
        const int d = Distance(outcome, row, n_);
        if (d < 4) ++own[d];
        if (n_ - d >= objective_.right) reached = true;
      }
      if (objective_.goal == SelectGoal::kAtLeast) {
        if (reached) total += chance_[y];
        continue;
      }
      for (int d = 0; d < 4 && d <= n_; ++d) {
        const double pot =
            model_.Pot(n_ - d, static_cast<double>(rows.size()) * model_.pool.rowPrice);
        if (pot <= 0 || own[d] == 0) continue;
        total += chance_[y] * ExpectedLevelWin(pot, model_.PublicRows() * publicAt_[4 * y + d],
                                               own[d], model_.pool.minimumPayout);
      }
    }
    return total;
  }

 private:
  const ValueModel& model_;
  SelectObjective objective_;
  int n_;
  int64_t size_;
  std::vector<double> chance_;
  std::vector<double> publicAt_;
};

// A system of n matches with random marks, cut down at random to at most
// `most` rows.
System RandomSystem(int n, size_t most, std::mt19937_64& random) {
  SystemShape shape;
  shape.matches = n;
  for (int m = 0; m < n; ++m) {
    std::vector<uint8_t> signs{0, 1, 2};
    std::shuffle(signs.begin(), signs.end(), random);
    const int count = 1 + static_cast<int>(random() % 3);
    std::sort(signs.begin(), signs.begin() + count);
    shape.radix[m] = static_cast<uint8_t>(count);
    for (int i = 0; i < count; ++i) shape.outcomes[m][i] = signs[i];
  }
  const int64_t size = shape.size();
  std::vector<int64_t> order(size);
  for (int64_t i = 0; i < size; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), random);
  order.resize(std::min<size_t>(order.size(), most));
  std::vector<uint64_t> allowed((size + 63) / 64, 0);
  for (const int64_t i : order) allowed[i / 64] |= uint64_t{1} << (i % 64);
  return System(shape, std::move(allowed));
}

std::vector<PackedRow> SystemRows(const System& system) {
  std::vector<PackedRow> rows;
  for (int64_t i = 0; i < system.shape().size(); ++i) {
    if (system.Allows(i)) rows.push_back(system.shape().RowAt(i));
  }
  return rows;
}

// The best value of any `size` rows among `rows`, trying every subset.
double BestSubset(const Oracle& oracle, const std::vector<PackedRow>& rows, size_t size) {
  std::vector<PackedRow> chosen;
  double best = 0;
  const auto search = [&](auto&& self, size_t from) -> void {
    if (chosen.size() == size) {
      best = std::max(best, oracle.Value(chosen));
      return;
    }
    for (size_t i = from; i + (size - chosen.size()) <= rows.size(); ++i) {
      chosen.push_back(rows[i]);
      self(self, i + 1);
      chosen.pop_back();
    }
  };
  search(search, 0);
  return best;
}

std::vector<SelectObjective> ObjectivesOf(int n) {
  std::vector<SelectObjective> objectives{{SelectGoal::kReturn, 0}};
  for (int right = n; right >= std::max(0, n - 3); --right)
    objectives.push_back({SelectGoal::kAtLeast, right});
  return objectives;
}

void ExpectRelativelyNear(double actual, double expected, const char* what) {
  EXPECT_NEAR(actual, expected, 1e-9 * std::max(1.0, std::abs(expected))) << what;
}

TEST(SelectRows, GreedyReachesAtLeastOneMinusOneOverEOfTheBestSubset) {
  int cases = 0;
  for (int n = 1; n <= 6; ++n) {
    for (uint64_t seed = 1; seed <= 3; ++seed) {
      std::mt19937_64 random(seed * 31 + n);
      const ValueModel model = RandomModel(n, random);
      const System system = RandomSystem(n, 10, random);
      const std::vector<PackedRow> rows = SystemRows(system);
      for (const SelectObjective& objective : ObjectivesOf(n)) {
        const Oracle oracle(model, objective);
        for (int64_t budget = 1; budget <= 6; ++budget) {
          SCOPED_TRACE("matches " + std::to_string(n) + ", seed " + std::to_string(seed) +
                       ", objective " + std::to_string(objective.right) + ", budget " +
                       std::to_string(budget));
          SelectOptions options;
          options.objective = objective;
          options.budgetRows = budget;
          const auto result = SelectRows(model, system, options);
          ASSERT_TRUE(result.has_value());
          const size_t size = std::min<size_t>(budget, rows.size());
          ASSERT_EQ(result->rows.size(), size);
          EXPECT_EQ(result->exhausted, size < static_cast<size_t>(budget));
          for (const PackedRow row : result->rows)
            EXPECT_NE(std::find(rows.begin(), rows.end(), row), rows.end());
          const double value = oracle.Value(result->rows);
          ExpectRelativelyNear(result->objective, value, "the objective kept along the way");
          EXPECT_GE(value, (1 - std::exp(-1.0)) * BestSubset(oracle, rows, size) - 1e-12);
          ++cases;
        }
      }
    }
  }
  EXPECT_GT(cases, 300);
}

// Lazy greedy is greedy: each row taken had the largest gain of all rows
// left at its step, and ties go to the row first in the system.
TEST(SelectRows, EachRowTakenHadTheLargestGainAtItsStep) {
  for (int n = 3; n <= 5; ++n) {
    std::mt19937_64 random(100 + n);
    const ValueModel model = RandomModel(n, random);
    const System system = RandomSystem(n, 40, random);
    const std::vector<PackedRow> rows = SystemRows(system);
    for (const SelectObjective& objective : ObjectivesOf(n)) {
      SCOPED_TRACE("matches " + std::to_string(n) + ", objective " +
                   std::to_string(objective.right));
      const Oracle oracle(model, objective);
      SelectOptions options;
      options.objective = objective;
      options.budgetRows = 8;
      const auto result = SelectRows(model, system, options);
      ASSERT_TRUE(result.has_value());
      std::vector<PackedRow> chosen;
      for (const PackedRow taken : result->rows) {
        const double before = oracle.Value(chosen);
        chosen.push_back(taken);
        const double gain = oracle.Value(chosen) - before;
        chosen.pop_back();
        for (const PackedRow other : rows) {
          if (std::find(chosen.begin(), chosen.end(), other) != chosen.end()) continue;
          chosen.push_back(other);
          EXPECT_LE(oracle.Value(chosen) - before, gain + 1e-12 * std::max(1.0, gain));
          chosen.pop_back();
        }
        chosen.push_back(taken);
      }
    }
  }
}

// With every sign equally likely, rows tie everywhere (the oracle's sums of
// equal chances depend only on how many outcomes they hold): each row taken
// is the first in the system among those of the largest gain.
TEST(SelectRows, TiesGoToTheRowFirstInTheSystem) {
  for (int n = 4; n <= 6; ++n) {
    std::mt19937_64 random(300 + n);
    ValueModel model = RandomModel(n, random);
    for (int m = 0; m < n; ++m) model.chance[m] = {1.0 / 3, 1.0 / 3, 1.0 / 3};
    const System system = RandomSystem(n, 400, random);
    const std::vector<PackedRow> rows = SystemRows(system);
    for (const SelectObjective& objective : ObjectivesOf(n)) {
      if (objective.goal != SelectGoal::kAtLeast) continue;
      SCOPED_TRACE("matches " + std::to_string(n) + ", objective " +
                   std::to_string(objective.right));
      const Oracle oracle(model, objective);
      SelectOptions options;
      options.objective = objective;
      options.budgetRows = 9;
      const auto result = SelectRows(model, system, options);
      ASSERT_TRUE(result.has_value());
      std::vector<PackedRow> chosen;
      for (const PackedRow taken : result->rows) {
        const double before = oracle.Value(chosen);
        double best = -1;
        PackedRow first = 0;
        for (const PackedRow other : rows) {
          if (std::find(chosen.begin(), chosen.end(), other) != chosen.end()) continue;
          chosen.push_back(other);
          const double gain = oracle.Value(chosen) - before;
          chosen.pop_back();
          if (gain > best) {
            best = gain;
            first = other;
          }
        }
        EXPECT_EQ(taken, first);
        chosen.push_back(taken);
      }
    }
  }
}

TEST(SelectRows, TopRowsAreTheBestRowsAlone) {
  for (int n = 4; n <= 6; ++n) {
    std::mt19937_64 random(200 + n);
    const ValueModel model = RandomModel(n, random);
    const System system = RandomSystem(n, 60, random);
    const std::vector<PackedRow> rows = SystemRows(system);
    for (const SelectObjective& objective : ObjectivesOf(n)) {
      const Oracle oracle(model, objective);
      SelectOptions options;
      options.objective = objective;
      options.budgetRows = 7;
      const auto result = SelectRows(model, system, options);
      ASSERT_TRUE(result.has_value());
      ASSERT_EQ(result->topRows.size(), std::min<size_t>(7, rows.size()));
      double weakest = INFINITY;
      for (const PackedRow row : result->topRows) weakest = std::min(weakest, oracle.Value({row}));
      for (const PackedRow row : rows) {
        if (std::find(result->topRows.begin(), result->topRows.end(), row) != result->topRows.end())
          continue;
        EXPECT_LE(oracle.Value({row}), weakest + 1e-12);
      }
    }
  }
}

TEST(SelectRows, MinimumDistanceKeepsRowsApartAndFillsTheBudgetWhereItCan) {
  std::mt19937_64 random(7);
  const int n = 6;
  const ValueModel model = RandomModel(n, random);
  const System system(SystemShape{
      n, {3, 3, 3, 3, 3, 3}, {{{0, 1, 2}, {0, 1, 2}, {0, 1, 2}, {0, 1, 2}, {0, 1, 2}, {0, 1, 2}}}});
  for (int distance = 2; distance <= 4; ++distance) {
    for (const SelectObjective& objective : ObjectivesOf(n)) {
      SelectOptions options;
      options.objective = objective;
      options.budgetRows = 10;
      options.minDistance = distance;
      const auto result = SelectRows(model, system, options);
      ASSERT_TRUE(result.has_value());
      for (size_t i = 0; i < result->rows.size(); ++i) {
        for (size_t j = 0; j < i; ++j)
          EXPECT_GE(Distance(result->rows[i], result->rows[j], n), distance);
      }
      // Fewer rows than the budget only when no row of the system is left
      // that keeps the distance to every row taken.
      EXPECT_EQ(result->exhausted, result->rows.size() < 10u);
      if (result->exhausted) {
        for (const PackedRow row : SystemRows(system)) {
          EXPECT_TRUE(std::any_of(result->rows.begin(), result->rows.end(), [&](PackedRow kept) {
            return Distance(kept, row, n) < distance;
          }));
        }
      }
      // Six matches hold 18 rows four apart; packing by E(S) finds 10.
      if (objective.goal == SelectGoal::kReturn) {
        EXPECT_EQ(result->rows.size(), 10u);
      }
    }
  }
  // Six matches hold no two rows seven apart.
  SelectOptions apart;
  apart.budgetRows = 3;
  apart.minDistance = 7;
  const auto lonely = SelectRows(model, system, apart);
  ASSERT_TRUE(lonely.has_value());
  EXPECT_EQ(lonely->rows.size(), 1u);
  EXPECT_TRUE(lonely->exhausted);
}

TEST(SelectRows, KeepsTheBestStartWithinTheBudgetAndFillsTheRest) {
  std::mt19937_64 random(9);
  const int n = 5;
  const ValueModel model = RandomModel(n, random);
  const System system = RandomSystem(n, 200, random);
  const std::vector<PackedRow> rows = SystemRows(system);
  ASSERT_GE(rows.size(), 12u);
  for (const SelectObjective& objective :
       {SelectObjective{SelectGoal::kReturn, 0}, SelectObjective{SelectGoal::kAtLeast, n - 1},
        SelectObjective{SelectGoal::kAtLeast, n - 3}}) {
    SCOPED_TRACE("objective " + std::to_string(objective.right));
    const Oracle oracle(model, objective);
    SelectOptions options;
    options.objective = objective;
    options.budgetRows = 6;
    options.starts = {{rows[0], rows[1], rows[2]},
                      {rows[3], rows[4]},
                      {rows[5], rows[6], rows[7], rows[8], rows[9], rows[10], rows[11]}};
    const auto result = SelectRows(model, system, options);
    ASSERT_TRUE(result.has_value());
    ASSERT_EQ(result->startObjectives.size(), 3u);
    EXPECT_TRUE(std::isnan(result->startObjectives[2]));  // seven rows: beyond the budget
    const double first = oracle.Value(options.starts[0]);
    const double second = oracle.Value(options.starts[1]);
    ExpectRelativelyNear(result->startObjectives[0], first, "first start");
    ExpectRelativelyNear(result->startObjectives[1], second, "second start");
    const int best = first >= second ? 0 : 1;
    EXPECT_EQ(result->start, best);
    EXPECT_EQ(result->startRows, static_cast<int64_t>(options.starts[best].size()));
    ASSERT_EQ(result->rows.size(), 6u);
    EXPECT_TRUE(
        std::equal(options.starts[best].begin(), options.starts[best].end(), result->rows.begin()));
    // No start row is taken again by value.
    std::vector<PackedRow> sorted = result->rows;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
    ExpectRelativelyNear(result->objective, oracle.Value(result->rows), "objective with a start");

    options.starts = {options.starts[2]};
    const auto none = SelectRows(model, system, options);
    ASSERT_TRUE(none.has_value());
    EXPECT_EQ(none->start, -1);
  }
}

// On a full 13-match system the chance of at least k right kept along the
// way is the exact value's.
TEST(SelectRows, ChanceOfAtLeastAgreesWithTheExactValueOnThirteenMatches) {
  std::mt19937_64 random(13);
  const int n = 13;
  const ValueModel model = RandomModel(n, random);
  SystemShape shape;
  shape.matches = n;
  for (int m = 0; m < n; ++m) {
    shape.radix[m] = m < 9 ? 3 : 1;
    shape.outcomes[m] = m < 9 ? std::array<uint8_t, 3>{0, 1, 2} : std::array<uint8_t, 3>{1, 0, 0};
  }
  const System system(shape);
  for (const int right : {13, 11, 10}) {
    SelectOptions options;
    options.objective = {SelectGoal::kAtLeast, right};
    options.budgetRows = 40;
    const auto result = SelectRows(model, system, options);
    ASSERT_TRUE(result.has_value());
    const auto value = ComputeSystemValue(model, result->rows);
    ASSERT_TRUE(value.has_value());
    const double exact = value->levels[n - right].chanceAtLeast;
    ExpectRelativelyNear(result->objective, exact, "P(at least k)");
  }
}

// A stake of k: E(S) of the rows each repeated k times, the pots holding
// the k-fold stake; the chances do not change.
TEST(SelectRows, StakeCountsEachRowThatManyTimes) {
  for (int n = 3; n <= 5; ++n) {
    std::mt19937_64 random(400 + n);
    const ValueModel model = RandomModel(n, random);
    const System system = RandomSystem(n, 30, random);
    const Oracle oracle(model, {SelectGoal::kReturn, 0});
    for (const int stake : {2, 5}) {
      SCOPED_TRACE("matches " + std::to_string(n) + ", stake " + std::to_string(stake));
      SelectOptions options;
      options.budgetRows = 4;
      options.stake = stake;
      const auto result = SelectRows(model, system, options);
      ASSERT_TRUE(result.has_value());
      std::vector<PackedRow> repeated;
      for (const PackedRow row : result->rows) repeated.insert(repeated.end(), stake, row);
      ExpectRelativelyNear(result->objective, oracle.Value(repeated), "E(S) with the stake");
      ExpectRelativelyNear(ObjectiveValue(model, {SelectGoal::kReturn, 0}, result->rows, stake),
                           oracle.Value(repeated), "ObjectiveValue with the stake");
    }
  }
}

TEST(SelectRows, StopReturnsNothing) {
  std::mt19937_64 random(3);
  const ValueModel model = RandomModel(6, random);
  const System system = RandomSystem(6, 500, random);
  StopSource source;
  source.RequestStop();
  SelectOptions options;
  options.budgetRows = 10;
  EXPECT_FALSE(SelectRows(model, system, options, Work{StopToken(source), nullptr}).has_value());
}

TEST(SelectRows, RefusesABudgetBelowOneAndALevelOutsideTheTopFour) {
  std::mt19937_64 random(4);
  const ValueModel model = RandomModel(6, random);
  const System system = RandomSystem(6, 50, random);
  SelectOptions options;
  options.budgetRows = 0;
  EXPECT_THROW(SelectRows(model, system, options), std::invalid_argument);
  options.budgetRows = 3;
  options.objective = {SelectGoal::kAtLeast, 2};
  EXPECT_THROW(SelectRows(model, system, options), std::invalid_argument);
}

}  // namespace
}  // namespace spelkub
