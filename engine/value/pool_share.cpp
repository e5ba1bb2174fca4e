#include "value/pool_share.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace spelkub {
namespace {

// The Poisson terms of W beyond this many standard deviations from λ (and
// 40 terms) hold less than 1e-30 of the mass.
constexpr double kSpread = 12;
constexpr double kSlack = 40;

// The largest number of others' winners at which a winning row still gets
// the minimum: pot / (w + own) ≥ minimum. Infinite without a minimum; below
// 0 when even own rows alone are paid less.
double MostOthers(double pot, int64_t own, double minimum) {
  if (minimum <= 0) return std::numeric_limits<double>::infinity();
  return std::floor(pot / minimum - static_cast<double>(own));
}

}  // namespace

double ExpectedLevelWinBySum(double pot, double lambda, int64_t own, double minimum) {
  if (own <= 0 || pot <= 0) return 0;
  const double c = static_cast<double>(own);
  const double most = MostOthers(pot, own, minimum);
  if (most < 0) return 0;
  if (lambda <= 0) return pot;  // W = 0: the own rows share the pot
  const double spread = kSpread * std::sqrt(lambda) + kSlack;
  const double low = std::max(0.0, std::floor(lambda - spread));
  const double high = std::min(most, std::ceil(lambda + spread));
  const double logLambda = std::log(lambda);
  double sum = 0;
  for (double w = low; w <= high; ++w) {
    const double term = std::exp(w * logLambda - lambda - std::lgamma(w + 1));
    sum += term / (w + c);
  }
  return c * pot * sum;
}

double ExpectedLevelWin(double pot, double lambda, int64_t own, double minimum) {
  return ExpectedLevelWinBySum(pot, lambda, own, minimum);
}

}  // namespace spelkub
