#include "villkor/filter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

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

}  // namespace

std::optional<PreparedConditions> PrepareConditions(std::span<const Condition> conditions,
                                                    int matches, const MatchValues& values,
                                                    const PoolModel& pool, std::string* error) {
  auto refuse = [&](const Condition& condition, const std::string& what) {
    if (error != nullptr) *error = "Villkoret \"" + ConditionText(condition) + "\"" + what;
    return std::nullopt;
  };
  if (matches < 1 || matches > kMaxMatches) {
    if (error != nullptr) *error = "Antalet matcher måste vara 1 till 14";
    return std::nullopt;
  }
  if (conditions.size() > static_cast<size_t>(kMaxConditions)) {
    if (error != nullptr)
      *error = "Högst " + std::to_string(kMaxConditions) + " villkor går att använda";
    return std::nullopt;
  }
  PreparedConditions prepared;
  prepared.matches = matches;
  prepared.conditions.assign(conditions.begin(), conditions.end());
  prepared.favourite.fill(-1);
  prepared.model.matches = matches;
  prepared.model.pool = pool;

  std::optional<ScaledValues> streck;
  std::optional<ScaledValues> chance;
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
    if (needsStreck && !streck) {
      streck = ScaleValues(values, matches, ValueKind::kStreck, &why);
      if (!streck) return refuse(condition, " behöver streck: " + why);
    }
    if (needsChance && !chance) {
      chance = ScaleValues(values, matches, ValueKind::kChance, &why);
      if (!chance) return refuse(condition, " behöver egna chanser: " + why);
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
  if (streck) {
    prepared.model.streck = streck->probability;
    for (int m = 0; m < matches; ++m) {
      const SignValues& q = streck->probability[m];
      int best = 0;
      for (int sign = 1; sign < 3; ++sign) {
        if (q[sign] > q[best]) best = sign;  // equals keep the earlier sign
      }
      prepared.favourite[m] = best;
    }
  }
  if (chance) prepared.model.chance = chance->probability;

  for (const Condition& condition : conditions) {
    auto& weight = prepared.weight.emplace_back();
    for (auto& match : weight) match.fill(0);
    if (MeasureOfWholeRow(condition.measure)) continue;
    for (int m = 1; m <= matches; ++m) {
      if (!InMatches(condition, m)) continue;
      for (int sign = 0; sign < 3; ++sign) {
        int16_t w = 0;
        switch (condition.measure) {
          case Measure::kOnes:
          case Measure::kDraws:
          case Measure::kTwos:
            w = sign == static_cast<int>(condition.measure) - static_cast<int>(Measure::kOnes);
            break;
          case Measure::kFavourites:
            w = sign == prepared.favourite[m - 1];
            break;
          case Measure::kUpsets:
            w = sign != prepared.favourite[m - 1];
            break;
          case Measure::kPoints: {
            // From the numbers as given, so that 45.5 of 100 is 45.5 exactly
            // and rounds up.
            const SignValues& given = values.match[m - 1].chance;
            const double sum = given[0] + given[1] + given[2];
            w = static_cast<int16_t>(std::lround(100.0 * given[sign] / sum));
            break;
          }
          case Measure::kValue:
          case Measure::kPayout:
            break;
        }
        weight[m - 1][sign] = w;
      }
    }
  }
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
  const int matches = shape.matches;

  // The block: the odometer's first `low` matches.
  int low = 0;
  int64_t blockSize = 1;
  while (low < matches && blockSize * shape.radix[low] <= kMaxBlock)
    blockSize *= shape.radix[low++];
  const int64_t blocks = size / blockSize;
  const auto block = static_cast<size_t>(blockSize);

  std::vector<PackedRow> lowRow(block);
  for (int64_t i = 0; i < blockSize; ++i) {
    int64_t rest = i;
    PackedRow row = 0;
    for (int m = 0; m < low; ++m) {
      row |= PackedRow{shape.outcomes[m][rest % shape.radix[m]]} << (2 * m);
      rest /= shape.radix[m];
    }
    lowRow[static_cast<size_t>(i)] = row;
  }

  // Counting conditions: the block's counts, to be shifted by the rest of the
  // row's count.
  std::vector<int> counting;
  std::vector<int> wholeRow;
  for (int c = 0; c < conditionCount; ++c) {
    (MeasureOfWholeRow(prepared.conditions[c].measure) ? wholeRow : counting).push_back(c);
  }
  std::vector<std::vector<int16_t>> lowCount(counting.size(), std::vector<int16_t>(block));
  for (size_t k = 0; k < counting.size(); ++k) {
    const auto& weight = prepared.weight[static_cast<size_t>(counting[k])];
    for (size_t i = 0; i < block; ++i) {
      int count = 0;
      for (int m = 1; m <= low; ++m) count += weight[m - 1][PackedOutcome(lowRow[i], m)];
      lowCount[k][i] = static_cast<int16_t>(count);
    }
  }

  // Whole-row conditions: the products P and Q over the block's matches, with
  // zero factors counted apart (a row with a zero chance has spelvärde 0, one
  // with zero streck has Q = 0).
  struct Factors {
    double p = 1;
    double q = 1;
    int zeroP = 0;
    int zeroQ = 0;
  };
  const ValueModel& model = prepared.model;
  auto multiply = [&](Factors& f, int m, int sign) {
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
  };
  std::vector<Factors> lowFactors(wholeRow.empty() ? 0 : block);
  for (size_t i = 0; i < lowFactors.size(); ++i) {
    for (int m = 0; m < low; ++m) multiply(lowFactors[i], m, PackedOutcome(lowRow[i], m + 1));
  }
  const double pot = model.Pot(model.matches);
  const double publicRows = model.PublicRows();

  std::vector<uint64_t> allowed(static_cast<size_t>((size + 63) / 64), 0);
  std::vector<uint8_t> broken(block);
  std::array<int, kMaxMatches> digit{};
  const auto bound16 = [](int64_t value) {
    return static_cast<int16_t>(
        std::clamp<int64_t>(value, -1, std::numeric_limits<int16_t>::max()));
  };
  const int64_t pollGrain = std::max<int64_t>(1, (int64_t{1} << 16) / blockSize);

  for (int64_t b = 0; b < blocks; ++b) {
    if (b % pollGrain == 0) {
      if (work.Stopped()) return std::nullopt;
      work.Fraction(static_cast<double>(b) / static_cast<double>(blocks));
    }
    PackedRow highRow = 0;
    for (int m = low; m < matches; ++m)
      highRow |= PackedRow{shape.outcomes[m][digit[m]]} << (2 * m);

    std::fill(broken.begin(), broken.end(), 0);
    for (size_t k = 0; k < counting.size(); ++k) {
      const Condition& condition = prepared.conditions[static_cast<size_t>(counting[k])];
      const auto& weight = prepared.weight[static_cast<size_t>(counting[k])];
      int64_t rest = 0;
      for (int m = low; m < matches; ++m) rest += weight[m][PackedOutcome(highRow, m + 1)];
      // count = rest + block count, within [low, high] <=> the block count
      // within the shifted bounds.
      const int16_t least = condition.low ? bound16(*condition.low - rest) : int16_t{-1};
      const int16_t most =
          condition.high ? bound16(*condition.high - rest) : std::numeric_limits<int16_t>::max();
      const int16_t* counts = lowCount[k].data();
      uint8_t* out = broken.data();
      for (size_t i = 0; i < block; ++i) out[i] += (counts[i] < least) | (counts[i] > most);
    }

    if (!wholeRow.empty()) {
      Factors rest;
      for (int m = low; m < matches; ++m) multiply(rest, m, PackedOutcome(highRow, m + 1));
      for (int c : wholeRow) {
        const Condition& condition = prepared.conditions[static_cast<size_t>(c)];
        const bool value = condition.measure == Measure::kValue;
        for (size_t i = 0; i < block; ++i) {
          const Factors& f = lowFactors[i];
          const int zeroP = rest.zeroP + f.zeroP;
          const int zeroQ = rest.zeroQ + f.zeroQ;
          const double p = rest.p * f.p;
          const double q = rest.q * f.q;
          double x = 0;
          bool exact = false;
          if (value) {
            if (zeroP > 0) {
              x = 0;
            } else if (p < kTiny || (zeroQ == 0 && q < kTiny)) {
              exact = true;
            } else {
              x = zeroQ > 0 ? std::numeric_limits<double>::infinity() : p / q * 100.0;
              exact = NearBound(x, condition);
            }
          } else if (zeroQ > 0) {
            x = pot;  // pot / (N * 0 + 1), as ValueOfRow has it
          } else if (q < kTiny) {
            exact = true;
          } else {
            x = pot / (publicRows * q + 1);
            exact = NearBound(x, condition);
          }
          if (exact) x = WholeRowMeasure(prepared, condition, highRow | lowRow[i]);
          broken[i] += Breaks(x, condition);
        }
      }
    }

    const int64_t base = b * blockSize;
    for (size_t i = 0; i < block; ++i) {
      const int64_t index = base + static_cast<int64_t>(i);
      allowed[static_cast<size_t>(index >> 6)] |= uint64_t{broken[i] <= maxBroken} << (index & 63);
    }

    for (int m = low; m < matches; ++m) {
      if (++digit[m] < shape.radix[m]) break;
      digit[m] = 0;
    }
  }
  work.Fraction(1.0);
  return System(shape, std::move(allowed));
}

}  // namespace spelkub
