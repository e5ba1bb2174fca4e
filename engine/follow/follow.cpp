#include "follow/follow.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <memory>
#include <new>
#include <stdexcept>

#include "coupon/system_shape.h"
#include "value/pool_share.h"

namespace spelkub {
namespace {

// Rows at distance 0..3 from an outcome of the open matches, counting the
// decided matches a row has wrong: lane w holds the rows with w wrong in all.
// 32 bits: one outcome can be near far more than 65535 rows.
using Lanes = uint32_t __attribute__((vector_size(16)));

inline Lanes ShiftUp(Lanes lanes) {
  const Lanes zero{0, 0, 0, 0};
#if defined(__clang__)
  return __builtin_shufflevector(lanes, zero, 4, 0, 1, 2);
#else
  return __builtin_shuffle(lanes, zero, Lanes{4, 0, 1, 2});
#endif
}

// One open match on three cells that differ only in its sign: a row at
// distance d from one of them is at d + 1 from the other two.
inline void Step(Lanes& a, Lanes& b, Lanes& c) {
  const Lanes sum = a + b + c;
  a += ShiftUp(sum - a);
  b += ShiftUp(sum - b);
  c += ShiftUp(sum - c);
}

// The public's chance of a row with exactly n - w right, w = 0..3: the
// coefficients of t^w in Π_m (q_m + (1 - q_m) t), cut after t^3.
struct Poly {
  double c[4] = {1, 0, 0, 0};
};

inline Poly TimesMatch(const Poly& poly, double q) {
  const double miss = 1 - q;
  return {{poly.c[0] * q, poly.c[1] * q + poly.c[0] * miss, poly.c[2] * q + poly.c[1] * miss,
           poly.c[3] * q + poly.c[2] * miss}};
}

struct LanesFree {
  void operator()(Lanes* lanes) const { std::free(lanes); }
};
using LaneArray = std::unique_ptr<Lanes[], LanesFree>;

LaneArray AllocateLanes(int64_t size) {
  // calloc: fresh pages come zeroed from the system.
  LaneArray cells(static_cast<Lanes*>(std::calloc(size, sizeof(Lanes))));
  if (cells == nullptr) throw std::bad_alloc();
  return cells;
}

// The pool's levels as lanes: the pot and minimum of the level with n - w right.
struct LevelLanes {
  bool paid[4] = {};
  double pot[4] = {};
  int level[4] = {-1, -1, -1, -1};  // index in the report's levels
};

int Likeliest(const SignValues& chance) {
  return static_cast<int>(std::max_element(chance.begin(), chance.end()) - chance.begin());
}

// The expected win at one outcome, level by level.
struct OutcomeWin {
  double level[4] = {};
  double total = 0;
};

OutcomeWin WinAt(const Lanes& own, const Poly& poly, const LevelLanes& lanes, double publicRows,
                 double minimum) {
  OutcomeWin win;
  for (int w = 0; w < 4; ++w) {
    if (!lanes.paid[w] || own[w] == 0) continue;
    win.level[w] = ExpectedLevelWin(lanes.pot[w], publicRows * poly.c[w], own[w], minimum);
    win.total += win.level[w];
  }
  return win;
}

}  // namespace

double FollowPot(const ValueModel& model, int right, int64_t rows) {
  // The player's own stake is in the pot beside the others'.
  return model.Pot(right, static_cast<double>(rows) * model.pool.rowPrice);
}

std::optional<FollowReport> ComputeFollow(const ValueModel& model, std::span<const PackedRow> rows,
                                          const FollowResults& results,
                                          const FollowOptions& options, const Work& work) {
  const int n = model.matches;
  if (n < 1 || n > kMaxMatches || results.matches != n)
    throw std::invalid_argument("ComputeFollow: matches");
  if (rows.size() > UINT32_MAX) throw std::invalid_argument("ComputeFollow: too many rows");

  FollowReport report;
  report.matches = n;
  report.rows = static_cast<int64_t>(rows.size());

  // The open matches (0-based), the decided outcome, and the public's
  // polynomial of the decided matches.
  std::vector<int> open;
  PackedRow decidedSigns = 0;
  PackedRow decidedMask = 0;
  Poly decidedPoly;
  for (int m = 0; m < n; ++m) {
    const MatchStatus& status = results.match[m];
    const bool needsSign =
        status.state == MatchState::kDecided || status.state == MatchState::kPlaying;
    if (needsSign != (status.sign >= 0 && status.sign <= 2))
      throw std::invalid_argument("ComputeFollow: a match's sign");
    if (status.Decided()) {
      decidedSigns |= PackedRow(status.sign) << (2 * m);
      decidedMask |= PackedRow(3) << (2 * m);
      decidedPoly = TimesMatch(decidedPoly, model.streck[m][status.sign]);
    } else {
      open.push_back(m);
    }
  }
  const int openCount = static_cast<int>(open.size());
  report.open = openCount;
  report.decided = n - openCount;
  report.outcomes = Power3(openCount);

  LevelLanes lanes;
  for (const PrizeLevel& level : model.pool.levels) {
    FollowLevel figures;
    figures.right = level.right;
    figures.pot = FollowPot(model, level.right, report.rows);
    const int w = n - level.right;
    if (w >= 0 && w < 4) {
      lanes.paid[w] = figures.pot > 0;
      lanes.pot[w] = figures.pot;
      lanes.level[w] = static_cast<int>(report.levels.size());
    }
    report.levels.push_back(figures);
  }

  // The rows: the histogram over the open matches, the rows per sign, and the
  // rows per number of decided matches wrong.
  const PackedRow beyond = ~PackedRow{0} << (2 * n);
  const LaneArray cells = AllocateLanes(report.outcomes);
  std::vector<int> wrongOf(rows.size());
  std::vector<int64_t> byWrong(n + 1, 0);
  std::vector<int64_t> stride(openCount);
  for (int j = 0; j < openCount; ++j) stride[j] = Power3(j);
  for (int m = 0; m < n; ++m)
    report.match.push_back(FollowMatch{.match = m + 1, .status = results.match[m]});
  for (size_t i = 0; i < rows.size(); ++i) {
    if ((i & 0xffff) == 0 && i > 0 && work.Stopped()) return std::nullopt;
    const PackedRow row = rows[i];
    if ((row & beyond) != 0 || ((row >> 1) & row & 0x55555555u) != 0)
      throw std::invalid_argument("ComputeFollow: a row without a sign in a match");
    const PackedRow diff = (row ^ decidedSigns) & decidedMask;
    const int wrong = std::popcount((diff | (diff >> 1)) & 0x55555555u);
    wrongOf[i] = wrong;
    ++byWrong[wrong];
    for (int m = 0; m < n; ++m) ++report.match[m].rows[PackedOutcome(row, m + 1)];
    if (wrong > 3) continue;
    int64_t index = 0;
    for (int j = 0; j < openCount; ++j) index += PackedOutcome(row, open[j] + 1) * stride[j];
    ++cells[index][wrong];
  }
  for (int j = 0; j < openCount; ++j) {
    const int64_t step = stride[j];
    for (int64_t high = 0; high < report.outcomes; high += 3 * step) {
      Lanes* a = cells.get() + high;
      for (int64_t low = 0; low < step; ++low) Step(a[low], a[low + step], a[low + 2 * step]);
    }
  }

  // Rows that can reach each level, and the best still possible.
  int leastWrong = n;
  for (int w = n; w >= 0; --w)
    if (byWrong[w] > 0) leastWrong = w;
  report.bestPossible = rows.empty() ? 0 : n - leastWrong;
  report.aliveLevel = report.bestPossible;
  for (FollowLevel& level : report.levels) {
    for (int w = 0; w <= n - level.right; ++w) level.rowsCanReach += byWrong[w];
  }

  // The open matches' signs: their chances, and the rows alive if they come.
  std::vector<AliveRow> alive;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (wrongOf[i] != leastWrong) continue;
    AliveRow row{static_cast<uint32_t>(i), rows[i], wrongOf[i], 1.0};
    for (const int m : open) row.chance *= model.chance[m][PackedOutcome(rows[i], m + 1)];
    for (const int m : open) ++report.match[m].sign[PackedOutcome(rows[i], m + 1)].rowsAlive;
    alive.push_back(row);
  }
  for (int m = 0; m < n; ++m) {
    FollowMatch& match = report.match[m];
    if (match.status.Decided()) continue;
    for (int s = 0; s < 3; ++s) {
      match.sign[s].chance = model.chance[m][s];
      match.sign[s].rows = match.rows[s];
    }
  }

  // Every remaining outcome, an odometer over the open matches with the
  // first turning fastest. chanceAbove[j], polyAbove[j]: the products over
  // the open matches j.. of the digits as they stand.
  std::vector<int> digit(openCount, 0);
  std::vector<double> chanceAbove(openCount + 1, 1.0);
  std::vector<Poly> polyAbove(openCount + 1);
  polyAbove[openCount] = decidedPoly;
  const auto refresh = [&](int from) {
    for (int j = from; j >= 0; --j) {
      const int m = open[j];
      chanceAbove[j] = chanceAbove[j + 1] * model.chance[m][digit[j]];
      polyAbove[j] = TimesMatch(polyAbove[j + 1], model.streck[m][digit[j]]);
    }
  };
  refresh(openCount - 1);
  const double publicRows = model.PublicRows();
  const double minimum = model.pool.minimumPayout;
  // Per open match and sign: Σ over the outcomes with that sign of the other
  // open matches' chance times the win.
  std::vector<std::array<double, 3>> winBySign(openCount, {0, 0, 0});
  double bestLevelChance[4] = {-1, -1, -1, -1};
  double bestWinChance = -1;
  bool bestWinSet = false;
  const auto outcomeRow = [&]() {
    PackedRow row = decidedSigns;
    for (int j = 0; j < openCount; ++j) row |= PackedRow(digit[j]) << (2 * open[j]);
    return row;
  };

  for (int64_t y = 0; y < report.outcomes; ++y) {
    if ((y & 0xfff) == 0 && y > 0) {
      if (work.Stopped()) return std::nullopt;
      work.Fraction(static_cast<double>(y) / static_cast<double>(report.outcomes));
    }
    const double chance = chanceAbove[0];
    const Lanes own = cells[y];
    const OutcomeWin win = WinAt(own, polyAbove[0], lanes, publicRows, minimum);
    bool any = false;
    for (int w = 0; w < 4; ++w) {
      any = any || own[w] != 0;
      const int index = lanes.level[w];
      if (index < 0) continue;
      FollowLevel& level = report.levels[index];
      if (any) level.chanceAtLeast += chance;
      level.expectedWin += chance * win.level[w];
      level.expectedRows += chance * own[w];
      if (own[w] > level.rowsBest || (own[w] == level.rowsBest && chance > bestLevelChance[w])) {
        level.rowsBest = own[w];
        level.bestOutcome = outcomeRow();
        bestLevelChance[w] = chance;
      }
    }
    if (!bestWinSet || win.total > report.bestWin ||
        (win.total == report.bestWin && chance > bestWinChance)) {
      bestWinSet = true;
      report.bestWin = win.total;
      report.bestOutcome = outcomeRow();
      bestWinChance = chance;
    }
    if (win.total > 0) {
      double below = 1;  // the chance of the open matches before j
      for (int j = 0; j < openCount; ++j) {
        winBySign[j][digit[j]] += below * chanceAbove[j + 1] * win.total;
        below *= model.chance[open[j]][digit[j]];
      }
    }
    // The next outcome.
    int j = 0;
    while (j < openCount && digit[j] == 2) digit[j++] = 0;
    if (j < openCount) {
      ++digit[j];
      refresh(j);
    }
  }

  for (FollowLevel& level : report.levels) {
    report.expectedWin += level.expectedWin;
    level.payoutPerRow = level.expectedRows > 0 ? level.expectedWin / level.expectedRows : 0;
  }

  // The sign to root for and the one keeping the most rows alive.
  for (int j = 0; j < openCount; ++j) {
    FollowMatch& match = report.match[open[j]];
    for (int s = 0; s < 3; ++s) match.sign[s].expectedWin = winBySign[j][s];
    const auto pick = [&](auto figure, auto same) {
      int best = 0;
      for (int s = 1; s < 3; ++s) {
        const auto a = figure(s);
        const auto b = figure(best);
        if (a > b || (a == b && match.sign[s].chance > match.sign[best].chance)) best = s;
      }
      const auto [low, high] = std::minmax({figure(0), figure(1), figure(2)});
      return same(low, high) ? -1 : best;
    };
    match.rootFor = pick([&](int s) { return match.sign[s].expectedWin; },
                         [](double low, double high) { return high - low < kSameWin; });
    match.keepsMost = pick([&](int s) { return match.sign[s].rowsAlive; },
                           [](int64_t low, int64_t high) { return low == high; });
  }

  // "Om det slutar som nu".
  Poly nowPoly = decidedPoly;
  int64_t nowIndex = 0;
  report.nowOutcome = decidedSigns;
  for (int j = 0; j < openCount; ++j) {
    const int m = open[j];
    const MatchStatus& status = results.match[m];
    const int sign =
        status.state == MatchState::kPlaying ? status.sign : Likeliest(model.chance[m]);
    report.nowOutcome |= PackedRow(sign) << (2 * m);
    nowIndex += sign * stride[j];
    nowPoly = TimesMatch(nowPoly, model.streck[m][sign]);
  }
  const Lanes nowOwn = cells[nowIndex];
  const OutcomeWin nowWin = WinAt(nowOwn, nowPoly, lanes, publicRows, minimum);
  report.winNow = nowWin.total;
  for (int w = 0; w < 4; ++w) {
    const int index = lanes.level[w];
    if (index < 0) continue;
    FollowLevel& level = report.levels[index];
    level.rowsNow = nowOwn[w];
    if (!lanes.paid[w]) continue;
    level.payoutNow = nowOwn[w] > 0
                          ? nowWin.level[w] / nowOwn[w]
                          : ExpectedRowPayout(lanes.pot[w], publicRows * nowPoly.c[w], minimum);
  }

  report.aliveTotal = static_cast<int64_t>(alive.size());
  std::stable_sort(alive.begin(), alive.end(),
                   [](const AliveRow& a, const AliveRow& b) { return a.chance > b.chance; });
  if (alive.size() > options.aliveShown) alive.resize(options.aliveShown);
  report.alive = std::move(alive);
  work.Fraction(1);
  return report;
}

}  // namespace spelkub
