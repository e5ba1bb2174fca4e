#include "commands/optimize_command.h"

#include <algorithm>
#include <utility>

#include "coupon/games.h"
#include "coupon/messages.h"
#include "coupon/validation.h"
#include "cover/coverage.h"
#include "reduce/reduction.h"

namespace spelkub {

namespace {

// The search's reports, passed on to the Work.
class SearchProgress final : public OptimizeListener {
 public:
  explicit SearchProgress(const Work& work) : work_(work) {}
  void BestVerified(int64_t rows) override { work_.Best(rows); }
  void Spent(double fraction) override { work_.Fraction(fraction); }

 private:
  const Work& work_;
};

}  // namespace

GuaranteeChoice OptimizeGuarantees(const CouponState& state) {
  const GameRules& rules = Rules(state.Game);
  GuaranteeChoice choice{rules.minGuarantee, rules.maxGuarantee, rules.matches - 1};
  if (state.GuaranteeLevel >= choice.least && state.GuaranteeLevel <= choice.most) {
    choice.proposed = state.GuaranteeLevel;
  }
  return choice;
}

OptimizeResult SearchCover(const SystemShape& shape, int guarantee, Effort effort,
                           const Work& work) {
  SearchProgress progress(work);
  return OptimizeGuarantee(shape, guarantee, effort, &progress, work.stop.Flag());
}

OptimizeResult SearchFilteredCover(const System& system, int guarantee, const Work& work) {
  OptimizeResult result;
  result.method = "greedy";
  const SystemShape& shape = system.shape();
  const RowSet full = GenerateSystem(shape, kStryktipset, std::string());
  const std::optional<ReductionResult> greedy =
      ReduceToGuarantee(full, system, guarantee, false, work);
  if (!greedy) {
    result.stopped = true;
    return result;
  }
  std::vector<uint32_t> kept = greedy->kept;
  std::sort(kept.begin(), kept.end());  // generation order, as the search hands rows back
  std::vector<PackedRow> rows;
  rows.reserve(kept.size());
  for (const uint32_t index : kept) rows.push_back(full.rows[index]);

  const Coverage coverage = ComputeCoverage(system, rows, work.stop.Flag());
  if (coverage.stopped || work.Stopped()) {
    result.stopped = true;
    return result;
  }
  const int verified = shape.matches - coverage.maxDistance;
  if (verified < guarantee) return result;
  result.greedyRows = static_cast<int64_t>(rows.size());
  result.guarantee = verified;
  result.rows = std::move(rows);
  work.Best(static_cast<int64_t>(result.rows.size()));
  work.Fraction(1);
  return result;
}

OptimizeResult SearchCover(const System& system, int guarantee, Effort effort, const Work& work) {
  if (!system.filtered()) return SearchCover(system.shape(), guarantee, effort, work);
  return SearchFilteredCover(system, guarantee, work);
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

  outcome.summary = "Optimerad garanti: " + rows + ", " + guarantee +
                    " rätts garanti (Garanti ger " + greedy + ")";
  if (kept.timeCapped) outcome.summary += ", sökningen kortades av tidsgränsen";

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
                                              OnStop onStop) {
  using Answer = Refusable<OptimizeOutcome>;
  if (auto refusal = CheckMarks(state, plus13)) return Answer::Refused(std::move(*refusal));
  Refusable<System> system = ConditionedSystem(ShapeOf(state), conditions, work);
  if (!system.value) return Answer::Refused(std::move(system.refusal));  // empty when stopped
  std::optional<OptimizeResult> kept =
      KeptCover(SearchCover(*system.value, guarantee, effort, work), work.Stopped(), onStop);
  if (!kept) return {};
  return {OptimizeReport(state, plus13, std::move(*kept), *system.value), {}};
}

Refusable<OptimizeOutcome> RunOptimizeCommand(const CouponState& state, Plus13Choice plus13,
                                              int guarantee, Effort effort, const Work& work,
                                              OnStop onStop) {
  using Answer = Refusable<OptimizeOutcome>;
  if (auto refusal = CheckMarks(state, plus13)) return Answer::Refused(std::move(*refusal));
  std::optional<OptimizeResult> kept =
      KeptCover(SearchCover(ShapeOf(state), guarantee, effort, work), work.Stopped(), onStop);
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
