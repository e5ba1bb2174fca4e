// "Följ kupongen" against a plain brute force: every remaining outcome, each
// row's right counted at it, and the public's chance of each number of right
// summed over every row the public can play.
#include "follow/follow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "follow/follow_results.h"
#include "support/outcomes.h"
#include "value/pool_share.h"

namespace spelkub {
namespace {

using testing::Right;
using testing::RowOfIndex;

constexpr double kTolerance = 1e-9;

void ExpectClose(double actual, double expected, const std::string& what) {
  EXPECT_LE(std::abs(actual - expected),
            kTolerance * std::max({std::abs(actual), std::abs(expected), 1e-300}))
      << what << ": " << actual << " against " << expected;
}

// A model of `matches` matches with random chances (now and then a sign at 0),
// streck and a turnover that puts the top level's public winners near one.
ValueModel RandomModel(int matches, std::mt19937_64& random) {
  std::uniform_real_distribution<double> share(0.02, 1);
  std::bernoulli_distribution zero(0.1);
  ValueModel model;
  model.matches = matches;
  for (int m = 0; m < matches; ++m) {
    double chanceSum = 0;
    double streckSum = 0;
    for (int s = 0; s < 3; ++s) {
      model.chance[m][s] = zero(random) && s != 0 ? 0 : share(random);
      model.streck[m][s] = share(random);
      chanceSum += model.chance[m][s];
      streckSum += model.streck[m][s];
    }
    for (int s = 0; s < 3; ++s) {
      model.chance[m][s] /= chanceSum;
      model.streck[m][s] /= streckSum;
    }
  }
  model.pool = DefaultPoolModel(matches);
  model.pool.turnover =
      std::pow(3.0, matches) * std::uniform_real_distribution<double>(0.05, 3)(random);
  // Sometimes a minimum that binds at the lower levels.
  model.pool.minimumPayout = std::bernoulli_distribution(0.5)(random) ? 15 : 0;
  return model;
}

FollowResults RandomResults(int matches, int open, std::mt19937_64& random) {
  FollowResults results;
  results.matches = matches;
  std::vector<int> order(matches);
  for (int m = 0; m < matches; ++m) order[m] = m;
  std::shuffle(order.begin(), order.end(), random);
  std::uniform_int_distribution<int> sign(0, 2);
  std::uniform_int_distribution<int> kind(0, 2);
  for (int i = 0; i < matches; ++i) {
    MatchStatus& status = results.match[order[i]];
    if (i >= open) {
      status = {MatchState::kDecided, static_cast<int8_t>(sign(random))};
      continue;
    }
    switch (kind(random)) {
      case 0:
        status = {};
        break;
      case 1:
        status = {MatchState::kPlaying, static_cast<int8_t>(sign(random))};
        break;
      default:
        status = {MatchState::kCancelled, -1};
    }
  }
  return results;
}

// Rows near a random centre, so that some reach the top levels, with duplicates.
std::vector<PackedRow> RandomRows(int matches, int count, std::mt19937_64& random) {
  const PackedRow centre =
      RowOfIndex(std::uniform_int_distribution<int64_t>(0, Power3(matches) - 1)(random), matches);
  std::uniform_int_distribution<int> sign(0, 2);
  std::bernoulli_distribution change(0.3);
  std::vector<PackedRow> rows;
  for (int i = 0; i < count; ++i) {
    PackedRow row = centre;
    for (int m = 0; m < matches; ++m) {
      if (!change(random)) continue;
      row = (row & ~(PackedRow(3) << (2 * m))) | (PackedRow(sign(random)) << (2 * m));
    }
    rows.push_back(row);
    if (std::bernoulli_distribution(0.1)(random)) rows.push_back(row);
  }
  return rows;
}

struct Brute {
  std::vector<PackedRow> outcomes;  // every remaining one, full rows
  std::vector<double> chance;
  std::vector<double> win;
  std::vector<std::array<int64_t, 4>> own;  // by n - right
  std::vector<std::array<double, 4>> levelWin;
};

// The public's chance of exactly n - w right against `outcome`, over every row.
std::array<double, 4> PublicShares(const ValueModel& model, PackedRow outcome) {
  std::array<double, 4> share{};
  const int n = model.matches;
  for (int64_t i = 0; i < Power3(n); ++i) {
    const PackedRow row = RowOfIndex(i, n);
    const int w = n - Right(row, outcome, n);
    if (w > 3) continue;
    double q = 1;
    for (int m = 1; m <= n; ++m) q *= model.streck[m - 1][PackedOutcome(row, m)];
    share[w] += q;
  }
  return share;
}

double WinAtOutcome(const ValueModel& model, PackedRow outcome, const std::vector<PackedRow>& rows,
                    std::array<int64_t, 4>& own, std::array<double, 4>& levelWin) {
  const int n = model.matches;
  own = {};
  levelWin = {};
  for (const PackedRow row : rows) {
    const int w = n - Right(row, outcome, n);
    if (w <= 3) ++own[w];
  }
  const std::array<double, 4> share = PublicShares(model, outcome);
  double total = 0;
  for (const PrizeLevel& level : model.pool.levels) {
    const int w = n - level.right;
    const double pot =
        model.Pot(level.right, static_cast<double>(rows.size()) * model.pool.rowPrice);
    levelWin[w] =
        ExpectedLevelWinBySum(pot, model.PublicRows() * share[w], own[w], model.pool.minimumPayout);
    total += levelWin[w];
  }
  return total;
}

Brute BruteForce(const ValueModel& model, const std::vector<PackedRow>& rows,
                 const FollowResults& results) {
  const int n = model.matches;
  Brute brute;
  for (int64_t i = 0; i < Power3(n); ++i) {
    const PackedRow outcome = RowOfIndex(i, n);
    bool agrees = true;
    double chance = 1;
    for (int m = 1; m <= n; ++m) {
      const MatchStatus& status = results.match[m - 1];
      if (status.Decided()) {
        agrees = agrees && PackedOutcome(outcome, m) == status.sign;
      } else {
        chance *= model.chance[m - 1][PackedOutcome(outcome, m)];
      }
    }
    if (!agrees) continue;
    brute.outcomes.push_back(outcome);
    brute.chance.push_back(chance);
    std::array<int64_t, 4> own;
    std::array<double, 4> levelWin;
    brute.win.push_back(WinAtOutcome(model, outcome, rows, own, levelWin));
    brute.own.push_back(own);
    brute.levelWin.push_back(levelWin);
  }
  return brute;
}

void CheckAgainstBruteForce(const ValueModel& model, const std::vector<PackedRow>& rows,
                            const FollowResults& results, const std::string& what) {
  const int n = model.matches;
  const std::optional<FollowReport> report =
      ComputeFollow(model, rows, results, {.aliveShown = SIZE_MAX});
  ASSERT_TRUE(report.has_value());
  const Brute brute = BruteForce(model, rows, results);
  ASSERT_EQ(report->outcomes, static_cast<int64_t>(brute.outcomes.size())) << what;
  EXPECT_EQ(report->open + report->decided, n);

  // Totals and levels.
  double expected = 0;
  for (size_t y = 0; y < brute.outcomes.size(); ++y) expected += brute.chance[y] * brute.win[y];
  ExpectClose(report->expectedWin, expected, what + " expected win");
  for (const FollowLevel& level : report->levels) {
    const int w = n - level.right;
    const std::string at = what + " level " + std::to_string(level.right);
    double atLeast = 0, levelWin = 0, levelRows = 0;
    int64_t most = 0;
    for (size_t y = 0; y < brute.outcomes.size(); ++y) {
      int64_t within = 0;
      for (int v = 0; v <= w; ++v) within += brute.own[y][v];
      if (within > 0) atLeast += brute.chance[y];
      levelWin += brute.chance[y] * brute.levelWin[y][w];
      levelRows += brute.chance[y] * brute.own[y][w];
      most = std::max(most, brute.own[y][w]);
    }
    ExpectClose(level.chanceAtLeast, atLeast, at + " chance");
    ExpectClose(level.expectedWin, levelWin, at + " win");
    ExpectClose(level.expectedRows, levelRows, at + " rows");
    if (levelRows > 0) ExpectClose(level.payoutPerRow, levelWin / levelRows, at + " per row");
    EXPECT_EQ(level.rowsBest, most) << at;
    std::array<int64_t, 4> own;
    std::array<double, 4> wins;
    WinAtOutcome(model, level.bestOutcome, rows, own, wins);
    EXPECT_EQ(own[w], most) << at << " best outcome";
    int64_t canReach = 0;
    for (const PackedRow row : rows) {
      int best = 0;
      for (int m = 1; m <= n; ++m) {
        const MatchStatus& status = results.match[m - 1];
        best += !status.Decided() || PackedOutcome(row, m) == status.sign;
      }
      canReach += best >= level.right;
    }
    EXPECT_EQ(level.rowsCanReach, canReach) << at;
  }

  // "Om det slutar som nu" and the best outcome.
  std::array<int64_t, 4> own;
  std::array<double, 4> wins;
  ExpectClose(report->winNow, WinAtOutcome(model, report->nowOutcome, rows, own, wins),
              what + " now");
  for (const FollowLevel& level : report->levels) {
    const int w = n - level.right;
    EXPECT_EQ(level.rowsNow, own[w]) << what;
    if (own[w] > 0) ExpectClose(level.payoutNow, wins[w] / own[w], what + " payout now");
  }
  for (int m = 1; m <= n; ++m) {
    const MatchStatus& status = results.match[m - 1];
    const int sign = PackedOutcome(report->nowOutcome, m);
    if (status.Decided() || status.state == MatchState::kPlaying) {
      EXPECT_EQ(sign, status.sign) << what << " match " << m;
    } else {
      const SignValues& chance = model.chance[m - 1];
      EXPECT_EQ(sign, std::max_element(chance.begin(), chance.end()) - chance.begin()) << what;
    }
  }
  const double most = *std::max_element(brute.win.begin(), brute.win.end());
  ExpectClose(report->bestWin, most, what + " best win");
  ExpectClose(WinAtOutcome(model, report->bestOutcome, rows, own, wins), most, what + " best at");

  // Per open match and sign: the win given that sign, rows alive, the choices.
  int bestPossible = 0;
  std::vector<int> reach(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    for (int m = 1; m <= n; ++m) {
      const MatchStatus& status = results.match[m - 1];
      reach[i] += !status.Decided() || PackedOutcome(rows[i], m) == status.sign;
    }
    bestPossible = std::max(bestPossible, reach[i]);
  }
  EXPECT_EQ(report->bestPossible, bestPossible) << what;
  EXPECT_EQ(report->aliveTotal, std::count(reach.begin(), reach.end(), bestPossible)) << what;
  for (int m = 1; m <= n; ++m) {
    const FollowMatch& match = report->match[m - 1];
    for (int s = 0; s < 3; ++s) {
      int64_t withSign = 0;
      for (const PackedRow row : rows) withSign += PackedOutcome(row, m) == s;
      EXPECT_EQ(match.rows[s], withSign) << what;
    }
    if (results.match[m - 1].Decided()) continue;
    std::array<double, 3> given{};
    std::array<int64_t, 3> alive{};
    for (int s = 0; s < 3; ++s) {
      for (size_t y = 0; y < brute.outcomes.size(); ++y) {
        if (PackedOutcome(brute.outcomes[y], m) != s) continue;
        double others = 1;
        for (int j = 1; j <= n; ++j) {
          if (j != m && !results.match[j - 1].Decided())
            others *= model.chance[j - 1][PackedOutcome(brute.outcomes[y], j)];
        }
        given[s] += others * brute.win[y];
      }
      for (size_t i = 0; i < rows.size(); ++i)
        alive[s] += reach[i] == bestPossible && PackedOutcome(rows[i], m) == s;
      ExpectClose(match.sign[s].expectedWin, given[s], what + " sign win");
      EXPECT_EQ(match.sign[s].rowsAlive, alive[s]) << what;
    }
    const auto [low, high] = std::minmax_element(given.begin(), given.end());
    if (*high - *low >= 2 * kSameWin) {
      EXPECT_EQ(match.rootFor, high - given.begin()) << what << " match " << m;
    } else if (*high - *low < kSameWin / 2) {
      EXPECT_EQ(match.rootFor, -1) << what;
    }
    const auto [fewest, most] = std::minmax_element(alive.begin(), alive.end());
    if (*fewest == *most) {
      EXPECT_EQ(match.keepsMost, -1) << what;
    } else {
      EXPECT_EQ(alive[match.keepsMost], *most) << what;
    }
  }
  // Rows alive, likeliest first, each with the chance that its open signs come.
  ASSERT_EQ(static_cast<int64_t>(report->alive.size()), report->aliveTotal);
  for (size_t i = 0; i < report->alive.size(); ++i) {
    const AliveRow& row = report->alive[i];
    EXPECT_EQ(row.row, rows[row.index]);
    EXPECT_EQ(reach[row.index], bestPossible);
    double chance = 0;
    for (size_t y = 0; y < brute.outcomes.size(); ++y) {
      if (Right(brute.outcomes[y], row.row, n) == reach[row.index]) chance += brute.chance[y];
    }
    ExpectClose(row.chance, chance, what + " alive chance");
    if (i > 0) {
      EXPECT_GE(report->alive[i - 1].chance, row.chance);
    }
  }
}

TEST(Follow, AgreesWithBruteForceOverRandomCoupons) {
  for (uint64_t seed = 1; seed <= 40; ++seed) {
    std::mt19937_64 random(seed);
    const int matches = std::uniform_int_distribution<int>(4, 7)(random);
    const int open = std::uniform_int_distribution<int>(0, matches)(random);
    const ValueModel model = RandomModel(matches, random);
    const FollowResults results = RandomResults(matches, open, random);
    const std::vector<PackedRow> rows =
        RandomRows(matches, std::uniform_int_distribution<int>(1, 60)(random), random);
    CheckAgainstBruteForce(model, rows, results,
                           "seed " + std::to_string(seed) + ", " + FollowResultsText(results));
  }
}

TEST(Follow, EveryMatchDecidedLeavesOneOutcome) {
  std::mt19937_64 random(77);
  const ValueModel model = RandomModel(6, random);
  const FollowResults results = RandomResults(6, 0, random);
  const std::vector<PackedRow> rows = RandomRows(6, 30, random);
  CheckAgainstBruteForce(model, rows, results, "all decided");
  const FollowReport report = *ComputeFollow(model, rows, results);
  EXPECT_EQ(report.outcomes, 1);
  for (const FollowLevel& level : report.levels) {
    EXPECT_EQ(level.rowsNow, level.rowsBest);
    EXPECT_EQ(level.chanceAtLeast, level.rowsCanReach > 0 ? 1.0 : 0.0);
  }
}

TEST(Follow, AllOpenMatchesTheSystemValue) {
  // With nothing decided, the expected win is the value model's, over all 3^n.
  std::mt19937_64 random(5);
  const ValueModel model = RandomModel(5, random);
  FollowResults results;
  results.matches = 5;
  CheckAgainstBruteForce(model, RandomRows(5, 40, random), results, "all open");
}

TEST(Follow, RootsForTheSignOfTheOnlyRowAlive) {
  // One row, 1 in every match; match 1 open, the rest decided as the row has them.
  ValueModel model;
  model.matches = 4;
  for (int m = 0; m < 4; ++m) {
    model.chance[m] = {0.2, 0.3, 0.5};
    model.streck[m] = {0.5, 0.3, 0.2};
  }
  model.pool = DefaultPoolModel(4);
  model.pool.turnover = 1000;
  model.pool.minimumPayout = 0;
  FollowResults results;
  results.matches = 4;
  for (int m = 1; m < 4; ++m) results.match[m] = {MatchState::kDecided, 0};
  const PackedRow row = 0;  // "1111"
  const FollowReport report = *ComputeFollow(model, std::span(&row, 1), results);
  const FollowMatch& open = report.match[0];
  EXPECT_EQ(open.rootFor, 0);
  EXPECT_EQ(open.keepsMost, 0);
  EXPECT_EQ(open.sign[0].rowsAlive, 1);
  EXPECT_EQ(open.sign[2].rowsAlive, 0);
  EXPECT_GT(open.sign[0].expectedWin, open.sign[1].expectedWin);
  EXPECT_EQ(report.bestPossible, 4);
  EXPECT_EQ(report.aliveTotal, 1);
  // The likeliest sign of match 1 is 2: the row ends with 3 right "as now".
  EXPECT_EQ(PackedOutcome(report.nowOutcome, 1), 2);
  EXPECT_EQ(report.levels[0].rowsNow, 0);
  EXPECT_EQ(report.levels[1].rowsNow, 1);
  // A row that has every open sign right in all outcomes: nothing to root for.
  results.match[0] = {MatchState::kDecided, 1};
  const FollowReport decided = *ComputeFollow(model, std::span(&row, 1), results);
  EXPECT_EQ(decided.match[0].rootFor, -1);
}

TEST(Follow, ADeadCouponDoesNotCareHowTheMatchesEnd) {
  // Every row already wrong in four decided matches: no paid level is reachable.
  ValueModel model;
  model.matches = 6;
  for (int m = 0; m < 6; ++m) {
    model.chance[m] = {0.4, 0.3, 0.3};
    model.streck[m] = {0.4, 0.3, 0.3};
  }
  model.pool = DefaultPoolModel(6);
  model.pool.turnover = 5000;
  FollowResults results;
  results.matches = 6;
  for (int m = 0; m < 4; ++m) results.match[m] = {MatchState::kDecided, 2};
  const std::vector<PackedRow> rows = {0, 0b0100'0000'0000, 0b0001'0000'0000};
  const FollowReport report = *ComputeFollow(model, rows, results);
  EXPECT_EQ(report.expectedWin, 0);
  EXPECT_EQ(report.match[4].rootFor, -1);
  EXPECT_EQ(report.match[5].rootFor, -1);
  EXPECT_EQ(report.bestPossible, 2);
  EXPECT_EQ(report.aliveLevel, 2);
  for (const FollowLevel& level : report.levels) {
    EXPECT_EQ(level.rowsCanReach, 0);
    EXPECT_EQ(level.chanceAtLeast, 0);
  }
}

TEST(Follow, ShowsTheLikeliestRowsAliveFirstUpToTheCap) {
  std::mt19937_64 random(9);
  const ValueModel model = RandomModel(6, random);
  FollowResults results;
  results.matches = 6;
  results.match[0] = {MatchState::kDecided, 0};
  std::vector<PackedRow> rows;
  for (int64_t i = 0; i < Power3(6); ++i) rows.push_back(RowOfIndex(i, 6));
  const FollowReport all = *ComputeFollow(model, rows, results, {.aliveShown = SIZE_MAX});
  const FollowReport capped = *ComputeFollow(model, rows, results, {.aliveShown = 30});
  EXPECT_EQ(all.aliveTotal, 243);
  EXPECT_EQ(capped.aliveTotal, 243);
  ASSERT_EQ(capped.alive.size(), 30u);
  for (size_t i = 0; i < 30; ++i) EXPECT_EQ(capped.alive[i].index, all.alive[i].index);
}

TEST(Follow, RefusesRowsAndResultsThatDoNotFit) {
  std::mt19937_64 random(3);
  const ValueModel model = RandomModel(5, random);
  FollowResults results;
  results.matches = 5;
  const PackedRow field3 = 3;
  EXPECT_THROW(ComputeFollow(model, std::span(&field3, 1), results), std::invalid_argument);
  const PackedRow beyond = PackedRow(1) << 12;
  EXPECT_THROW(ComputeFollow(model, std::span(&beyond, 1), results), std::invalid_argument);
  const PackedRow fine = 0;
  results.match[0] = {MatchState::kDecided, -1};
  EXPECT_THROW(ComputeFollow(model, std::span(&fine, 1), results), std::invalid_argument);
  results.match[0] = {};
  results.matches = 6;
  EXPECT_THROW(ComputeFollow(model, std::span(&fine, 1), results), std::invalid_argument);
}

TEST(Follow, StopsWhenAsked) {
  std::mt19937_64 random(4);
  const ValueModel model = RandomModel(10, random);
  FollowResults results;
  results.matches = 10;
  const std::vector<PackedRow> rows = RandomRows(10, 100, random);
  StopSource stop;
  stop.RequestStop();
  EXPECT_FALSE(ComputeFollow(model, rows, results, {}, Work{StopToken(stop)}).has_value());
}

// The results syntax.
TEST(FollowResults, ReadsGroupsRunsAndTheNewMarks) {
  std::string error;
  const auto groups = ParseFollowResults("1 x ? 2? L - 2", 7, &error);
  ASSERT_TRUE(groups) << error;
  EXPECT_EQ(groups->match[0], (MatchStatus{MatchState::kDecided, 0}));
  EXPECT_EQ(groups->match[1], (MatchStatus{MatchState::kDecided, 1}));
  EXPECT_EQ(groups->match[2], MatchStatus{});
  EXPECT_EQ(groups->match[3], (MatchStatus{MatchState::kPlaying, 2}));
  EXPECT_EQ(groups->match[4], (MatchStatus{MatchState::kCancelled, -1}));
  EXPECT_EQ(groups->match[5], MatchStatus{});
  EXPECT_EQ(groups->Decided(), 3);
  EXPECT_EQ(FollowResultsText(*groups), "1 X ? 2? L ? 2");
  EXPECT_EQ(*ParseFollowResults(FollowResultsText(*groups), 7, &error), *groups);

  // Runs: "?" always stands for a match of its own.
  const auto runs = ParseFollowResults("1X2? l-1", 7, &error);
  ASSERT_TRUE(runs) << error;
  EXPECT_EQ(runs->match[2], (MatchStatus{MatchState::kDecided, 2}));
  EXPECT_EQ(runs->match[3], MatchStatus{});
  EXPECT_EQ(runs->match[4], (MatchStatus{MatchState::kCancelled, -1}));
  EXPECT_EQ(runs->Open(), 3);
}

TEST(FollowResults, RefusesWithWhereItWentWrong) {
  std::string error;
  EXPECT_FALSE(ParseFollowResults("1 X 2 q", 4, &error));
  EXPECT_EQ(error,
            "Resultat: match 4 har \"q\", väntade 1, X, 2, ?, - eller L (eller 1?, X?, 2? för "
            "ställningen nu)");
  EXPECT_FALSE(ParseFollowResults("1X2?", 5, &error));
  EXPECT_EQ(error, "Resultat: väntade 5 tecken 1, X, 2, ?, - eller L, fick 4");
  EXPECT_FALSE(ParseFollowResults("1Xå 12", 5, &error));
  EXPECT_EQ(error, "Resultat: match 3 har \"å\" (i \"1Xå\"), väntade 1, X, 2, ?, - eller L");
  EXPECT_FALSE(ParseFollowResults("", 3, &error));
}

}  // namespace
}  // namespace spelkub
