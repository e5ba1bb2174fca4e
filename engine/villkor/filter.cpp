#include "villkor/filter.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "coupon/parallel_for.h"
#include "value/pool_share.h"

namespace spelkub {
namespace {

// The first matches of the odometer span blocks of at most this many
// outcomes: their counts are tabled once, and the rest of the matches are
// summed once per block.
constexpr int64_t kMaxBlock = 4096;

// Products of row values below this are left to the exact per-row value: the
// order of the factors could matter there.
constexpr double kTiny = 1e-280;

// The block walk multiplies a row's factors in another order than ValueOfRow
// does, a relative difference of a few units in the last place; values this
// close to a bound are taken from ValueOfRow so that both always agree.
constexpr double kNearBound = 1e-11;

bool InMatches(const Condition& condition, int m) {
  return condition.matches == 0 || ((condition.matches >> (m - 1)) & 1u) != 0;
}

bool Breaks(double x, const Condition& condition) {
  return (condition.low && x < static_cast<double>(*condition.low)) ||
         (condition.high && x > static_cast<double>(*condition.high));
}

bool BreaksCount(int64_t count, const Condition& condition) {
  return (condition.low && count < *condition.low) || (condition.high && count > *condition.high);
}

double WholeRowMeasure(const PreparedConditions& prepared, const Condition& condition,
                       PackedRow row) {
  const RowValue value = ValueOfRow(prepared.model, row);
  return condition.measure == Measure::kValue ? value.value * 100.0 : value.payout;
}

bool NearBound(double x, const Condition& condition) {
  auto near = [x](int64_t bound) {
    const auto b = static_cast<double>(bound);
    return std::abs(x - b) <= kNearBound * std::abs(b);
  };
  return (condition.low && near(*condition.low)) || (condition.high && near(*condition.high));
}

// The scaled numbers the conditions need, each read once.
struct NeededValues {
  std::optional<ScaledValues> streck;
  std::optional<ScaledValues> chance;
};

// Reads what the conditions need, refusing the first condition that names a
// match beyond the game or misses a number.
std::optional<NeededValues> ReadNeededValues(std::span<const Condition> conditions, int matches,
                                             const MatchValues& values, const PoolModel& pool,
                                             std::string* error) {
  auto refuse = [&](const Condition& condition, const std::string& what) {
    if (error != nullptr) *error = "Villkoret \"" + ConditionText(condition) + "\"" + what;
    return std::nullopt;
  };
  NeededValues needed;
  bool payoutChecked = false;
  for (const Condition& condition : conditions) {
    if (matches < 32 && (condition.matches >> matches) != 0) {
      int beyond = matches + 1;
      while (((condition.matches >> (beyond - 1)) & 1u) == 0) ++beyond;
      return refuse(condition, ": match " + std::to_string(beyond) + " finns inte, spelet har " +
                                   std::to_string(matches) + " matcher");
    }
    const Measure measure = condition.measure;
    std::string why;
    const bool needsStreck = measure == Measure::kFavourites || measure == Measure::kUpsets ||
                             measure == Measure::kValue || measure == Measure::kPayout;
    const bool needsChance = measure == Measure::kPoints || measure == Measure::kValue;
    if (needsStreck && !needed.streck) {
      needed.streck = ScaleValues(values, matches, ValueKind::kStreck, &why);
      if (!needed.streck) return refuse(condition, " behöver streck: " + why);
    }
    if (needsChance && !needed.chance) {
      needed.chance = ScaleValues(values, matches, ValueKind::kChance, &why);
      if (!needed.chance) return refuse(condition, " behöver egna chanser: " + why);
    }
    if (measure == Measure::kPayout && !payoutChecked) {
      // The pool is checked the value model's way; the chances play no part
      // in the payout, so stand-ins keep missing ones from being refused.
      if (std::isnan(pool.turnover)) return refuse(condition, " behöver omsättningen");
      MatchValues withChances = values;
      for (MatchValue& match : withChances.match) match.chance = {1, 1, 1};
      if (!MakeValueModel(withChances, matches, pool, &why)) return refuse(condition, ": " + why);
      payoutChecked = true;
    }
  }
  return needed;
}

// The public's favourite sign per match; -1 beyond the matches.
std::array<int, kMaxMatches> Favourites(const ScaledValues& streck, int matches) {
  std::array<int, kMaxMatches> favourite;
  favourite.fill(-1);
  for (int m = 0; m < matches; ++m) {
    const SignValues& q = streck.probability[m];
    int best = 0;
    for (int sign = 1; sign < 3; ++sign) {
      if (q[sign] > q[best]) best = sign;  // equals keep the earlier sign
    }
    favourite[m] = best;
  }
  return favourite;
}

// What a sign in a match adds to a counting condition's count.
int16_t WeightOf(const Condition& condition, int m, int sign, const MatchValues& values,
                 const std::array<int, kMaxMatches>& favourite) {
  switch (condition.measure) {
    case Measure::kOnes:
    case Measure::kDraws:
    case Measure::kTwos:
      return sign == static_cast<int>(condition.measure) - static_cast<int>(Measure::kOnes);
    case Measure::kFavourites:
      return sign == favourite[m - 1];
    case Measure::kUpsets:
      return sign != favourite[m - 1];
    case Measure::kPoints: {
      // From the numbers as given, so that 45.5 of 100 is 45.5 exactly
      // and rounds up.
      const SignValues& given = values.match[m - 1].chance;
      const double sum = given[0] + given[1] + given[2];
      return static_cast<int16_t>(std::lround(100.0 * given[sign] / sum));
    }
    case Measure::kValue:
    case Measure::kPayout:
      break;
  }
  return 0;
}

// A condition's weights per match and sign; all 0 outside its matches and
// for the whole-row measures.
std::array<std::array<int16_t, 3>, kMaxMatches> WeightsOf(
    const Condition& condition, int matches, const MatchValues& values,
    const std::array<int, kMaxMatches>& favourite) {
  std::array<std::array<int16_t, 3>, kMaxMatches> weight;
  for (auto& match : weight) match.fill(0);
  if (MeasureOfWholeRow(condition.measure)) return weight;
  for (int m = 1; m <= matches; ++m) {
    if (!InMatches(condition, m)) continue;
    for (int sign = 0; sign < 3; ++sign)
      weight[m - 1][sign] = WeightOf(condition, m, sign, values, favourite);
  }
  return weight;
}

// Whole-row conditions: the products P and Q over some matches, with zero
// factors counted apart (a row with a zero chance has spelvärde 0, one with
// zero streck has Q = 0).
struct Factors {
  double p = 1;
  double q = 1;
  int zeroP = 0;
  int zeroQ = 0;
};

// Takes the sign of match index m into the factors.
void Multiply(const ValueModel& model, Factors& f, int m, int sign) {
  const double p = model.chance[m][sign];
  const double q = model.streck[m][sign];
  if (p == 0)
    ++f.zeroP;
  else
    f.p *= p;
  if (q == 0)
    ++f.zeroQ;
  else
    f.q *= q;
}

// The filter walks the shape's outcomes in blocks: the odometer's first `low`
// matches span a block, whose rows, counts and factors are tabled once.
struct BlockTables {
  int low = 0;
  int64_t size = 1;
  std::vector<PackedRow> rows;
  std::vector<int> counting;  // the conditions that count signs
  std::vector<int> wholeRow;  // spelvärde and utdelning
  // Per counting condition, per row of the block: its count over the block's
  // matches, to be shifted by the rest of the row's count.
  std::vector<std::vector<int16_t>> counts;
  // Per row of the block, when there are whole-row conditions.
  std::vector<Factors> factors;
  // The pool's top pot, size and minimum payout, for utdelning.
  double pot = 0;
  double publicRows = 0;
  double minimum = 0;
};

void TableBlockRows(const SystemShape& shape, BlockTables& tables) {
  while (tables.low < shape.matches && tables.size * shape.radix[tables.low] <= kMaxBlock)
    tables.size *= shape.radix[tables.low++];
  tables.rows.resize(static_cast<size_t>(tables.size));
  for (int64_t i = 0; i < tables.size; ++i) {
    int64_t rest = i;
    PackedRow row = 0;
    for (int m = 0; m < tables.low; ++m) {
      row |= PackedRow{shape.outcomes[m][rest % shape.radix[m]]} << (2 * m);
      rest /= shape.radix[m];
    }
    tables.rows[static_cast<size_t>(i)] = row;
  }
}

void TableBlockCounts(const PreparedConditions& prepared, BlockTables& tables) {
  const size_t block = tables.rows.size();
  tables.counts.assign(tables.counting.size(), std::vector<int16_t>(block));
  for (size_t k = 0; k < tables.counting.size(); ++k) {
    const auto& weight = prepared.weight[static_cast<size_t>(tables.counting[k])];
    for (size_t i = 0; i < block; ++i) {
      int count = 0;
      for (int m = 1; m <= tables.low; ++m)
        count += weight[m - 1][PackedOutcome(tables.rows[i], m)];
      tables.counts[k][i] = static_cast<int16_t>(count);
    }
  }
}

void TableBlockFactors(const PreparedConditions& prepared, BlockTables& tables) {
  tables.factors.assign(tables.wholeRow.empty() ? 0 : tables.rows.size(), Factors{});
  for (size_t i = 0; i < tables.factors.size(); ++i) {
    for (int m = 0; m < tables.low; ++m)
      Multiply(prepared.model, tables.factors[i], m, PackedOutcome(tables.rows[i], m + 1));
  }
}

BlockTables TableBlock(const SystemShape& shape, const PreparedConditions& prepared) {
  BlockTables tables;
  TableBlockRows(shape, tables);
  for (int c = 0; c < static_cast<int>(prepared.conditions.size()); ++c) {
    (MeasureOfWholeRow(prepared.conditions[c].measure) ? tables.wholeRow : tables.counting)
        .push_back(c);
  }
  TableBlockCounts(prepared, tables);
  TableBlockFactors(prepared, tables);
  tables.pot = prepared.model.Pot(prepared.model.matches, prepared.model.ownStake);
  tables.publicRows = prepared.model.PublicRows();
  tables.minimum = prepared.model.pool.minimumPayout;
  return tables;
}

// The high matches' part of the rows of the block the digits stand at.
PackedRow HighRow(const SystemShape& shape, int low, const std::array<int, kMaxMatches>& digit) {
  PackedRow highRow = 0;
  for (int m = low; m < shape.matches; ++m)
    highRow |= PackedRow{shape.outcomes[m][digit[m]]} << (2 * m);
  return highRow;
}

// Turns the odometer of the high matches one step.
void NextHigh(const SystemShape& shape, int low, std::array<int, kMaxMatches>& digit) {
  for (int m = low; m < shape.matches; ++m) {
    if (++digit[m] < shape.radix[m]) break;
    digit[m] = 0;
  }
}

int16_t Bound16(int64_t value) {
  return static_cast<int16_t>(std::clamp<int64_t>(value, -1, std::numeric_limits<int16_t>::max()));
}

// Adds to each row of the block the counting conditions it breaks.
void AddBrokenCounts(const PreparedConditions& prepared, const BlockTables& tables,
                     PackedRow highRow, std::vector<uint8_t>& broken) {
  const size_t block = tables.rows.size();
  for (size_t k = 0; k < tables.counting.size(); ++k) {
    const Condition& condition = prepared.conditions[static_cast<size_t>(tables.counting[k])];
    const auto& weight = prepared.weight[static_cast<size_t>(tables.counting[k])];
    int64_t rest = 0;
    for (int m = tables.low; m < prepared.matches; ++m)
      rest += weight[m][PackedOutcome(highRow, m + 1)];
    // count = rest + block count, within [low, high] <=> the block count
    // within the shifted bounds.
    const int16_t least = condition.low ? Bound16(*condition.low - rest) : int16_t{-1};
    const int16_t most =
        condition.high ? Bound16(*condition.high - rest) : std::numeric_limits<int16_t>::max();
    const int16_t* counts = tables.counts[k].data();
    uint8_t* out = broken.data();
    for (size_t i = 0; i < block; ++i) out[i] += (counts[i] < least) | (counts[i] > most);
  }
}

// Spelvärde (x 100) or utdelning of a row from its factors; nullopt where
// only ValueOfRow's own order of the factors decides.
std::optional<double> MeasureOfFactors(const BlockTables& tables, const Condition& condition,
                                       const Factors& f) {
  if (condition.measure == Measure::kValue) {
    if (f.zeroP > 0) return 0.0;
    if (f.p < kTiny || (f.zeroQ == 0 && f.q < kTiny)) return std::nullopt;
    const double x = f.zeroQ > 0 ? std::numeric_limits<double>::infinity() : f.p / f.q * 100.0;
    if (NearBound(x, condition)) return std::nullopt;
    return x;
  }
  // As ValueOfRow has it: nobody else plays the row when Q is 0.
  if (f.zeroQ > 0) return ExpectedRowPayout(tables.pot, 0, tables.minimum);
  if (f.q < kTiny) return std::nullopt;
  const double x = ExpectedRowPayout(tables.pot, tables.publicRows * f.q, tables.minimum);
  if (NearBound(x, condition)) return std::nullopt;
  return x;
}

// Adds to each row of the block the whole-row conditions it breaks.
void AddBrokenWholeRow(const PreparedConditions& prepared, const BlockTables& tables,
                       PackedRow highRow, std::vector<uint8_t>& broken) {
  if (tables.wholeRow.empty()) return;
  Factors rest;
  for (int m = tables.low; m < prepared.matches; ++m)
    Multiply(prepared.model, rest, m, PackedOutcome(highRow, m + 1));
  for (int c : tables.wholeRow) {
    const Condition& condition = prepared.conditions[static_cast<size_t>(c)];
    for (size_t i = 0; i < tables.rows.size(); ++i) {
      const Factors& low = tables.factors[i];
      const Factors row{rest.p * low.p, rest.q * low.q, rest.zeroP + low.zeroP,
                        rest.zeroQ + low.zeroQ};
      const std::optional<double> x = MeasureOfFactors(tables, condition, row);
      broken[i] += Breaks(x ? *x : WholeRowMeasure(prepared, condition, highRow | tables.rows[i]),
                          condition);
    }
  }
}

// Sets the bits of the block's rows that break at most `maxBroken` conditions.
// Blocks run on several threads and two of them may share a word at their
// edge, so a word is joined in with one atomic or.
void MarkAllowed(const std::vector<uint8_t>& broken, int64_t base, int maxBroken,
                 std::vector<uint64_t>& allowed) {
  uint64_t bits = 0;
  int64_t word = base >> 6;
  const auto flush = [&] {
    if (bits != 0)
      std::atomic_ref<uint64_t>(allowed[static_cast<size_t>(word)])
          .fetch_or(bits, std::memory_order_relaxed);
    bits = 0;
  };
  for (size_t i = 0; i < broken.size(); ++i) {
    const int64_t index = base + static_cast<int64_t>(i);
    if ((index >> 6) != word) {
      flush();
      word = index >> 6;
    }
    bits |= uint64_t{broken[i] <= maxBroken} << (index & 63);
  }
  flush();
}

// The odometer of the high matches at block `block`.
std::array<int, kMaxMatches> HighDigits(const SystemShape& shape, int low, int64_t block) {
  std::array<int, kMaxMatches> digit{};
  for (int m = low; m < shape.matches; ++m) {
    digit[m] = static_cast<int>(block % shape.radix[m]);
    block /= shape.radix[m];
  }
  return digit;
}

}  // namespace

std::optional<PreparedConditions> PrepareConditions(std::span<const Condition> conditions,
                                                    int matches, const MatchValues& values,
                                                    const PoolModel& pool, std::string* error) {
  if (matches < 1 || matches > kMaxMatches) {
    if (error != nullptr) *error = "Antalet matcher måste vara 1 till 14";
    return std::nullopt;
  }
  if (conditions.size() > static_cast<size_t>(kMaxConditions)) {
    if (error != nullptr)
      *error = "Högst " + std::to_string(kMaxConditions) + " villkor går att använda";
    return std::nullopt;
  }
  const std::optional<NeededValues> needed =
      ReadNeededValues(conditions, matches, values, pool, error);
  if (!needed) return std::nullopt;

  PreparedConditions prepared;
  prepared.matches = matches;
  prepared.conditions.assign(conditions.begin(), conditions.end());
  prepared.favourite.fill(-1);
  prepared.model.matches = matches;
  prepared.model.pool = pool;
  if (needed->streck) {
    prepared.model.streck = needed->streck->probability;
    prepared.favourite = Favourites(*needed->streck, matches);
  }
  if (needed->chance) prepared.model.chance = needed->chance->probability;
  for (const Condition& condition : conditions)
    prepared.weight.push_back(WeightsOf(condition, matches, values, prepared.favourite));
  return prepared;
}

int BrokenConditions(const PreparedConditions& prepared, PackedRow row) {
  int broken = 0;
  for (size_t c = 0; c < prepared.conditions.size(); ++c) {
    const Condition& condition = prepared.conditions[c];
    if (MeasureOfWholeRow(condition.measure)) {
      broken += Breaks(WholeRowMeasure(prepared, condition, row), condition);
      continue;
    }
    int64_t count = 0;
    for (int m = 1; m <= prepared.matches; ++m) {
      count += prepared.weight[c][m - 1][PackedOutcome(row, m)];
    }
    broken += BreaksCount(count, condition);
  }
  return broken;
}

std::optional<System> FilterSystem(const SystemShape& shape, const PreparedConditions& prepared,
                                   int maxBroken, const Work& work) {
  if (shape.matches != prepared.matches)
    throw std::invalid_argument("FilterSystem: the conditions are for another game");
  const int64_t size = shape.size();
  const auto conditionCount = static_cast<int>(prepared.conditions.size());
  if (size == 0 || maxBroken >= conditionCount) return System(shape);
  maxBroken = std::max(maxBroken, 0);

  const BlockTables tables = TableBlock(shape, prepared);
  const int64_t blocks = size / tables.size;
  std::vector<uint64_t> allowed(static_cast<size_t>((size + 63) / 64), 0);
  // A unit is a run of blocks of about 65536 rows: coarse enough to share
  // among threads cheaply, fine enough to stop and report promptly.
  const int64_t unitBlocks = std::max<int64_t>(1, (int64_t{1} << 16) / tables.size);
  const int64_t units = (blocks + unitBlocks - 1) / unitBlocks;
  const ParallelRun run = ParallelFor(
      units, 0, work.stop,
      [&](int64_t unit) {
        std::vector<uint8_t> broken(tables.rows.size());
        const int64_t first = unit * unitBlocks;
        const int64_t last = std::min(blocks, first + unitBlocks);
        std::array<int, kMaxMatches> digit = HighDigits(shape, tables.low, first);
        for (int64_t b = first; b < last; ++b) {
          const PackedRow highRow = HighRow(shape, tables.low, digit);
          std::fill(broken.begin(), broken.end(), 0);
          AddBrokenCounts(prepared, tables, highRow, broken);
          AddBrokenWholeRow(prepared, tables, highRow, broken);
          MarkAllowed(broken, b * tables.size, maxBroken, allowed);
          NextHigh(shape, tables.low, digit);
        }
      },
      [&](int64_t done) { work.Fraction(static_cast<double>(done) / static_cast<double>(units)); });
  if (!run.complete || work.Stopped()) return std::nullopt;
  work.Fraction(1.0);
  return System(shape, std::move(allowed));
}

}  // namespace spelkub
