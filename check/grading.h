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

// Like MARKS of spelkub_rader, but one sign or "-" per match: "1X2-..." groups
// separated by commas or blanks, or one run of signs. Refusals are one Swedish line.
std::optional<MatchResults> ParseResults(std::string_view text, int matches, std::string* error);

struct GradeReport {
  int matches = 13;
  int decided = 0;
  // rowsByRight[k]: rows with exactly k right on the decided matches.
  std::array<int64_t, kMaxMatches + 1> rowsByRight{};
  // rowsCanReach[k]: rows that can still end with k right or more (right so
  // far plus the undecided matches); equal to the counts above once all are decided.
  std::array<int64_t, kMaxMatches + 1> rowsCanReach{};
};

GradeReport GradeRows(std::span<const PackedRow> rows, const MatchResults& results);

}  // namespace spelkub
