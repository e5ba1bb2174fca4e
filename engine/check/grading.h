// "Rätta rader": the rows against the results, with matches not yet decided.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "coupon/system_shape.h"

namespace spelkub {

// One entry per match: 0 "1", 1 "X", 2 "2", or -1 not decided yet.
struct MatchResults {
  int matches = 13;
  std::array<int8_t, kMaxMatches> outcome{};
  int Decided() const;
};

// Like MARKS of spelkub_rader, but one sign or "-" per match: groups separated
// by commas, semicolons, blanks or line breaks, one per match, or runs of
// signs "1X2-..." (one run, or several like "2X1X21 1111 112") read a sign per
// match; "x" is read as "X". Refusals are one Swedish line that says where the
// text went wrong, e.g. "Resultat: väntade 13 tecken 1, X, 2 eller -, fick 12
// (6 + 4 + 2)" or "Resultat: match 8 har "q" (i "1q11"), väntade 1, X, 2 eller -".
std::optional<MatchResults> ParseResults(std::string_view text, int matches, std::string* error);

struct GradeReport {
  int matches = 13;
  int decided = 0;
  // rowsByRight[k]: rows with exactly k right on the decided matches.
  std::array<int64_t, kMaxMatches + 1> rowsByRight{};
  // rowsCanReach[k]: rows that can still end with k right or more (right so
  // far plus the undecided matches); once all are decided, the rows with k
  // right or more.
  std::array<int64_t, kMaxMatches + 1> rowsCanReach{};
};

GradeReport GradeRows(std::span<const PackedRow> rows, const MatchResults& results);

}  // namespace spelkub
