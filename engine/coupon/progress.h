// How the engine reports progress of a long command. The window repaints its
// progress bar and counts from these calls; the engine calls them at a coarse
// grain (every few thousand rows, and once at the end), so a listener costs
// nothing measurable, and a null listener costs nothing at all.
#pragma once

#include <cstdint>

namespace spelkub {

class ProgressListener {
 public:
  virtual ~ProgressListener() = default;

  // Generation: rows begun so far (1..system size).
  virtual void RowsGenerated(int64_t /*rows*/) {}

  // Reduction: a pass with this threshold begins.
  virtual void PassStarted(int /*threshold*/) {}
  // Reduction: candidates examined so far in the current pass.
  virtual void CandidatesExamined(int64_t /*count*/) {}
  // Reduction: rows accepted so far, over all passes.
  virtual void RowsAccepted(int64_t /*count*/) {}
};

}  // namespace spelkub
