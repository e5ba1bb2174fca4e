// "Generera Rader": the engine's generate command, shown in the window as it
// runs.
//
// The engine decides everything (which check fails, which rows, which rows are
// kept, the guarantee, the order of report and row list); this file shows it:
// message boxes, the row list and the kept list, Label18, the status text and
// the progress bar.
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
  void Reported(const spelkub::Message& message) override { Show(message); }
  void ReplaceRowListByKept() override { window_.Memo1->ReplaceLinesBy(*window_.Memo2); }

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
  void Show(const spelkub::Message& message) {
    window_.platform_.ShowMessage(FromUtf8(message.text), FromUtf8(message.caption));
  }

  TForm1& window_;
  QElapsedTimer clock_;
};

void TForm1::Button2Click() {
  Memo1->Clear();  // also when the coupon is refused
  const spelkub::GenerateControls controls{
      .plus13 = spelkub::Plus13OfItem(RadioGroup2->ItemIndex()),
      .guaranteeReversed = CheckBox1->isChecked(),
      .rowCountReversed = CheckBox2->isChecked(),
      .conditions = spelkub::ConditionInputOf(document_)};
  GenerateView view(*this);
  spelkub::RunGenerateCommand(state_, controls, &view);
}
