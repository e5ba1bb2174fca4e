#include "coupon/parallel_for.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace spelkub {

namespace {

detail::ThreadStartHook threadStartHook = nullptr;

// What the threads of one run share.
class Units {
 public:
  Units(int64_t count, std::stop_token stop, const std::function<void(int64_t)>& unit)
      : count_(count), stop_(std::move(stop)), unit_(unit) {}

  // Takes units until none is left, the run is stopped or a unit failed.
  // Returns after each unit on the calling thread so it can report.
  template <typename AfterUnit>
  void Run(const AfterUnit& afterUnit) {
    while (!failed_.load(std::memory_order_relaxed) && !stop_.stop_requested()) {
      const int64_t i = next_.fetch_add(1, std::memory_order_relaxed);
      if (i >= count_) return;
      try {
        unit_(i);
        afterUnit(done_.fetch_add(1, std::memory_order_acq_rel) + 1);
      } catch (...) {
        Fail(std::current_exception());
        return;
      }
    }
  }

  void Fail(std::exception_ptr error) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!error_) error_ = std::move(error);
    failed_.store(true, std::memory_order_relaxed);
  }

  void RethrowIfFailed() {
    if (error_) std::rethrow_exception(error_);
  }

  int64_t Done() const { return done_.load(std::memory_order_acquire); }

 private:
  const int64_t count_;
  const std::stop_token stop_;
  const std::function<void(int64_t)>& unit_;
  std::atomic<int64_t> next_{0};
  std::atomic<int64_t> done_{0};
  std::atomic<bool> failed_{false};
  std::mutex mutex_;
  std::exception_ptr error_;
};

}  // namespace

int ThreadCount(int threads) {
  if (threads > 0) return threads;
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

ParallelRun ParallelFor(int64_t count, int threads, std::stop_token stop,
                        const std::function<void(int64_t)>& unit,
                        const std::function<void(int64_t)>& finished) {
  ParallelRun run;
  if (count <= 0) {
    run.complete = !stop.stop_requested();
    return run;
  }
  Units units(count, std::move(stop), unit);
  int64_t told = 0;
  const int64_t wanted = std::min<int64_t>(ThreadCount(threads), count) - 1;
  {
    // Declared after `units`, so the helpers are joined (by the jthreads'
    // destructors, on every path out of this block) before it goes away.
    std::vector<std::jthread> helpers;
    try {
      helpers.reserve(static_cast<size_t>(wanted));
      for (int64_t h = 1; h <= wanted; ++h) {
        if (threadStartHook != nullptr && !threadStartHook(static_cast<int>(h)))
          throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        helpers.emplace_back([&units] { units.Run([](int64_t) {}); });
      }
    } catch (const std::system_error&) {
      // Fewer threads than asked: those running share the units.
    } catch (const std::bad_alloc&) {
    }
    run.threads = 1 + static_cast<int>(helpers.size());
    units.Run([&](int64_t done) {
      if (finished) finished(done);
      told = done;
    });
  }
  units.RethrowIfFailed();
  // The helpers may have finished units after the caller's last report.
  if (finished && units.Done() != told) finished(units.Done());
  run.complete = units.Done() == count;
  return run;
}

namespace detail {
void SetThreadStartHookForTest(ThreadStartHook hook) {
  threadStartHook = hook;
}
}  // namespace detail

}  // namespace spelkub
