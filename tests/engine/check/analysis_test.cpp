#include "check/analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "support/coupon_builder.h"
#include "support/system_contains.h"
#include "text/coupon_text.h"

namespace spelkub {
namespace {

using testing::MakeCoupon;

// Every outcome of the system against every row, sign by sign; outcomes
// weighted by the product of their signs' shares.
AnalysisReport BruteForce(const SystemShape& shape, const std::vector<PackedRow>& rows,
                          const Streck* streck) {
  AnalysisReport report;
  report.matches = shape.matches;
  if (rows.empty()) return report;
  std::array<double, kMaxMatches + 1> weightByRight{};
  double total = 0;
  report.guarantee = shape.matches;
  for (int64_t index = 0; index < shape.size(); ++index) {
    const PackedRow outcome = shape.RowAt(index);
    int best = 0;
    for (PackedRow row : rows) {
      int right = 0;
      for (int m = 1; m <= shape.matches; ++m) {
        right += PackedOutcome(row, m) == PackedOutcome(outcome, m);
      }
      best = std::max(best, right);
    }
    ++report.outcomesByRight[best];
    report.guarantee = std::min(report.guarantee, best);
    double weight = 1;
    if (streck != nullptr) {
      for (int m = 1; m <= shape.matches; ++m) {
        weight *= streck->percent[m - 1][PackedOutcome(outcome, m)];
      }
    }
    weightByRight[best] += weight;
    total += weight;
  }
  if (streck != nullptr) {
    std::array<double, kMaxMatches + 1> probability{};
    for (int k = 0; k <= shape.matches; ++k)
      probability[k] = total > 0 ? weightByRight[k] / total : 0;
    report.probabilityByRight = probability;
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    if (Contains(shape, rows[i])) continue;
    if (report.outsideCount++ < static_cast<int64_t>(kOutsideRowsKept)) {
      report.outsideRows.push_back(static_cast<int64_t>(i));
    }
  }
  return report;
}

SystemShape RandomShape(std::mt19937& random, int matches, int64_t maxSize) {
  SystemShape shape;
  shape.matches = matches;
  for (int m = 0; m < matches; ++m) {
    shape.radix[m] = 1;
    shape.outcomes[m][0] = static_cast<uint8_t>(random() % 3);
  }
  // Widen random matches while the system stays small.
  for (int tries = 0; tries < 40; ++tries) {
    const int m = static_cast<int>(random() % matches);
    if (shape.radix[m] == 3 || shape.size() / shape.radix[m] * (shape.radix[m] + 1) > maxSize) {
      continue;
    }
    uint8_t sign = static_cast<uint8_t>(random() % 3);
    bool marked = true;
    while (marked) {
      marked = false;
      for (int d = 0; d < shape.radix[m]; ++d) marked |= shape.outcomes[m][d] == sign;
      if (marked) sign = static_cast<uint8_t>((sign + 1) % 3);
    }
    // Marked signs stay in the order "1", "X", "2".
    int d = shape.radix[m]++;
    while (d > 0 && shape.outcomes[m][d - 1] > sign) {
      shape.outcomes[m][d] = shape.outcomes[m][d - 1];
      --d;
    }
    shape.outcomes[m][d] = sign;
  }
  return shape;
}

TEST(AnalyseRows, AgreesWithBruteForceOnRandomSystemsAndRows) {
  std::mt19937 random(17);
  for (int trial = 0; trial < 400; ++trial) {
    const int matches = trial % 3 == 0 ? 14 : 13;
    const SystemShape shape = RandomShape(random, matches, 1 + random() % 800);
    std::vector<PackedRow> rows(1 + random() % 12);
    for (PackedRow& row : rows) {
      if (random() % 5 == 0) {  // anywhere, often outside the system
        row = 0;
        for (int m = 0; m < matches; ++m) row |= PackedRow(random() % 3) << (2 * m);
      } else {
        row = shape.RowAt(static_cast<int64_t>(random() % shape.size()));
      }
    }
    Streck streck;
    streck.matches = matches;
    for (int m = 0; m < matches; ++m) {
      for (int o = 0; o < 3; ++o) streck.percent[m][o] = 1 + random() % 60;
    }
    const bool weighted = trial % 2 == 0;
    const AnalysisReport expected = BruteForce(shape, rows, weighted ? &streck : nullptr);
    const AnalysisReport report = AnalyseRows(shape, rows, weighted ? &streck : nullptr);
    ASSERT_FALSE(report.stopped);
    ASSERT_EQ(report.matches, matches);
    ASSERT_EQ(report.guarantee, expected.guarantee) << trial;
    ASSERT_EQ(report.outcomesByRight, expected.outcomesByRight) << trial;
    ASSERT_EQ(report.outsideRows, expected.outsideRows) << trial;
    ASSERT_EQ(report.outsideCount, expected.outsideCount) << trial;
    ASSERT_EQ(report.probabilityByRight.has_value(), weighted);
    if (weighted) {
      double sum = 0;
      for (int k = 0; k <= matches; ++k) {
        ASSERT_NEAR((*report.probabilityByRight)[k], (*expected.probabilityByRight)[k], 1e-12)
            << trial << " k " << k;
        sum += (*report.probabilityByRight)[k];
      }
      ASSERT_NEAR(sum, 1.0, 1e-12);
    }
  }
}

TEST(AnalyseRows, GivesTheWorkedCaseOfThreeRowsOnNineOutcomes) {
  // Matches 1 and 2 with all three signs, the rest one sign; rows 1, 5 and 9
  // in generation order: 1-1, X-X and 2-2 on the two free matches.
  const CouponState state = MakeCoupon(
      kStryktipset, {"1X2", "1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  const RowSet set = GenerateFullSystem(state, kPlus13No);
  ASSERT_EQ(set.rows.size(), 9u);
  const std::vector<PackedRow> rows = {set.rows[0], set.rows[4], set.rows[8]};
  const AnalysisReport report = AnalyseRows(ShapeOf(state), rows);
  EXPECT_EQ(report.guarantee, 12);
  EXPECT_EQ(report.outcomesByRight[13], 3);
  EXPECT_EQ(report.outcomesByRight[12], 6);
  EXPECT_EQ(report.outcomesByRight[11], 0);
  EXPECT_TRUE(report.outsideRows.empty());
}

TEST(AnalyseRows, FindsThePerfectCoverOfTheTernaryHammingCode) {
  // Parity checks: the 13 points of the projective plane over GF(3). Every
  // outcome of the full 13-match system is a code row or one sign from
  // exactly one.
  std::vector<std::array<int, 3>> columns;
  for (int a = 0; a < 3; ++a) {
    for (int b = 0; b < 3; ++b) {
      for (int c = 0; c < 3; ++c) {
        if ((a != 0 ? a : b != 0 ? b : c) == 1) columns.push_back({a, b, c});
      }
    }
  }
  ASSERT_EQ(columns.size(), 13u);
  const SystemShape shape = ShapeOf(testing::UniformCoupon(kStryktipset, "1X2"));
  std::vector<PackedRow> code;
  for (int64_t index = 0; index < shape.size(); ++index) {
    const PackedRow row = shape.RowAt(index);
    std::array<int, 3> syndrome{};
    for (int m = 0; m < 13; ++m) {
      for (int i = 0; i < 3; ++i) syndrome[i] += PackedOutcome(row, m + 1) * columns[m][i];
    }
    if (syndrome[0] % 3 == 0 && syndrome[1] % 3 == 0 && syndrome[2] % 3 == 0) code.push_back(row);
  }
  ASSERT_EQ(code.size(), 59049u);
  const AnalysisReport report = AnalyseRows(shape, code);
  EXPECT_EQ(report.guarantee, 12);
  EXPECT_EQ(report.outcomesByRight[13], 59049);
  EXPECT_EQ(report.outcomesByRight[12], 1594323 - 59049);
}

TEST(AnalyseRows, WeighsOutcomesByTheStreck) {
  // One free match with "1" at 50 %, "X" at 30 %, "2" at 20 %, and one row
  // "1": 13 right with probability 0.5, 12 with 0.5.
  const CouponState state =
      MakeCoupon(kStryktipset, {"1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  std::string text = "50 30 20";
  for (int m = 2; m <= 13; ++m) text += "; 40 30 30";
  std::string error;
  const std::optional<Streck> streck = ParseStreck(text, 13, &error);
  ASSERT_TRUE(streck.has_value()) << error;
  const AnalysisReport report = AnalyseRows(ShapeOf(state), std::vector<PackedRow>{0}, &*streck);
  ASSERT_TRUE(report.probabilityByRight.has_value());
  EXPECT_NEAR((*report.probabilityByRight)[13], 0.5, 1e-12);
  EXPECT_NEAR((*report.probabilityByRight)[12], 0.5, 1e-12);
  // Matches 2-13 mark only "1" at 40 %.
  EXPECT_NEAR(report.systemProbability, std::pow(0.4, 12), 1e-18);
}

TEST(AnalyseRows, CountsARowOutsideTheSystemWhereItAgrees) {
  const CouponState state =
      MakeCoupon(kStryktipset, {"1X", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  // "2" on match 1 is not marked; the row still has 12 right on both outcomes.
  const PackedRow outside = 2;
  const AnalysisReport report = AnalyseRows(ShapeOf(state), std::vector<PackedRow>{outside});
  EXPECT_EQ(report.outsideRows, std::vector<int64_t>{0});
  EXPECT_EQ(report.guarantee, 12);
  EXPECT_EQ(report.outcomesByRight[12], 2);
}

TEST(AnalyseRows, KeepsTheCountOfRowsOutsideTheSystemAndTheFirstFewOnly) {
  const CouponState state = testing::UniformCoupon(kStryktipset, "1X");
  const SystemShape shape = ShapeOf(state);
  // Every third row has a "2" somewhere: outside the system.
  std::mt19937 random(5);
  std::vector<PackedRow> rows;
  std::vector<int64_t> outside;
  for (int i = 0; i < 60000; ++i) {
    PackedRow row = 0;
    for (int m = 0; m < 13; ++m) row |= PackedRow(random() % 2) << (2 * m);
    if (i % 3 == 1) row |= PackedRow{2} << (2 * static_cast<int>(random() % 13));
    if (!Contains(shape, row)) outside.push_back(i);
    rows.push_back(row);
  }
  ASSERT_EQ(outside.size(), 20000u);
  const AnalysisReport report = AnalyseRows(shape, rows);
  EXPECT_EQ(report.outsideCount, 20000);
  EXPECT_EQ(report.outsideRows,
            std::vector<int64_t>(outside.begin(), outside.begin() + kOutsideRowsKept));
}

TEST(AnalyseRows, ReportsNothingForNoRows) {
  const CouponState state = testing::UniformCoupon(kStryktipset, "1X");
  const AnalysisReport report = AnalyseRows(ShapeOf(state), {});
  EXPECT_EQ(report.guarantee, 0);
  EXPECT_EQ(report.outcomesByRight, (std::array<int64_t, kMaxMatches + 1>{}));
}

TEST(AnalyseRows, StopsWhenAskedTo) {
  const CouponState state = testing::UniformCoupon(kStryktipset, "1X2");
  StopSource stop;
  stop.RequestStop();
  const AnalysisReport report =
      AnalyseRows(ShapeOf(state), std::vector<PackedRow>{0}, nullptr, Work{StopToken(stop)});
  EXPECT_TRUE(report.stopped);
  EXPECT_EQ(report.guarantee, 0);
  EXPECT_EQ(report.outcomesByRight, (std::array<int64_t, kMaxMatches + 1>{}));
}

TEST(ParseStreck, ScalesEachGroupToOneHundred) {
  std::string text;
  for (int m = 1; m <= 14; ++m) text += "1 1 2%,\n";
  std::string error;
  const std::optional<Streck> streck = ParseStreck(text, 14, &error);
  ASSERT_TRUE(streck.has_value()) << error;
  EXPECT_EQ(streck->matches, 14);
  EXPECT_DOUBLE_EQ(streck->percent[13][0], 25);
  EXPECT_DOUBLE_EQ(streck->percent[13][2], 50);
  std::string decimals = "33.3 33.3 33.4";
  for (int m = 2; m <= 13; ++m) decimals += " 45.5;30;24.5";
  const std::optional<Streck> parsed = ParseStreck(decimals, 13, &error);
  ASSERT_TRUE(parsed.has_value()) << error;
  EXPECT_NEAR(parsed->percent[0][2], 33.4, 1e-12);
  EXPECT_NEAR(parsed->percent[1][0], 45.5, 1e-12);
}

TEST(ParseStreck, RefusesInOneSwedishLine) {
  std::string error;
  EXPECT_FALSE(ParseStreck("40 30 30", 13, &error));
  EXPECT_EQ(error, "Streck: väntade 39 tal, tre per match, fick 3");
  std::string text;
  for (int m = 1; m <= 13; ++m) text += m == 3 ? "0 0 0 " : "40 30 30 ";
  EXPECT_FALSE(ParseStreck(text, 13, &error));
  EXPECT_EQ(error, "Streck: match 3 har summan 0");
  EXPECT_FALSE(ParseStreck("40 3o 30", 13, &error));
  EXPECT_EQ(error, "Streck: \"3o\" är inget tal");
  EXPECT_FALSE(ParseStreck("40 -5 30", 13, &error));
  EXPECT_EQ(error, "Streck: talet \"-5\" är negativt");
  EXPECT_FALSE(ParseStreck("40 1e999 30", 13, &error));
  EXPECT_EQ(error, "Streck: \"1e999\" är inget tal");
  EXPECT_FALSE(ParseStreck("40 \x1b[7m 30", 13, &error));
  EXPECT_EQ(error, "Streck: \"\\x1b[7m\" är inget tal");
}

// Streck for 13 matches: `first` for match 1, 40 30 30 for the others.
std::string StreckWithFirst(const std::string& first) {
  std::string text = first;
  for (int m = 2; m <= 13; ++m) text += " 40 30 30";
  return text;
}

TEST(ParseStreck, RefusesNumbersAndSumsBeyondWhatCanBeCounted) {
  std::string error;
  // 1e308 three times would be finite each, but not their sum: the one
  // numbers reader refuses each long before that.
  const std::string huge = "1" + std::string(308, '0');
  EXPECT_FALSE(ParseStreck(StreckWithFirst(huge + " " + huge + " " + huge), 13, &error));
  EXPECT_EQ(error, "Streck: \"1000000000000000…\" är för stort");
  EXPECT_FALSE(ParseStreck(StreckWithFirst("1" + std::string(400, '0') + " 1 1"), 13, &error));
  EXPECT_EQ(error, "Streck: \"1000000000000000…\" är för stort");
  EXPECT_FALSE(ParseStreck(StreckWithFirst("0." + std::string(400, '0') + "1 1 1"), 13, &error));
  EXPECT_EQ(error, "Streck: \"0.00000000000000…\" är för litet");
  for (const char* name : {"inf", "nan", "infinity"}) {
    EXPECT_FALSE(ParseStreck(StreckWithFirst(std::string(name) + " 1 1"), 13, &error));
    EXPECT_EQ(error, "Streck: \"" + std::string(name) + "\" är inget tal");
  }
  // Large but within what a streck can be: the shares stay the shares.
  const std::optional<Streck> streck =
      ParseStreck(StreckWithFirst("100000000 100000000 1000000000"), 13, &error);
  ASSERT_TRUE(streck.has_value()) << error;
  EXPECT_NEAR(streck->percent[0][0], 100.0 / 12, 1e-9);
  EXPECT_NEAR(streck->percent[0][2], 1000.0 / 12, 1e-9);
}

TEST(ParseStreck, NamesTheMatchesWhoseNumbersWereScaled) {
  std::string error;
  std::string text;
  const std::vector<std::string> groups = {"45 30 25", "50 30 19", "50 30 21.5",    "50 30 21",
                                           "1 1 2",    "45 30 25", "33.3 33.3 33.3"};
  for (int m = 1; m <= 13; ++m) text += (m <= 7 ? groups[m - 1] : "40 30 30") + ";";
  const std::optional<Streck> streck = ParseStreck(text, 13, &error);
  ASSERT_TRUE(streck.has_value()) << error;
  // Sums 99 to 101 are rounding; 101.5 and 4 are not.
  EXPECT_EQ(streck->scaledMatches, (std::vector<int>{3, 5}));
  EXPECT_EQ(ScaledStreckText(*streck),
            "Streck som inte summerade till 100 har räknats om: match 3, 5");
  EXPECT_DOUBLE_EQ(streck->percent[4][2], 50);
  const std::optional<Streck> exact = ParseStreck(StreckWithFirst("40 30 30"), 13, &error);
  ASSERT_TRUE(exact.has_value()) << error;
  EXPECT_TRUE(exact->scaledMatches.empty());
  EXPECT_EQ(ScaledStreckText(*exact), "");
}

}  // namespace
}  // namespace spelkub
