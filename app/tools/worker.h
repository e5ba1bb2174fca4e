// Runs one engine call off the user-interface thread, so the window keeps
// repainting and a dialog's "Avbryt" is heard while the engine works.
//
// The job gets a Work: a stop that Cancel raises, and a progress sink whose
// fraction and best value reach the user-interface thread as queued signals,
// at most kReportsPerSecond a second; the last report is always delivered
// before Finished. The Worker owns its thread and joins it when it is
// destroyed.
#pragma once

#include <QObject>
#include <QtGlobal>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "coupon/work.h"

namespace spelkub::tools {

class Worker : public QObject {
  Q_OBJECT

 public:
  static constexpr int kReportsPerSecond = 25;

  // kThread runs each job on a thread of its own. kManual (for tests) keeps a
  // started job until RunPending() runs it on the calling thread.
  enum class Mode { kThread, kManual };

  // Polls work.Stopped(), and tells work.Fraction (0..1) and work.Best (a
  // count to show, the best size so far, say; -1 until told).
  using Job = std::function<void(const Work& work)>;

  explicit Worker(QObject* parent = nullptr);
  // Stops the job and joins the thread.
  ~Worker() override;

  // Starts `job`, unless the previous one has not finished yet (false).
  bool Start(Job job);
  // Asks the running job to stop; Finished still follows.
  void Cancel();
  // From Start until Finished has been delivered.
  bool Running() const { return running_; }
  bool Cancelled() const { return stop_->StopRequested(); }

  // What the last job threw (its what()), empty when it returned. An error
  // never leaves the job's thread; it is read here after Finished.
  const std::string& Failure() const { return failure_; }

  void SetMode(Mode mode) { mode_ = mode; }
  // Runs the job kept in kManual mode, here and now.
  void RunPending();

 signals:
  void Progress(double fraction, qint64 value);
  // The job has returned and its thread is joined; what it wrote is safe to read.
  void Finished();

 private:
  class Sink;

  void Run(const Job& job);
  void Deliver();
  void Join();

  Mode mode_ = Mode::kThread;
  bool running_ = false;
  // A fresh one for every job: a stop once requested stays so.
  std::optional<StopSource> stop_{std::in_place};
  std::thread thread_;
  Job pending_;
  std::string failure_;  // written by the job's thread before Finished is queued

  // The latest report, written on the job's thread and read on the
  // user-interface thread.
  std::mutex mutex_;
  double fraction_ = 0;
  int64_t value_ = -1;
  bool posted_ = false;  // a delivery is queued and has not yet read the values
  bool fresh_ = false;   // reported since the last delivery
};

}  // namespace spelkub::tools
