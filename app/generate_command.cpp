// "Generera Rader": the engine's generate command, shown in the window as it
// runs.
//
// The engine decides everything (which check fails, which rows, which rows are
// kept, the guarantee, the order of report and row list) and returns it; this
// file shows the stages as they come (the row list, the kept list, Label18,
// the status text, the progress bar, a refusal's box) and applies the result:
// the report and the kept rows in the order the result gives, and the rows to
// the session.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <algorithm>

#include "app/form_building.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "commands/generate_command.h"
#include "coupon/choices.h"

using spelkub::FromUtf8;

// Each stage of the command on the window's controls. Progress is shown while
// the handler keeps the event loop from running: the progress bar and Label18
// are repainted at once, at most kFramesPerSecond times a second, and no user
// input is taken meanwhile.
class TForm1::GenerateView final : public spelkub::GenerateListener {
 public:
  explicit GenerateView(TForm1& window) : window_(window) { clock_.start(); }

  void Refused(const spelkub::Message& message) override { Show(message); }

  void GenerationStarted(int32_t systemSize) override {
    window_.ProgressBar1->setRange(0, systemSize);
    ShowStatus(spelkub::kStatusGenerating);
  }
  void RowsGenerated(int64_t rows) override { ShowPosition(rows); }
  void Generated(const spelkub::RowSet& rows) override {
    QProgressBar* bar = window_.ProgressBar1;
    bar->setValue(bar->maximum());
    bar->repaint();
    window_.Memo1->LoadRows(rows);
    ShowFinishedRows(window_.Memo1->LineCount() - (rows.header.empty() ? 0 : 1));
    bar->setValue(0);
    window_.SetStatusText(FromUtf8(spelkub::kStatusGenerated));
  }

  void ReductionStarted() override {
    ShowStatus(spelkub::kStatusReducing);
    window_.Memo2->Clear();
  }
  void SelectionStarted(int64_t rowListLines) override {
    window_.ProgressBar1->setRange(0, static_cast<int>(rowListLines));
  }
  void PassStarted(int /*threshold*/) override { ShowPosition(0); }
  // The bar stands at the number of the candidate being examined, counted from 0.
  void CandidatesExamined(int64_t count) override { ShowPosition(count > 0 ? count - 1 : 0); }
  void RowsAccepted(int64_t count) override {
    if (!Due()) return;
    spelkub::SetCaption(window_.Label18, QString::number(count));
    window_.Label18->repaint();
  }
  void Reduced(const spelkub::RowSet& rows, const spelkub::ReductionResult& result) override {
    window_.ProgressBar1->setValue(
        static_cast<int>(std::max<int64_t>(result.examinedInLastPass - 1, 0)));
    window_.Memo2->LoadRows(rows, result.kept);
    ShowFinishedRows(static_cast<int64_t>(result.kept.size()));
  }
  void Show(const spelkub::Message& message) {
    window_.platform_.ShowMessage(FromUtf8(message.text), FromUtf8(message.caption));
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
  void ShowStatus(std::string_view text) {
    window_.SetStatusText(FromUtf8(text));
    window_.StatusBar1->repaint();
  }
  // Label18: the finished rows.
  void ShowFinishedRows(int64_t rows) {
    spelkub::SetCaption(window_.Label18, QString::number(rows));
    window_.Label18->repaint();
  }
  TForm1& window_;
  QElapsedTimer clock_;
};

void TForm1::Button2Click() {
  Memo1->Clear();  // also when the coupon is refused
  session_.ClearRows();
  const spelkub::GenerateControls controls{
      .plus13 = spelkub::Plus13OfItem(RadioGroup2->ItemIndex()),
      .guaranteeReversed = CheckBox1->isChecked(),
      .rowCountReversed = CheckBox2->isChecked(),
      .conditions = spelkub::ConditionInputOf(document_)};
  GenerateView view(*this);
  spelkub::GenerateOutcome outcome = spelkub::RunGenerateCommand(state_, controls, &view);
  ApplyGenerated(outcome);
}

void TForm1::ApplyGenerated(spelkub::GenerateOutcome& outcome) {
  using spelkub::GenerateEnd;
  switch (outcome.end) {
    case GenerateEnd::kRefused:
      return;  // heard as it happened; the row list stays empty
    case GenerateEnd::kGenerated:
    case GenerateEnd::kTargetAboveRowCount:
    case GenerateEnd::kStopped:
      // The full system (or the rows the conditions keep) stays in the row list.
      if (outcome.rows.size() > 0) session_.SetRows(outcome.rows, spelkub::RowsOrigin::kGenerated);
      return;
    case GenerateEnd::kReduced:
      break;
  }
  const auto report = [&] {
    platform_.ShowMessage(FromUtf8(outcome.reportText), FromUtf8(outcome.reportCaption));
  };
  // "Antal Rader" tells its guarantee while the full system is still shown.
  if (outcome.reportBeforeReplacing) report();
  Memo1->ReplaceLinesBy(*Memo2);
  session_.SetRows(outcome.rows, outcome.reduction.kept, spelkub::RowsOrigin::kReduced);
  if (!outcome.reportBeforeReplacing) report();
}

void TForm1::ShowRows(const spelkub::RowSet& rows, spelkub::RowsOrigin origin, std::string how) {
  Memo1->LoadRows(rows);
  spelkub::SetCaption(Label18, QString::number(rows.size()));
  session_.SetRows(rows, origin, std::move(how));
}
