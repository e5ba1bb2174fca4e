#include "value/system_value.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "coupon/parallel_for.h"
#include "coupon/system_shape.h"
#include "io/huge_pages.h"
#include "value/pool_share.h"

namespace spelkub {
namespace {

// Outcome y has the index Σ y_m · 3^(m-1), match 1 turning fastest, as in the
// odometer of a full system.

// The rows of the system at distance 0..3 from an outcome (n, n-1, n-2 and
// n-3 right), one lane each. 32 bits: one outcome can be near far more than
// 65535 rows.
using Lanes = uint32_t __attribute__((vector_size(16)));
struct Cell {
  Lanes at;
};

// Lane d of the result is lane d - 1 of `lanes`, lane 0 is 0.
inline Lanes ShiftUp(Lanes lanes) {
  const Lanes zero{0, 0, 0, 0};
#if defined(__clang__)
  return __builtin_shufflevector(lanes, zero, 4, 0, 1, 2);
#else
  return __builtin_shuffle(lanes, zero, Lanes{4, 0, 1, 2});
#endif
}

// The transform first runs matches 1..8 inside blocks of 3^8 cells (105 KB),
// then the later matches on tiles of this many cells (512 KB): both stay in
// the 2 MB second-level cache, so the cells cross memory twice instead of once
// per match.
constexpr int kBlockMatches = 8;
constexpr int64_t kTileCells = 32768;
// The outcome walk takes P and the public's polynomial of matches 1..7 from a
// table, and works in units of 3^7 outcomes.
constexpr int kTableMatches = 7;

// Shares of the progress bar: filling the histogram, the two transform
// phases, the walk over the outcomes.
constexpr double kFilled = 0.05;
constexpr double kBlocksDone = 0.3;
constexpr double kTilesDone = 0.55;

// One match on three cells that differ only in its sign: a row at distance d
// from one of them is at distance d + 1 from the other two.
inline void Step(Cell& a, Cell& b, Cell& c) {
  const Lanes sum = a.at + b.at + c.at;
  a.at += ShiftUp(sum - a.at);
  b.at += ShiftUp(sum - b.at);
  c.at += ShiftUp(sum - c.at);
}

// Steps one match on the cells base + (3·high + sign)·stride + low for
// high < highs and low in [lowBegin, lowEnd).
void StepRange(Cell* base, int64_t stride, int64_t highs, int64_t lowBegin, int64_t lowEnd) {
  for (int64_t high = 0; high < highs; ++high) {
    Cell* a = base + 3 * high * stride;
    Cell* b = a + stride;
    Cell* c = b + stride;
    for (int64_t low = lowBegin; low < lowEnd; ++low) Step(a[low], b[low], c[low]);
  }
}

// The public's chance of a row with exactly n - d right against an outcome,
// d = 0..3: the coefficients of t^d in Π_m (q_m + (1 - q_m) t), cut after t^3.
struct Poly {
  double c[4] = {1, 0, 0, 0};
};

inline Poly TimesMatch(const Poly& poly, double q) {
  const double miss = 1 - q;
  return {{poly.c[0] * q, poly.c[1] * q + poly.c[0] * miss, poly.c[2] * q + poly.c[1] * miss,
           poly.c[3] * q + poly.c[2] * miss}};
}

inline Poly Times(const Poly& x, const Poly& y) {
  return {{x.c[0] * y.c[0], x.c[0] * y.c[1] + x.c[1] * y.c[0],
           x.c[0] * y.c[2] + x.c[1] * y.c[1] + x.c[2] * y.c[0],
           x.c[0] * y.c[3] + x.c[1] * y.c[2] + x.c[2] * y.c[1] + x.c[3] * y.c[0]}};
}

// Runs work(unit) for units 0..units-1 on `threads` threads, the calling one
// reporting progress from `from` to `to`. False when stopped.
template <typename Unit>
bool RunUnits(int64_t units, int threads, const Work& work, double from, double to,
              const Unit& unitWork) {
  double reported = from;
  const ParallelRun run = ParallelFor(
      units, threads, work.stop, [&](int64_t unit) { unitWork(unit); },
      [&](int64_t finished) {
        const double fraction = from + (to - from) * static_cast<double>(finished) / units;
        if (fraction - reported >= 0.01) {
          work.Fraction(fraction);
          reported = fraction;
        }
      });
  // A unit cut short by a stop leaves the cells half done: no result then.
  return run.complete && !work.Stopped();
}

// The bins of the payout histograms: a payout falls in the bin of the number
// of inner edges at or below it.
struct PayoutBins {
  const std::vector<double>& edges;
  int count = 0;

  explicit PayoutBins(const std::vector<double>& payoutEdges)
      : edges(payoutEdges),
        count(payoutEdges.size() >= 2 ? static_cast<int>(payoutEdges.size()) - 1 : 0) {}

  int Of(double payout) const {
    return static_cast<int>(std::upper_bound(edges.begin() + 1, edges.end() - 1, payout) -
                            (edges.begin() + 1));
  }
};

// What every stage needs of the pool: the others' rows, and the pot of each
// level at distance 0..3 with the system's own stake in it.
struct PoolFigures {
  double publicRows = 0;
  double topPot = 0;
  double minimum = 0;
  double pot[4] = {};

  // U: the top payout of a row the public plays with share Q.
  double TopPayout(double share) const {
    return ExpectedRowPayout(topPot, publicRows * share, minimum);
  }
};

PoolFigures FiguresOf(const ValueModel& model, size_t rows) {
  const int n = model.matches;
  const double stake = static_cast<double>(rows) * model.pool.rowPrice;
  PoolFigures figures;
  figures.publicRows = model.PublicRows();
  figures.topPot = model.Pot(n, stake);
  figures.minimum = model.pool.minimumPayout;
  for (int d = 0; d < 4; ++d) figures.pot[d] = n - d >= 0 ? model.Pot(n - d, stake) : 0;
  return figures;
}

using CellArray = std::unique_ptr<Cell[], void (*)(void*)>;

CellArray AllocateCells(int64_t size) {
  // calloc: fresh pages come zeroed from the system, not written twice.
  CellArray cells(static_cast<Cell*>(std::calloc(size, sizeof(Cell))), std::free);
  if (cells == nullptr) throw std::bad_alloc();
  AdviseHugePages(cells.get(), size * sizeof(Cell));
  return cells;
}

// A row is read a byte (four matches) at a time: per byte position and byte
// value, its part of the outcome index and of the public's share.
struct ByteValue {
  int64_t index = 0;  // -1: a field of 3, or a sign beyond the matches
  double share = 1;
};

std::vector<ByteValue> ByteValueTable(const ValueModel& model, int bytes) {
  const int n = model.matches;
  std::vector<ByteValue> byteValues(bytes * 256);
  for (int byte = 0; byte < bytes; ++byte) {
    for (int bits = 0; bits < 256; ++bits) {
      ByteValue& value = byteValues[byte * 256 + bits];
      for (int field = 0; field < 4; ++field) {
        const int m = 4 * byte + field + 1;
        const int sign = (bits >> (2 * field)) & 3;
        if (m > n ? sign != 0 : sign > 2) {
          value.index = -1;
          break;
        }
        if (m > n) continue;
        value.index += sign * Power3(m - 1);
        value.share *= model.streck[m - 1][sign];
      }
    }
  }
  return byteValues;
}

// The histogram of the rows in lane 0 of their outcome's cell, and their
// estimated top payouts in `rowsByPayout`. False when stopped.
bool FillHistogram(const ValueModel& model, std::span<const PackedRow> rows,
                   const PoolFigures& figures, const PayoutBins& bins, Cell* cells,
                   std::vector<int64_t>& rowsByPayout, const Work& work) {
  const int bytes = (model.matches + 3) / 4;
  const std::vector<ByteValue> byteValues = ByteValueTable(model, bytes);
  const PackedRow beyond = bytes == 4 ? 0 : ~PackedRow{0} << (8 * bytes);
  for (size_t i = 0; i < rows.size(); ++i) {
    if ((i & 0xffff) == 0 && i > 0) {
      if (work.Stopped()) return false;
      work.Fraction(kFilled * static_cast<double>(i) / rows.size());
    }
    const PackedRow row = rows[i];
    int64_t index = 0;
    double share = 1;
    bool valid = (row & beyond) == 0;
    for (int byte = 0; byte < bytes; ++byte) {
      const ByteValue& value = byteValues[byte * 256 + ((row >> (8 * byte)) & 0xff)];
      valid = valid && value.index >= 0;
      index += value.index;
      share *= value.share;
    }
    if (!valid) throw std::invalid_argument("ComputeSystemValue: a row without a sign in a match");
    ++cells[index].at[0];
    if (bins.count > 0) ++rowsByPayout[bins.Of(figures.TopPayout(share))];
  }
  return true;
}

// The transform: after a match, cell y counts the rows at each distance from
// y over the matches done so far. False when stopped.
bool TransformCells(Cell* cells, int n, int threads, const Work& work) {
  const int64_t size = Power3(n);
  const int blockMatches = std::min(n, kBlockMatches);
  const int64_t block = Power3(blockMatches);
  const int64_t blocks = size / block;
  const bool blocksDone = RunUnits(blocks, threads, work, kFilled, kBlocksDone, [&](int64_t unit) {
    Cell* base = cells + unit * block;
    for (int m = 1; m <= blockMatches; ++m) {
      const int64_t stride = Power3(m - 1);
      StepRange(base, stride, Power3(blockMatches - m), 0, stride);
    }
  });
  if (!blocksDone) return false;
  if (n == blockMatches) return true;
  // Each tile takes a run of the low positions across all the high ones.
  const int64_t width = std::max<int64_t>(1, kTileCells / blocks);
  const int64_t tiles = (block + width - 1) / width;
  return RunUnits(tiles, threads, work, kBlocksDone, kTilesDone, [&](int64_t unit) {
    const int64_t lowBegin = unit * width;
    const int64_t lowEnd = std::min(block, lowBegin + width);
    for (int m = blockMatches + 1; m <= n; ++m) {
      const int64_t stride = Power3(m - 1);
      const int64_t highs = Power3(n - m);
      for (int64_t mid = 0; mid < stride / block; ++mid)
        StepRange(cells + mid * block, stride, highs, lowBegin, lowEnd);
    }
  });
}

// P(y) and the public's polynomial over matches first..last of the outcomes
// whose digits in those matches are `digits`.
void ChanceAndPoly(const ValueModel& model, int first, int last, int64_t digits, double& chance,
                   Poly& poly) {
  chance = 1;
  poly = Poly{};
  for (int m = first; m <= last; ++m, digits /= 3) {
    chance *= model.chance[m - 1][digits % 3];
    poly = TimesMatch(poly, model.streck[m - 1][digits % 3]);
  }
}

// What the walk leaves per unit of outcomes: the chance of at least n - d
// right for d = 0..3, the return, and the two histograms.
struct Partials {
  int bins = 0;
  int64_t size = 0;
  std::vector<double> values;

  Partials(int64_t units, int binCount)
      : bins(binCount), size(5 + 2 * binCount), values(units * size, 0) {}
  double* Of(int64_t unit) { return values.data() + unit * size; }
  const double* Of(int64_t unit) const { return values.data() + unit * size; }
};

// The walk over the outcomes: P(y) and the public's polynomial of the low
// matches from a table, of the high ones per unit. Nullopt when stopped.
std::optional<Partials> WalkOutcomes(const ValueModel& model, const Cell* cells,
                                     const PoolFigures& figures, const PayoutBins& bins,
                                     int threads, const Work& work) {
  const int n = model.matches;
  const int tableMatches = std::min(n, kTableMatches);
  const int64_t inner = Power3(tableMatches);
  const int64_t units = Power3(n) / inner;
  std::vector<double> lowChance(inner);
  std::vector<Poly> lowPoly(inner);
  for (int64_t low = 0; low < inner; ++low)
    ChanceAndPoly(model, 1, tableMatches, low, lowChance[low], lowPoly[low]);
  Partials partials(units, bins.count);
  const bool walked = RunUnits(units, threads, work, kTilesDone, 1, [&](int64_t unit) {
    double highChance;
    Poly highPoly;
    ChanceAndPoly(model, tableMatches + 1, n, unit, highChance, highPoly);
    double atLeast[4] = {};
    double expected = 0;
    double* partial = partials.Of(unit);
    double* chanceBins = partial + 5;
    double* publicBins = chanceBins + bins.count;
    const Cell* own = cells + unit * inner;
    for (int64_t low = 0; low < inner; ++low) {
      const double chance = highChance * lowChance[low];
      const Cell& near = own[low];
      const bool anyRow = (near.at[0] | near.at[1] | near.at[2] | near.at[3]) != 0;
      // U here: the chart's bin, and the top level's win where one own row
      // has it (the same expectation, c = 1).
      const double share = highPoly.c[0] * lowPoly[low].c[0];
      const double top = bins.count > 0 ? figures.TopPayout(share) : -1;
      if (anyRow) {
        const Poly poly = Times(highPoly, lowPoly[low]);
        uint32_t within = 0;
        for (int d = 0; d < 4; ++d) {
          within |= near.at[d];
          if (within != 0) atLeast[d] += chance;
          if (near.at[d] == 0 || figures.pot[d] == 0) continue;
          expected +=
              chance * (d == 0 && near.at[0] == 1 && top >= 0
                            ? top
                            : ExpectedLevelWin(figures.pot[d], figures.publicRows * poly.c[d],
                                               near.at[d], figures.minimum));
        }
      }
      if (bins.count > 0) {
        const int bin = bins.Of(top);
        chanceBins[bin] += chance;
        publicBins[bin] += share;
      }
    }
    std::copy(atLeast, atLeast + 4, partial);
    partial[4] = expected;
  });
  if (!walked) return std::nullopt;
  return partials;
}

// Sums the units in their order, so any number of threads gives the same
// numbers; the chances of at least n - d right go to `atLeast`.
void SumPartials(const Partials& partials, SystemValue& result, double (&atLeast)[4]) {
  const int64_t units = static_cast<int64_t>(partials.values.size()) / partials.size;
  const int bins = partials.bins;
  for (int64_t unit = 0; unit < units; ++unit) {
    const double* partial = partials.Of(unit);
    for (int d = 0; d < 4; ++d) atLeast[d] += partial[d];
    result.expectedReturn += partial[4];
    for (int bin = 0; bin < bins; ++bin) {
      result.chanceByPayout[bin] += partial[5 + bin];
      result.publicByPayout[bin] += partial[5 + bins + bin];
    }
  }
}

// The likeliest outcome and what each level pays there.
void AddLikeliest(const ValueModel& model, const Cell* cells, const PoolFigures& figures,
                  const double (&atLeast)[4], SystemValue& result) {
  const int n = model.matches;
  int64_t likeliestIndex = 0;
  Poly likeliestPoly;
  for (int m = 1; m <= n; ++m) {
    const SignValues& chance = model.chance[m - 1];
    const int sign =
        static_cast<int>(std::max_element(chance.begin(), chance.end()) - chance.begin());
    result.likeliest |= static_cast<PackedRow>(sign) << (2 * (m - 1));
    likeliestIndex += sign * Power3(m - 1);
    likeliestPoly = TimesMatch(likeliestPoly, model.streck[m - 1][sign]);
  }
  for (const PrizeLevel& level : model.pool.levels) {
    const int d = n - level.right;
    LevelValue value;
    value.right = level.right;
    value.chanceAtLeast = atLeast[d];
    value.rowsAtLikeliest = cells[likeliestIndex].at[d];
    const int64_t own = std::max<int64_t>(value.rowsAtLikeliest, 1);
    value.payoutAtLikeliest =
        ExpectedLevelWin(figures.pot[d], figures.publicRows * likeliestPoly.c[d], own,
                         figures.minimum) /
        static_cast<double>(own);
    result.levels.push_back(value);
  }
}

}  // namespace

std::optional<SystemValue> ComputeSystemValue(const ValueModel& model,
                                              std::span<const PackedRow> rows,
                                              const SystemValueOptions& options, const Work& work) {
  const int n = model.matches;
  if (n < 1 || n > kMaxMatches) throw std::invalid_argument("ComputeSystemValue: matches");
  if (rows.size() > UINT32_MAX) throw std::invalid_argument("ComputeSystemValue: too many rows");
  if (!std::is_sorted(options.payoutEdges.begin(), options.payoutEdges.end()))
    throw std::invalid_argument("ComputeSystemValue: payout edges not ascending");
  const PayoutBins bins(options.payoutEdges);
  const int threads = options.threads > 0
                          ? options.threads
                          : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  const PoolFigures figures = FiguresOf(model, rows.size());

  SystemValue result;
  result.rows = static_cast<int64_t>(rows.size());
  result.chanceByPayout.assign(bins.count, 0);
  result.publicByPayout.assign(bins.count, 0);
  result.rowsByPayout.assign(bins.count, 0);

  const CellArray cells = AllocateCells(Power3(n));
  if (!FillHistogram(model, rows, figures, bins, cells.get(), result.rowsByPayout, work))
    return std::nullopt;
  if (!TransformCells(cells.get(), n, threads, work)) return std::nullopt;
  const std::optional<Partials> partials =
      WalkOutcomes(model, cells.get(), figures, bins, threads, work);
  if (!partials) return std::nullopt;

  double atLeast[4] = {};
  SumPartials(*partials, result, atLeast);
  if (!rows.empty())
    result.returnOrePerRow =
        result.expectedReturn / (static_cast<double>(rows.size()) * model.pool.rowPrice) * 100;
  AddLikeliest(model, cells.get(), figures, atLeast, result);
  work.Fraction(1);
  return result;
}

}  // namespace spelkub
