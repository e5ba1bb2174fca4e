// "Följ kupongen" as an engine command shared by the window and the
// companion: the rows of a coupon against the results so far, with the
// coupon's chances for the open matches, the streck and the pool; and the
// Swedish texts both front ends show of it.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "commands/value_command.h"
#include "coupon/work.h"
#include "follow/follow.h"
#include "follow/follow_results.h"

namespace spelkub {

inline constexpr std::string_view kFollowCaption = "Följ kupongen";
// The rows alive a report shows, at most.
inline constexpr size_t kAliveShown = 30;

struct FollowOutcome {
  // A refusal of the model (missing chances, streck or turnover, or a value
  // out of range), or "Det finns inga rader att följa": nothing more was done.
  ValueModelOutcome model;
  bool stopped = false;
  std::optional<FollowReport> report;
  // Keys and numbers for machines: see FollowFigures.
  std::vector<ValueFigure> figures;
  // The report for a person, a line each, then the model's notes.
  std::string reportText;
};

// The figures under the input's model. A decided match needs no chance: it
// counts as certain. `aliveShown` rows alive are kept and written.
FollowOutcome RunFollowCommand(const ValueInput& input, std::span<const PackedRow> rows,
                               const FollowResults& results, size_t aliveShown = kAliveShown,
                               const Work& work = {});

// Texts of the report.
// "avgjord 1", "öppen", "pågår, 1 nu", "inställd, lottas".
std::string MatchStateText(const MatchStatus& status);
// The sign to root for, "1", or "spelar ingen roll".
std::string RootForText(int sign);
// "1X2..." with "." in the decided matches: the signs a row alive needs.
std::string NeededSignsText(PackedRow row, const FollowResults& results);
// "visar 30 av 184", or "184" when all are shown.
std::string ShownOfText(size_t shown, int64_t total);

}  // namespace spelkub
