// The base of the tools' dialogs that run an engine command on a Worker: a
// status line, a progress bar and "Avbryt". While a run is on, "Avbryt",
// Escape and closing the dialog ask it to stop ("Avbryter..."), and the dialog
// closes once it has; with no run on they close it at once. A run that ends
// by itself comes to Finished(), on the user-interface thread.
#pragma once

#include <QDialog>
#include <QString>
#include <QtGlobal>
#include <string>

#include "app/tools/worker.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace spelkub::tools {

class WorkerDialog : public QDialog {
  Q_OBJECT

 public:
  // Joins the worker's thread, if a subclass has not already (see JoinWorker).
  ~WorkerDialog() override;

  // The dialog's Worker: tests run it in Worker::Mode::kManual.
  Worker& ValueWorker() { return *worker_; }
  // What the last run threw, empty when it returned.
  const std::string& Failure() const { return worker_->Failure(); }

  // While a run is on: asks it to stop, and closes once it has.
  void reject() override;

 protected:
  // Makes the status line ("Status"), the bar ("Framsteg") and "Avbryt"
  // ("Avbryt"); the subclass places them in its layout.
  explicit WorkerDialog(QWidget* parent);

  // How the bar shows a run: the fraction it reports, or only that it is
  // busy (a fetch, whose length is not known beforehand).
  enum class Bar { kFraction, kBusy };

  // Starts `job` with `status` shown and the bar at 0; false (nothing
  // started) while a run is still on.
  bool Run(Worker::Job job, const QString& status, Bar bar = Bar::kFraction);
  bool Running() const { return worker_->Running(); }
  bool Cancelled() const { return worker_->Cancelled(); }
  // Asks the run to stop, as "Avbryt" does, without closing the dialog later.
  void Stop();

  // A run ended by itself, or stopped by Stop(): its output is there to read
  // (Failure() says whether it threw).
  virtual void Finished() = 0;
  // A run "Avbryt" stopped: by default the dialog closes.
  virtual void Abandoned();
  // The best value a run reported (Worker::Progress), -1 until it did.
  virtual void ShowValue(qint64 value);
  // "Avbryt" was pressed: by default as reject(), which closes the dialog
  // once the run has stopped.
  virtual void CancelPressed();

  // Joins the worker's thread. A subclass whose members a job writes or reads
  // calls it first in its destructor, so that no job outlives them.
  void JoinWorker();

  // "Beräkningen misslyckades: <what the run threw>".
  QString FailureText() const;

  QLabel* status_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* cancel_ = nullptr;

 private:
  void Deliver();
  void ShowProgress(double fraction, qint64 value);

  Worker* worker_ = nullptr;
  bool closing_ = false;  // "Avbryt" was pressed during the run
  bool busy_ = false;     // the run's bar only says it is busy
};

}  // namespace spelkub::tools
