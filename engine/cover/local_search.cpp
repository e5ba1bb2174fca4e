#include "cover/local_search.h"

#include <algorithm>

#include "cover/block_codes.h"
#include "cover/coverage.h"
#include "cover/detail/tabu_cover.h"

namespace spelkub::detail {

namespace {

// Outcomes in all balls together up to which the balls are listed (64 MB).
constexpr int64_t kListedBallsLimit = int64_t{16} << 20;

// The outcomes of a system as the tabu search's space: balls of the radius,
// and one step through any match of more than one sign.
class OutcomeSpace {
 public:
  OutcomeSpace(const System& system, int radius) : system_(system), radius_(radius) {
    const SystemShape& shape = system.shape();
    size_ = static_cast<uint32_t>(shape.size());
    int64_t stride = 1;
    for (int m = 0; m < shape.matches; ++m) {
      if (shape.radix[m] < 2) continue;
      radix_.push_back(shape.radix[m]);
      stride_.push_back(static_cast<uint32_t>(stride));
      stride *= shape.radix[m];
    }
    dims_ = static_cast<int>(radix_.size());
    digits_.resize(static_cast<size_t>(size_) * dims_);
    for (uint32_t x = 0; x < size_; ++x) {
      uint32_t rest = x;
      for (int d = 0; d < dims_; ++d) {
        digits_[x * dims_ + d] = static_cast<uint8_t>(rest % radix_[d]);
        rest /= radix_[d];
      }
    }
    ballWork_ = BallSize(shape, radius);
    // Small systems keep every ball listed, which is about twice as fast.
    if (static_cast<int64_t>(size_) * ballWork_ > kListedBallsLimit) return;
    std::vector<uint32_t> balls;
    balls.reserve(static_cast<size_t>(size_ * ballWork_));
    for (uint32_t x = 0; x < size_; ++x) {
      ForBall(x, [&](uint32_t y) { balls.push_back(y); });
    }
    balls_ = std::move(balls);
  }

  uint32_t size() const { return size_; }
  bool Allows(uint32_t x) const { return system_.Allows(x); }
  int64_t ball() const { return ballWork_; }

  // Every outcome within the radius of x, x included.
  template <typename Visit>
  int64_t ForBall(uint32_t x, Visit&& visit) {
    if (!balls_.empty()) {
      const uint32_t* ball = &balls_[static_cast<size_t>(x) * ballWork_];
      for (int64_t i = 0; i < ballWork_; ++i) visit(ball[i]);
      return ballWork_;
    }
    visit(x);
    BallFrom(x, x, 0, radius_, visit);
    return ballWork_;
  }

  template <typename Visit>
  int64_t ForNeighbours(uint32_t x, Visit&& visit) {
    for (int d = 0; d < dims_; ++d) {
      const int own = digits_[x * dims_ + d];
      for (int v = 0; v < radix_[d]; ++v) {
        if (v != own)
          visit(x + static_cast<uint32_t>((v - own) * static_cast<int64_t>(stride_[d])));
      }
    }
    return dims_;
  }

 private:
  template <typename Visit>
  void BallFrom(uint32_t center, uint32_t at, int firstDim, int left, Visit& visit) {
    if (left == 0) return;
    for (int d = firstDim; d < dims_; ++d) {
      const int own = digits_[center * dims_ + d];
      for (int v = 0; v < radix_[d]; ++v) {
        if (v == own) continue;
        const uint32_t y = at + static_cast<uint32_t>((v - own) * static_cast<int64_t>(stride_[d]));
        visit(y);
        BallFrom(center, y, d + 1, left - 1, visit);
      }
    }
  }

  const System& system_;
  const int radius_;
  uint32_t size_ = 0;
  int dims_ = 0;
  std::vector<int> radix_;
  std::vector<uint32_t> stride_;
  std::vector<uint8_t> digits_;
  int64_t ballWork_ = 0;
  std::vector<uint32_t> balls_;  // every ball, ballWork_ outcomes each, when listed
};

SearchOutcome RunSearch(TabuCover<OutcomeSpace>& search, const SearchBudget& budget,
                        const std::function<bool()>& stopped,
                        const std::function<void(const std::vector<uint32_t>&)>& found,
                        const std::function<void(double)>& spent, int64_t bound) {
  SearchOutcome outcome;
  std::vector<uint32_t> best;
  int64_t progressAt = 0;
  uint64_t restarts = 0;
  for (int64_t step = 0;; ++step) {
    if (search.uncovered().empty()) {
      if (best.empty() || search.rows().size() < best.size()) {
        best = search.rows();
        std::sort(best.begin(), best.end());
        found(best);
        progressAt = search.work();
      }
      if (static_cast<int64_t>(search.rows().size()) <= std::max<int64_t>(bound, 1)) break;
      search.DropWeakest();
    } else if (budget.patience > 0 && search.work() - progressAt > budget.patience &&
               !best.empty()) {
      // Stuck: start again from the best cover, with other random choices.
      search.Restart(best, Random(budget.seed + 0x9E3779B97F4A7C15ull * ++restarts));
      progressAt = search.work();
    } else {
      search.Step(step);
    }
    if (search.work() >= budget.work) break;
    if ((step & 63) == 0) {
      if (stopped()) {
        outcome.stopped = true;
        break;
      }
      if ((step & 1023) == 0)
        spent(static_cast<double>(search.work()) / static_cast<double>(budget.work));
    }
  }
  outcome.workDone = search.work();
  return outcome;
}

}  // namespace

int64_t SphereBound(const SystemShape& shape, int radius) {
  const int64_t ball = BallSize(shape, radius);
  return (shape.size() + ball - 1) / ball;
}

SearchOutcome ShrinkCover(const SystemShape& shape, int radius, std::vector<uint32_t> start,
                          const SearchBudget& budget, const std::function<bool()>& stopped,
                          const std::function<void(const std::vector<uint32_t>&)>& found,
                          const std::function<void(double)>& spent) {
  return ShrinkCover(System(shape), radius, std::move(start), budget, stopped, found, spent);
}

SearchOutcome ShrinkCover(const System& system, int radius, std::vector<uint32_t> start,
                          const SearchBudget& budget, const std::function<bool()>& stopped,
                          const std::function<void(const std::vector<uint32_t>&)>& found,
                          const std::function<void(double)>& spent) {
  OutcomeSpace space(system, radius);
  const int64_t ball = space.ball();
  TabuCover<OutcomeSpace> search(
      space,
      {.tenure = budget.tenure, .sampledMoves = budget.sampledMoves, .weighted = budget.weighted},
      budget.seed);
  std::sort(start.begin(), start.end());
  start.erase(std::unique(start.begin(), start.end()), start.end());
  for (uint32_t x : start) search.Place(x);
  return RunSearch(search, budget, stopped, found, spent, (system.size() + ball - 1) / ball);
}

}  // namespace spelkub::detail
