#include "check/grading.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace spelkub {
namespace {

MatchResults Results(std::string_view text, int matches = 13) {
  std::string error;
  const std::optional<MatchResults> results = ParseResults(text, matches, &error);
  EXPECT_TRUE(results.has_value()) << error;
  return results.value_or(MatchResults{});
}

std::string Refusal(std::string_view text, int matches = 13) {
  std::string error;
  EXPECT_FALSE(ParseResults(text, matches, &error).has_value()) << text;
  return error;
}

PackedRow Row(std::string_view signs) {
  PackedRow row = 0;
  for (size_t m = 0; m < signs.size(); ++m) {
    row |= PackedRow(signs[m] == '1' ? 0 : signs[m] == 'X' ? 1 : 2) << (2 * m);
  }
  return row;
}

// Every row against the results, match by match.
GradeReport BruteForce(const std::vector<PackedRow>& rows, const MatchResults& results) {
  GradeReport report;
  report.matches = results.matches;
  const int undecided = results.matches - results.Decided();
  report.decided = results.matches - undecided;
  for (PackedRow row : rows) {
    int right = 0;
    for (int m = 1; m <= results.matches; ++m) {
      right += results.outcome[m - 1] >= 0 && PackedOutcome(row, m) == results.outcome[m - 1];
    }
    ++report.rowsByRight[right];
    for (int k = 0; k <= right + undecided; ++k) ++report.rowsCanReach[k];
  }
  return report;
}

TEST(ParseResults, ReadsOneRunOfSignsOrSeparatedGroups) {
  const MatchResults run = Results("1X2-1X2-1X2-x");
  const MatchResults groups = Results("1 X,2 - 1;X 2\n-,1 X 2 - X");
  EXPECT_EQ(run.matches, 13);
  EXPECT_EQ(run.outcome, groups.outcome);
  const std::array<int8_t, kMaxMatches> expected{0, 1, 2, -1, 0, 1, 2, -1, 0, 1, 2, -1, 1, -1};
  EXPECT_EQ(run.outcome, expected);
  EXPECT_EQ(run.Decided(), 10);
}

TEST(ParseResults, ReadsFourteenForSupertoto) {
  const MatchResults results = Results("11111111111112", 14);
  EXPECT_EQ(results.matches, 14);
  EXPECT_EQ(results.Decided(), 14);
  EXPECT_EQ(results.outcome[13], 2);
}

TEST(ParseResults, RefusesAWrongCountAndNamesTheMatchOfABadSign) {
  EXPECT_EQ(Refusal("1X2-1X2-1X2-"), "Resultat: väntade 13 tecken 1, X, 2 eller -, fick 12");
  EXPECT_EQ(Refusal(""), "Resultat: väntade 13 tecken 1, X, 2 eller -, fick 0");
  EXPECT_EQ(Refusal("1X2-1X2-1X2-1", 14), "Resultat: väntade 14 tecken 1, X, 2 eller -, fick 13");
  EXPECT_EQ(Refusal("1X2-1X2-1Y2-1"), "Resultat: match 10 har \"Y\", väntade 1, X, 2 eller -");
  EXPECT_EQ(Refusal("1 X 2 - 1 X 2 - 1 X2 - 1 1"),
            "Resultat: match 10 har \"X2\", väntade 1, X, 2 eller -");
}

TEST(ParseResults, CountsSignsAcrossRunsAndSaysWhereTheTextWentWrong) {
  // Runs of signs split anywhere read like one run.
  EXPECT_EQ(Results("2x1x21 1111 112").outcome, Results("2X1X211111112").outcome);
  EXPECT_EQ(Results("1X2-1X2 -1X2-1 X", 14).outcome, Results("1X2-1X2-1X2-1X", 14).outcome);
  // Too few or too many signs: the count per run shows which run is off.
  EXPECT_EQ(Refusal("2x1x21 1111 11"),
            "Resultat: väntade 13 tecken 1, X, 2 eller -, fick 12 (6 + 4 + 2)");
  EXPECT_EQ(Refusal("2x1x21 1111 11211"),
            "Resultat: väntade 13 tecken 1, X, 2 eller -, fick 15 (6 + 4 + 5); tecken 14 står i "
            "\"11211\"");
  // A character that is no sign: its match and the run it stands in.
  EXPECT_EQ(Refusal("2x1x21 1q11 112"),
            "Resultat: match 8 har \"q\" (i \"1q11\"), väntade 1, X, 2 eller -");
  EXPECT_EQ(Refusal("2x1x21 11\xC3\xA4"
                    "1 112"),
            "Resultat: match 9 har \"\xC3\xA4\" (i \"11\xC3\xA4"
            "1\"), väntade 1, X, 2 eller -");
  // Every way of cutting a run of 13 signs into runs reads the same.
  std::mt19937 random(7);
  for (int trial = 0; trial < 200; ++trial) {
    std::string run;
    for (int m = 0; m < 13; ++m) run += "1X2-"[random() % 4];
    std::string cut;
    for (size_t i = 0; i < run.size(); ++i) {
      if (i > 0 && random() % 3 == 0) cut += " ,;\n"[random() % 4];
      cut += run[i];
    }
    EXPECT_EQ(Results(cut).outcome, Results(run).outcome) << cut;
  }
}

TEST(GradeRows, CountsExactRightOnEveryMatchDecided) {
  const std::vector<PackedRow> rows = {Row("1111111111111"), Row("1111111111112"),
                                       Row("2222222222222"), Row("111111111111X")};
  const GradeReport report = GradeRows(rows, Results("1111111111111"));
  EXPECT_EQ(report.decided, 13);
  EXPECT_EQ(report.rowsByRight[13], 1);
  EXPECT_EQ(report.rowsByRight[12], 2);
  EXPECT_EQ(report.rowsByRight[0], 1);
  EXPECT_EQ(report.rowsCanReach[13], 1);
  EXPECT_EQ(report.rowsCanReach[12], 3);
  EXPECT_EQ(report.rowsCanReach[1], 3);
  EXPECT_EQ(report.rowsCanReach[0], 4);
}

TEST(GradeRows, CountsWhatRowsCanStillReachWithMatchesUndecided) {
  const std::vector<PackedRow> rows = {Row("1111111111111"), Row("1111111111122"),
                                       Row("2111111111111")};
  // Matches 12 and 13 not played yet.
  const GradeReport report = GradeRows(rows, Results("11111111111--"));
  EXPECT_EQ(report.decided, 11);
  EXPECT_EQ(report.rowsByRight[11], 2);
  EXPECT_EQ(report.rowsByRight[10], 1);
  EXPECT_EQ(report.rowsCanReach[13], 2);
  EXPECT_EQ(report.rowsCanReach[12], 3);
}

TEST(GradeRows, AgreesWithBruteForceOnRandomRowsAndResults) {
  std::mt19937 random(5);
  for (int trial = 0; trial < 300; ++trial) {
    const int matches = trial % 2 == 0 ? 13 : 14;
    std::vector<PackedRow> rows(random() % 200);
    for (PackedRow& row : rows) {
      row = 0;
      for (int m = 0; m < matches; ++m) row |= PackedRow(random() % 3) << (2 * m);
    }
    MatchResults results;
    results.matches = matches;
    results.outcome.fill(0);
    const int undecidedShare = static_cast<int>(random() % 4);  // 0: all decided
    for (int m = 0; m < matches; ++m) {
      results.outcome[m] = static_cast<int8_t>(random() % 4 < static_cast<unsigned>(undecidedShare)
                                                   ? -1
                                                   : static_cast<int>(random() % 3));
    }
    const GradeReport expected = BruteForce(rows, results);
    const GradeReport report = GradeRows(rows, results);
    ASSERT_EQ(report.decided, expected.decided) << trial;
    ASSERT_EQ(report.matches, matches);
    ASSERT_EQ(report.rowsByRight, expected.rowsByRight) << trial;
    ASSERT_EQ(report.rowsCanReach, expected.rowsCanReach) << trial;
  }
}

TEST(GradeRows, GivesZeroCountsForNoRows) {
  const GradeReport report = GradeRows({}, Results("1X2-1X2-1X2-1"));
  EXPECT_EQ(report.rowsByRight, (std::array<int64_t, kMaxMatches + 1>{}));
  EXPECT_EQ(report.rowsCanReach, (std::array<int64_t, kMaxMatches + 1>{}));
}

}  // namespace
}  // namespace spelkub
