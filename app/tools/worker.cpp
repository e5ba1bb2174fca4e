#include "app/tools/worker.h"

#include <exception>
#include <utility>

namespace spelkub::tools {

// Keeps the latest report and queues a delivery when the last one is at
// least a frame old; reports in between only overwrite the values.
class Worker::Sink final : public spelkub::Progress {
 public:
  explicit Sink(Worker& worker) : worker_(worker) {}

  void Fraction(double done) override {
    fraction_ = done;
    Report();
  }
  void Best(int64_t value) override {
    best_ = value;
    Report();
  }

 private:
  static constexpr std::chrono::milliseconds kFrame{1000 / kReportsPerSecond};

  void Report() {
    bool post = false;
    {
      std::lock_guard lock(worker_.mutex_);
      worker_.fraction_ = fraction_;
      worker_.value_ = best_;
      worker_.fresh_ = true;
      const auto now = std::chrono::steady_clock::now();
      if (!worker_.posted_ && now - last_ >= kFrame) {
        worker_.posted_ = true;
        last_ = now;
        post = true;
      }
    }
    if (post) {
      QMetaObject::invokeMethod(
          &worker_, [worker = &worker_] { worker->Deliver(); }, Qt::QueuedConnection);
    }
  }

  Worker& worker_;
  double fraction_ = 0;
  int64_t best_ = -1;
  std::chrono::steady_clock::time_point last_{};
};

Worker::Worker(QObject* parent) : QObject(parent) {}

Worker::~Worker() {
  stop_->RequestStop();
  Join();
}

bool Worker::Start(Job job) {
  if (running_) return false;
  Join();
  stop_.emplace();
  running_ = true;
  failure_.clear();
  {
    std::lock_guard lock(mutex_);
    fraction_ = 0;
    value_ = -1;
    posted_ = false;
    fresh_ = false;
  }
  if (mode_ == Mode::kManual) {
    pending_ = std::move(job);
    return true;
  }
  thread_ = std::thread([this, job = std::move(job)] { Run(job); });
  return true;
}

void Worker::Cancel() {
  if (running_) stop_->RequestStop();
}

void Worker::RunPending() {
  Job job = std::move(pending_);
  pending_ = nullptr;
  if (job) Run(job);
}

void Worker::Run(const Job& job) {
  Sink sink(*this);
  try {
    job(Work{StopToken(*stop_), &sink});
  } catch (const std::exception& error) {
    failure_ = error.what();
  } catch (...) {
    failure_ = "Okänt fel.";
  }
  // Queued after every report, so the last values arrive before Finished.
  QMetaObject::invokeMethod(
      this,
      [this] {
        Deliver();
        Join();
        running_ = false;
        emit Finished();
      },
      Qt::QueuedConnection);
}

void Worker::Deliver() {
  double fraction;
  int64_t value;
  {
    std::lock_guard lock(mutex_);
    fraction = fraction_;
    value = value_;
    posted_ = false;
    if (!fresh_) return;
    fresh_ = false;
  }
  emit Progress(fraction, value);
}

void Worker::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace spelkub::tools
