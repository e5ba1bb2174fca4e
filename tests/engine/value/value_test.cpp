// The value model and the exact value of a system, against plain brute force:
// every outcome, and for the public's rows every row the public can play.
#include "value/pool_share.h"
#include "value/system_value.h"
#include "value/value_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>
#include "support/outcomes.h"

namespace spelkub {
namespace {

using testing::Right;
using testing::RowOfIndex;

constexpr double kTolerance = 1e-9;

void ExpectClose(double actual, double expected, const std::string& what) {
  EXPECT_LE(std::abs(actual - expected),
            kTolerance * std::max(std::abs(actual), std::abs(expected)))
      << what << ": " << actual << " against " << expected;
}

MatchValues Values(std::initializer_list<SignValues> chance,
                   std::initializer_list<SignValues> streck) {
  MatchValues values;
  int m = 0;
  for (const SignValues& c : chance) values.match[m++].chance = c;
  m = 0;
  for (const SignValues& s : streck) values.match[m++].streck = s;
  return values;
}

// Percentages of any scale, now and then a sign at 0.
MatchValues RandomValues(int matches, std::mt19937_64& random) {
  std::uniform_real_distribution<double> percent(0, 100);
  std::bernoulli_distribution zero(0.08);
  MatchValues values;
  for (int m = 0; m < matches; ++m) {
    for (int sign = 0; sign < 3; ++sign) {
      values.match[m].chance[sign] = zero(random) && sign != 0 ? 0 : percent(random);
      values.match[m].streck[sign] = zero(random) && sign != 1 ? 0 : percent(random);
    }
  }
  return values;
}

ValueModel MakeModel(const MatchValues& values, int matches, const PoolModel& pool) {
  std::string error;
  const auto model = MakeValueModel(values, matches, pool, &error);
  EXPECT_TRUE(model.has_value()) << error;
  return model.value_or(ValueModel{});
}

PoolModel PoolWithTurnover(int matches, double turnover) {
  PoolModel pool = DefaultPoolModel(matches);
  pool.turnover = turnover;
  return pool;
}

// Log-spaced payout edges, 1 kr to 10^8 kr.
std::vector<double> ChartEdges() {
  std::vector<double> edges;
  for (int i = 0; i <= 16; ++i) edges.push_back(std::pow(10.0, i / 2.0));
  return edges;
}

int BinByScan(const std::vector<double>& edges, double payout) {
  int bin = 0;
  for (int i = 1; i + 1 < static_cast<int>(edges.size()); ++i) {
    if (payout >= edges[i]) bin = i;
  }
  return bin;
}

struct Expected {
  std::vector<double> chanceAtLeast;  // per level
  std::vector<int64_t> rowsAtLikeliest;
  std::vector<double> payoutAtLikeliest;
  double expectedReturn = 0;
  std::vector<double> chanceByPayout, publicByPayout;
  std::vector<int64_t> rowsByPayout;
  // (outcome, level) with own rows: paid in full, and cut by the minimum.
  int payingWins = 0;
  int cutWins = 0;
};

// Everything by definition: for each outcome, the public's count at each
// number of right summed over every row the public can play.
Expected BruteForce(const ValueModel& model, const std::vector<PackedRow>& rows,
                    const std::vector<double>& edges) {
  const int n = model.matches;
  const int64_t size = Power3(n);
  const double publicRows = model.pool.turnover / model.pool.rowPrice;
  const double stake = static_cast<double>(rows.size()) * model.pool.rowPrice;
  const double pool = (model.pool.turnover + stake) * model.pool.payoutShare;
  int top = 0;
  for (const PrizeLevel& level : model.pool.levels) top = std::max(top, level.right);
  const auto potOf = [&](int right) {
    for (const PrizeLevel& level : model.pool.levels)
      if (level.right == right) return pool * level.share + (right == top ? model.pool.jackpot : 0);
    return 0.0;
  };
  const double minimum = model.pool.minimumPayout;
  // The others' winners are Poisson around the public's count: the plain
  // sum over their number.
  const auto win = [&](int right, double others, int64_t own) {
    return ExpectedLevelWinBySum(potOf(right), others, own, minimum);
  };
  std::vector<double> chance(size, 1), share(size, 1);
  for (int64_t i = 0; i < size; ++i) {
    const PackedRow y = RowOfIndex(i, n);
    for (int m = 1; m <= n; ++m) {
      chance[i] *= model.chance[m - 1][PackedOutcome(y, m)];
      share[i] *= model.streck[m - 1][PackedOutcome(y, m)];
    }
  }
  const int bins = static_cast<int>(edges.size()) - 1;
  Expected expected;
  expected.chanceAtLeast.assign(model.pool.levels.size(), 0);
  expected.chanceByPayout.assign(bins, 0);
  expected.publicByPayout.assign(bins, 0);
  expected.rowsByPayout.assign(bins, 0);
  PackedRow likeliest = 0;
  for (int m = 1; m <= n; ++m) {
    int best = 0;
    for (int sign = 1; sign < 3; ++sign)
      if (model.chance[m - 1][sign] > model.chance[m - 1][best]) best = sign;
    likeliest |= static_cast<PackedRow>(best) << (2 * (m - 1));
  }
  for (int64_t i = 0; i < size; ++i) {
    const PackedRow y = RowOfIndex(i, n);
    std::vector<double> publicCount(n + 1, 0);
    for (int64_t x = 0; x < size; ++x)
      publicCount[Right(RowOfIndex(x, n), y, n)] += publicRows * share[x];
    std::vector<int64_t> own(n + 1, 0);
    int best = -1;
    for (PackedRow row : rows) {
      const int right = Right(row, y, n);
      ++own[right];
      best = std::max(best, right);
    }
    for (size_t l = 0; l < model.pool.levels.size(); ++l) {
      const int right = model.pool.levels[l].right;
      if (best >= right) expected.chanceAtLeast[l] += chance[i];
      if (own[right] > 0) {
        const double won = win(right, publicCount[right], own[right]);
        expected.expectedReturn += chance[i] * won;
        const double uncut = ExpectedLevelWinBySum(potOf(right), publicCount[right], own[right], 0);
        ++(won < uncut * (1 - 1e-9) ? expected.cutWins : expected.payingWins);
      }
      if (y == likeliest) {
        expected.rowsAtLikeliest.push_back(own[right]);
        const int64_t winners = std::max<int64_t>(own[right], 1);
        expected.payoutAtLikeliest.push_back(win(right, publicCount[right], winners) /
                                             static_cast<double>(winners));
      }
    }
    if (bins > 0) {
      const int bin = BinByScan(edges, win(n, publicRows * share[i], 1));
      expected.chanceByPayout[bin] += chance[i];
      expected.publicByPayout[bin] += share[i];
    }
  }
  for (PackedRow row : rows) {
    double rowShare = 1;
    for (int m = 1; m <= n; ++m) rowShare *= model.streck[m - 1][PackedOutcome(row, m)];
    if (bins > 0) ++expected.rowsByPayout[BinByScan(edges, win(n, publicRows * rowShare, 1))];
  }
  return expected;
}

void ExpectMatches(const SystemValue& value, const Expected& expected, const ValueModel& model) {
  ASSERT_EQ(value.levels.size(), model.pool.levels.size());
  for (size_t l = 0; l < value.levels.size(); ++l) {
    const std::string level = std::to_string(value.levels[l].right) + " right";
    EXPECT_EQ(value.levels[l].right, model.pool.levels[l].right);
    ExpectClose(value.levels[l].chanceAtLeast, expected.chanceAtLeast[l], "P(best >= " + level);
    EXPECT_EQ(value.levels[l].rowsAtLikeliest, expected.rowsAtLikeliest[l]) << level;
    ExpectClose(value.levels[l].payoutAtLikeliest, expected.payoutAtLikeliest[l],
                "payout at the likeliest, " + level);
  }
  ExpectClose(value.expectedReturn, expected.expectedReturn, "E(S)");
  if (value.rows > 0) {
    ExpectClose(value.returnOrePerRow,
                expected.expectedReturn / (value.rows * model.pool.rowPrice) * 100, "öre per row");
  }
  ASSERT_EQ(value.chanceByPayout.size(), expected.chanceByPayout.size());
  for (size_t bin = 0; bin < value.chanceByPayout.size(); ++bin) {
    ExpectClose(value.chanceByPayout[bin], expected.chanceByPayout[bin], "chance in a bin");
    ExpectClose(value.publicByPayout[bin], expected.publicByPayout[bin], "public in a bin");
  }
  EXPECT_EQ(value.rowsByPayout, expected.rowsByPayout);
}

std::vector<PackedRow> RandomRows(int matches, int count, std::mt19937_64& random) {
  std::uniform_int_distribution<int64_t> index(0, Power3(matches) - 1);
  std::vector<PackedRow> rows;
  for (int i = 0; i < count; ++i) {
    rows.push_back(RowOfIndex(index(random), matches));
    // Duplicates, some of them several times.
    if (i % 4 == 0) rows.push_back(rows.back());
    if (i % 9 == 0) rows.insert(rows.end(), 3, rows.back());
  }
  return rows;
}

// ---- Scaling and odds ----------------------------------------------------

TEST(ScaleValues, ScalesEveryMatchToOneAndNamesTheMatchesFarFromHundred) {
  const MatchValues values = Values({{40, 30, 30}, {0.5, 0.3, 0.2}, {33, 33, 33.5}, {50, 50, 5}},
                                    {{1, 1, 1}, {20, 30, 50}, {10, 10, 10}, {1, 2, 3}});
  std::string error;
  const auto chance = ScaleValues(values, 4, ValueKind::kChance, &error);
  ASSERT_TRUE(chance.has_value()) << error;
  EXPECT_EQ(chance->scaledMatches, (std::vector<int>{2, 4}));
  EXPECT_DOUBLE_EQ(chance->probability[0][0], 0.4);
  EXPECT_DOUBLE_EQ(chance->probability[1][1], 0.3);
  EXPECT_DOUBLE_EQ(chance->probability[3][2], 5.0 / 105);
  for (int m = 0; m < 4; ++m) {
    const auto& p = chance->probability[m];
    EXPECT_NEAR(p[0] + p[1] + p[2], 1, 1e-15) << "match " << m + 1;
  }
  const auto streck = ScaleValues(values, 4, ValueKind::kStreck, &error);
  ASSERT_TRUE(streck.has_value()) << error;
  EXPECT_EQ(streck->scaledMatches, (std::vector<int>{1, 3, 4}));
  EXPECT_DOUBLE_EQ(streck->probability[1][2], 0.5);
}

TEST(ScaleValues, ReadsOnlyTheMatchesInPlay) {
  MatchValues values;
  for (int m = 0; m < 13; ++m) values.match[m].chance = {50, 25, 25};
  std::string error;
  const auto chance = ScaleValues(values, 13, ValueKind::kChance, &error);
  ASSERT_TRUE(chance.has_value()) << error;
  EXPECT_TRUE(chance->scaledMatches.empty());
  EXPECT_FALSE(ScaleValues(values, 14, ValueKind::kChance, &error).has_value());
  EXPECT_EQ(error, "Chans: match 14 saknar värde för 1");
}

TEST(ScaleValues, RefusesMissingInfiniteNegativeAndAllZeroNamingMatchAndSign) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    SignValues third;
    ValueKind kind;
    const char* message;
  } cases[] = {
      {{40, kNoValue, 30}, ValueKind::kChance, "Chans: match 3 saknar värde för X"},
      {{inf, 10, 30}, ValueKind::kStreck, "Streck: match 3 har ett ogiltigt värde för 1"},
      {{40, 10, -inf}, ValueKind::kChance, "Chans: match 3 har ett ogiltigt värde för 2"},
      {{40, 10, -5}, ValueKind::kStreck, "Streck: match 3 har ett negativt värde för 2"},
      {{0, 0, 0}, ValueKind::kChance, "Chans: match 3 har summan 0"},
  };
  for (const auto& c : cases) {
    MatchValues values = Values({{1, 1, 1}, {1, 1, 1}}, {{1, 1, 1}, {1, 1, 1}});
    values.match[2].chance = c.third;
    values.match[2].streck = c.third;
    std::string error;
    EXPECT_FALSE(ScaleValues(values, 3, c.kind, &error).has_value()) << c.message;
    EXPECT_EQ(error, c.message);
  }
}

TEST(OddsToChances, RemovesTheMarginInProportionToOneOverTheOdds) {
  MatchValues values;
  values.match[0].odds = {2.0, 3.5, 4.0};
  values.match[1].odds = {1.5, 4.2, 6.5};
  std::string error;
  const auto chances = OddsToChances(values, 2, &error);
  ASSERT_TRUE(chances.has_value()) << error;
  for (int m = 0; m < 2; ++m) {
    const SignValues& odds = values.match[m].odds;
    const double sum = 1 / odds[0] + 1 / odds[1] + 1 / odds[2];
    for (int sign = 0; sign < 3; ++sign)
      EXPECT_DOUBLE_EQ((*chances)[m][sign], 1 / odds[sign] / sum);
    EXPECT_NEAR((*chances)[m][0] + (*chances)[m][1] + (*chances)[m][2], 1, 1e-15);
  }
  EXPECT_GT((*chances)[0][0], (*chances)[0][1]);
}

TEST(OddsToChances, RefusesMissingOddsAndOddsOfAtMostOne) {
  const struct {
    SignValues odds;
    const char* message;
  } cases[] = {
      {{2, kNoValue, 3}, "Odds: match 2 saknar odds för X"},
      {{0.95, 3, 3}, "Odds: match 2 har oddset 0,95 för 1, men odds måste vara större än 1"},
      {{2, 3, 1}, "Odds: match 2 har oddset 1 för 2, men odds måste vara större än 1"},
      {{2, 3, -4}, "Odds: match 2 har oddset -4 för 2, men odds måste vara större än 1"},
      {{2, std::numeric_limits<double>::infinity(), 3},
       "Odds: match 2 har ett ogiltigt odds för X"},
  };
  for (const auto& c : cases) {
    MatchValues values;
    values.match[0].odds = {2, 3, 4};
    values.match[1].odds = c.odds;
    std::string error;
    EXPECT_FALSE(OddsToChances(values, 2, &error).has_value()) << c.message;
    EXPECT_EQ(error, c.message);
  }
}

TEST(MakeValueModel, RefusesAPoolItCannotValue) {
  const MatchValues values = Values({{1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}},
                                    {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}});
  const auto refusal = [&](const PoolModel& pool) {
    std::string error;
    EXPECT_FALSE(MakeValueModel(values, 4, pool, &error).has_value());
    return error;
  };
  EXPECT_EQ(refusal(DefaultPoolModel(4)), "Ange omsättningen");
  PoolModel pool = PoolWithTurnover(4, 1000);
  pool.turnover = -1;
  EXPECT_EQ(refusal(pool), "Omsättningen måste vara större än 0");
  pool = PoolWithTurnover(4, 1000);
  pool.rowPrice = 0;
  EXPECT_EQ(refusal(pool), "Radpriset måste vara större än 0");
  pool = PoolWithTurnover(4, 1000);
  pool.payoutShare = 1.2;
  EXPECT_EQ(refusal(pool), "Utbetalningsandelen måste vara mellan 0 och 100 %");
  pool = PoolWithTurnover(4, 1000);
  pool.minimumPayout = -1;
  EXPECT_EQ(refusal(pool), "Minsta utdelning kan inte vara negativ");
  pool = PoolWithTurnover(4, 1000);
  pool.levels[1].share = -0.1;
  EXPECT_EQ(refusal(pool), "Andelen för 3 rätt måste vara mellan 0 och 100 %");
  pool = PoolWithTurnover(4, 1000);
  pool.levels[3].share = 0.6;
  EXPECT_EQ(refusal(pool), "Vinstgraderna får tillsammans högst 100 %");
  pool = PoolWithTurnover(4, 1000);
  pool.levels.push_back({0, 0.01});
  EXPECT_EQ(refusal(pool), "Vinstgraden 0 rätt stöds inte, bara de fyra högsta");
  pool = PoolWithTurnover(4, 1000);
  pool.levels[2].right = 4;
  EXPECT_EQ(refusal(pool), "Vinstgraden 4 rätt finns två gånger");
  std::string error;
  EXPECT_FALSE(
      MakeValueModel(Values({{1, 1, 1}}, {{1, 1, kNoValue}}), 1, PoolWithTurnover(1, 10), &error));
  EXPECT_EQ(error, "Streck: match 1 saknar värde för 2");
}

// ---- Row values ------------------------------------------------------------

TEST(ValueOfRow, AgreesWithTheDirectProducts) {
  for (uint64_t seed : {11u, 12u, 13u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937_64 random(seed);
    const MatchValues values = RandomValues(13, random);
    const ValueModel model = MakeModel(values, 13, PoolWithTurnover(13, 25e6));
    for (PackedRow row : RandomRows(13, 50, random)) {
      double chance = 1, share = 1;
      for (int m = 0; m < 13; ++m) {
        const int sign = PackedOutcome(row, m + 1);
        const SignValues& c = values.match[m].chance;
        const SignValues& s = values.match[m].streck;
        chance *= c[sign] / (c[0] + c[1] + c[2]);
        share *= s[sign] / (s[0] + s[1] + s[2]);
      }
      const RowValue value = ValueOfRow(model, row);
      ExpectClose(value.chance, chance, "P(r)");
      ExpectClose(value.publicShare, share, "Q(r)");
      if (chance == 0) {
        EXPECT_EQ(value.value, 0);
      } else if (share == 0) {
        EXPECT_EQ(value.value, std::numeric_limits<double>::infinity());
      } else {
        ExpectClose(value.value, chance / share, "V(r)");
      }
      ExpectClose(value.payout, ExpectedLevelWinBySum(25e6 * 0.65 * 0.40, 25e6 * share, 1, 15),
                  "U(r)");
    }
  }
}

// U(r) takes the player's own stake into the pot and the jackpot on top of
// the top level; with nobody else on the row it is the whole pot.
TEST(ValueOfRow, PayoutCountsTheOwnStakeAndTheJackpot) {
  const SignValues even{1, 1, 1};
  const SignValues never{100, 0, 0};
  PoolModel pool = PoolWithTurnover(2, 9000);
  pool.levels = {{2, 0.40}, {1, 0.15}};
  pool.minimumPayout = 0;
  pool.jackpot = 5000;
  ValueModel model = MakeModel(Values({even, even}, {even, never}), 2, pool);
  model.ownStake = 1000;
  const double pot = 10000 * 0.65 * 0.40 + 5000;
  // "11": a third of the others' rows, 3000 of them.
  ExpectClose(ValueOfRow(model, 0).payout, pot * -std::expm1(-3000.0) / 3000, "U(11)");
  // "1X": the public never plays X in match 2.
  EXPECT_EQ(ValueOfRow(model, PackedRow{1} << 2).payout, pot);
  ExpectClose(model.Pot(1, 1000), 10000 * 0.65 * 0.15, "the second level has no jackpot");
}

// ---- The exact system value against brute force --------------------------

TEST(SystemValue, AgreesWithBruteForceOnSmallGames) {
  int paying = 0, cut = 0;
  for (int n = 3; n <= 6; ++n) {
    for (uint64_t seed = 1; seed <= 4; ++seed) {
      SCOPED_TRACE("matches " + std::to_string(n) + ", seed " + std::to_string(seed));
      std::mt19937_64 random(seed * 100 + n);
      PoolModel pool =
          PoolWithTurnover(n, std::exp(std::uniform_real_distribution<>(3, 16)(random)));
      pool.rowPrice = seed % 2 == 0 ? 1 : 0.5;
      if (seed >= 3) pool.jackpot = pool.turnover * 0.3;
      const ValueModel model = MakeModel(RandomValues(n, random), n, pool);
      const int count =
          std::uniform_int_distribution<int>(1, 2 * static_cast<int>(Power3(n)))(random);
      const std::vector<PackedRow> rows = RandomRows(n, count, random);
      SystemValueOptions options;
      options.payoutEdges = ChartEdges();
      const auto value = ComputeSystemValue(model, rows, options);
      ASSERT_TRUE(value.has_value());
      EXPECT_EQ(value->rows, static_cast<int64_t>(rows.size()));
      const Expected expected = BruteForce(model, rows, options.payoutEdges);
      ExpectMatches(*value, expected, model);
      paying += expected.payingWins;
      cut += expected.cutWins;
    }
  }
  // Both sides of the minimum payout were exercised.
  EXPECT_GT(paying, 0);
  EXPECT_GT(cut, 0);
}

TEST(SystemValue, AgreesWithBruteForceOnOneAndTwoMatches) {
  for (int n = 1; n <= 2; ++n) {
    SCOPED_TRACE("matches " + std::to_string(n));
    std::mt19937_64 random(7 + n);
    PoolModel pool = PoolWithTurnover(n, 500);
    pool.levels.clear();
    for (int right = n; right >= 0; --right) pool.levels.push_back({right, 0.2});
    pool.minimumPayout = 1;
    const ValueModel model = MakeModel(RandomValues(n, random), n, pool);
    const std::vector<PackedRow> rows = RandomRows(n, 4, random);
    SystemValueOptions options;
    options.payoutEdges = {10, 40, 80, 160};
    const auto value = ComputeSystemValue(model, rows, options);
    ASSERT_TRUE(value.has_value());
    ExpectMatches(*value, BruteForce(model, rows, options.payoutEdges), model);
  }
}

TEST(SystemValue, EmptySetWinsNothingButStillChartsTheOutcomes) {
  std::mt19937_64 random(5);
  const ValueModel model = MakeModel(RandomValues(5, random), 5, PoolWithTurnover(5, 1e5));
  SystemValueOptions options;
  options.payoutEdges = ChartEdges();
  const auto value = ComputeSystemValue(model, {}, options);
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->rows, 0);
  EXPECT_EQ(value->expectedReturn, 0);
  EXPECT_EQ(value->returnOrePerRow, 0);
  for (const LevelValue& level : value->levels) EXPECT_EQ(level.chanceAtLeast, 0);
  double chance = 0, share = 0;
  for (double c : value->chanceByPayout) chance += c;
  for (double s : value->publicByPayout) share += s;
  EXPECT_NEAR(chance, 1, 1e-12);
  EXPECT_NEAR(share, 1, 1e-12);
  ExpectMatches(*value, BruteForce(model, {}, options.payoutEdges), model);
}

TEST(SystemValue, FullSystemAlwaysHasTheTopLevel) {
  std::mt19937_64 random(6);
  const ValueModel model = MakeModel(RandomValues(5, random), 5, PoolWithTurnover(5, 1e5));
  std::vector<PackedRow> rows;
  for (int64_t i = 0; i < Power3(5); ++i) rows.push_back(RowOfIndex(i, 5));
  const auto value = ComputeSystemValue(model, rows);
  ASSERT_TRUE(value.has_value());
  for (const LevelValue& level : value->levels) EXPECT_NEAR(level.chanceAtLeast, 1, 1e-12);
  EXPECT_EQ(value->levels[0].rowsAtLikeliest, 1);
  EXPECT_EQ(value->levels[1].rowsAtLikeliest, 10);  // 5 matches · 2 other signs
  EXPECT_TRUE(value->chanceByPayout.empty());
}

// Uniform chances and streck on 4 matches, one row: it has 4 - d right with
// chance C(4,d)·2^d / 81, and the others play T/81 times that many such rows.
TEST(SystemValue, ALevelPayingLessThanTheMinimumPaysNothing) {
  const SignValues even{1, 1, 1};
  const MatchValues values = Values({even, even, even, even}, {even, even, even, even});
  const double turnover = 1e5;
  const double shares[4] = {0.40, 0.15, 0.12, 0.25};
  const double ways[4] = {1, 8, 24, 32};  // C(4,d)·2^d
  const PackedRow row = 0;                // "1111", the likeliest on even chances
  for (double minimum : {15.0, 0.0}) {
    SCOPED_TRACE("minimum " + std::to_string(minimum));
    PoolModel pool = PoolWithTurnover(4, turnover);
    pool.minimumPayout = minimum;
    const ValueModel model = MakeModel(values, 4, pool);
    const auto value = ComputeSystemValue(model, std::vector<PackedRow>{row});
    ASSERT_TRUE(value.has_value());
    double expected = 0;
    for (int d = 0; d < 4; ++d) {
      // The own krona is in the pot; the others' winners W ~ Poisson(λ).
      const double pot = (turnover + 1) * 0.65 * shares[d];
      const double lambda = turnover * ways[d] / 81;
      // 4 right pays about 21 kr even with W far above λ; 3, 2 and 1 right
      // pay under 1 kr unless W is far below it.
      const double paid = minimum == 0 || d == 0 ? pot * -std::expm1(-lambda) / lambda : 0;
      expected += ways[d] / 81 * paid;
      ExpectClose(value->levels[d].payoutAtLikeliest, paid, "payout at the likeliest");
    }
    ExpectClose(value->expectedReturn, expected, "E(S)");
    ExpectClose(value->returnOrePerRow, expected * 100, "öre per row");
  }
}

// Full 13 with a few rows: the transform and the outcome walk against each
// outcome done on its own (rows compared one by one, the public's chances
// multiplied out per outcome).
TEST(SystemValue, ThirteenMatchesAgreeWithOneOutcomeAtATime) {
  std::mt19937_64 random(1313);
  const int n = 13;
  const ValueModel model = MakeModel(RandomValues(n, random), n, PoolWithTurnover(n, 3e6));
  std::vector<PackedRow> rows = RandomRows(n, 4, random);
  // Two rows near the likeliest outcome, so the top levels are reached often.
  PackedRow likeliest = 0;
  for (int m = 1; m <= n; ++m) {
    const SignValues& p = model.chance[m - 1];
    likeliest |= static_cast<PackedRow>(std::max_element(p.begin(), p.end()) - p.begin())
                 << (2 * (m - 1));
  }
  rows.push_back(likeliest);
  const PackedRow otherSign = (PackedOutcome(likeliest, 1) + 1) % 3;
  rows.push_back((likeliest & ~PackedRow{3}) | otherSign);
  const double publicRows = 3e6;
  double atLeast[4] = {}, expected = 0;
  std::vector<int64_t> ownAtLikeliest(4, 0);
  for (int64_t i = 0; i < Power3(n); ++i) {
    const PackedRow y = RowOfIndex(i, n);
    double chance = 1;
    double poly[4] = {1, 0, 0, 0};
    for (int m = 1; m <= n; ++m) {
      const int sign = PackedOutcome(y, m);
      chance *= model.chance[m - 1][sign];
      const double q = model.streck[m - 1][sign];
      for (int d = 3; d >= 0; --d) poly[d] = poly[d] * q + (d > 0 ? poly[d - 1] * (1 - q) : 0);
    }
    int64_t own[4] = {};
    int best = 0;
    for (PackedRow row : rows) {
      const int right = Right(row, y, n);
      best = std::max(best, right);
      if (right >= n - 3) ++own[n - right];
    }
    for (int d = 0; d < 4; ++d) {
      if (best >= n - d) atLeast[d] += chance;
      if (own[d] == 0) continue;
      const double pot = model.Pot(n - d, static_cast<double>(rows.size()));
      expected += chance * ExpectedLevelWinBySum(pot, publicRows * poly[d], own[d], 15);
    }
    if (y == likeliest) std::copy(own, own + 4, ownAtLikeliest.begin());
  }
  const auto value = ComputeSystemValue(model, rows);
  ASSERT_TRUE(value.has_value());
  for (int d = 0; d < 4; ++d) {
    ExpectClose(value->levels[d].chanceAtLeast, atLeast[d], "P(best >= " + std::to_string(n - d));
    EXPECT_EQ(value->levels[d].rowsAtLikeliest, ownAtLikeliest[d]) << n - d << " right";
  }
  EXPECT_EQ(value->likeliest, likeliest);
  EXPECT_GT(atLeast[0], 0);
  ExpectClose(value->expectedReturn, expected, "E(S)");
}

// The model against what it assumes, played out: the others hand in a
// Poisson number of rows around N, each drawn sign by sign from the streck;
// the winners at each level share its pot, a share under the minimum pays
// nothing. The average over many such draws is E(S) within its error.
TEST(SystemValue, AgreesWithASimulationOfTheOthersRows) {
  const int n = 4;
  const int64_t outcomes = Power3(n);
  const MatchValues values = Values({{50, 30, 20}, {40, 35, 25}, {60, 25, 15}, {34, 33, 33}},
                                    {{70, 20, 10}, {45, 30, 25}, {80, 15, 5}, {30, 40, 30}});
  PoolModel pool = PoolWithTurnover(n, 2000);
  pool.minimumPayout = 1;  // 3 right pays about 1 kr: the minimum cuts there
  pool.jackpot = 300;
  const ValueModel model = MakeModel(values, n, pool);
  const std::vector<PackedRow> rows = {RowOfIndex(0, n), RowOfIndex(1, n), RowOfIndex(1, n),
                                       RowOfIndex(40, n), RowOfIndex(80, n)};
  const auto value = ComputeSystemValue(model, rows);
  ASSERT_TRUE(value.has_value());

  const double stake = static_cast<double>(rows.size());
  std::vector<double> pot(n + 1, 0);
  for (const PrizeLevel& level : pool.levels)
    pot[level.right] = (2000 + stake) * 0.65 * level.share + (level.right == n ? 300 : 0);
  std::vector<double> chance(outcomes, 1), share(outcomes, 1);
  std::vector<std::vector<int64_t>> own(outcomes, std::vector<int64_t>(n + 1, 0));
  for (int64_t y = 0; y < outcomes; ++y) {
    for (int m = 1; m <= n; ++m) {
      chance[y] *= model.chance[m - 1][PackedOutcome(RowOfIndex(y, n), m)];
      share[y] *= model.streck[m - 1][PackedOutcome(RowOfIndex(y, n), m)];
    }
    for (PackedRow row : rows) ++own[y][Right(row, RowOfIndex(y, n), n)];
  }
  std::mt19937_64 random(2412);
  std::poisson_distribution<int> others(2000);
  std::discrete_distribution<int64_t> draw(share.begin(), share.end());
  constexpr int kTrials = 3000;
  double sum = 0, squares = 0;
  std::vector<int64_t> played(outcomes);
  for (int trial = 0; trial < kTrials; ++trial) {
    std::fill(played.begin(), played.end(), 0);
    for (int i = others(random); i > 0; --i) ++played[draw(random)];
    double won = 0;
    for (int64_t y = 0; y < outcomes; ++y) {
      std::vector<int64_t> winners(n + 1, 0);
      for (int64_t x = 0; x < outcomes; ++x)
        winners[Right(RowOfIndex(x, n), RowOfIndex(y, n), n)] += played[x];
      for (int right = 1; right <= n; ++right) {
        const int64_t c = own[y][right];
        if (c == 0) continue;
        const double each = pot[right] / static_cast<double>(winners[right] + c);
        if (each >= 1) won += chance[y] * static_cast<double>(c) * each;
      }
    }
    sum += won;
    squares += won * won;
  }
  const double mean = sum / kTrials;
  const double error = std::sqrt((squares / kTrials - mean * mean) / kTrials);
  EXPECT_LT(error, 0.01 * mean);  // the comparison below means something
  EXPECT_LE(std::abs(mean - value->expectedReturn), 4 * error)
      << "simulated " << mean << " ± " << error << ", formula " << value->expectedReturn;

  // With exactly N others' rows W is Binomial(N, Q), not Poisson(N·Q): the
  // difference is of the order of Q, small where pots are shared.
  double binomial = 0;
  for (int64_t y = 0; y < outcomes; ++y) {
    std::vector<double> q(n + 1, 0);
    for (int64_t x = 0; x < outcomes; ++x)
      q[Right(RowOfIndex(x, n), RowOfIndex(y, n), n)] += share[x];
    for (int right = 1; right <= n; ++right) {
      const int64_t c = own[y][right];
      if (c == 0) continue;
      const double p = std::min(q[right], 1.0);
      for (int w = 0; w <= 2000; ++w) {
        const double each = pot[right] / static_cast<double>(w + c);
        if (each < 1) break;
        const double mass =
            std::exp(std::lgamma(2001.0) - std::lgamma(w + 1.0) - std::lgamma(2001.0 - w) +
                     w * std::log(p) + (2000 - w) * std::log1p(-p));
        binomial += chance[y] * mass * static_cast<double>(c) * each;
      }
    }
  }
  RecordProperty("simulated_kr", std::to_string(mean) + " ± " + std::to_string(error));
  RecordProperty("poisson_kr", std::to_string(value->expectedReturn));
  RecordProperty("binomial_kr", std::to_string(binomial));
  EXPECT_NEAR(binomial / value->expectedReturn, 1, 0.02);
}

TEST(SystemValue, SameNumbersOnOneThreadAndTwo) {
  std::mt19937_64 random(99);
  const ValueModel model = MakeModel(RandomValues(13, random), 13, PoolWithTurnover(13, 2e7));
  const std::vector<PackedRow> rows = RandomRows(13, 3000, random);
  SystemValueOptions options;
  options.payoutEdges = ChartEdges();
  options.threads = 1;
  const auto one = ComputeSystemValue(model, rows, options);
  options.threads = 2;
  const auto two = ComputeSystemValue(model, rows, options);
  ASSERT_TRUE(one && two);
  EXPECT_EQ(one->expectedReturn, two->expectedReturn);
  for (size_t l = 0; l < one->levels.size(); ++l)
    EXPECT_EQ(one->levels[l].chanceAtLeast, two->levels[l].chanceAtLeast);
  EXPECT_EQ(one->chanceByPayout, two->chanceByPayout);
  EXPECT_EQ(one->publicByPayout, two->publicByPayout);
  EXPECT_GT(one->expectedReturn, 0);
}

TEST(SystemValue, StopReturnsNothingAndProgressRisesToTheEnd) {
  std::mt19937_64 random(3);
  const ValueModel model = MakeModel(RandomValues(13, random), 13, PoolWithTurnover(13, 2e7));
  const std::vector<PackedRow> rows = RandomRows(13, 200000, random);
  {
    StopSource stop;
    stop.RequestStop();
    EXPECT_FALSE(ComputeSystemValue(model, rows, {}, Work{StopToken(stop)}).has_value());
  }

  // Raised halfway, from the progress report.
  struct StopHalfway final : Progress {
    StopSource stop;
    void Fraction(double done) override {
      if (done >= 0.5) stop.RequestStop();
    }
  } halfway;
  EXPECT_FALSE(
      ComputeSystemValue(model, rows, {}, Work{StopToken(halfway.stop), &halfway}).has_value());

  struct Recorder final : Progress {
    std::vector<double> fractions;
    void Fraction(double done) override { fractions.push_back(done); }
  } recorder;
  StopSource never;
  EXPECT_TRUE(ComputeSystemValue(model, rows, {}, Work{StopToken(never), &recorder}).has_value());
  const std::vector<double>& reported = recorder.fractions;
  ASSERT_GT(reported.size(), 3u);
  EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
  EXPECT_EQ(reported.back(), 1);
}

TEST(SystemValue, RefusesRowsWithoutASignAndDescendingEdges) {
  std::mt19937_64 random(4);
  const ValueModel model = MakeModel(RandomValues(4, random), 4, PoolWithTurnover(4, 1e4));
  EXPECT_THROW(ComputeSystemValue(model, std::vector<PackedRow>{3u << 2}), std::invalid_argument);
  EXPECT_THROW(ComputeSystemValue(model, std::vector<PackedRow>{1u << 8}), std::invalid_argument);
  SystemValueOptions options;
  options.payoutEdges = {10, 5};
  EXPECT_THROW(ComputeSystemValue(model, std::vector<PackedRow>{0}, options),
               std::invalid_argument);
}

}  // namespace
}  // namespace spelkub
