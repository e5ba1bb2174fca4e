#include "commands/value_command.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <utility>

#include "coupon/games.h"
#include "text/coupon_reader.h"
#include "value/pool_share.h"

namespace spelkub {
namespace {

// The model, word for word; the games' pools are added from their table.
constexpr std::string_view kModelHelpPool =
    "Värdemodellen\n"
    "\n"
    "Omsättningen T (kr) är de andras insats: det spelbolaget visar innan du lämnar\n"
    "in. N = T / radpris är antalet rader de andra spelar, var och en dragen tecken\n"
    "för tecken ur folkets streck. Din egen insats (rader · radpris) kommer till:\n"
    "  pot_k = utbetalningsandel · andel_k · (T + din insats)\n"
    "för vinstgrad k; högsta vinstgraden får dessutom jackpotten (0 om inget anges).\n"
    "Resten går till en jackpottfond och räknas inte. Per spel, och ändringsbart i\n"
    "kupongen:\n";

constexpr std::string_view kModelHelpRows =
    "\n"
    "Egna chanser p och folkets streck q skalas per match till summan 1.\n"
    "För en rad r:\n"
    "  chans            P(r) = Πm p(m, r_m)\n"
    "  folkets andel    Q(r) = Πm q(m, r_m)\n"
    "  spelvärde        V(r) = P(r) / Q(r)\n"
    "  beräknad utdelning för högsta vinstgraden (13 rätt, 14 för Supertoto, 8 för\n"
    "  Topptipset)\n"
    "                   U(r) = E[pot_topp / (W + 1)], W Poisson med medel N·Q(r)\n"
    "\n"
    "De andras vinnare: vid utfallet y har en av de andras rader exakt k rätt med\n"
    "chansen Q_k(y), så antalet andra vinnare W är Poisson med medel λ = N·Q_k(y).\n"
    "Med c av dina rader på vinstgrad k får du c · pot_k / (W + c) om pot_k / (W + c)\n"
    "är minst minsta utdelning, annars 0. Väntevärdet över W tas exakt:\n"
    "c · pot_k · ∫₀¹ t^(c−1) e^(−λ(1−t)) dt där minsta utdelning inte kan slå in, och\n"
    "summan över W där den kan.\n"
    "\n"
    "För en mängd S rader (dubbletter räknas) och vart och ett av alla 3^n utfall y\n"
    "(inte bara systemets), med c_k(y) raderna i S med exakt k rätt:\n"
    "  P(bästa ≥ k) = Σy P(y) · [någon rad i S har minst k rätt], per vinstgrad k\n"
    "  vinst_k(y) = E[c_k(y) · pot_k / (W + c_k(y))] enligt ovan\n"
    "  förväntad återbetalning E(S) = Σy P(y) · Σk vinst_k(y)\n"
    "  vinstchans = E(S) / |S| i öre per rad (100 öre per rad = insatsen tillbaka;\n"
    "  med ett annat radpris räknas per krona insats); med insatsen k kr räknas varje\n"
    "  rad som k rader i S\n"
    "\n"
    "Exakt, över varje utfall och varje antal andra vinnare: ingen slumpning.\n";

// "match 2", "match 2 och 5", "match 2, 5 och 7".
std::string MatchList(const std::vector<int>& matches) {
  std::string text = "match ";
  for (size_t i = 0; i < matches.size(); ++i) {
    if (i > 0) text += i + 1 == matches.size() ? " och " : ", ";
    text += std::to_string(matches[i]);
  }
  return text;
}

// Whether any match in play has a number of this kind at all.
bool AnyGiven(const MatchValues& values, int matches, ValueKind kind) {
  for (int m = 0; m < matches; ++m) {
    const SignValues& given =
        kind == ValueKind::kChance ? values.match[m].chance : values.match[m].streck;
    for (const double value : given) {
      if (!std::isnan(value)) return true;
    }
  }
  return false;
}

// Digits of a whole number with a space between thousands.
std::string GroupedDigits(std::string digits) {
  std::string grouped;
  const size_t n = digits.size();
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) grouped += ' ';
    grouped += digits[i];
  }
  return grouped;
}

// A non-negative number with `decimals` decimals, a decimal comma and
// thousands grouped.
std::string SwedishNumber(double value, int decimals) {
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string text(buffer);
  std::string whole = text;
  std::string fraction;
  if (const size_t point = text.find_first_of(".,"); point != std::string::npos) {
    whole = text.substr(0, point);
    fraction = text.substr(point + 1);
  }
  std::string sign;
  if (!whole.empty() && whole[0] == '-') {
    sign = "-";
    whole.erase(0, 1);
  }
  std::string result = sign + GroupedDigits(whole);
  if (!fraction.empty()) result += "," + fraction;
  return result;
}

// The row's signs in match order as a number, match 1 most significant.
uint64_t SignOrderKey(PackedRow row, int matches) {
  uint64_t key = 0;
  for (int m = 1; m <= matches; ++m) key = key * 3 + PackedOutcome(row, m);
  return key;
}

}  // namespace

ValueModelOutcome MakeCommandModel(const ValueInput& input) {
  ValueModelOutcome outcome;
  const int matches = Rules(input.game).matches;
  if (!AnyGiven(input.values, matches, ValueKind::kChance)) {
    outcome.gap = ValueGap::kChances;
    outcome.refusal = "Kupongen saknar egna chanser";
    return outcome;
  }
  if (!AnyGiven(input.values, matches, ValueKind::kStreck)) {
    outcome.gap = ValueGap::kStreck;
    outcome.refusal = "Kupongen saknar folkets streck";
    return outcome;
  }
  if (std::isnan(input.pool.turnover)) {
    outcome.gap = ValueGap::kTurnover;
    outcome.refusal = "Kupongen saknar omsättning";
    return outcome;
  }
  std::string error;
  outcome.model = MakeValueModel(input.values, matches, input.pool, &error);
  if (!outcome.model) {
    outcome.gap = ValueGap::kOther;
    outcome.refusal = std::move(error);
    return outcome;
  }
  const auto chances = ScaleValues(input.values, matches, ValueKind::kChance, nullptr);
  const auto streck = ScaleValues(input.values, matches, ValueKind::kStreck, nullptr);
  const auto note = [&outcome](std::string_view what, const std::vector<int>& scaled) {
    if (scaled.empty()) return;
    outcome.notes += std::string(what) + " för " + MatchList(scaled) +
                     " summerade inte till 100 % och har räknats om.\n";
  };
  note("Chanserna", chances->scaledMatches);
  note("Strecken", streck->scaledMatches);
  outcome.scaledChances = chances->scaledMatches;
  outcome.scaledStreck = streck->scaledMatches;
  return outcome;
}

ValueRows ReadValueRows(std::string_view couponText, int32_t game) {
  return ValueRowsOf(ReadCouponText(couponText), game);
}

ValueRows ValueRowsOf(ReadResult read, int32_t game) {
  ValueRows result;
  if (!read.coupon) {
    result.refusal = std::move(read.error);
    return result;
  }
  if (read.coupon->rows.empty()) {
    result.refusal = "Det finns inga rader att värdera";
    return result;
  }
  const int rowMatches = Rules(read.coupon->game).matches;
  const int matches = Rules(game).matches;
  if (rowMatches != matches) {
    result.refusal = "Raderna har " + std::to_string(rowMatches) + " matcher men kupongen " +
                     std::to_string(matches);
    return result;
  }
  result.rows = std::move(read.coupon->rows);
  return result;
}

std::vector<double> PayoutEdges(const ValueModel& model) {
  // U is largest for the row the public plays least and smallest for the one
  // it plays most.
  double most = 1;
  double least = 1;
  for (int m = 0; m < model.matches; ++m) {
    const SignValues& q = model.streck[m];
    most *= *std::max_element(q.begin(), q.end());
    least *= *std::min_element(q.begin(), q.end());
  }
  const double pot = model.Pot(model.matches, model.ownStake);
  const double minimum = model.pool.minimumPayout;
  const double low = ExpectedRowPayout(pot, model.PublicRows() * most, minimum);
  const double high = ExpectedRowPayout(pot, model.PublicRows() * least, minimum);
  std::vector<double> edges;
  if (!(pot > 0) || !std::isfinite(low) || !std::isfinite(high)) return edges;
  double decade = std::pow(10.0, std::floor(std::log10(std::max(low, 1e-9))));
  constexpr double kFactors[] = {1, 2, 5, 10};
  for (;;) {
    for (int i = 0; i < 3; ++i) {
      const double edge = kFactors[i] * decade;
      // The first edge is the last one at or below the lowest payout.
      if (edges.empty() && kFactors[i + 1] * decade <= low) continue;
      edges.push_back(edge);
      if (edge > high) return edges;
    }
    decade *= 10;
  }
}

SystemValueOutcome RunSystemValueCommand(const ValueInput& input, std::span<const PackedRow> rows,
                                         const Work& work) {
  SystemValueOutcome outcome;
  outcome.model = MakeCommandModel(input);
  if (!outcome.model.model) return outcome;
  outcome.model.model->ownStake = static_cast<double>(rows.size()) * input.pool.rowPrice;
  const ValueModel& model = *outcome.model.model;

  SystemValueOptions options;
  options.payoutEdges = PayoutEdges(model);
  if (work.Stopped()) {
    outcome.stopped = true;
    return outcome;
  }
  // A row staked k times over is k rows of the row price in the pool: the
  // value of the rows each repeated k times is exact (duplicates count).
  const int stake = std::max(1, input.stake);
  std::vector<PackedRow> staked;
  if (stake > 1) {
    staked.reserve(rows.size() * static_cast<size_t>(stake));
    for (const PackedRow row : rows) staked.insert(staked.end(), static_cast<size_t>(stake), row);
  }
  outcome.value = ComputeSystemValue(model, stake > 1 ? staked : rows, options, work);
  if (!outcome.value || work.Stopped()) {
    outcome.value.reset();
    outcome.stopped = true;
    return outcome;
  }
  if (stake > 1) {
    // Back to the player's rows: each wins its stake's worth.
    outcome.value->rows /= stake;
    for (LevelValue& level : outcome.value->levels) {
      level.rowsAtLikeliest /= stake;
      level.payoutAtLikeliest *= stake;
    }
    for (int64_t& count : outcome.value->rowsByPayout) count /= stake;
  }
  const SystemValue& value = *outcome.value;

  std::vector<ValueFigure>& figures = outcome.figures;
  const auto add = [&figures](std::string key, std::string label, double number, std::string text) {
    figures.push_back({std::move(key), std::move(label), std::move(text), number, true, {}});
  };
  add("rows", "Rader", static_cast<double>(value.rows),
      SwedishNumber(static_cast<double>(value.rows), 0));
  const double cost = static_cast<double>(value.rows) * model.pool.rowPrice * stake;
  add("cost_kr", "Kostnad", cost, KronorText(cost));
  const int top = model.matches;
  for (const LevelValue& level : value.levels) {
    const std::string right = std::to_string(level.right);
    const bool isTop = level.right == top;
    std::string text = PercentText(level.chanceAtLeast);
    if (const std::string oneIn = OneInText(level.chanceAtLeast); !oneIn.empty())
      text += " (" + oneIn + ")";
    add(isTop ? "p" + right : "p" + right + "plus",
        isTop ? "P(" + right + ")" : "P(≥" + right + ")", level.chanceAtLeast, std::move(text));
  }
  figures.push_back({"likeliest", "Troligaste utfall", RowSignsText(value.likeliest, top), 0, false,
                     RowSignsText(value.likeliest, top)});
  for (const LevelValue& level : value.levels) {
    const std::string right = std::to_string(level.right);
    std::string text = KronorText(level.payoutAtLikeliest);
    if (level.payoutAtLikeliest == 0)
      text += " (under " + KronorText(model.pool.minimumPayout) + ")";
    if (level.rowsAtLikeliest > 0) {
      text += ", " + SwedishNumber(static_cast<double>(level.rowsAtLikeliest), 0) +
              (level.rowsAtLikeliest == 1 ? " rad" : " rader") + " av dina";
    }
    add("likeliest_payout" + right, "Utdelning " + right + " rätt (troligaste utfallet)",
        level.payoutAtLikeliest, std::move(text));
  }
  add("expected_return_kr", "Förväntad återbetalning", value.expectedReturn,
      KronorText(value.expectedReturn));
  add("return_ore_per_row", "Vinstchans", value.returnOrePerRow,
      SwedishNumber(value.returnOrePerRow, 1) + " öre/rad");

  for (const ValueFigure& figure : figures)
    outcome.reportText += figure.label + ": " + figure.text + "\n";
  outcome.reportText += outcome.model.notes;
  return outcome;
}

RowValuesOutcome RunRowValuesCommand(const ValueInput& input, std::vector<PackedRow> rows,
                                     const Work& work) {
  RowValuesOutcome outcome;
  outcome.model = MakeCommandModel(input);
  if (!outcome.model.model) return outcome;
  outcome.model.model->ownStake = static_cast<double>(rows.size()) * input.pool.rowPrice;
  const ValueModel& model = *outcome.model.model;
  RowValueTable table;
  table.matches = model.matches;
  const size_t n = rows.size();
  table.chance.resize(n);
  table.publicShare.resize(n);
  table.value.resize(n);
  table.payout.resize(n);
  constexpr size_t kStep = size_t{1} << 16;
  for (size_t i = 0; i < n; ++i) {
    if (i % kStep == 0 && i > 0) {
      if (work.Stopped()) {
        outcome.stopped = true;
        return outcome;
      }
      work.Fraction(static_cast<double>(i) / static_cast<double>(n));
    }
    const RowValue value = ValueOfRow(model, rows[i]);
    table.chance[i] = value.chance;
    table.publicShare[i] = value.publicShare;
    table.value[i] = value.value;
    table.payout[i] = value.payout;
  }
  if (work.Stopped()) {
    outcome.stopped = true;
    return outcome;
  }
  table.rows = std::move(rows);
  work.Fraction(1);
  outcome.table = std::move(table);
  return outcome;
}

std::optional<std::vector<uint32_t>> SortedRowOrder(const RowValueTable& table,
                                                    RowValueColumn column, bool descending,
                                                    const Work& work) {
  std::vector<uint32_t> order(table.size());
  std::iota(order.begin(), order.end(), 0u);
  if (work.Stopped()) return std::nullopt;
  const auto sortBy = [&](const auto& keys) {
    if (descending) {
      std::stable_sort(order.begin(), order.end(),
                       [&keys](uint32_t a, uint32_t b) { return keys[a] > keys[b]; });
    } else {
      std::stable_sort(order.begin(), order.end(),
                       [&keys](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
    }
  };
  switch (column) {
    case RowValueColumn::kRow: {
      std::vector<uint64_t> keys(table.size());
      for (size_t i = 0; i < keys.size(); ++i) keys[i] = SignOrderKey(table.rows[i], table.matches);
      sortBy(keys);
      break;
    }
    case RowValueColumn::kChance:
      sortBy(table.chance);
      break;
    case RowValueColumn::kPublic:
      sortBy(table.publicShare);
      break;
    case RowValueColumn::kValue:
      sortBy(table.value);
      break;
    case RowValueColumn::kPayout:
      sortBy(table.payout);
      break;
  }
  if (work.Stopped()) return std::nullopt;
  return order;
}

KeepBestOutcome KeepBestRows(const RowValueTable& table, int64_t count, KeepBy by) {
  KeepBestOutcome outcome;
  const auto total = static_cast<int64_t>(table.size());
  if (count < 1) {
    outcome.refusal = "Ange hur många rader som ska behållas, minst 1";
    return outcome;
  }
  if (count >= total) {
    outcome.refusal = "Det finns bara " + SwedishNumber(static_cast<double>(total), 0) +
                      (total == 1 ? " rad" : " rader") + ": välj färre att behålla";
    return outcome;
  }
  const std::vector<double>& keys = by == KeepBy::kValue ? table.value : table.chance;
  std::vector<uint32_t> order(table.size());
  std::iota(order.begin(), order.end(), 0u);
  // Highest first, the earlier row first among equals: a strict order, so the
  // chosen rows do not depend on how the selection works.
  const auto better = [&keys](uint32_t a, uint32_t b) {
    return keys[a] > keys[b] || (keys[a] == keys[b] && a < b);
  };
  std::nth_element(order.begin(), order.begin() + (count - 1), order.end(), better);
  const double lowest = keys[order[count - 1]];
  order.resize(static_cast<size_t>(count));
  std::sort(order.begin(), order.end());
  outcome.kept = std::move(order);
  outcome.rows.reserve(outcome.kept.size());
  for (const uint32_t index : outcome.kept) outcome.rows.push_back(table.rows[index]);

  const std::string kept = SwedishNumber(static_cast<double>(count), 0);
  const std::string of = SwedishNumber(static_cast<double>(total), 0);
  if (by == KeepBy::kValue) {
    const std::string least = SpelvardeText(lowest);
    outcome.reportText =
        "Behöll de " + kept + " rader av " + of + " som har högst spelvärde (minst " + least + ").";
  } else {
    outcome.reportText = "Behöll de " + kept + " rader av " + of + " som har störst chans (minst " +
                         PercentText(lowest) + ").";
  }
  return outcome;
}

std::string PercentText(double share) {
  const double percent = share * 100;
  if (percent == 0) return "0 %";
  int decimals = 1;
  if (percent < 1) decimals = std::min(12, 1 - static_cast<int>(std::floor(std::log10(percent))));
  return SwedishNumber(percent, decimals) + " %";
}

std::string SpelvardeText(double value) {
  return std::isinf(value) ? std::string("oändligt") : PercentText(value);
}

std::string OneInText(double chance) {
  if (!(chance > 0)) return {};
  const double n = 1 / chance;
  return "1 på " + SwedishNumber(n, n < 10 ? 1 : 0);
}

std::string KronorText(double kronor) {
  const bool whole = kronor == std::floor(kronor);
  return SwedishNumber(kronor, kronor < 100 && !whole ? 2 : 0) + " kr";
}

std::string RowSignsText(PackedRow row, int matches) {
  std::string text;
  for (int m = 1; m <= matches; ++m) text += OutcomeSign(PackedOutcome(row, m));
  return text;
}

std::string MachineNumber(double value) {
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

namespace {

// "40 %", "12,5 %".
std::string ShareText(double share) {
  const double percent = share * 100;
  return SwedishNumber(percent, percent == std::round(percent) ? 0 : 1) + " %";
}

// "  Stryktipset: 13 rätt 40 %, 12 rätt 15 %, …" and "    (radpris 1 kr,
// 65 % betalas ut, minsta utdelning 15 kr)", per game.
std::string GamePoolLines() {
  std::string text;
  for (const GameRules& rules : Games()) {
    const PoolModel pool = PoolModelOf(rules);
    text += "  " + std::string(rules.name) + ":";
    for (size_t i = 0; i < pool.levels.size(); ++i) {
      text += i == 0 ? " " : ", ";
      text += std::to_string(pool.levels[i].right) + " rätt " + ShareText(pool.levels[i].share);
    }
    text += "\n    (radpris " + KronorText(pool.rowPrice);
    if (!rules.stakes.empty()) {
      text += " gånger insatsen";
      for (size_t i = 0; i < rules.stakes.size(); ++i) {
        text += i == 0 ? " " : i + 1 == rules.stakes.size() ? " eller " : ", ";
        text += std::to_string(rules.stakes[i]);
      }
      text += " kr,\n    utdelningen i samma proportion";
    }
    text += ", " + ShareText(pool.payoutShare) + " betalas ut, ";
    text += pool.minimumPayout > 0 ? "minsta utdelning " + KronorText(pool.minimumPayout)
                                   : std::string("ingen minsta utdelning");
    text += ")\n";
  }
  return text;
}

}  // namespace

std::string_view ValueModelHelpText() {
  static const std::string text =
      std::string(kModelHelpPool) + GamePoolLines() + std::string(kModelHelpRows);
  return text;
}

}  // namespace spelkub
