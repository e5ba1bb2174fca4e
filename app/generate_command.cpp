// "Generera Rader": validation, the full system into the row list, and the
// reduction that the chosen mode asks for, all inside the one click handler.
//
// The engine decides everything (which check fails, which rows, which rows are
// kept, the guarantee); this file shows it: message boxes, the row list and
// the kept list, Label18, the status text and the progress bar.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

#include "app/form_building.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "coupon/messages.h"
#include "reduce/reduction.h"

using spelkub::FromUtf8;

namespace {

// Shows the engine's progress while the handler keeps the event loop from
// running: the progress bar and Label18 are repainted at once, at most
// kFramesPerSecond times a second, and no user input is taken meanwhile.
class CommandProgress final : public spelkub::ProgressListener {
 public:
  explicit CommandProgress(TForm1& window) : window_(window) { clock_.start(); }

  void RowsGenerated(int64_t rows) override { ShowPosition(rows); }
  void PassStarted(int /*threshold*/) override { ShowPosition(0); }
  // The bar stands at the number of the candidate being examined, counted from 0.
  void CandidatesExamined(int64_t count) override { ShowPosition(count > 0 ? count - 1 : 0); }
  void RowsAccepted(int64_t count) override {
    if (!Due()) return;
    spelkub::SetCaption(window_.Label18, QString::number(count));
    window_.Label18->repaint();
  }

 private:
  static constexpr int kFramesPerSecond = 25;

  bool Due() {
    if (clock_.elapsed() < 1000 / kFramesPerSecond) return false;
    clock_.restart();
    return true;
  }
  void ShowPosition(int64_t position) {
    if (!Due()) return;
    window_.ProgressBar1->setValue(static_cast<int>(position));
    window_.ProgressBar1->repaint();
  }

  TForm1& window_;
  QElapsedTimer clock_;
};

}  // namespace

void TForm1::Button2Click() {
  Memo1->Clear();  // also when the coupon is refused
  if (!ValidateCoupon()) return;
  const spelkub::RowSet rows = GenerateFullSystem();
  if (state_.Reduction == spelkub::kReductionRowCount) ReduceToRowCount(rows);
  if (state_.Reduction == spelkub::kReductionGuarantee) ReduceToGuarantee(rows);
}

bool TForm1::ValidateCoupon() {
  const auto failure = spelkub::ValidateCoupon(state_, RadioGroup2->ItemIndex());
  if (!failure) return true;
  platform_.ShowMessage(FromUtf8(failure->message.text), FromUtf8(failure->message.caption));
  return false;
}

spelkub::RowSet TForm1::GenerateFullSystem() {
  const int32_t size = spelkub::SystemSize(state_);
  ProgressBar1->setRange(0, size);
  SetStatusText(FromUtf8(spelkub::kStatusGenerating));
  StatusBar1->repaint();

  CommandProgress progress(*this);
  spelkub::RowSet rows = spelkub::GenerateFullSystem(state_, RadioGroup2->ItemIndex(), &progress);
  ProgressBar1->setValue(size);
  ProgressBar1->repaint();
  Memo1->SetText(spelkub::CouponText(rows));

  ShowFinishedRows(Memo1->LineCount() - (rows.header.empty() ? 0 : 1));
  ProgressBar1->setValue(0);
  SetStatusText(FromUtf8(spelkub::kStatusGenerated));
  return rows;
}

void TForm1::ReduceToRowCount(const spelkub::RowSet& rows) {
  const int lines = BeginReduction();
  if (state_.TargetRows > rows.size()) {
    // The full system stays in the row list: the user may still save it or
    // pick a smaller number of rows.
    platform_.ShowMessage(FromUtf8(spelkub::kTargetTooLargeMessage.text),
                          FromUtf8(spelkub::kTargetTooLargeMessage.caption));
    return;
  }
  const spelkub::ReductionResult result =
      KeepRows(rows, lines, [&](spelkub::ProgressListener* progress) {
        return spelkub::ReduceToRowCount(rows, state_.TargetRows, CheckBox2->isChecked(), progress);
      });
  // The report comes while the row list still holds the full system.
  platform_.ShowMessage(FromUtf8(spelkub::GuaranteeReportText(result.guarantee)),
                        FromUtf8(spelkub::kReducedCaption));
  Memo1->ReplaceLinesBy(*Memo2);
}

void TForm1::ReduceToGuarantee(const spelkub::RowSet& rows) {
  const int lines = BeginReduction();
  KeepRows(rows, lines, [&](spelkub::ProgressListener* progress) {
    return spelkub::ReduceToGuarantee(rows, state_.GuaranteeLevel, CheckBox1->isChecked(),
                                      progress);
  });
  // Here the row list is replaced before the message.
  Memo1->ReplaceLinesBy(*Memo2);
  platform_.ShowMessage(FromUtf8(spelkub::kGuaranteeReducedMessage.text),
                        FromUtf8(spelkub::kGuaranteeReducedMessage.caption));
}

int TForm1::BeginReduction() {
  SetStatusText(FromUtf8(spelkub::kStatusReducing));
  StatusBar1->repaint();
  Memo2->Clear();
  return Memo1->LineCount();
}

spelkub::ReductionResult TForm1::KeepRows(const spelkub::RowSet& rows, int lines,
                                          const ReductionRun& reduce) {
  ProgressBar1->setRange(0, lines);
  CommandProgress progress(*this);
  spelkub::ReductionResult result = reduce(&progress);
  ProgressBar1->setValue(static_cast<int>(std::max<int64_t>(result.examinedInLastPass - 1, 0)));
  Memo2->SetText(spelkub::KeptCouponText(rows, result));
  ShowFinishedRows(static_cast<int64_t>(result.kept.size()));
  return result;
}

void TForm1::ShowFinishedRows(int64_t rows) {
  spelkub::SetCaption(Label18, QString::number(rows));
  Label18->repaint();
}
