// "Värdereducering": the budget (rows or kronor), the objective, an optional
// guarantee and the spread between rows; "Starta" runs the command
// (commands/select_command.h) on the dialog's Worker with progress and
// "Avbryt". When it ends the chosen rows replace the row list (through the
// callback the command gives) and the dialog shows the report: the chosen
// rows beside "Antal Rader" and the rows best alone, the verified guarantee.
#pragma once

#include "app/tools/worker_dialog.h"

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "commands/select_command.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace spelkub::tools {

struct ToolHost;
class Worker;

class SelectDialog : public WorkerDialog {
  Q_OBJECT

 public:
  // `base` holds the coupon, its values and conditions; the dialog's controls
  // fill in the rest. `apply` takes the result when a run ends with rows.
  SelectDialog(SelectInput base, std::function<void(const SelectOutcome&)> apply,
               QWidget* parent = nullptr);
  ~SelectDialog() override;

  Worker& SelectWorker() { return ValueWorker(); }
  // The outcome of the last run that ended with rows.
  const std::optional<SelectOutcome>& Outcome() const { return outcome_; }

 private:
  void Start();
  // While a run goes on, "Avbryt" drops what it finds (the base's reject).
  void Finished() override;
  void ShowReport(const SelectOutcome& outcome);
  SelectInput InputOfControls() const;

  SelectInput base_;
  std::function<void(const SelectOutcome&)> apply_;
  QSpinBox* budget_ = nullptr;
  QComboBox* unit_ = nullptr;
  QComboBox* objective_ = nullptr;
  QComboBox* guarantee_ = nullptr;
  QSpinBox* spread_ = nullptr;
  QPushButton* start_ = nullptr;
  QLabel* error_ = nullptr;
  QTableWidget* table_ = nullptr;
  QLabel* lines_ = nullptr;

  Refusable<SelectOutcome> output_;  // written by the run, read after Finished
  std::optional<SelectOutcome> outcome_;
};

// "Värdereducering..." in the menu "Kupong": the window's coupon and
// document, checked first (a refusal is a message box), then the dialog.
void SelectCommand(const ToolHost& host);

}  // namespace spelkub::tools
