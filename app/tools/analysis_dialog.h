// The "Garantianalys" dialog: the guarantee of the row list's rows on the
// system of the current marks, the outcomes by number of right as a table and
// a bar chart, the rows outside the system (the first few by line), and the
// probability of each number of right by the coupon document's streck or by
// a line of percentages in its field, naming the matches whose percentages
// were scaled to 100.
//
// The analysis runs on the dialog's worker (WorkerDialog), once on opening and
// again for each set of percentages; its bar and "Avbryt" show while it runs.
#pragma once

#include <cstdint>
#include <vector>

#include "app/tools/worker_dialog.h"
#include "check/analysis.h"
#include "commands/check_commands.h"
#include "coupon/system_shape.h"
#include "document/coupon_document.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace spelkub::tools {

class OutcomeChart;

class AnalysisDialog : public WorkerDialog {
  Q_OBJECT

 public:
  AnalysisDialog(AnalysisInput input, QWidget* parent = nullptr);
  ~AnalysisDialog() override;

  // Takes the document's streck when it has them for every match of the
  // system: the analysis then weighs the outcomes by them unless a line of
  // percentages is given.
  void UseDocumentStreck(const CouponDocument& document);
  // Starts the analysis, with the document's streck when it has them.
  void Start();
  Worker& AnalysisWorker() { return ValueWorker(); }
  const AnalysisReport& Report() const { return shown_; }

 private:
  void Analyse(std::optional<Streck> streck);
  void ComputeWithStreck();
  void Finished() override;

  const AnalysisInput input_;

  QLabel* guarantee_ = nullptr;
  QLabel* summary_ = nullptr;
  QTableWidget* table_ = nullptr;
  OutcomeChart* chart_ = nullptr;
  QLabel* outside_ = nullptr;
  QLineEdit* streckField_ = nullptr;
  QPushButton* compute_ = nullptr;
  QLabel* streckError_ = nullptr;
  QLabel* scaled_ = nullptr;    // the matches whose streck were scaled to 100
  QWidget* running_ = nullptr;  // the bar and "Avbryt", shown during a run

  std::optional<Streck> documentStreck_;
  std::optional<Streck> streck_;           // read by the running analysis
  std::optional<AnalysisOutcome> output_;  // written by it; none when stopped
  AnalysisReport shown_;
};

}  // namespace spelkub::tools
