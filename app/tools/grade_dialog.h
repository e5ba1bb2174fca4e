// The "Rätta rader" dialog: the results entered like the coupon, a row of
// "1", "X", "2" per match (none pressed: not decided yet), or typed as one
// line ("1X2-..."), and the rows of the row list counted by number of right,
// updated at every change. For a game the draw service has, "Hämta resultat"
// fetches a draw's result into the line, on a worker with "Avbryt".
#pragma once

#include <QDialog>
#include <array>
#include <string>
#include <vector>

#include "app/tools/result_fetch.h"
#include "check/grading.h"
#include "coupon/system_shape.h"

class QLabel;
class QLineEdit;

class QTableWidget;
class QToolButton;

namespace spelkub::tools {

class Worker;

class GradeDialog : public QDialog {
  Q_OBJECT

 public:
  GradeDialog(int matches, std::vector<PackedRow> rows, QWidget* parent = nullptr);
  // Offers "Hämta resultat": the result of draw `draw` (the spin box's first
  // value) of the product, fetched from `apiBase`; its signs replace the
  // results, as typing them would.
  void OfferFetch(const DrawProduct& product, int draw, std::string apiBase);
  Worker& FetchWorker() { return fetch_->FetchWorker(); }
  // Closing stops a fetch.
  void reject() override;

  // The button of a result: match 1..matches, outcome 0 "1", 1 "X", 2 "2".
  QToolButton* ResultButton(int match, int outcome) const;
  const MatchResults& Results() const { return results_; }
  const GradeReport& Report() const { return report_; }

 private:
  void Toggle(int match, int outcome, bool on);
  // The typed line: the buttons follow it, or the parser's refusal is shown.
  void EnterResults();
  void ShowResults();
  void Clear();
  void Grade();
  void TakeFetched(const DrawResult& result);

  int matches_;
  std::vector<PackedRow> rows_;
  std::array<std::array<QToolButton*, 3>, kMaxMatches> buttons_{};
  QLineEdit* resultsField_ = nullptr;
  QLabel* resultsError_ = nullptr;
  QTableWidget* table_ = nullptr;
  QLabel* decided_ = nullptr;
  QLabel* reach_ = nullptr;
  MatchResults results_;
  GradeReport report_;

  ResultFetch* fetch_ = nullptr;  // "Hämta resultat", when offered
  QLabel* fetchStatus_ = nullptr;
};

}  // namespace spelkub::tools
