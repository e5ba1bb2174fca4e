// The one way the engine runs work on several threads: the optimizer's search
// units, the value layer's cells and the condition filter's blocks all go
// through ParallelFor.
//
// A thread that cannot start (no memory for its stack, a process limit) is
// not an error: the units are shared among the threads that did start, the
// calling thread always among them. A unit that throws stops the others from
// taking new units, and the first exception reaches the caller once every
// thread has ended, so a failed allocation in a unit becomes the caller's
// refusal, never std::terminate.
#pragma once

#include <cstdint>
#include <functional>
#include <stop_token>

namespace spelkub {

// The threads to use when asked for `threads`: 0 or less means one per core.
int ThreadCount(int threads);

struct ParallelRun {
  // Every unit ran to its end (false when stopped; then some did not run).
  bool complete = false;
  // The threads that ran units, the caller's among them (1 when none could
  // start).
  int threads = 1;
};

// Runs unit(i) for every i in 0..count-1 on up to ThreadCount(threads)
// threads, unless `stop` is requested; each unit runs once, in no fixed
// order, so a unit must write only its own result. `finished(done)` is called
// on the calling thread after each unit it ran, with the units finished so far
// on all threads, and once more at the end when the helpers finished units
// after that: that is where progress is reported.
ParallelRun ParallelFor(int64_t count, int threads, std::stop_token stop,
                        const std::function<void(int64_t)>& unit,
                        const std::function<void(int64_t)>& finished = {});

namespace detail {
// Tests make starting the i-th helper thread (1-based) fail as it would on a
// machine out of memory; a null hook starts every thread. Not thread-safe: set
// it only while no ParallelFor runs.
using ThreadStartHook = bool (*)(int helper);
void SetThreadStartHookForTest(ThreadStartHook hook);
}  // namespace detail

}  // namespace spelkub
