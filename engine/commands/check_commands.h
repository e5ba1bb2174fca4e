// "Garantianalys" and "Rätta rader" as commands: what the rows of the row
// list or of a file promise on the system of the marks, and what they won
// against the results, in the words of the window and of the companion.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "check/analysis.h"
#include "check/grading.h"
#include "commands/conditions_command.h"
#include "commands/refusal.h"
#include "coupon/coupon_state.h"
#include "coupon/system.h"
#include "coupon/system_shape.h"
#include "coupon/work.h"
#include "text/coupon_reader.h"

namespace spelkub {

inline constexpr std::string_view kAnalysisCaption = "Garantianalys";
inline constexpr std::string_view kGradeCaption = "Rätta rader";

// A file's rows as they were read one at a time: how many, and those outside
// the system (with the lines of the first kOutsideRowsKept).
struct RowsRead {
  int64_t rows = 0;
  int64_t outsideCount = 0;
  std::vector<int64_t> outsideLines;
};

// What "Garantianalys" works on once its checks are passed.
struct AnalysisInput {
  SystemShape shape;
  std::vector<PackedRow> rows;
  std::vector<int64_t> lines;  // each row's line in the text, for naming rows outside the system
  // Set for a file read row by row: `rows` are then only the rows the system
  // tells apart (every count is the same for two rows that agree on each
  // match's marked sign or are both outside it there), at most one per
  // outcome of the system widened by "outside" where a match leaves a sign
  // unmarked; `lines` is empty, and the file's count and outside rows are here.
  std::optional<RowsRead> read;
  // The system the coupon's conditions leave, when they leave out rows; the
  // analysis reports on it unless `wholeSystem`.
  std::optional<System> conditioned;
  bool wholeSystem = false;  // report on every outcome of the marks even so
};

// The checks before the analysis, in order: the marks, the rows read, and
// rows of the system's number of matches.
Refusable<AnalysisInput> PrepareAnalysis(const CouponState& state, ReadResult read,
                                         RowSource source);
// The same with the coupon's conditions, refused after the checks above as
// ConditionedSystem refuses them. `wholeSystem`: the analysis reports on the
// whole marked system, and says how many of its outcomes meet the conditions.
Refusable<AnalysisInput> PrepareAnalysis(const CouponState& state, ReadResult read,
                                         RowSource source, const ConditionInput& conditions,
                                         bool wholeSystem = false);

// PrepareAnalysis of the file at `path` ("-" standard input), read row by
// row, so that the memory is bounded by the system rather than the file:
// the same checks, refusals and report.
Refusable<AnalysisInput> PrepareAnalysisOfFile(const CouponState& state, const std::string& path,
                                               const ConditionInput& conditions,
                                               bool wholeSystem = false);

struct AnalysisOutcome {
  AnalysisReport report;
  std::string guaranteeText;  // "Garanti: 11 rätt"
  std::string summaryText;  // "120 rader på ett system med 1594323 utfall.", the system reported on
  // With conditions that leave out rows, which system the report is on:
  // "Villkor: analysen gäller de 823 534 av 1 594 323 utfall som uppfyller villkoren."
  // or "Villkor: analysen gäller hela systemet, 1 594 323 utfall, varav 823 534
  // uppfyller villkoren."; else empty. The companion's report begins with it.
  std::string scopeText;
  std::string outsideText;    // "Rader utanför systemet: 3 (rad 2, 5, 9)"; empty with none
  std::string scaledText;     // the matches whose streck were scaled, with a full stop; or empty
  std::string companionText;  // the companion's report, a line each
};

// The analysis and its report; nullopt when stopped.
std::optional<AnalysisOutcome> RunAnalysis(const AnalysisInput& input,
                                           const std::optional<Streck>& streck,
                                           const Work& work = {});

struct GradeOutcome {
  GradeReport report;
  std::string decidedText;  // "120 rader, 5 av 13 matcher avgjorda."
  // "Kan nå 13 rätt: 4 rader" for the four highest numbers of right; none
  // once every match is decided.
  std::vector<std::string> reachLines;
  std::string companionText;  // "K rätt: N rader" for each K some row has, then the reach lines
};

GradeOutcome RunGrade(std::span<const PackedRow> rows, const MatchResults& results);

}  // namespace spelkub
