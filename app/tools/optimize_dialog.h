// The "Optimerad garanti" dialog: the guarantee and the effort, "Starta", the
// search's progress with the best verified size so far, "Stoppa och använd
// bästa" and "Avbryt".
//
// The search runs on the dialog's Worker. The dialog closes itself when the
// search ends: accepted with the verified rows when the search ran to its end
// or was stopped to use the best cover so far; rejected after "Avbryt", which
// discards whatever the search found.
#pragma once

#include <optional>
#include <string>

#include "app/tools/worker_dialog.h"
#include "commands/optimize_command.h"
#include "coupon/system.h"
#include "coupon/system_shape.h"
#include "cover/optimize.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace spelkub::tools {

class Worker;

class OptimizeDialog : public WorkerDialog {
  Q_OBJECT

 public:
  // The guarantees offered, and the one selected first.
  // The search runs on `system`: the marked system, or what the coupon's
  // conditions leave of it.
  OptimizeDialog(System system, const GuaranteeChoice& guarantees, QWidget* parent = nullptr);
  ~OptimizeDialog() override;

  // The rows when the dialog ended with some: every one verified. `stopped`
  // tells that the user ended the search early to use them.
  const std::optional<OptimizeResult>& Result() const { return result_; }
  Worker& SearchWorker() { return ValueWorker(); }

  // Closing while the search runs is "Avbryt": what it found is dropped.
  void reject() override;

 private:
  void Start();
  void StopAndUseBest();
  void ShowValue(qint64 best) override;
  void Finished() override;
  void Abandoned() override;

  System system_;
  QComboBox* guarantee_ = nullptr;
  QComboBox* effort_ = nullptr;
  QPushButton* start_ = nullptr;
  QLabel* best_ = nullptr;  // the status line: the best cover so far
  QPushButton* useBest_ = nullptr;
  // "Stoppa och använd bästa" came, and no "Avbryt" after it.
  bool useBestWanted_ = false;

  OptimizeResult output_;  // written by the search, read after Finished
  std::optional<OptimizeResult> result_;
};

}  // namespace spelkub::tools
