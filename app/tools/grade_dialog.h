// The "Rätta rader" dialog: the results entered like the coupon, a row of
// "1", "X", "2" per match (none pressed: not decided yet), or typed as one
// line ("1X2-..."), and the rows of the row list counted by number of right,
// updated at every change.
#pragma once

#include <QDialog>
#include <array>
#include <vector>

#include "check/grading.h"
#include "coupon/system_shape.h"

class QLabel;
class QLineEdit;
class QTableWidget;
class QToolButton;

namespace spelkub::tools {

class GradeDialog : public QDialog {
  Q_OBJECT

 public:
  GradeDialog(int matches, std::vector<PackedRow> rows, QWidget* parent = nullptr);

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
};

}  // namespace spelkub::tools
