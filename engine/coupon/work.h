// How long engine work is stopped and how it reports progress: one idiom for
// every long loop, from the greedy passes to the optimizer and the value of a
// system.
//
// A StopToken is polled (cheaply: one relaxed load) at a coarse grain; a
// stopped function returns at once with no result (std::nullopt or its
// documented "stopped" outcome), never a partial one and never by throwing.
// A Progress sink hears the fraction done and, where the work has one, its
// phase and its best result so far; it is called on the working thread, so a
// window's sink forwards to its own thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

namespace spelkub {

// The side that asks for a stop: the window's worker, a signal handler's flag.
class StopSource {
 public:
  void RequestStop() { stopped_.store(true, std::memory_order_relaxed); }
  bool StopRequested() const { return stopped_.load(std::memory_order_relaxed); }

 private:
  friend class StopToken;
  std::atomic<bool> stopped_{false};
};

// The side that polls. A default token never stops.
class StopToken {
 public:
  StopToken() = default;
  explicit StopToken(const StopSource& source) : flag_(&source.stopped_) {}
  bool StopRequested() const { return flag_ != nullptr && flag_->load(std::memory_order_relaxed); }

 private:
  const std::atomic<bool>* flag_ = nullptr;
};

class Progress {
 public:
  virtual ~Progress() = default;
  // Work done, 0..1; called at a coarse grain, and with 1 at the end.
  virtual void Fraction(double /*done*/) {}
  // A named stage begins ("Bygger koder", "Söker", ...).
  virtual void Phase(std::string_view /*name*/) {}
  // The best verified result so far, in the work's own unit (rows of a cover).
  virtual void Best(int64_t /*value*/) {}
};

// What a long function takes: where to stop and whom to tell. Both may be
// left as they are: then it runs to the end and tells no one.
struct Work {
  StopToken stop;
  Progress* progress = nullptr;

  bool Stopped() const { return stop.StopRequested(); }
  void Fraction(double done) const {
    if (progress != nullptr) progress->Fraction(done);
  }
  void Phase(std::string_view name) const {
    if (progress != nullptr) progress->Phase(name);
  }
  void Best(int64_t value) const {
    if (progress != nullptr) progress->Best(value);
  }
};

}  // namespace spelkub
