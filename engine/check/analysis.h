// "Garantianalys": how good a set of rows is on the system of the current
// marks, not just in the worst case. For every outcome of the system the most
// right that any row gets; counted by number of right, and optionally weighted
// by the public's (or the player's own) sign percentages.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "coupon/system.h"
#include "coupon/system_shape.h"
#include "coupon/work.h"
#include "cover/coverage.h"

namespace spelkub {

// Per match the percentages of "1", "X" and "2" ("streck").
struct Streck {
  int matches = 13;
  std::array<std::array<double, 3>, kMaxMatches> percent{};
  // Matches (1-based, in order) whose numbers did not add up to about 100
  // (99 to 101) and were scaled: the user is told which.
  std::vector<int> scaledMatches;
};

// 13 or 14 groups of three numbers (as many as `matches`), read as
// ReadNumberList does (coupon/number_text.h): separated by blanks, commas,
// semicolons or line breaks, a decimal point or decimal comma, an optional
// "%" after a number. A group's numbers need not add up to 100 (each group is
// scaled to 100). Refusals are one Swedish line: "Streck: väntade 39 tal, tre
// per match, fick 38", "Streck: "abc" är inget tal", "Streck: talet "-5" är
// negativt", "Streck: match 3 har summan 0", "Streck: "1000000000000" är för
// stort", "Streck: talen för match 3 är för stora att lägga ihop".
std::optional<Streck> ParseStreck(std::string_view text, int matches, std::string* error);

// "Streck som inte summerade till 100 har räknats om: match 2, 5", or empty
// when no match was scaled.
std::string ScaledStreckText(const Streck& streck);
struct AnalysisReport {
  int matches = 13;
  // The least right over all outcomes; 0 when there are no rows (and then
  // every count below is 0 too).
  int guarantee = 0;
  // outcomesByRight[k]: outcomes whose best row has exactly k right.
  std::array<int64_t, kMaxMatches + 1> outcomesByRight{};
  // With streck: the probability (0..1) of each number of right, outcomes
  // weighted by the product of their signs' shares, normalised over the system
  // (given that the result is one of its outcomes); all 0 when the streck give
  // every outcome of the system the weight 0.
  std::optional<std::array<double, kMaxMatches + 1>> probabilityByRight;
  // With streck: the probability (0..1) that the result is an outcome of the
  // system at all, the product over the matches of the marked signs' shares.
  double systemProbability = 0;
  // Rows with a sign that the system does not mark: how many, and the
  // positions (0-based, in the given order) of the first kOutsideRowsKept.
  int64_t outsideCount = 0;
  std::vector<int64_t> outsideRows;
  // The analysis was stopped: nothing else of the report holds.
  bool stopped = false;
};

// Exact, by the coverage search: one byte per outcome besides the rows. A
// stop ends the analysis early with `stopped` set and nothing else.
AnalysisReport AnalyseRows(const SystemShape& shape, std::span<const PackedRow> rows,
                           const Streck* streck = nullptr, const Work& work = {});

// AnalyseRows over the outcomes a system allows: the guarantee, the counts by
// number of right and their probabilities under the streck (normalised over
// the system) count those outcomes only; systemProbability is the chance that
// the result is one of them. An unfiltered system gives AnalyseRows' report.
AnalysisReport AnalyseRowsOnSystem(const System& system, std::span<const PackedRow> rows,
                                   const Streck* streck = nullptr, const Work& work = {});

}  // namespace spelkub
