#include "commands/generate_command.h"

#include <functional>
#include <optional>
#include <utility>

#include "coupon/validation.h"

namespace spelkub {

namespace {

// Stands in for a missing listener so the command reads as one sequence.
GenerateListener& Quiet() {
  static GenerateListener quiet;
  return quiet;
}

// Passes the reduction's stages on to the listener and its fraction to the
// command's own work, and announces the selection just before its first
// pass: after the engine has accepted the row count. `examined` turns the
// reduction's count of candidates into the row list's.
class SelectionProgress final : public Progress {
 public:
  SelectionProgress(GenerateListener& listener, const Work& work, int64_t rowListLines,
                    std::function<int64_t(int64_t)> examined = {})
      : listener_(listener),
        work_(work),
        rowListLines_(rowListLines),
        examined_(std::move(examined)) {}

  // The work the reduction runs under: the command's stop, and this.
  Work ForReduction() { return Work{work_.stop, this}; }

  void Fraction(double done) override { work_.Fraction(done); }
  void Phase(std::string_view name) override { work_.Phase(name); }
  void Best(int64_t value) override { work_.Best(value); }

  void PassStarted(int threshold) override {
    Begin();
    listener_.PassStarted(threshold);
  }
  void CandidatesExamined(int64_t count) override {
    listener_.CandidatesExamined(examined_ ? examined_(count) : count);
  }
  void RowsAccepted(int64_t count) override { listener_.RowsAccepted(count); }

  void Begin() {
    if (begun_) return;
    begun_ = true;
    listener_.SelectionStarted(rowListLines_);
  }

 private:
  GenerateListener& listener_;
  const Work& work_;
  const int64_t rowListLines_;
  const std::function<int64_t(int64_t)> examined_;
  bool begun_ = false;
};

// The reduction the coupon asks for, on the rows it is given, under `work`;
// nullopt when stopped.
using Reduce = std::function<std::optional<ReductionResult>(const Work& work)>;

// The rows of a set that a filtered system allows, in generation order.
RowSet AllowedRows(const RowSet& full, const System& system) {
  RowSet rows;
  rows.game = full.game;
  rows.matches = full.matches;
  rows.header = full.header;
  rows.radix = full.radix;
  rows.outcomes = full.outcomes;
  rows.rows.reserve(static_cast<size_t>(system.size()));
  for (int64_t i = 0; i < full.size(); ++i) {
    if (system.Allows(i)) rows.rows.push_back(full.rows[static_cast<size_t>(i)]);
  }
  return rows;
}

// The reduction and its report, once the row list holds outcome.rows.
void ReduceAndReport(const CouponState& state, GenerateListener& hear, const Work& work,
                     const Reduce& reduce, std::function<int64_t(int64_t)> examined,
                     GenerateOutcome& outcome) {
  const RowSet& rows = outcome.rows;
  hear.ReductionStarted();
  SelectionProgress progress(hear, work, rows.size() + (rows.header.empty() ? 0 : 1),
                             std::move(examined));
  std::optional<ReductionResult> reduction = reduce(progress.ForReduction());
  if (!reduction) {
    outcome.end = GenerateEnd::kStopped;
    return;
  }
  outcome.reduction = std::move(*reduction);
  if (outcome.reduction.outcome == ReductionOutcome::kTargetAboveRowCount) {
    outcome.end = GenerateEnd::kTargetAboveRowCount;
    outcome.refusal = kTargetTooLargeMessage;
    hear.Refused(outcome.refusal);
    return;
  }

  outcome.end = GenerateEnd::kReduced;
  progress.Begin();  // no pass ran: still one announcement
  hear.Reduced(rows, outcome.reduction);
  const std::string conditions =
      outcome.conditionsText.empty() ? std::string() : "\n" + outcome.conditionsText;
  if (state.Reduction == kReductionRowCount) {
    outcome.reportText = GuaranteeReportText(outcome.reduction.guarantee) + conditions;
    outcome.reportCaption = kReducedCaption;
    outcome.reportBeforeReplacing = true;
  } else {
    outcome.reportText = std::string(kGuaranteeReducedMessage.text) + conditions;
    outcome.reportCaption = kGuaranteeReducedMessage.caption;
  }
}

bool Reduces(const CouponState& state) {
  return state.Reduction == kReductionRowCount || state.Reduction == kReductionGuarantee;
}

// "Generera Rader" on the rows of a system that conditions cut down: the
// reductions run on the full set beside the system, and what they tell is
// moved to the kept rows' own positions.
void GenerateFiltered(CouponState& state, const GenerateControls& controls, const System& system,
                      GenerateListener& hear, Progress* listener, const Work& work,
                      GenerateOutcome& outcome) {
  const SystemShape& shape = system.shape();
  outcome.conditionsText = ConditionsLine(system);
  hear.GenerationStarted(SystemSize(state));  // the rows of the marks, which generation passes over
  const std::string header = HeaderLine(state, controls.plus13);
  if (!Reduces(state)) {
    outcome.rows = GenerateSystem(system, Rules(state.Game), header, listener);
    hear.Generated(outcome.rows);
    outcome.end = GenerateEnd::kGenerated;
    return;
  }
  const RowSet full = GenerateSystem(shape, Rules(state.Game), header, listener);
  outcome.rows = AllowedRows(full, system);
  hear.Generated(outcome.rows);
  outcome.end = GenerateEnd::kGenerated;

  const SystemRank rank(system);
  const bool byRowCount = state.Reduction == kReductionRowCount;
  const bool reversed = byRowCount ? controls.rowCountReversed : controls.guaranteeReversed;
  // Candidates are counted from the last row when reversed.
  const auto examined = [&rank, &system, &shape, reversed](int64_t count) {
    return reversed ? system.size() - rank(shape.size() - count) : rank(count);
  };
  const Reduce reduce = [&](const Work& passes) -> std::optional<ReductionResult> {
    std::optional<ReductionResult> result =
        byRowCount ? ReduceToRowCount(full, system, state.TargetRows, reversed, passes)
                   : ReduceToGuarantee(full, system, state.GuaranteeLevel, reversed, passes);
    if (!result) return result;
    for (uint32_t& index : result->kept) index = static_cast<uint32_t>(rank(index));
    result->examinedInLastPass = examined(result->examinedInLastPass);
    return result;
  };
  ReduceAndReport(state, hear, work, reduce, examined, outcome);
}

}  // namespace

GenerateOutcome RunGenerateCommand(CouponState& state, const GenerateControls& controls,
                                   GenerateListener* listener, const Work& work) {
  GenerateListener& hear = listener != nullptr ? *listener : Quiet();
  GenerateOutcome outcome;
  if (const auto failure = ValidateCoupon(state, controls.plus13)) {
    outcome.refusal = failure->message;
    hear.Refused(outcome.refusal);
    return outcome;
  }

  if (!controls.conditions.empty()) {
    Refusable<System> system = ConditionedSystem(ShapeOf(state), controls.conditions, work);
    if (!system.value) {
      if (system.refusal.text.empty()) {
        outcome.end = GenerateEnd::kStopped;
        return outcome;
      }
      outcome.refusal.text = std::move(system.refusal.text);
      outcome.refusal.caption = std::move(system.refusal.caption);
      outcome.refusal.kind = system.refusal.kind;
      hear.Refused(outcome.refusal);
      return outcome;
    }
    if (system.value->filtered()) {
      GenerateFiltered(state, controls, *system.value, hear, listener, work, outcome);
      return outcome;
    }
  }

  hear.GenerationStarted(SystemSize(state));
  outcome.rows = GenerateFullSystem(state, controls.plus13, listener);
  hear.Generated(outcome.rows);
  outcome.end = GenerateEnd::kGenerated;
  if (!Reduces(state)) return outcome;

  const RowSet& rows = outcome.rows;
  const bool byRowCount = state.Reduction == kReductionRowCount;
  const Reduce reduce = [&](const Work& passes) {
    return byRowCount
               ? ReduceToRowCount(rows, state.TargetRows, controls.rowCountReversed, passes)
               : ReduceToGuarantee(rows, state.GuaranteeLevel, controls.guaranteeReversed, passes);
  };
  ReduceAndReport(state, hear, work, reduce, {}, outcome);
  return outcome;
}

}  // namespace spelkub
