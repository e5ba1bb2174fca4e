#include "commands/generate_command.h"

namespace spelkub {

namespace {

// Stands in for a missing listener so the command reads as one sequence.
GenerateListener& Quiet() {
  static GenerateListener quiet;
  return quiet;
}

// Passes the reduction's progress on, and announces the selection just before
// its first pass: after the engine has accepted the row count.
class SelectionProgress final : public ProgressListener {
 public:
  SelectionProgress(GenerateListener& listener, int64_t rowListLines)
      : listener_(listener), rowListLines_(rowListLines) {}

  void PassStarted(int threshold) override {
    Begin();
    listener_.PassStarted(threshold);
  }
  void CandidatesExamined(int64_t count) override { listener_.CandidatesExamined(count); }
  void RowsAccepted(int64_t count) override { listener_.RowsAccepted(count); }

  void Begin() {
    if (begun_) return;
    begun_ = true;
    listener_.SelectionStarted(rowListLines_);
  }

 private:
  GenerateListener& listener_;
  const int64_t rowListLines_;
  bool begun_ = false;
};

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

  hear.GenerationStarted(SystemSize(state));
  outcome.rows = GenerateFullSystem(state, controls.plus13, listener);
  hear.Generated(outcome.rows);
  outcome.end = GenerateEnd::kGenerated;
  if (state.Reduction != kReductionRowCount && state.Reduction != kReductionGuarantee) {
    return outcome;
  }

  const RowSet& rows = outcome.rows;
  hear.ReductionStarted();
  SelectionProgress progress(hear, rows.size() + (rows.header.empty() ? 0 : 1));
  const bool byRowCount = state.Reduction == kReductionRowCount;
  std::optional<ReductionResult> reduction =
      byRowCount
          ? ReduceToRowCount(rows, state.TargetRows, controls.rowCountReversed, work, &progress)
          : ReduceToGuarantee(rows, state.GuaranteeLevel, controls.guaranteeReversed, work,
                              &progress);
  if (!reduction) {
    outcome.end = GenerateEnd::kStopped;
    return outcome;
  }
  outcome.reduction = std::move(*reduction);
  if (outcome.reduction.outcome == ReductionOutcome::kTargetAboveRowCount) {
    outcome.end = GenerateEnd::kTargetAboveRowCount;
    outcome.refusal = kTargetTooLargeMessage;
    hear.Refused(outcome.refusal);
    return outcome;
  }

  outcome.end = GenerateEnd::kReduced;
  progress.Begin();  // no pass ran: still one announcement
  hear.Reduced(rows, outcome.reduction);
  if (byRowCount) {
    outcome.reportText = GuaranteeReportText(outcome.reduction.guarantee);
    outcome.reportCaption = kReducedCaption;
    outcome.reportBeforeReplacing = true;
    hear.Reported(outcome.report());
    hear.ReplaceRowListByKept();
  } else {
    outcome.reportText = kGuaranteeReducedMessage.text;
    outcome.reportCaption = kGuaranteeReducedMessage.caption;
    hear.ReplaceRowListByKept();
    hear.Reported(outcome.report());
  }
  return outcome;
}

}  // namespace spelkub
