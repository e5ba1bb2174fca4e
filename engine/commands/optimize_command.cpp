#include "commands/optimize_command.h"

#include <algorithm>
#include <utility>

#include "coupon/games.h"
#include "coupon/messages.h"
#include "coupon/validation.h"
#include "cover/coverage.h"
#include "reduce/reduction.h"

namespace spelkub {

GuaranteeChoice OptimizeGuarantees(const CouponState& state) {
  const GameRules& rules = Rules(state.Game);
  GuaranteeChoice choice{rules.minGuarantee, rules.maxGuarantee, rules.matches - 1};
  if (state.GuaranteeLevel >= choice.least && state.GuaranteeLevel <= choice.most) {
    choice.proposed = state.GuaranteeLevel;
  }
  return choice;
}

OptimizeResult SearchCover(const SystemShape& shape, int guarantee, Effort effort, const Work& work,
                           int threads) {
  return OptimizeUntilStopped(System(shape), guarantee, effort, threads, work);
}

OptimizeResult SearchCover(const System& system, int guarantee, Effort effort, const Work& work,
                           int threads) {
  return OptimizeUntilStopped(system, guarantee, effort, threads, work);
}

std::optional<OptimizeResult> KeptCover(OptimizeResult found, bool stopAsked, OnStop onStop) {
  if (found.rows.empty() || (stopAsked && onStop == OnStop::kDiscard)) return std::nullopt;
  return found;
}

OptimizeOutcome OptimizeReport(const CouponState& state, Plus13Choice plus13, OptimizeResult kept) {
  OptimizeOutcome outcome;
  outcome.guarantee = kept.guarantee;
  outcome.stopped = kept.stopped;
  const std::string rows = RowCountText(kept.rows.size());
  const std::string greedy = RowCountText(static_cast<size_t>(kept.greedyRows));
  const std::string guarantee = std::to_string(kept.guarantee);

  // The status bar would otherwise still tell of the last "Generera Rader".
  outcome.status = kept.stopped ? "Optimerad garanti stoppad!" : "Optimerad garanti klar!";
  outcome.report =
      kept.stopped
          ? "Sökningen stoppades. Bästa hittills: " + rows + " med " + guarantee + " rätts garanti"
          : "Optimerad garanti: " + rows + " med " + guarantee + " rätts garanti";
  // A search stopped early may not have come as far as the greedy rows.
  if (kept.greedyRows > 0) outcome.report += " (Garanti ger " + greedy + ")";
  outcome.report += ".";
  // The search may have found fewer rows with more time.
  if (kept.timeCapped) outcome.report += "\nSökningen kortades av tidsgränsen.";
  // The rows meet the lower bound: no search could do better.
  const bool proved = kept.provedMinimal && !kept.stopped;
  if (proved) outcome.report += "\nBevisat minsta: färre rader kan inte ge den garantin.";

  outcome.summary = "Optimerad garanti: " + rows + ", " + guarantee +
                    " rätts garanti (Garanti ger " + greedy + ")";
  if (kept.timeCapped) outcome.summary += ", sökningen kortades av tidsgränsen";
  if (proved) outcome.summary += ", bevisat minsta";

  outcome.rows = CouponRowSet(state, plus13, std::move(kept.rows));
  return outcome;
}

OptimizeOutcome OptimizeReport(const CouponState& state, Plus13Choice plus13, OptimizeResult kept,
                               const System& system) {
  OptimizeOutcome outcome = OptimizeReport(state, plus13, std::move(kept));
  outcome.conditionsText = ConditionsLine(system);
  if (!outcome.conditionsText.empty()) outcome.report += "\n" + outcome.conditionsText;
  return outcome;
}

Refusable<OptimizeOutcome> RunOptimizeCommand(const CouponState& state, Plus13Choice plus13,
                                              int guarantee, Effort effort,
                                              const ConditionInput& conditions, const Work& work,
                                              OnStop onStop, int threads) {
  using Answer = Refusable<OptimizeOutcome>;
  if (auto refusal = CheckMarks(state, plus13)) return Answer::Refused(std::move(*refusal));
  Refusable<System> system = ConditionedSystem(ShapeOf(state), conditions, work);
  if (!system.value) return Answer::Refused(std::move(system.refusal));  // empty when stopped
  std::optional<OptimizeResult> kept = KeptCover(
      SearchCover(*system.value, guarantee, effort, work, threads), work.Stopped(), onStop);
  if (!kept) return {};
  return {OptimizeReport(state, plus13, std::move(*kept), *system.value), {}};
}

Refusable<OptimizeOutcome> RunOptimizeCommand(const CouponState& state, Plus13Choice plus13,
                                              int guarantee, Effort effort, const Work& work,
                                              OnStop onStop, int threads) {
  using Answer = Refusable<OptimizeOutcome>;
  if (auto refusal = CheckMarks(state, plus13)) return Answer::Refused(std::move(*refusal));
  std::optional<OptimizeResult> kept = KeptCover(
      SearchCover(ShapeOf(state), guarantee, effort, work, threads), work.Stopped(), onStop);
  if (!kept) return {};
  return {OptimizeReport(state, plus13, std::move(*kept)), {}};
}

RowSet CouponRowSet(const CouponState& state, Plus13Choice plus13, std::vector<PackedRow> rows) {
  RowSet set;
  set.game = state.Game;
  set.matches = Rules(state.Game).matches;
  set.header = HeaderLine(state, plus13);
  set.rows = std::move(rows);
  return set;
}

}  // namespace spelkub
