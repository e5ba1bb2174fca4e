// The "Systemvärde" dialog: the exact value of the row list's rows under the
// coupon document's chances, streck and pool, computed on the dialog's Worker
// with progress and "Avbryt": rows, cost, the chance of each prize level as a
// percentage and "1 på N", the payout per level at the likeliest outcome, the
// vinstchans in öre per row, and the chart over 13-payout intervals.
// "Om värdemodellen" shows how every number is computed.
#pragma once

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "app/tools/worker_dialog.h"
#include "commands/value_command.h"
#include "coupon/coupon_state.h"
#include "coupon/work.h"
#include "document/coupon_document.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace spelkub::tools {

class ValueChart;
class Worker;

// The value commands' input for the window: its game, and the document's
// values and pool with the prize levels of that game.
ValueInput ValueInputOf(const CouponState& state, const CouponDocument& document);

// The refusal of a model the document cannot make, pointing to where the
// values are entered.
QString ValueRefusalText(const ValueModelOutcome& model);

class SystemValueDialog : public WorkerDialog {
  Q_OBJECT

 public:
  SystemValueDialog(ValueInput input, std::vector<PackedRow> rows, QWidget* parent = nullptr);
  ~SystemValueDialog() override;

  // Starts the computation.
  void Start();
  // The outcome shown, once the computation has finished.
  const SystemValueOutcome& Outcome() const { return shown_; }
  // The label of a figure by its key ("p13", "return_ore_per_row"), or null.
  QLabel* FigureLabel(const std::string& key) const;
  // The text of "Om värdemodellen", once opened.
  QDialog* ModelHelp() const { return help_; }

  void Finished() override;

 private:
  void ShowModelHelp();

  ValueInput input_;
  std::vector<PackedRow> rows_;

  QWidget* figures_ = nullptr;
  std::map<std::string, QLabel*> figureLabels_;
  ValueChart* chart_ = nullptr;
  QLabel* notes_ = nullptr;
  QPushButton* close_ = nullptr;
  QDialog* help_ = nullptr;

  SystemValueOutcome output_;  // written by the computation
  SystemValueOutcome shown_;
};

}  // namespace spelkub::tools
