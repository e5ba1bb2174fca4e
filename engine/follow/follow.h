// "Följ kupongen": a coupon's rows against the results so far, exactly over
// every outcome y of the matches still open (3^open of them, no sampling).
//
// With the decided matches fixed, P(y) is the product of the own chances of
// the open matches' signs. own_k(y) is the number of rows with exactly k right
// at y, found for every y at once by a transform of the rows' histogram over
// the open matches (a row already wrong in e decided matches starts at
// distance e). The public's winners are random: the others' rows with exactly
// k right number W ~ Poisson(λ_k(y)), λ_k(y) = N · Q_k(y), Q_k(y) the chance
// that a row drawn sign by sign from the streck has exactly k right against
// the decided results and y. The player's expected win at y is
//   win(y) = Σ_k ExpectedLevelWin(pot_k, λ_k(y), own_k(y), minimum)
// (value/pool_share.h), and every figure below is a sum over y of these.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "coupon/system_shape.h"
#include "coupon/work.h"
#include "follow/follow_results.h"
#include "value/value_model.h"

namespace spelkub {

// One open match: what each of its signs is worth to the player.
struct FollowSign {
  double chance = 0;       // the own chance of the sign, 0..1
  int64_t rows = 0;        // the player's rows with the sign
  double expectedWin = 0;  // E[win | the match ends with the sign], kr
  int64_t rowsAlive = 0;   // rows still able to reach the alive level if it does
};

// A sign "does not matter" (-1) when the three signs' figures are equal: the
// expected wins less than kSameWin apart, the rows alive the same.
inline constexpr double kSameWin = 0.005;  // kr

struct FollowMatch {
  int match = 0;  // 1..matches
  MatchStatus status;
  // The player's rows per sign, for a decided match too.
  std::array<int64_t, 3> rows{};
  // Open matches (playing and cancelled too) only: per sign, and the sign to
  // root for, the one with the highest expected win (-1: it does not
  // matter), and the one that keeps the most rows able to reach the alive
  // level (-1: it does not matter). Ties go to the likelier sign.
  std::array<FollowSign, 3> sign{};
  int rootFor = -1;
  int keepsMost = -1;
};

struct FollowLevel {
  int right = 0;
  double pot = 0;            // kr
  int64_t rowsCanReach = 0;  // rows that can still end with `right` right or more
  double chanceAtLeast = 0;  // P(some row ends with at least `right` right)
  double expectedWin = 0;    // Σ_y P(y) · ExpectedLevelWin(...) at this level, kr
  double expectedRows = 0;   // Σ_y P(y) · own_k(y)
  // expectedWin / expectedRows: what one of the player's winning rows at the
  // level is expected to be paid; 0 when no row can reach it.
  double payoutPerRow = 0;
  // At the outcome "om det slutar som nu" (FollowReport::nowOutcome): the
  // rows at the level, and what each is expected to be paid there (as if one
  // won there when none does; 0 below the minimum).
  int64_t rowsNow = 0;
  double payoutNow = 0;
  // The most rows at the level over every remaining outcome, and the likeliest
  // outcome that has them.
  int64_t rowsBest = 0;
  PackedRow bestOutcome = 0;
};

// A row that can still reach the alive level.
struct AliveRow {
  uint32_t index = 0;  // position in the rows given
  PackedRow row = 0;
  int wrong = 0;  // decided matches it has wrong
  // The chance that it reaches the alive level: that every open match ends
  // with its sign (the alive level is the best still possible, so a row
  // alive may miss none of them).
  double chance = 0;
};

struct FollowReport {
  int matches = 13;
  int decided = 0;
  int open = 0;
  int64_t rows = 0;
  int64_t outcomes = 0;  // 3^open
  // The most right some row can still end with.
  int bestPossible = 0;
  std::vector<FollowMatch> match;   // one per match, in order
  std::vector<FollowLevel> levels;  // the pool's levels, highest first
  // E[win], kr: the sum of the levels' expected wins.
  double expectedWin = 0;
  // "Om det slutar som nu": every decided match as it ended, a match being
  // played with the sign it stands at, the other open ones with the sign
  // the own chances make likeliest (the first of 1, X, 2 on a tie).
  PackedRow nowOutcome = 0;
  double winNow = 0;  // the expected win there (over the others' winners), kr
  // The remaining outcome with the highest expected win (the likeliest
  // among equals), and that win.
  PackedRow bestOutcome = 0;
  double bestWin = 0;
  // The level the rows alive count for: the top level when some row can
  // still reach it, else the best still possible.
  int aliveLevel = 0;
  int64_t aliveTotal = 0;
  // The first `aliveShown` of them (FollowOptions), likeliest first, ties in
  // the rows' order.
  std::vector<AliveRow> alive;
};

struct FollowOptions {
  size_t aliveShown = 30;  // SIZE_MAX: every row alive
};

// The figures for `rows` under `model` (its chances are read for the open
// matches only) and the results. Every row must have a sign 0..2 in each of
// the model's matches and nothing beyond them, and the results must be of
// the model's matches with a sign where one is needed: both throw
// std::invalid_argument. nullopt only when stopped.
std::optional<FollowReport> ComputeFollow(const ValueModel& model, std::span<const PackedRow> rows,
                                          const FollowResults& results,
                                          const FollowOptions& options = {}, const Work& work = {});

// The pot of the level with `right` right when the player plays `rows` rows.
double FollowPot(const ValueModel& model, int right, int64_t rows);

}  // namespace spelkub
