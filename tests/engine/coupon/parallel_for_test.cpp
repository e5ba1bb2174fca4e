#include "coupon/parallel_for.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "coupon/work.h"
#include "cover/optimize.h"

namespace spelkub {
namespace {

SystemShape FullShape(int matches) {
  SystemShape shape;
  shape.matches = matches;
  for (int m = 0; m < matches; ++m) {
    shape.radix[m] = 3;
    shape.outcomes[m] = {0, 1, 2};
  }
  return shape;
}

// Starting helper threads fails from the given one on, as on a machine out of
// memory; reset when the test ends.
class FailingThreadStarts {
 public:
  explicit FailingThreadStarts(int firstFailing) {
    first = firstFailing;
    detail::SetThreadStartHookForTest([](int helper) { return helper < first; });
  }
  ~FailingThreadStarts() { detail::SetThreadStartHookForTest(nullptr); }

 private:
  static inline int first = 0;
};

std::vector<int> RunCounts(int64_t count, int threads, ParallelRun* run = nullptr) {
  std::vector<std::atomic<int>> ran(static_cast<size_t>(count));
  const ParallelRun result =
      ParallelFor(count, threads, {}, [&](int64_t i) { ran[static_cast<size_t>(i)]++; });
  if (run != nullptr) *run = result;
  std::vector<int> counts;
  for (const std::atomic<int>& r : ran) counts.push_back(r.load());
  return counts;
}

TEST(ParallelFor, RunsEveryUnitOnceForAnyNumberOfThreads) {
  for (int threads : {1, 2, 3, 8, 0}) {
    for (int64_t count : {0, 1, 2, 7, 1000}) {
      ParallelRun run;
      EXPECT_EQ(RunCounts(count, threads, &run), std::vector<int>(static_cast<size_t>(count), 1))
          << threads << " threads, " << count << " units";
      EXPECT_TRUE(run.complete);
      EXPECT_GE(run.threads, 1);
      EXPECT_LE(run.threads, std::max<int64_t>(1, std::min<int64_t>(ThreadCount(threads), count)));
    }
  }
}

TEST(ParallelFor, AThreadThatCannotStartLeavesFewerThreadsAndLosesNoUnit) {
  for (int firstFailing : {1, 2, 3}) {
    const FailingThreadStarts failing(firstFailing);
    ParallelRun run;
    EXPECT_EQ(RunCounts(500, 6, &run), std::vector<int>(500, 1));
    EXPECT_TRUE(run.complete);
    EXPECT_EQ(run.threads, firstFailing) << "the caller and the helpers before the failing one";
  }
}

TEST(ParallelFor, TheFinishedCountIsToldOnTheCallingThreadAndRisesToTheEnd) {
  const std::thread::id caller = std::this_thread::get_id();
  std::vector<int64_t> told;
  bool elsewhere = false;
  ParallelFor(
      200, 4, {}, [](int64_t) {},
      [&](int64_t done) {
        elsewhere |= std::this_thread::get_id() != caller;
        told.push_back(done);
      });
  EXPECT_FALSE(elsewhere);
  ASSERT_FALSE(told.empty());
  EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
  EXPECT_EQ(told.back(), 200);
  // One thread: the caller finishes every unit and hears each.
  told.clear();
  ParallelFor(
      50, 1, {}, [](int64_t) {}, [&](int64_t done) { told.push_back(done); });
  ASSERT_EQ(told.size(), 50u);
  EXPECT_EQ(told.back(), 50);
}

TEST(ParallelFor, AFailingUnitReachesTheCallerAfterEveryThreadEnded) {
  std::atomic<int> running{0};
  std::atomic<bool> failed{false};
  EXPECT_THROW(ParallelFor(10'000, 4, {},
                           [&](int64_t i) {
                             running++;
                             if (i == 3) {
                               running--;
                               failed = true;
                               throw std::bad_alloc();
                             }
                             // Units are handed out in order, so unit 3 is
                             // taken before any later one: those wait for
                             // its failure, however the threads are run.
                             while (i > 3 && !failed) std::this_thread::yield();
                             running--;
                           }),
               std::bad_alloc);
  EXPECT_EQ(running.load(), 0);
  // How many units the others take between the failure and its record is the
  // scheduler's to say (a descheduled thrower lets them run thousands); on
  // one thread no unit is taken after it.
  int taken = 0;
  EXPECT_THROW(ParallelFor(10'000, 1, {},
                           [&](int64_t i) {
                             ++taken;
                             if (i == 3) throw std::bad_alloc();
                           }),
               std::bad_alloc);
  EXPECT_EQ(taken, 4);
  // A failing progress report is the caller's failure too.
  EXPECT_THROW(ParallelFor(
                   100, 3, {}, [](int64_t) {},
                   [](int64_t) -> void { throw std::runtime_error("Rapporten föll"); }),
               std::runtime_error);
}

TEST(ParallelFor, AStopEndsTheRunIncompleteAndWorkSeesIt) {
  StopSource source;
  const Work work{StopToken(source)};
  EXPECT_FALSE(work.Stopped());
  std::atomic<int64_t> ran{0};
  const ParallelRun run = ParallelFor(100'000, 3, work.stop, [&](int64_t i) {
    ran++;
    if (i == 10) source.RequestStop();
  });
  EXPECT_TRUE(work.Stopped());
  EXPECT_FALSE(run.complete);
  EXPECT_LT(ran.load(), 100'000);
  // Stopped before it begins: no unit runs.
  ran = 0;
  EXPECT_FALSE(ParallelFor(10, 2, work.stop, [&](int64_t) { ran++; }).complete);
  EXPECT_EQ(ran.load(), 0);
  // A jthread's own token stops the same work.
  std::jthread thread([](std::stop_token) {});
  thread.request_stop();
  EXPECT_TRUE((Work{thread.get_stop_token()}.Stopped()));
}

// The optimizer's threads go through ParallelFor: when helpers cannot start
// the answer is the same as on one thread, not an abort.
TEST(ParallelFor, TheOptimizerWithoutItsThreadsFindsTheSameRows) {
  const SystemShape shape = FullShape(7);
  const std::optional<OptimizeResult> alone =
      OptimizeGuarantee(shape, 6, Effort::kQuick, 1, Work{});
  ASSERT_TRUE(alone);
  const FailingThreadStarts failing(2);
  const std::optional<OptimizeResult> starved =
      OptimizeGuarantee(shape, 6, Effort::kQuick, 3, Work{});
  ASSERT_TRUE(starved);
  EXPECT_EQ(starved->rows, alone->rows);
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Under a limit on the address space some helper stacks cannot be mapped: the
// optimizer then runs on the threads it got (it used to end the process with
// std::terminate, exit 134).
// Runs the optimizer with sixteen threads in an address space with room for
// a helper stack or two (8 MiB each); ends the process with 0 when it found
// rows, 1 when not, 2 when memory ran out.
[[noreturn]] void OptimizeUnderAddressSpaceLimit() {
  long pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  const rlim_t room =
      static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (20 << 20);
  const rlimit limit{room, room};
  setrlimit(RLIMIT_AS, &limit);
  try {
    const std::optional<OptimizeResult> result =
        OptimizeGuarantee(FullShape(7), 6, Effort::kQuick, 16, Work{});
    std::_Exit(result && !result->rows.empty() ? 0 : 1);
  } catch (const std::bad_alloc&) {
    std::_Exit(2);
  }
}

TEST(ParallelForDeathTest, TheOptimizerUnderAnAddressSpaceLimitEndsNormally) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(OptimizeUnderAddressSpaceLimit(), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace spelkub
