// How long engine work is stopped and how it reports progress: one idiom for
// every long loop, from the greedy passes to the optimizer and the value of a
// system.
//
// Stopping is the standard library's: a std::stop_token, polled at a coarse
// grain; a std::jthread's own token, or one of a StopSource, plugs in as it
// is. A stopped function returns at once with no result (std::nullopt or its
// documented "stopped" outcome), never a partial one and never by throwing.
// A Progress sink hears the fraction done and, where the work has one, its
// phase and its best result so far, and the stages of generation and the
// greedy passes as the window counts them; it is called on the working
// thread, so a window's sink forwards to its own thread. Every call comes at
// a coarse grain (every few thousand rows, and once at the end), so a sink
// costs nothing measurable, and none at all costs nothing.
#pragma once

#include <cstdint>
#include <stop_token>
#include <string_view>

namespace spelkub {

// The side that asks for a stop: the window's worker, a signal handler's
// flag, a test. A std::stop_source with the engine's spelling.
class StopSource : public std::stop_source {
 public:
  void RequestStop() { request_stop(); }
  bool StopRequested() const { return stop_requested(); }
};

// The side that polls: a std::stop_token, made from a source by name. A
// default token never stops.
class StopToken : public std::stop_token {
 public:
  StopToken() = default;
  StopToken(std::stop_token token) : std::stop_token(std::move(token)) {}  // NOLINT: a view of it
  explicit StopToken(const std::stop_source& source) : std::stop_token(source.get_token()) {}
  bool StopRequested() const { return stop_requested(); }
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

  // Generation: rows begun so far (1..system size).
  virtual void RowsGenerated(int64_t /*rows*/) {}
  // Reduction: a pass with this threshold begins.
  virtual void PassStarted(int /*threshold*/) {}
  // Reduction: candidates examined so far in the current pass.
  virtual void CandidatesExamined(int64_t /*count*/) {}
  // Reduction: rows accepted so far, over all passes.
  virtual void RowsAccepted(int64_t /*count*/) {}
};

// What a long function takes: where to stop and whom to tell. Both may be
// left as they are: then it runs to the end and tells no one.
struct Work {
  std::stop_token stop;
  Progress* progress = nullptr;

  bool Stopped() const { return stop.stop_requested(); }
  void Fraction(double done) const {
    if (progress != nullptr) progress->Fraction(done);
  }
  void Phase(std::string_view name) const {
    if (progress != nullptr) progress->Phase(name);
  }
  void Best(int64_t value) const {
    if (progress != nullptr) progress->Best(value);
  }
  void PassStarted(int threshold) const {
    if (progress != nullptr) progress->PassStarted(threshold);
  }
  void CandidatesExamined(int64_t count) const {
    if (progress != nullptr) progress->CandidatesExamined(count);
  }
  void RowsAccepted(int64_t count) const {
    if (progress != nullptr) progress->RowsAccepted(count);
  }
};

}  // namespace spelkub
