// What a prize level pays the player when the others' winners are random.
//
// The public plays N rows, each drawn sign by sign from the streck, so the
// number W of the others' rows with exactly k right against an outcome is
// Poisson with mean λ = N·Q_k (Q_k the chance that one public row has exactly
// k right there). With c of the player's rows at that level and the level's
// pot, each winning row is paid pot / (W + c), and nothing when that is below
// the minimum payout. The player's expected win at the level is
//   E[c · pot / (W + c) · 1{pot / (W + c) ≥ minimum}],
// the expectation over W taken exactly.
#pragma once

#include <cstdint>

namespace spelkub {

// The player's expected win at one level: `own` (c ≥ 1) rows at the level,
// `lambda` (λ ≥ 0) the others' expected winners, `pot` ≥ 0 kr, `minimum` ≥ 0
// kr per winning row. 0 when own is 0.
double ExpectedLevelWin(double pot, double lambda, int64_t own, double minimum);

// The expected payout of one winning row of the player's: ExpectedLevelWin
// with own = 1.
inline double ExpectedRowPayout(double pot, double lambda, double minimum) {
  return ExpectedLevelWin(pot, lambda, 1, minimum);
}

// The same expectation as a plain sum over the Poisson terms of W, term by
// term: slow, for tests and as the reference of the fast form.
double ExpectedLevelWinBySum(double pot, double lambda, int64_t own, double minimum);

}  // namespace spelkub
