#include "value/value_model.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string_view>

namespace spelkub {
namespace {

std::string SignName(int sign) {
  return std::string(1, OutcomeSign(sign));
}

std::string NumberText(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

bool Fail(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
  return false;
}

const SignValues& Pick(const MatchValue& match, ValueKind kind) {
  return kind == ValueKind::kChance ? match.chance : match.streck;
}

bool CheckShare(double share, std::string_view what, std::string* error) {
  if (std::isfinite(share) && share >= 0 && share <= 1) return true;
  return Fail(error, std::string(what) + " måste vara mellan 0 och 100 %");
}

bool CheckPool(const PoolModel& pool, int matches, std::string* error) {
  if (std::isnan(pool.turnover)) return Fail(error, "Ange omsättningen");
  if (!std::isfinite(pool.turnover) || pool.turnover <= 0)
    return Fail(error, "Omsättningen måste vara större än 0");
  if (!std::isfinite(pool.rowPrice) || pool.rowPrice <= 0)
    return Fail(error, "Radpriset måste vara större än 0");
  if (!CheckShare(pool.payoutShare, "Utbetalningsandelen", error)) return false;
  if (!std::isfinite(pool.minimumPayout) || pool.minimumPayout < 0)
    return Fail(error, "Minsta utdelning kan inte vara negativ");
  double total = 0;
  for (size_t i = 0; i < pool.levels.size(); ++i) {
    const PrizeLevel& level = pool.levels[i];
    const std::string name = std::to_string(level.right) + " rätt";
    // The exact value keeps distances 0..3 from each outcome, so the top four.
    if (level.right > matches || level.right < std::max(0, matches - 3))
      return Fail(error, "Vinstgraden " + name + " stöds inte, bara de fyra högsta");
    for (size_t j = 0; j < i; ++j) {
      if (pool.levels[j].right == level.right)
        return Fail(error, "Vinstgraden " + name + " finns två gånger");
    }
    if (!CheckShare(level.share, "Andelen för " + name, error)) return false;
    total += level.share;
  }
  if (total > 1 + 1e-12) return Fail(error, "Vinstgraderna får tillsammans högst 100 %");
  return true;
}

}  // namespace

std::optional<ScaledValues> ScaleValues(const MatchValues& values, int matches, ValueKind kind,
                                        std::string* error) {
  const std::string what = kind == ValueKind::kChance ? "Chans" : "Streck";
  ScaledValues scaled;
  for (int m = 1; m <= matches; ++m) {
    const SignValues& given = Pick(values.match[m - 1], kind);
    const std::string prefix = what + ": match " + std::to_string(m);
    double sum = 0;
    for (int sign = 0; sign < 3; ++sign) {
      const double value = given[sign];
      if (std::isnan(value)) {
        Fail(error, prefix + " saknar värde för " + SignName(sign));
        return std::nullopt;
      }
      if (!std::isfinite(value)) {
        Fail(error, prefix + " har ett ogiltigt värde för " + SignName(sign));
        return std::nullopt;
      }
      if (value < 0) {
        Fail(error, prefix + " har ett negativt värde för " + SignName(sign));
        return std::nullopt;
      }
      sum += value;
    }
    if (sum == 0) {
      Fail(error, prefix + " har summan 0");
      return std::nullopt;
    }
    if (!(sum >= 99 && sum <= 101)) scaled.scaledMatches.push_back(m);
    for (int sign = 0; sign < 3; ++sign) scaled.probability[m - 1][sign] = given[sign] / sum;
  }
  return scaled;
}

double PowerMethodExponent(const SignValues& odds) {
  // Σ (1/o)^k falls strictly from 3 at k = 0 towards 0, since every 1/o < 1:
  // bracket the root by doubling, then halve the bracket until it is as
  // narrow as a double allows.
  const auto excess = [&](double k) {
    return std::pow(1 / odds[0], k) + std::pow(1 / odds[1], k) + std::pow(1 / odds[2], k) - 1;
  };
  double low = 0;
  double high = 1;
  while (excess(high) > 0) {
    low = high;
    high *= 2;
  }
  for (int step = 0; step < 200; ++step) {
    const double middle = low + (high - low) / 2;
    if (middle <= low || middle >= high) break;
    (excess(middle) > 0 ? low : high) = middle;
  }
  return std::abs(excess(low)) < std::abs(excess(high)) ? low : high;
}

std::optional<SignTable> OddsToChances(const MatchValues& values, int matches, std::string* error,
                                       OddsMethod method) {
  SignTable chances{};
  for (int m = 1; m <= matches; ++m) {
    const SignValues& odds = values.match[m - 1].odds;
    const std::string prefix = "Odds: match " + std::to_string(m);
    double sum = 0;
    for (int sign = 0; sign < 3; ++sign) {
      const double value = odds[sign];
      if (std::isnan(value)) {
        Fail(error, prefix + " saknar odds för " + SignName(sign));
        return std::nullopt;
      }
      if (!std::isfinite(value)) {
        Fail(error, prefix + " har ett ogiltigt odds för " + SignName(sign));
        return std::nullopt;
      }
      if (value <= 1) {
        Fail(error, prefix + " har oddset " + NumberText(value) + " för " + SignName(sign) +
                        ", men odds måste vara större än 1");
        return std::nullopt;
      }
      sum += 1 / value;
    }
    if (method == OddsMethod::kPower) {
      const double k = PowerMethodExponent(odds);
      for (int sign = 0; sign < 3; ++sign) chances[m - 1][sign] = std::pow(1 / odds[sign], k);
    } else {
      for (int sign = 0; sign < 3; ++sign) chances[m - 1][sign] = (1 / odds[sign]) / sum;
    }
  }
  return chances;
}

double ValueModel::Pot(int right) const {
  for (const PrizeLevel& level : pool.levels) {
    if (level.right == right) return pool.turnover * pool.payoutShare * level.share;
  }
  return 0;
}

std::optional<ValueModel> MakeValueModel(const MatchValues& values, int matches,
                                         const PoolModel& pool, std::string* error) {
  if (matches < 1 || matches > kMaxMatches) {
    Fail(error, "Antalet matcher måste vara 1 till 14");
    return std::nullopt;
  }
  const auto chance = ScaleValues(values, matches, ValueKind::kChance, error);
  if (!chance) return std::nullopt;
  const auto streck = ScaleValues(values, matches, ValueKind::kStreck, error);
  if (!streck) return std::nullopt;
  if (!CheckPool(pool, matches, error)) return std::nullopt;
  ValueModel model;
  model.matches = matches;
  model.chance = chance->probability;
  model.streck = streck->probability;
  model.pool = pool;
  return model;
}

RowValue ValueOfRow(const ValueModel& model, PackedRow row) {
  RowValue value;
  value.chance = 1;
  value.publicShare = 1;
  for (int m = 1; m <= model.matches; ++m) {
    const int sign = PackedOutcome(row, m);
    if (sign > 2) throw std::invalid_argument("ValueOfRow: no sign in a match");
    value.chance *= model.chance[m - 1][sign];
    value.publicShare *= model.streck[m - 1][sign];
  }
  if (value.chance == 0) {
    value.value = 0;
  } else if (value.publicShare == 0) {
    value.value = std::numeric_limits<double>::infinity();
  } else {
    value.value = value.chance / value.publicShare;
  }
  value.payout = model.Pot(model.matches) / (model.PublicRows() * value.publicShare + 1);
  return value;
}

}  // namespace spelkub
