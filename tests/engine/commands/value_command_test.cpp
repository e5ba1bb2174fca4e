// The value commands: their numbers against the engine's own functions and a
// brute force, the report's texts, the refusals that name what is missing,
// "Behåll de N bästa" and the sort against plain sorts, and a stop.
#include "commands/value_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "coupon/games.h"
#include "support/value_inputs.h"
#include "text/coupon_reader.h"

namespace spelkub {
namespace {

using testing::RandomRows;
using testing::RandomValueInput;
using testing::RowsText;

const ValueFigure& Figure(const SystemValueOutcome& outcome, const std::string& key) {
  for (const ValueFigure& figure : outcome.figures) {
    if (figure.key == key) return figure;
  }
  ADD_FAILURE() << "no figure " << key;
  static const ValueFigure none;
  return none;
}

std::vector<std::string> Keys(const SystemValueOutcome& outcome) {
  std::vector<std::string> keys;
  for (const ValueFigure& figure : outcome.figures) keys.push_back(figure.key);
  return keys;
}

TEST(SystemValueCommand, FiguresAreTheEnginesNumbersForEveryGame) {
  for (const GameRules& rules : kGames) {
    const uint32_t seed = 7000 + static_cast<uint32_t>(rules.game);
    SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::string(rules.name));
    const ValueInput input = RandomValueInput(seed, rules.game);
    const std::vector<PackedRow> rows = RandomRows(seed, rules.matches, 300);
    const SystemValueOutcome outcome = RunSystemValueCommand(input, rows);
    ASSERT_TRUE(outcome.value) << outcome.model.refusal;

    std::string error;
    const auto model = MakeValueModel(input.values, rules.matches, input.pool, &error);
    ASSERT_TRUE(model) << error;
    SystemValueOptions single;
    single.threads = 1;
    const auto direct = ComputeSystemValue(*model, rows, single);
    ASSERT_TRUE(direct);
    EXPECT_EQ(Figure(outcome, "rows").number, 300);
    EXPECT_EQ(Figure(outcome, "cost_kr").number, 300 * input.pool.rowPrice);
    EXPECT_EQ(Figure(outcome, "return_ore_per_row").number, direct->returnOrePerRow);
    EXPECT_EQ(Figure(outcome, "expected_return_kr").number, direct->expectedReturn);
    const int top = rules.matches;
    const std::string topKey = std::string("p").append(std::to_string(top));
    EXPECT_EQ(Figure(outcome, topKey).number, direct->levels[0].chanceAtLeast);
    ASSERT_EQ(direct->levels.size(), rules.prizeLevels.size());
    for (size_t level = 1; level < rules.prizeLevels.size(); ++level) {
      const std::string right = std::to_string(rules.prizeLevels[level].right);
      EXPECT_EQ(Figure(outcome, "p" + right + "plus").number, direct->levels[level].chanceAtLeast);
      EXPECT_EQ(Figure(outcome, "likeliest_payout" + right).number,
                direct->levels[level].payoutAtLikeliest);
    }
    EXPECT_EQ(Figure(outcome, "likeliest").raw, RowSignsText(direct->likeliest, top));
  }
}

TEST(SystemValueCommand, KeysFollowTheGamesPrizeLevels) {
  const auto keysOf = [](int32_t game) {
    const ValueInput input = RandomValueInput(11, game);
    return Keys(RunSystemValueCommand(input, RandomRows(11, Rules(game).matches, 5)));
  };
  EXPECT_EQ(keysOf(kStryktipset),
            (std::vector<std::string>{"rows", "cost_kr", "p13", "p12plus", "p11plus", "p10plus",
                                      "likeliest", "likeliest_payout13", "likeliest_payout12",
                                      "likeliest_payout11", "likeliest_payout10",
                                      "expected_return_kr", "return_ore_per_row"}));
  EXPECT_EQ(keysOf(kSupertoto),
            (std::vector<std::string>{"rows", "cost_kr", "p14", "p13plus", "p12plus", "p11plus",
                                      "likeliest", "likeliest_payout14", "likeliest_payout13",
                                      "likeliest_payout12", "likeliest_payout11",
                                      "expected_return_kr", "return_ore_per_row"}));
}

// Every match certain on "1" and the public's streck even: the row of ones is
// the right row, and the figures can be worked out by hand.
TEST(SystemValueCommand, ReportOfACertainOutcomeReadsAsWorkedOutByHand) {
  ValueInput input;
  input.game = kStryktipset;
  input.pool = PoolModelOf(Rules(kStryktipset));
  input.pool.turnover = 3e6;
  for (int m = 0; m < 13; ++m) {
    input.values.match[m].chance = {100, 0, 0};
    input.values.match[m].streck = {1, 1, 1};
  }
  const PackedRow ones = 0;
  const PackedRow twelve = PackedRow{1} << 24;  // X in match 13
  const SystemValueOutcome outcome = RunSystemValueCommand(input, std::vector{ones, twelve});
  ASSERT_TRUE(outcome.value);
  // The pots hold the others' 3e6 kr and the own 2 kr. 13 right: pot
  // 3 000 002 · 0.65 · 0.40 kr; the others' winners W are Poisson around
  // λ = N·3^-13, and one row wins E[pot / (W + 1)] = pot (1 − e^−λ) / λ (the
  // minimum of 15 kr needs W beyond 52 000: never).
  const double stake = 3e6 + 2;
  const auto paid = [](double pot, double lambda) { return pot * -std::expm1(-lambda) / lambda; };
  const double public13 = 3e6 / std::pow(3.0, 13);
  const double payout13 = paid(stake * 0.65 * 0.40, public13);
  // 12 right: the others' rows with 12 right are N · 13 · (1/3)^12 · (2/3),
  // this system has one.
  const double public12 = 3e6 * 13 * std::pow(1.0 / 3, 12) * (2.0 / 3);
  const double payout12 = paid(stake * 0.65 * 0.15, public12);
  EXPECT_DOUBLE_EQ(Figure(outcome, "likeliest_payout13").number, payout13);
  EXPECT_DOUBLE_EQ(Figure(outcome, "likeliest_payout12").number, payout12);
  EXPECT_DOUBLE_EQ(Figure(outcome, "expected_return_kr").number, payout13 + payout12);
  EXPECT_DOUBLE_EQ(Figure(outcome, "return_ore_per_row").number, (payout13 + payout12) / 2 * 100);

  const std::string expected =
      "Rader: 2\n"
      "Kostnad: 2 kr\n"
      "P(13): 100,0 % (1 på 1,0)\n"
      "P(≥12): 100,0 % (1 på 1,0)\n"
      "P(≥11): 100,0 % (1 på 1,0)\n"
      "P(≥10): 100,0 % (1 på 1,0)\n"
      "Troligaste utfall: 1111111111111\n"
      "Utdelning 13 rätt (troligaste utfallet): " +
      KronorText(payout13) + ", 1 rad av dina\n" +
      "Utdelning 12 rätt (troligaste utfallet): " + KronorText(payout12) + ", 1 rad av dina\n" +
      "Utdelning 11 rätt (troligaste utfallet): " +
      KronorText(
          paid(stake * 0.65 * 0.12, 3e6 * 78 * std::pow(1.0 / 3, 11) * std::pow(2.0 / 3, 2))) +
      "\n"
      "Utdelning 10 rätt (troligaste utfallet): " +
      KronorText(
          paid(stake * 0.65 * 0.25, 3e6 * 286 * std::pow(1.0 / 3, 10) * std::pow(2.0 / 3, 3))) +
      "\n"
      "Förväntad återbetalning: " +
      KronorText(payout13 + payout12) + "\n" +
      "Vinstchans: " + Figure(outcome, "return_ore_per_row").text + "\n" +
      "Chanserna för match 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12 och 13 summerade inte till "
      "100 % och har räknats om.\n";
  // The streck sum to 3 and are scaled; the chances sum to 100 and are not.
  EXPECT_EQ(outcome.reportText, [&] {
    std::string text = expected;
    const size_t note = text.find("Chanserna");
    return text.replace(note, 9, "Strecken");
  }());
  // The expected winners' share would say 270 676 kr.
  EXPECT_EQ(KronorText(payout13), "351 378 kr");
}

TEST(ValueTexts, SwedishNumbers) {
  // Under 1 %, two significant digits.
  EXPECT_EQ(PercentText(0.0052), "0,52 %");
  EXPECT_EQ(PercentText(0.00551), "0,55 %");
  EXPECT_EQ(PercentText(0.012), "1,2 %");
  EXPECT_EQ(PercentText(0.000042), "0,0042 %");
  EXPECT_EQ(PercentText(0), "0 %");
  EXPECT_EQ(PercentText(1.312), "131,2 %");
  EXPECT_EQ(SpelvardeText(1.312), "131,2 %");
  EXPECT_EQ(SpelvardeText(HUGE_VAL), "oändligt");
  EXPECT_EQ(OneInText(1.0 / 1209.4), "1 på 1 209");
  EXPECT_EQ(OneInText(0.4), "1 på 2,5");
  EXPECT_EQ(OneInText(0), "");
  EXPECT_EQ(KronorText(1234567.4), "1 234 567 kr");
  EXPECT_EQ(KronorText(15.4), "15,40 kr");
  EXPECT_EQ(KronorText(15), "15 kr");
  EXPECT_EQ(KronorText(0), "0 kr");
  EXPECT_EQ(RowSignsText(0b10'01'00, 3), "1X2");
  EXPECT_EQ(MachineNumber(0.1), "0.1");
  EXPECT_EQ(MachineNumber(1.0 / 3), "0.3333333333333333");
  EXPECT_EQ(MachineNumber(HUGE_VAL), "inf");
}

TEST(ValueModelCommand, NamesWhatIsMissing) {
  ValueInput input = RandomValueInput(3, kStryktipset);
  ValueInput noChances = input;
  for (MatchValue& match : noChances.values.match) match.chance = kNoSignValues;
  EXPECT_EQ(MakeCommandModel(noChances).gap, ValueGap::kChances);
  EXPECT_EQ(MakeCommandModel(noChances).refusal, "Kupongen saknar egna chanser");
  ValueInput noStreck = input;
  for (MatchValue& match : noStreck.values.match) match.streck = kNoSignValues;
  EXPECT_EQ(MakeCommandModel(noStreck).gap, ValueGap::kStreck);
  ValueInput noTurnover = input;
  noTurnover.pool.turnover = kNoValue;
  EXPECT_EQ(MakeCommandModel(noTurnover).gap, ValueGap::kTurnover);
  EXPECT_EQ(MakeCommandModel(noTurnover).refusal, "Kupongen saknar omsättning");
  ValueInput partly = input;
  partly.values.match[4].chance[1] = kNoValue;
  const ValueModelOutcome partial = MakeCommandModel(partly);
  EXPECT_EQ(partial.gap, ValueGap::kOther);
  EXPECT_EQ(partial.refusal, "Chans: match 5 saknar värde för X");
  EXPECT_FALSE(RunSystemValueCommand(partly, RandomRows(1, 13, 3)).value);
  // Match 14 is not Stryktipset's: its values are not asked for.
  ValueInput thirteen = input;
  thirteen.values.match[13] = {};
  EXPECT_TRUE(MakeCommandModel(thirteen).model);
}

TEST(ValueRowsOfText, RefusesWhatCannotBeValued) {
  EXPECT_EQ(ReadValueRows("Dina Rader:\r\n", kStryktipset).refusal,
            "Det finns inga rader att värdera");
  const std::string supertoto = RowsText(kSupertoto, RandomRows(2, 14, 3));
  EXPECT_EQ(ReadValueRows(supertoto, kStryktipset).refusal,
            "Raderna har 14 matcher men kupongen 13");
  EXPECT_EQ(ReadValueRows("Stryktipset,13plus=Nej\r\nE,1,1\r\n", kStryktipset).refusal,
            ReadCouponText("Stryktipset,13plus=Nej\r\nE,1,1\r\n").error);
  const std::vector<PackedRow> rows = RandomRows(3, 13, 40);
  const ValueRows read = ReadValueRows(RowsText(kEuropatipset, rows), kStryktipset);
  ASSERT_TRUE(read.rows) << read.refusal;
  EXPECT_EQ(*read.rows, rows);
}

TEST(RowValuesCommand, EachRowHasItsValueInTheRowsOrder) {
  const uint32_t seed = 4242;
  SCOPED_TRACE("seed " + std::to_string(seed));
  const ValueInput input = RandomValueInput(seed, kSupertoto);
  const std::vector<PackedRow> rows = RandomRows(seed, 14, 500);
  const RowValuesOutcome outcome = RunRowValuesCommand(input, rows);
  ASSERT_TRUE(outcome.table);
  auto model = MakeValueModel(input.values, 14, input.pool, nullptr);
  ASSERT_TRUE(model);
  model->ownStake = 500 * input.pool.rowPrice;  // these rows' stake is in the pot
  ASSERT_EQ(outcome.table->rows, rows);
  for (size_t i = 0; i < rows.size(); ++i) {
    const RowValue value = ValueOfRow(*model, rows[i]);
    EXPECT_EQ(outcome.table->chance[i], value.chance);
    EXPECT_EQ(outcome.table->publicShare[i], value.publicShare);
    EXPECT_EQ(outcome.table->value[i], value.value);
    EXPECT_EQ(outcome.table->payout[i], value.payout);
  }
}

// Duplicates give equal keys, so the ties are exercised too.
RowValueTable TableWithDuplicates(uint32_t seed, size_t count) {
  std::vector<PackedRow> rows = RandomRows(seed, 13, count);
  for (size_t i = 0; i < count / 4; ++i) rows[count - 1 - i] = rows[i * 2];
  const RowValuesOutcome outcome = RunRowValuesCommand(RandomValueInput(seed, kStryktipset), rows);
  return *outcome.table;
}

TEST(KeepBestRows, AgreesWithAPlainStableSort) {
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const RowValueTable table = TableWithDuplicates(seed, 200 + seed * 13);
    std::mt19937 random(seed);
    const int64_t count = 1 + static_cast<int64_t>(random() % (table.size() - 1));
    for (const KeepBy by : {KeepBy::kValue, KeepBy::kChance}) {
      const std::vector<double>& keys = by == KeepBy::kValue ? table.value : table.chance;
      std::vector<uint32_t> order(table.size());
      std::iota(order.begin(), order.end(), 0u);
      std::stable_sort(order.begin(), order.end(),
                       [&keys](uint32_t a, uint32_t b) { return keys[a] > keys[b]; });
      std::vector<uint32_t> expected(order.begin(), order.begin() + count);
      std::sort(expected.begin(), expected.end());

      const KeepBestOutcome kept = KeepBestRows(table, count, by);
      ASSERT_TRUE(kept.refusal.empty()) << kept.refusal;
      EXPECT_EQ(kept.kept, expected);
      ASSERT_EQ(kept.rows.size(), expected.size());
      for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(kept.rows[i], table.rows[expected[i]]);
    }
  }
}

TEST(KeepBestRows, ReportsAndRefusals) {
  const RowValueTable table = TableWithDuplicates(5, 1200);
  const KeepBestOutcome byValue = KeepBestRows(table, 100, KeepBy::kValue);
  double lowest = HUGE_VAL;
  for (const uint32_t i : byValue.kept) lowest = std::min(lowest, table.value[i]);
  EXPECT_EQ(byValue.reportText, "Behöll de 100 rader av 1 200 som har högst spelvärde (minst " +
                                    PercentText(lowest) + ").");
  const KeepBestOutcome byChance = KeepBestRows(table, 1, KeepBy::kChance);
  const double best = *std::max_element(table.chance.begin(), table.chance.end());
  EXPECT_EQ(byChance.reportText,
            "Behöll de 1 rader av 1 200 som har störst chans (minst " + PercentText(best) + ").");
  EXPECT_EQ(KeepBestRows(table, 0, KeepBy::kValue).refusal,
            "Ange hur många rader som ska behållas, minst 1");
  EXPECT_EQ(KeepBestRows(table, 1200, KeepBy::kValue).refusal,
            "Det finns bara 1 200 rader: välj färre att behålla");
  EXPECT_TRUE(KeepBestRows(table, 1200, KeepBy::kValue).rows.empty());
}

TEST(SortedRowOrder, AgreesWithAPlainStableSortOnEveryColumn) {
  const uint32_t seed = 99;
  SCOPED_TRACE("seed " + std::to_string(seed));
  const RowValueTable table = TableWithDuplicates(seed, 700);
  const auto signs = [&table](uint32_t i) { return RowSignsText(table.rows[i], 13); };
  // "1" < "X" < "2" sign by sign: map the signs onto ordered letters.
  const auto rowKey = [&](uint32_t i) {
    std::string key = signs(i);
    for (char& c : key) c = c == '1' ? 'a' : c == 'X' ? 'b' : 'c';
    return key;
  };
  const std::pair<RowValueColumn, std::function<double(uint32_t)>> numeric[] = {
      {RowValueColumn::kChance, [&](uint32_t i) { return table.chance[i]; }},
      {RowValueColumn::kPublic, [&](uint32_t i) { return table.publicShare[i]; }},
      {RowValueColumn::kValue, [&](uint32_t i) { return table.value[i]; }},
      {RowValueColumn::kPayout, [&](uint32_t i) { return table.payout[i]; }}};
  for (const bool descending : {false, true}) {
    std::vector<uint32_t> expected(table.size());
    std::iota(expected.begin(), expected.end(), 0u);
    std::stable_sort(expected.begin(), expected.end(), [&](uint32_t a, uint32_t b) {
      return descending ? rowKey(a) > rowKey(b) : rowKey(a) < rowKey(b);
    });
    EXPECT_EQ(*SortedRowOrder(table, RowValueColumn::kRow, descending), expected);
    for (const auto& entry : numeric) {
      const auto& key = entry.second;
      std::iota(expected.begin(), expected.end(), 0u);
      std::stable_sort(expected.begin(), expected.end(), [&](uint32_t a, uint32_t b) {
        return descending ? key(a) > key(b) : key(a) < key(b);
      });
      EXPECT_EQ(*SortedRowOrder(table, entry.first, descending), expected);
    }
  }
}

TEST(PayoutEdges, HoldEveryRowsPayout) {
  for (uint32_t seed = 1; seed <= 5; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const RowValueTable table = TableWithDuplicates(seed, 300);
    const auto model = MakeCommandModel(RandomValueInput(seed, kStryktipset)).model;
    ASSERT_TRUE(model);
    const std::vector<double> edges = PayoutEdges(*model);
    ASSERT_GE(edges.size(), 2u);
    EXPECT_TRUE(std::is_sorted(edges.begin(), edges.end()));
    for (const double payout : table.payout) {
      EXPECT_LE(edges.front(), payout);
      EXPECT_LT(payout, edges.back());
    }
  }
}

class StopAtFirstReport final : public Progress {
 public:
  explicit StopAtFirstReport(StopSource& source) : source_(source) {}
  void Fraction(double) override { source_.RequestStop(); }

 private:
  StopSource& source_;
};

TEST(ValueCommands, AStopGivesNoNumbers) {
  const ValueInput input = RandomValueInput(8, kSupertoto);
  const std::vector<PackedRow> rows = RandomRows(8, 14, 200000);
  StopSource source;
  StopAtFirstReport progress(source);
  const SystemValueOutcome value =
      RunSystemValueCommand(input, rows, {StopToken(source), &progress});
  EXPECT_TRUE(value.stopped);
  EXPECT_FALSE(value.value);
  EXPECT_TRUE(value.figures.empty());
  StopSource rowsSource;
  StopAtFirstReport rowsProgress(rowsSource);
  const RowValuesOutcome rowValues =
      RunRowValuesCommand(input, rows, {StopToken(rowsSource), &rowsProgress});
  EXPECT_TRUE(rowValues.stopped);
  EXPECT_FALSE(rowValues.table);
}

TEST(ValueModelHelp, StatesTheModel) {
  const std::string_view help = ValueModelHelpText();
  for (const char* part :
       {"Omsättningen T (kr) är de andras insats", "N = T / radpris",
        "pot_k = utbetalningsandel · andel_k · (T + din insats)", "jackpotten",
        "Stryktipset: 13 rätt 40 %, 12 rätt 15 %, 11 rätt 12 %, 10 rätt 25 %\n"
        "    (radpris 1 kr, 65 % betalas ut, minsta utdelning 15 kr)",
        "Europatipset: 13 rätt 39 %, 12 rätt 22 %, 11 rätt 12 %, 10 rätt 25 %",
        "Supertoto: 14 rätt 40 %", "P(r) = Πm p(m, r_m)", "Q(r) = Πm q(m, r_m)",
        "V(r) = P(r) / Q(r)", "U(r) = E[pot_topp / (W + 1)]", "W är Poisson med medel λ = N·Q_k(y)",
        "c · pot_k / (W + c)", "c · pot_k · ∫₀¹ t^(c−1) e^(−λ(1−t)) dt",
        "E(S) = Σy P(y) · Σk vinst_k(y)", "alla 3^n utfall", "ingen slumpning"}) {
    EXPECT_NE(help.find(part), std::string_view::npos) << part;
  }
  // Lines a terminal of 80 columns shows whole.
  size_t start = 0;
  while (start < help.size()) {
    const size_t end = std::min(help.find('\n', start), help.size());
    const std::string_view line = help.substr(start, end - start);
    size_t columns = 0;
    for (const char c : line) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    EXPECT_LE(columns, 80u) << line;
    start = end + 1;
  }
}

}  // namespace
}  // namespace spelkub
