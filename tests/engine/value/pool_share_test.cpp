// The expected win of a prize level when the others' winners are Poisson: the
// fast form against the plain sum over W, and both against closed forms.
#include "value/pool_share.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace spelkub {
namespace {

void ExpectRelative(double actual, double expected, double tolerance, const std::string& what) {
  EXPECT_LE(std::abs(actual - expected), tolerance * std::max(std::abs(actual), std::abs(expected)))
      << what << ": " << actual << " against " << expected;
}

std::string Case(double lambda, int64_t own, double minimum) {
  return "lambda " + std::to_string(lambda) + ", own " + std::to_string(own) + ", minimum " +
         std::to_string(minimum);
}

TEST(ExpectedLevelWin, AgreesWithTheSumOverWOnAWideGrid) {
  const double pot = 1e6;
  const std::vector<double> lambdas = {0,    1e-12, 1e-6,  0.01, 0.3, 1,     1.5, 2,   7.25, 30,
                                       99.5, 250,   999.9, 1e3,  1e4, 3.3e4, 1e5, 1e6, 1e7};
  const std::vector<int64_t> owns = {1, 2, 3, 5, 10, 31, 100, 1000, 2288, 9999, 100000};
  int binding = 0;
  for (double lambda : lambdas) {
    const double sd = std::sqrt(lambda);
    // Where the minimum stops paying: never, and at W around λ from far
    // below to far above, in standard deviations and in parts of λ.
    std::vector<double> mosts = {-1};
    for (double k : {-13.0, -8.0, -3.0, -1.0, -0.2, 0.0, 0.4, 1.0, 3.0, 8.0, 11.9, 13.0})
      mosts.push_back(lambda + k * sd);
    for (double f : {0.5, 0.9, 0.99, 1.01, 1.1, 2.0}) mosts.push_back(lambda * f);
    mosts.push_back(3);
    for (int64_t own : owns) {
      const double c = static_cast<double>(own);
      for (double most : mosts) {
        if (most >= 0) most = std::floor(most);
        // pot / (most + c) ≥ minimum > pot / (most + 1 + c), halfway.
        const double minimum = most < 0 ? 0 : pot / (most + c + 0.5);
        const double fast = ExpectedLevelWin(pot, lambda, own, minimum);
        const double sum = ExpectedLevelWinBySum(pot, lambda, own, minimum);
        ExpectRelative(fast, sum, 1e-12, Case(lambda, own, minimum));
        binding += most >= 0 && most < lambda + 8 * sd && fast > 0;
      }
    }
  }
  EXPECT_GT(binding, 300);  // the grid does reach the cut by the minimum
}

// Where c and λ are near each other both sums take many terms: the fast form
// expands around λ + c there.
TEST(ExpectedLevelWin, AgreesWhereOwnRowsAndOthersAreAlike) {
  for (int64_t own : {2, 20, 50, 64, 65, 100, 129, 312, 2288, 40000}) {
    for (double factor = 0.2; factor < 5.5; factor *= 1.17) {
      const double lambda = static_cast<double>(own) * factor;
      for (double minimum : {0.0, 1e6 / (lambda + static_cast<double>(own))}) {
        const double fast = ExpectedLevelWin(1e6, lambda, own, minimum);
        const double sum = ExpectedLevelWinBySum(1e6, lambda, own, minimum);
        ExpectRelative(fast, sum, 1e-12, Case(lambda, own, minimum));
      }
    }
  }
}

TEST(ExpectedLevelWin, OneRowIsPaidThePotTimesOneMinusEToTheMinusLambdaOverLambda) {
  // The pot divided by the expected winners (λ + 1) says 130,000 kr here.
  const double pot = 260000;
  ExpectRelative(ExpectedRowPayout(pot, 1, 0), 164351.3452954, 1e-12, "lambda 1");
  for (double lambda : {1e-9, 0.001, 0.5, 2.0, 40.0, 700.0, 1e5, 1e7}) {
    const double exact = pot * -std::expm1(-lambda) / lambda;
    ExpectRelative(ExpectedRowPayout(pot, lambda, 0), exact, 1e-14, Case(lambda, 1, 0));
    ExpectRelative(ExpectedLevelWinBySum(pot, lambda, 1, 0), exact, 1e-14, Case(lambda, 1, 0));
  }
}

TEST(ExpectedLevelWin, TwoRowsFollowTheRecurrenceOnBothSidesOfLambda) {
  // E[2/(W + 2)] = 2 (1 − E[1/(W + 1)]) / λ, and E[c/(W + c)] → 1 as λ → 0.
  for (double lambda : {0.25, 1.0, 3.0, 50.0, 1e4}) {
    const double one = -std::expm1(-lambda) / lambda;
    ExpectRelative(ExpectedLevelWin(1, lambda, 2, 0), 2 * (1 - one) / lambda, 1e-13,
                   Case(lambda, 2, 0));
  }
  for (int64_t own : {1, 7, 5000})
    ExpectRelative(ExpectedLevelWin(10, 1e-15, own, 0), 10, 1e-13, "");
}

TEST(ExpectedLevelWin, NoRowsNoPotOrAMinimumAboveThePotPayNothing) {
  for (double lambda : {0.0, 0.5, 1e6}) {
    EXPECT_EQ(ExpectedLevelWin(1000, lambda, 0, 0), 0);
    EXPECT_EQ(ExpectedLevelWin(0, lambda, 3, 0), 0);
    // Even three own rows alone would get 333 kr each.
    EXPECT_EQ(ExpectedLevelWin(1000, lambda, 3, 400), 0);
    EXPECT_EQ(ExpectedLevelWinBySum(1000, lambda, 3, 400), 0);
  }
  // Nobody else wins: the own rows share the pot.
  EXPECT_EQ(ExpectedLevelWin(1000, 0, 3, 300), 1000);
  // A minimum the others' winners almost surely push the payout under.
  EXPECT_EQ(ExpectedLevelWin(1e6, 1e4, 1, 1e6 / 5000.0), 0);
}

}  // namespace
}  // namespace spelkub
