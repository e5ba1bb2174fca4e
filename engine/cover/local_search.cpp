#include "cover/local_search.h"

#include <algorithm>

#include "cover/block_codes.h"
#include "cover/coverage.h"

namespace spelkub::detail {

namespace {

constexpr int32_t kNoRow = -1;
// Outcomes in all balls together up to which the balls are listed (64 MB).
constexpr int64_t kListedBallsLimit = int64_t{16} << 20;

class TabuSearch {
 public:
  TabuSearch(const System& system, int radius, const SearchBudget& budget)
      : system_(system), radius_(radius), budget_(budget), random_(budget.seed) {
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
    cover_.assign(size_, 0);
    weight_.assign(size_, 1);
    stamp_.assign(size_, 0);
    slotAt_.assign(size_, kNoRow);
    uncoveredAt_.assign(size_, kNoRow);
    ResetCover();
  }

  // Nothing placed: every outcome of the system uncovered, and those it
  // leaves out covered for good, so that no move counts them.
  void ResetCover() {
    uncovered_.clear();
    for (uint32_t x = 0; x < size_; ++x) {
      if (system_.Allows(x)) {
        cover_[x] = 0;
        AddUncovered(x);
      } else {
        cover_[x] = kLeftOut;
      }
    }
  }

  // Back to the given complete cover, weights forgotten, one row dropped.
  void Restart(const std::vector<uint32_t>& cover, uint64_t seed) {
    random_ = Random(seed);
    std::fill(weight_.begin(), weight_.end(), 1);
    std::fill(slotAt_.begin(), slotAt_.end(), kNoRow);
    ResetCover();
    rows_.clear();
    movedAt_.clear();
    for (uint32_t x : cover) Place(x);
    DropWeakestRow();
  }

  void Place(uint32_t x) {
    if (slotAt_[x] != kNoRow) return;
    slotAt_[x] = static_cast<int32_t>(rows_.size());
    rows_.push_back(x);
    movedAt_.push_back(-budget_.tenure - 1);
    ForBall(x, [&](uint32_t y) {
      if (cover_[y]++ == 0) RemoveUncovered(y);
    });
  }

  SearchOutcome Run(const std::function<bool()>& stopped,
                    const std::function<void(const std::vector<uint32_t>&)>& found,
                    const std::function<void(double)>& spent, int64_t bound) {
    SearchOutcome outcome;
    std::vector<uint32_t> best;
    int64_t progressAt = 0;
    uint64_t restarts = 0;
    for (int64_t step = 0;; ++step) {
      if (uncovered_.empty()) {
        if (best.empty() || rows_.size() < best.size()) {
          best = rows_;
          std::sort(best.begin(), best.end());
          found(best);
          progressAt = work_;
        }
        if (static_cast<int64_t>(rows_.size()) <= std::max<int64_t>(bound, 1)) break;
        DropWeakestRow();
      } else if (budget_.patience > 0 && work_ - progressAt > budget_.patience && !best.empty()) {
        // Stuck: start again from the best cover, with other random choices.
        Restart(best, budget_.seed + 0x9E3779B97F4A7C15ull * ++restarts);
        progressAt = work_;
      } else {
        Step(step);
      }
      if (work_ >= budget_.work) break;
      if ((step & 63) == 0) {
        if (stopped()) {
          outcome.stopped = true;
          break;
        }
        if ((step & 1023) == 0)
          spent(static_cast<double>(work_) / static_cast<double>(budget_.work));
      }
    }
    outcome.workDone = work_;
    return outcome;
  }

 private:
  // Every outcome within the radius of x, x included.
  template <typename Visit>
  void ForBall(uint32_t x, Visit&& visit) {
    work_ += ballWork_;
    if (!balls_.empty()) {
      const uint32_t* ball = &balls_[static_cast<size_t>(x) * ballWork_];
      for (int64_t i = 0; i < ballWork_; ++i) visit(ball[i]);
      return;
    }
    visit(x);
    BallFrom(x, x, 0, radius_, visit);
  }

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

  template <typename Visit>
  void ForNeighbours(uint32_t x, Visit&& visit) {
    work_ += dims_;
    for (int d = 0; d < dims_; ++d) {
      const int own = digits_[x * dims_ + d];
      for (int v = 0; v < radix_[d]; ++v) {
        if (v != own)
          visit(x + static_cast<uint32_t>((v - own) * static_cast<int64_t>(stride_[d])));
      }
    }
  }

  void AddUncovered(uint32_t x) {
    uncoveredAt_[x] = static_cast<int32_t>(uncovered_.size());
    uncovered_.push_back(x);
  }
  void RemoveUncovered(uint32_t x) {
    const int32_t at = uncoveredAt_[x];
    const uint32_t last = uncovered_.back();
    uncovered_[at] = last;
    uncoveredAt_[last] = at;
    uncovered_.pop_back();
    uncoveredAt_[x] = kNoRow;
  }

  void Move(int32_t slot, uint32_t to, int64_t step) {
    const uint32_t from = rows_[slot];
    ForBall(from, [&](uint32_t y) {
      if (--cover_[y] == 0) AddUncovered(y);
    });
    ForBall(to, [&](uint32_t y) {
      if (cover_[y]++ == 0) RemoveUncovered(y);
    });
    slotAt_[from] = kNoRow;
    slotAt_[to] = slot;
    rows_[slot] = to;
    movedAt_[slot] = step;
  }

  // Moves that would cover the outcome u: a row one step from some x in u's
  // ball goes to x.
  void Step(int64_t step) {
    const uint32_t u = uncovered_[random_.Below(static_cast<uint32_t>(uncovered_.size()))];
    if (rows_.empty()) {
      Place(u);
      return;
    }
    moves_.clear();
    ForBall(u, [&](uint32_t x) {
      if (slotAt_[x] != kNoRow || !system_.Allows(x)) return;
      ForNeighbours(x, [&](uint32_t c) {
        const int32_t slot = slotAt_[c];
        if (slot != kNoRow && step - movedAt_[slot] > budget_.tenure) moves_.push_back({slot, x});
      });
    });
    if (moves_.empty()) {
      // Nothing near: bring a free row over.
      int32_t slot = static_cast<int32_t>(random_.Below(static_cast<uint32_t>(rows_.size())));
      for (size_t tries = 0; tries < rows_.size() && step - movedAt_[slot] <= budget_.tenure;
           ++tries) {
        slot = (slot + 1) % static_cast<int32_t>(rows_.size());
      }
      Move(slot, u, step);
      return;
    }
    const size_t weighed =
        std::min<size_t>(moves_.size(), static_cast<size_t>(budget_.sampledMoves));
    for (size_t i = 0; i < weighed; ++i) {
      // A partial shuffle picks the sample without repeats.
      const size_t pick = i + random_.Below(static_cast<uint32_t>(moves_.size() - i));
      std::swap(moves_[i], moves_[pick]);
    }
    // Moves of one row share what it alone covers: weigh them together.
    std::sort(moves_.begin(), moves_.begin() + static_cast<std::ptrdiff_t>(weighed),
              [](const Candidate& a, const Candidate& b) {
                return a.slot != b.slot ? a.slot < b.slot : a.to < b.to;
              });
    int64_t bestDelta = 0;
    size_t bestMove = 0;
    int64_t lost = 0;
    for (size_t i = 0; i < weighed; ++i) {
      const Candidate move = moves_[i];
      if (i == 0 || move.slot != moves_[i - 1].slot) {
        ++stampNow_;
        lost = 0;
        ForBall(rows_[move.slot], [&](uint32_t y) {
          if (cover_[y] == 1) {
            lost += weight_[y];
            stamp_[y] = stampNow_;
          }
        });
      }
      // Outcomes the move covers anew, and those only the moving row covers
      // that stay covered from where it goes.
      int64_t kept = 0;
      ForBall(move.to, [&](uint32_t y) {
        if (cover_[y] == 0 || (cover_[y] == 1 && stamp_[y] == stampNow_)) kept += weight_[y];
      });
      const int64_t delta = lost - kept;
      if (i == 0 || delta < bestDelta) {
        bestDelta = delta;
        bestMove = i;
      }
    }
    Move(moves_[bestMove].slot, moves_[bestMove].to, step);
    if (budget_.weighted) {
      for (uint32_t y : uncovered_) ++weight_[y];
    }
  }

  void DropWeakestRow() {
    int64_t fewest = -1;
    int32_t weakest = 0;
    for (size_t slot = 0; slot < rows_.size(); ++slot) {
      int64_t alone = 0;
      ForBall(rows_[slot], [&](uint32_t y) { alone += cover_[y] == 1; });
      if (fewest < 0 || alone < fewest) {
        fewest = alone;
        weakest = static_cast<int32_t>(slot);
      }
    }
    const uint32_t x = rows_[weakest];
    ForBall(x, [&](uint32_t y) {
      if (--cover_[y] == 0) AddUncovered(y);
    });
    slotAt_[x] = kNoRow;
    const int32_t last = static_cast<int32_t>(rows_.size()) - 1;
    if (weakest != last) {
      rows_[weakest] = rows_[last];
      movedAt_[weakest] = movedAt_[last];
      slotAt_[rows_[weakest]] = weakest;
    }
    rows_.pop_back();
    movedAt_.pop_back();
  }

  struct Candidate {
    int32_t slot;
    uint32_t to;
  };

  static constexpr uint32_t kLeftOut = 1u << 30;
  const System& system_;
  const int radius_;
  const SearchBudget budget_;
  Random random_;
  uint32_t size_ = 0;
  int dims_ = 0;
  std::vector<int> radix_;
  std::vector<uint32_t> stride_;
  std::vector<uint8_t> digits_;
  std::vector<int64_t> weight_;
  std::vector<uint32_t> stamp_;
  uint32_t stampNow_ = 0;
  std::vector<uint32_t> cover_;       // rows within the radius, per outcome
  std::vector<int32_t> slotAt_;       // the row placed on an outcome, or kNoRow
  std::vector<int32_t> uncoveredAt_;  // position in uncovered_, or kNoRow
  std::vector<uint32_t> uncovered_;
  std::vector<uint32_t> rows_;
  std::vector<int64_t> movedAt_;  // per row: the step it last moved
  std::vector<Candidate> moves_;
  int64_t work_ = 0;
  int64_t ballWork_ = 0;
  std::vector<uint32_t> balls_;  // every ball, ballWork_ outcomes each, when listed

 public:
  // Work counts whole balls so that it does not depend on where they lie.
  // Small systems keep every ball listed, which is about twice as fast.
  void SetBall(int64_t ball) {
    ballWork_ = ball;
    if (static_cast<int64_t>(size_) * ball > kListedBallsLimit) return;
    std::vector<uint32_t> balls;
    balls.reserve(static_cast<size_t>(size_ * ball));
    for (uint32_t x = 0; x < size_; ++x) {
      ForBall(x, [&](uint32_t y) { balls.push_back(y); });
    }
    balls_ = std::move(balls);
    work_ = 0;
  }
};

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
  const int64_t ball = BallSize(system.shape(), radius);
  TabuSearch search(system, radius, budget);
  search.SetBall(ball);
  std::sort(start.begin(), start.end());
  start.erase(std::unique(start.begin(), start.end()), start.end());
  for (uint32_t x : start) search.Place(x);
  return search.Run(stopped, found, spent, (system.size() + ball - 1) / ball);
}

}  // namespace spelkub::detail
