// "Optimerad garanti" as a command: the fewest rows the search finds with a
// verified guarantee, under the coupon's header line, with the reports of the
// window and of the companion.
//
// Policy: the guarantees offered are the game's range; a search stopped to
// use the best cover hands back that cover (verified like every other), one
// stopped by "Avbryt" hands back nothing, and neither does a search that
// verified nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/conditions_command.h"
#include "commands/refusal.h"
#include "coupon/coupon_state.h"
#include "coupon/row_set.h"
#include "coupon/work.h"
#include "cover/optimize.h"

namespace spelkub {

// The guarantees the search takes for a coupon, and the one selected first:
// the coupon's own "Välj Garanti:" level when it is one of them, else one
// below every match.
struct GuaranteeChoice {
  int least = 0;
  int most = 0;
  int proposed = 0;
};
GuaranteeChoice OptimizeGuarantees(const CouponState& state);

// The search on any system: the marked system, or what conditions leave of
// it (then greedy and local search over its rows, verified over its
// outcomes), on `threads` threads (0: every core). A stop ends it with the
// best verified cover so far (`stopped` set).
OptimizeResult SearchCover(const System& system, int guarantee, Effort effort,
                           const Work& work = {}, int threads = 0);

// What a stop means for the rows found so far.
enum class OnStop {
  kDiscard,  // "Avbryt": nothing is used
  kUseBest,  // "Stoppa och använd bästa": the best verified cover is used
};

// The search, stopped by `work`, telling it the share of its effort spent and
// each better verified cover's size; on `threads` threads (0: every core).
OptimizeResult SearchCover(const SystemShape& shape, int guarantee, Effort effort,
                           const Work& work = {}, int threads = 0);

// The search's rows to use, by the policy above; `stopAsked` tells whether a
// stop was asked, even when the search had just ended.
std::optional<OptimizeResult> KeptCover(OptimizeResult found, bool stopAsked, OnStop onStop);

struct OptimizeOutcome {
  RowSet rows;  // the coupon's header line and the verified rows
  int guarantee = 0;
  bool stopped = false;
  std::string status;   // the window's status bar
  std::string report;   // the window's message box, under kReducedCaption
  std::string summary;  // the companion's line on standard error
  // ConditionsLine() of the system searched, also the report's last line;
  // empty for an unfiltered one.
  std::string conditionsText;
};

// The report of rows kept from a search, for the coupon they were made for.
OptimizeOutcome OptimizeReport(const CouponState& state, Plus13Choice plus13, OptimizeResult kept);
// The same for rows searched on `system`, which says so when it is filtered.
OptimizeOutcome OptimizeReport(const CouponState& state, Plus13Choice plus13, OptimizeResult kept,
                               const System& system);

// The whole command for a caller that waits: the marks' checks, the search and
// its report. Neither a value nor a refusal's text: stopped with kDiscard, or
// nothing verified.
Refusable<OptimizeOutcome> RunOptimizeCommand(const CouponState& state, Plus13Choice plus13,
                                              int guarantee, Effort effort, const Work& work = {},
                                              OnStop onStop = OnStop::kDiscard, int threads = 0);
// The same on the system the conditions leave; their refusals come after the
// marks' checks.
Refusable<OptimizeOutcome> RunOptimizeCommand(const CouponState& state, Plus13Choice plus13,
                                              int guarantee, Effort effort,
                                              const ConditionInput& conditions,
                                              const Work& work = {},
                                              OnStop onStop = OnStop::kDiscard, int threads = 0);

// The coupon's rows under its header line, as generation writes them.
RowSet CouponRowSet(const CouponState& state, Plus13Choice plus13, std::vector<PackedRow> rows);

}  // namespace spelkub
