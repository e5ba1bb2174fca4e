#include "value/pool_share.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace spelkub {
namespace {

// The Poisson terms of W beyond this many standard deviations from λ (and
// 40 terms) hold less than 1e-30 of the mass: both forms leave them out.
constexpr double kSpread = 12;
constexpr double kSlack = 40;
// A sum stops when what is left is below this share of it.
constexpr double kNegligible = 1e-18;

// The largest number of others' winners at which a winning row still gets
// the minimum: pot / (w + own) ≥ minimum. Infinite without a minimum; below
// 0 when even own rows alone are paid less.
double MostOthers(double pot, int64_t own, double minimum) {
  if (minimum <= 0) return std::numeric_limits<double>::infinity();
  return std::floor(pot / minimum - static_cast<double>(own));
}

double Spread(double lambda) {
  return kSpread * std::sqrt(lambda) + kSlack;
}

// The central moments m_k = E[(W − λ)^k] of W ~ Poisson(λ) as polynomials in
// λ, a[k][i] the coefficient of λ^i: every cumulant is λ, so
// m_n = λ Σ_(j ≤ n−2) C(n−1, j) m_j from m_0 = 1, m_1 = 0.
constexpr int kMoments = 25;
struct MomentTable {
  double a[kMoments][kMoments / 2 + 1] = {};
};

constexpr MomentTable MakeMomentTable() {
  MomentTable table;
  table.a[0][0] = 1;
  for (int n = 2; n < kMoments; ++n) {
    double binomial = 1;  // C(n − 1, j)
    for (int j = 0; j <= n - 2; ++j) {
      for (int i = 0; i <= j / 2; ++i) table.a[n][i + 1] += binomial * table.a[j][i];
      binomial = binomial * (n - 1 - j) / (j + 1);
    }
  }
  return table;
}

constexpr MomentTable kMomentTable = MakeMomentTable();

// Where c and λ are both large and near each other (the alternating sums
// below would take sqrt(80·λ) terms): 1/(W + c) expanded around μ = λ + c,
//   1/(μ + X) = Σ_(k<K) (−X)^k / μ^(k+1) + X^K / (μ^K (μ + X)),  X = W − λ,
// so I_c = Σ_(k<K) (−1)^k m_k / μ^(k+1) + R_K with 0 ≤ R_K ≤ m_K / (μ^K c)
// for even K (μ + X = W + c ≥ c). Stops at the first even K whose bound is
// negligible; false when none up to the table's end is.
bool MeanInverseAround(double lambda, double c, double& result) {
  const double mu = lambda + c;
  const double inverse = 1 / mu;
  double powers[kMoments / 2 + 1];
  powers[0] = 1;
  for (int i = 1; i <= kMoments / 2; ++i) powers[i] = powers[i - 1] * lambda;
  double sum = inverse;
  double scale = inverse;  // 1 / μ^(k+1)
  for (int k = 1; k < kMoments; ++k) {
    scale *= inverse;
    double moment = 0;
    for (int i = k / 2; i >= 1; --i) moment += kMomentTable.a[k][i] * powers[i];
    const double term = moment * scale;
    if (k % 2 == 0 && term * mu / c <= kNegligible * sum) {
      result = sum;
      return true;
    }
    sum += k % 2 == 0 ? term : -term;
  }
  return false;
}

// Beyond this λ, e^(−λ) is below 1e-17 and left out.
constexpr double kNoExp = 40;

double OneMinusExp(double lambda) {
  return lambda > kNoExp ? 1 : -std::expm1(-lambda);
}

// E[1 / (W + c)] = ∫₀¹ t^(c−1) e^(−λ(1−t)) dt for W ~ Poisson(λ > 0), c ≥ 1.
// Integrating by parts gives I_c = (1 − (c−1)·I_(c−1)) / λ from I_1 =
// (1 − e^(−λ)) / λ, and the other way I_c = (1 − λ·I_(c+1)) / c. Each carries
// its error forward only while its factor is below 1, so each is unrolled
// into the alternating sum it is, on its own side of c = λ:
//   c ≤ λ: I_c = Σ_(k<c) (−1)^k t_k + (−1)^c t_(c−1) e^(−λ),
//          t_k = (c−1)(c−2)…(c−k) / λ^(k+1);
//   c > λ: I_c = Σ_k (−1)^k t_k,  t_k = λ^k / (c (c+1) … (c+k)).
// The terms fall, so what is left after a term is at most that term; they are
// added in pairs t_k − t_(k+1), each ≥ 0, so nothing cancels. A few dozen
// terms where c and λ are a factor 4 apart; nearer, the expansion around
// λ + c takes over once both are large.
double MeanInverse(double lambda, double c) {
  constexpr double kFarApart = 4;
  constexpr double kLarge = 128;
  if (c * kFarApart > lambda && lambda * kFarApart > c && lambda + c >= kLarge) {
    double result;
    if (MeanInverseAround(lambda, c, result)) return result;
  }
  double sum = 0;
  if (c <= lambda) {
    const double inverse = 1 / lambda;
    const double last = c - 1;  // the index of the last term
    double term = inverse;      // t_k, k even
    for (double k = 0;; k += 2) {
      if (k == last) return sum + term * OneMinusExp(lambda);
      const double next = term * (last - k) * inverse;
      sum += term * (lambda - last + k) * inverse;
      if (k + 1 == last) return lambda > kNoExp ? sum : sum + next * std::exp(-lambda);
      term = next * (last - k - 1) * inverse;
      if (term <= kNegligible * sum) return sum;
    }
  }
  double term = 1 / c;
  for (double k = 0;; k += 2) {
    const double after = c + k + 1;
    // One division for both steps: 1 / (after (after + 1)).
    const double both = 1 / (after * (after + 1));
    sum += term * (after - lambda) * (after + 1) * both;
    term *= lambda * lambda * both;
    if (term <= kNegligible * sum) return sum;
  }
}

// The Poisson probability in the pieces that keep it exact for large λ,
// where w·log λ and log w! each reach 10^8 and their difference would lose
// eight digits:
//   P(w) = e^(−bd0(w, λ) − stirling(w)) / sqrt(2π w),
//   bd0(w, λ) = w log(w/λ) + λ − w, stirling(w) = log w! − (w + ½) log w + w − ½ log 2π.
double Bd0(double w, double lambda) {
  if (std::abs(w - lambda) < 0.1 * (w + lambda)) {
    // w log(w/λ) − (w − λ) through v = (w − λ)/(w + λ): a series in v² with
    // no cancellation.
    const double v = (w - lambda) / (w + lambda);
    double sum = (w - lambda) * v;
    double power = 2 * w * v;
    for (int j = 1; j < 1000; ++j) {
      power *= v * v;
      const double next = sum + power / (2 * j + 1);
      if (next == sum) return sum;
      sum = next;
    }
    return sum;
  }
  return w * std::log(w / lambda) + lambda - w;
}

double Stirling(double w) {
  constexpr double kHalfLog2Pi = 0.91893853320467274178;
  if (w < 30) return std::lgamma(w + 1) - (w + 0.5) * std::log(w) + w - kHalfLog2Pi;
  const double inverse = 1 / w;
  const double square = inverse * inverse;
  return inverse *
         (1.0 / 12 -
          square * (1.0 / 360 - square * (1.0 / 1260 - square * (1.0 / 1680 - square / 1188))));
}

double PoissonTerm(double w, double lambda) {
  if (w == 0) return std::exp(-lambda);
  return std::exp(-Bd0(w, lambda) - Stirling(w)) / std::sqrt(2 * std::numbers::pi * w);
}

// Σ_(low ≤ w ≤ most) P(w) / (w + c) for most < λ, from `most` down. Each step
// down multiplies the term by ρ = (w/λ)(w + c)/(w + c − 1), and ρ only falls
// as w does, so after a term at most term·ρ/(1 − ρ) is left.
double SumUpTo(double most, double low, double lambda, double c) {
  double chance = PoissonTerm(most, lambda);
  double sum = 0;
  for (double w = most; w >= low; --w) {
    const double term = chance / (w + c);
    sum += term;
    if (w == 0) break;
    const double ratio = w / lambda * (w + c) / (w + c - 1);
    if (ratio < 1 && term * ratio <= kNegligible * sum * (1 - ratio)) break;
    chance *= w / lambda;
  }
  return sum;
}

// Σ_(w ≥ first) P(w) / (w + c) for first > λ, upwards; a step multiplies by
// ρ = λ/(w + 1) · (w + c)/(w + c + 1) < 1, falling as w grows.
double SumFrom(double first, double lambda, double c, double whole) {
  double chance = PoissonTerm(first, lambda);
  double sum = 0;
  for (double w = first;; ++w) {
    const double term = chance / (w + c);
    sum += term;
    const double ratio = lambda / (w + 1) * (w + c) / (w + c + 1);
    if (term * ratio <= kNegligible * whole * (1 - ratio)) return sum;
    chance *= lambda / (w + 1);
  }
}

}  // namespace

double ExpectedLevelWinBySum(double pot, double lambda, int64_t own, double minimum) {
  if (own <= 0 || pot <= 0) return 0;
  const long double c = static_cast<long double>(own);
  const double most = MostOthers(pot, own, minimum);
  if (most < 0) return 0;
  if (lambda <= 0) return pot;  // W = 0: the own rows share the pot
  const double spread = Spread(lambda);
  const double low = std::max(0.0, std::floor(lambda - spread));
  const double high = std::ceil(lambda + spread);
  // The Poisson weights relative to the one at the mode, step by step, and
  // their sum over the window: P(w) is the weight over the sum, without the
  // powers of λ and w! that overflow.
  const double mode = std::clamp(std::floor(lambda), low, high);
  const long double rate = lambda;
  long double weights = 0;
  long double sum = 0;
  long double weight = 1;
  for (double w = mode; w <= high; ++w) {
    weights += weight;
    if (w <= most) sum += weight / (w + c);
    weight *= rate / (w + 1);
  }
  weight = 1;
  for (double w = mode - 1; w >= low; --w) {
    weight *= (w + 1) / rate;
    weights += weight;
    if (w <= most) sum += weight / (w + c);
  }
  return static_cast<double>(c * pot * (sum / weights));
}

double ExpectedLevelWin(double pot, double lambda, int64_t own, double minimum) {
  if (own <= 0 || pot <= 0) return 0;
  const double c = static_cast<double>(own);
  const double most = MostOthers(pot, own, minimum);
  if (most < 0) return 0;
  if (lambda <= 0) return pot;
  // most ≥ λ + spread (so ≥ its ceiling, most being whole), without a root.
  const double above = most - lambda - kSlack;
  if (above > 0 && above * above >= kSpread * kSpread * lambda)
    return c * pot * MeanInverse(lambda, c);
  const double spread = Spread(lambda);
  const double low = std::max(0.0, std::floor(lambda - spread));
  if (most < low) return 0;
  if (most >= std::ceil(lambda + spread)) return c * pot * MeanInverse(lambda, c);
  if (most < lambda) return c * pot * SumUpTo(most, low, lambda, c);
  const double whole = MeanInverse(lambda, c);
  return c * pot * (whole - SumFrom(most + 1, lambda, c, whole));
}

}  // namespace spelkub
