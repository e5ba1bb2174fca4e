// The exact value of a set of rows S (duplicates count) over all 3^n outcomes
// y of the model's n matches, no sampling. The pots count S's own stake
// (|S| · row price). With c_k(y) the rows of S with exactly k right and the
// others' winners W ~ Poisson(λ_k(y)), λ_k(y) = N · (the chance that a row
// drawn sign by sign from the streck has exactly k right):
//   win_k(y) = E[c_k(y) · pot_k / (W + c_k(y))], each share counted only when
//              it reaches the minimum payout (ExpectedLevelWin);
//   E(S) = Σ_y P(y) Σ_k win_k(y), the expected return;
//   P(best ≥ k) = Σ_y P(y) · [some row of S has at least k right].
// own_k for every y at once comes from a transform of the rows' histogram over
// the outcomes (one pass per match, distances 0..3 kept); P(y) and public_k(y)
// from products carried along the outcome order. Memory: 16 bytes per outcome
// (76.5 MB for 14 matches) besides the rows.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "coupon/system_shape.h"
#include "coupon/work.h"
#include "value/value_model.h"

namespace spelkub {

struct LevelValue {
  int right = 0;
  // The chance that some row of the system has at least `right` right.
  double chanceAtLeast = 0;
  // At the likeliest outcome: the system's rows with exactly `right` right,
  // and the expected payout per winning row, win / max(own, 1), as if one of
  // the rows won there when none does.
  int64_t rowsAtLikeliest = 0;
  double payoutAtLikeliest = 0;
};

struct SystemValue {
  int64_t rows = 0;
  std::vector<LevelValue> levels;  // the pool's levels, in its order
  double expectedReturn = 0;       // E(S), kr
  // Vinstchans, öre per row: E(S) / (rows · row price) · 100, so 100 is the
  // stake back. 0 without rows.
  double returnOrePerRow = 0;
  // The outcome with the highest own chance in every match (the first sign
  // on a tie).
  PackedRow likeliest = 0;
  // Over the bins of SystemValueOptions::payoutEdges, by the estimated top
  // payout U: the chance that the right row falls in the bin, the public's
  // share of rows there (Σ Q(y)), and this system's rows there.
  std::vector<double> chanceByPayout;
  std::vector<double> publicByPayout;
  std::vector<int64_t> rowsByPayout;
};

struct SystemValueOptions {
  // Ascending bin edges of the estimated top payout, kr (log-spaced for the
  // chart): bin i holds [edges[i], edges[i + 1]); a payout below the first
  // edge counts in the first bin, one from the last edge on in the last.
  // Fewer than two edges: no histograms.
  std::vector<double> payoutEdges;
  // Threads to use, the calling one included; 0: one per core. The numbers
  // are the same for any count.
  int threads = 0;
};

// The value of `rows` under a model from MakeValueModel; nullopt only when
// stopped (the stop may be raised from any thread). The fraction done is told
// on the calling thread now and then, and 1 at the end. Every row must have a
// sign 0..2 in each of the model's matches and nothing beyond them, and
// descending edges are refused: both throw std::invalid_argument.
std::optional<SystemValue> ComputeSystemValue(const ValueModel& model,
                                              std::span<const PackedRow> rows,
                                              const SystemValueOptions& options = {},
                                              const Work& work = {});

}  // namespace spelkub
