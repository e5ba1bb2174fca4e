// Choosing rows by value: the rows of a system that do most for an objective
// within a budget, the objective evaluated exactly over all 3^n outcomes of
// the model's matches.
//
// Objectives, both monotone and submodular in the set of rows:
//  - the expected return E(S) under the value model: at each outcome and
//    prize level the player's rows there share the level's pot with the
//    public's random winners (ExpectedLevelWin), so a further row at a level
//    adds less the more of the player's rows are already there;
//  - P(best row ≥ k): the chance that some row has at least k right, a
//    weighted coverage of the outcomes.
// E(S) by lazy greedy: every candidate's gain on the empty set (for all of
// them at once by a transform over the outcomes) is an upper bound of its
// later gains; the top of a max-heap of bounds is evaluated afresh, taken
// when it still beats the next bound and put back otherwise. A row's gain
// touches only the outcomes within the lowest paid level's distance of it
// (2 627 outcomes for 13 matches at 10 right), where the counts of the chosen
// rows per level are kept. P(best ≥ k) by the same greedy choice, with every
// row's gain kept exactly (in fixed point) and lowered as the outcomes within
// its reach get covered: each outcome is covered once in a run, where lazy
// greedy would evaluate most rows again after most takes. Greedy reaches at
// least (1 − 1/e) of the best set of its size.
//
// Constraints: the budget in rows; only the rows the system allows; an
// optional minimum number of differing matches between a row added by value
// and every row kept; an optional starting set (a verified cover, chosen by
// the caller) that the greedy extends.
//
// Deterministic: the same rows for any number of threads; ties go to the row
// first in generation order of the system.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "coupon/system.h"
#include "coupon/system_shape.h"
#include "coupon/work.h"
#include "value/value_model.h"

namespace spelkub {

enum class SelectGoal {
  kReturn,   // E(S), kr
  kAtLeast,  // P(best row ≥ right)
};

struct SelectObjective {
  SelectGoal goal = SelectGoal::kReturn;
  int right = 0;  // kAtLeast: k, from matches − 3 to matches
};

// The objective's value of a set of rows (duplicates count once for
// kAtLeast, every time for kReturn), exactly over all outcomes: a plain
// count per outcome, for tests. The selection keeps the same number
// incrementally.
// With a stake each row counts that many times in the pots and the wins, as
// the value of the rows each repeated `stake` times.
double ObjectiveValue(const ValueModel& model, const SelectObjective& objective,
                      std::span<const PackedRow> rows, int stake = 1);

struct SelectOptions {
  SelectObjective objective;
  int64_t budgetRows = 1;  // ≥ 1
  // The row stake in units of the row price (≥ 1): each row counts that many
  // times in E(S), as in the value of the rows each repeated so often.
  int stake = 1;
  // 0 or 1: none. Otherwise every row added by value differs from every row
  // kept (the start included) in at least this many matches.
  int minDistance = 0;
  // Sets of rows to start from (covers of a guarantee, say): the one with
  // the highest objective among those within the budget is kept first, in its
  // order, and never dropped; its rows count towards the budget. None: start
  // from no rows.
  std::vector<std::vector<PackedRow>> starts;
};

struct SelectResult {
  // The start, then the rows added by value in the order taken.
  std::vector<PackedRow> rows;
  // Which of the starts was kept (-1: none), and how many rows it has.
  int start = -1;
  int64_t startRows = 0;
  // The objective of each start within the budget (NaN for one beyond it).
  std::vector<double> startObjectives;
  // The objective of `rows`, kept along the way. Expected returns count the
  // pots with the stake of the budget's rows (every row of a smaller system);
  // when the minimum distance leaves fewer, the reports value the rows
  // themselves.
  double objective = 0;
  // The budget's rows with the highest single gains among the candidates
  // (ties: generation order), for comparison; at most budgetRows.
  std::vector<PackedRow> topRows;
  // Fewer rows than the budget: the system (or the minimum distance) left
  // no more candidates.
  bool exhausted = false;
  // Candidates (rows of the system) and the gains evaluated, for benchmarks.
  int64_t candidates = 0;
  int64_t evaluations = 0;
};

// The selection on `system` (its allowed rows are the candidates). The
// system's matches are the model's. nullopt only when stopped. Throws
// std::invalid_argument for a budget below 1, an objective level outside the
// top four, or a start row outside the matches. Starts given but none within
// the budget: no start (start is -1), for the caller to tell.
std::optional<SelectResult> SelectRows(const ValueModel& model, const System& system,
                                       const SelectOptions& options, const Work& work = {});

}  // namespace spelkub
