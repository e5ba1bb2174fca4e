// The tabu search both covering searches run: over the outcomes of a system
// (local_search.cpp) and over the syndromes of a matrix code
// (matrix_codes.cpp). At a fixed number of points it moves one point at a
// time to cover more, weighing a sample of the moves that would cover one
// uncovered element; a moved point stays where it was put for `tenure`
// steps. The space it runs on gives the balls and the one-step neighbours:
//
//   struct Space {
//     uint32_t size() const;
//     bool Allows(uint32_t x) const;  // an element that needs a point near
//     // Visits every element within the radius of x, x included; returns
//     // the work it counts.
//     template <typename Visit> int64_t ForBall(uint32_t x, Visit&& visit);
//     // Visits the elements one step from x; returns the work it counts.
//     template <typename Visit> int64_t ForNeighbours(uint32_t x, Visit&& visit);
//   };
//
// Work counts whole balls, so that the same budget gives the same search on
// every machine.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "cover/block_codes.h"

namespace spelkub::detail {

struct TabuRules {
  int tenure = 3;         // steps a moved point stays where it was put
  int sampledMoves = 16;  // moves weighed per step, sampled when there are more
  // Elements left uncovered step after step weigh more, which lets the search
  // leave the flat ground around a perfect code.
  bool weighted = false;
};

template <typename Space>
class TabuCover {
 public:
  TabuCover(Space& space, const TabuRules& rules, uint64_t seed)
      : space_(space), rules_(rules), random_(seed) {
    const uint32_t size = space_.size();
    cover_.assign(size, 0);
    weight_.assign(size, 1);
    stamp_.assign(size, 0);
    slotAt_.assign(size, kNone);
    uncoveredAt_.assign(size, kNone);
    ResetCover();
  }

  const std::vector<uint32_t>& rows() const { return rows_; }
  const std::vector<uint32_t>& uncovered() const { return uncovered_; }
  int64_t work() const { return work_; }
  Random& random() { return random_; }

  // A point on x, unless one is there.
  void Place(uint32_t x) {
    if (slotAt_[x] != kNone) return;
    slotAt_[x] = static_cast<int32_t>(rows_.size());
    rows_.push_back(x);
    movedAt_.push_back(-rules_.tenure - 1);
    ForBall(x, [&](uint32_t y) {
      if (cover_[y]++ == 0) RemoveUncovered(y);
    });
  }

  // A first cover: a point on the lowest element left uncovered, again and
  // again.
  void CoverInOrder() {
    for (uint32_t x = 0; x < space_.size(); ++x) {
      if (cover_[x] == 0) Place(x);
    }
  }

  // Back to the given complete cover with a fresh random stream, weights
  // forgotten, one point dropped.
  void Restart(const std::vector<uint32_t>& cover, Random random) {
    random_ = random;
    std::fill(weight_.begin(), weight_.end(), 1);
    std::fill(slotAt_.begin(), slotAt_.end(), kNone);
    ResetCover();
    rows_.clear();
    movedAt_.clear();
    for (uint32_t x : cover) Place(x);
    DropWeakest();
  }

  // One move that covers a random uncovered element: a point one step from
  // some x of its ball goes to x, the sampled move that loses least.
  void Step(int64_t step) {
    const uint32_t u = uncovered_[random_.Below(static_cast<uint32_t>(uncovered_.size()))];
    if (rows_.empty()) {
      Place(u);
      return;
    }
    moves_.clear();
    ForBall(u, [&](uint32_t x) {
      if (slotAt_[x] != kNone || !space_.Allows(x)) return;
      work_ += space_.ForNeighbours(x, [&](uint32_t c) {
        const int32_t slot = slotAt_[c];
        if (slot != kNone && step - movedAt_[slot] > rules_.tenure) moves_.push_back({slot, x});
      });
    });
    if (moves_.empty()) {
      // Nothing near: bring a free point over.
      int32_t slot = static_cast<int32_t>(random_.Below(static_cast<uint32_t>(rows_.size())));
      for (size_t tries = 0; tries < rows_.size() && step - movedAt_[slot] <= rules_.tenure;
           ++tries) {
        slot = (slot + 1) % static_cast<int32_t>(rows_.size());
      }
      Move(slot, u, step);
      return;
    }
    const size_t weighed =
        std::min<size_t>(moves_.size(), static_cast<size_t>(rules_.sampledMoves));
    for (size_t i = 0; i < weighed; ++i) {
      // A partial shuffle picks the sample without repeats.
      const size_t pick = i + random_.Below(static_cast<uint32_t>(moves_.size() - i));
      std::swap(moves_[i], moves_[pick]);
    }
    // Moves of one point share what it alone covers: weigh them together.
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
      // Elements the move covers anew, and those only the moving point
      // covers that stay covered from where it goes.
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
    if (rules_.weighted) {
      for (uint32_t y : uncovered_) ++weight_[y];
    }
  }

  // Drops the point that alone covers the fewest elements.
  void DropWeakest() {
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
    slotAt_[x] = kNone;
    const int32_t last = static_cast<int32_t>(rows_.size()) - 1;
    if (weakest != last) {
      rows_[weakest] = rows_[last];
      movedAt_[weakest] = movedAt_[last];
      slotAt_[rows_[weakest]] = weakest;
    }
    rows_.pop_back();
    movedAt_.pop_back();
  }

 private:
  static constexpr int32_t kNone = -1;
  // An element that needs no point near counts as covered for good, so that
  // no move counts it.
  static constexpr uint32_t kLeftOut = 1u << 30;

  struct Candidate {
    int32_t slot;
    uint32_t to;
  };

  template <typename Visit>
  void ForBall(uint32_t x, Visit&& visit) {
    work_ += space_.ForBall(x, visit);
  }

  // No point placed: every element uncovered but those left out.
  void ResetCover() {
    uncovered_.clear();
    for (uint32_t x = 0; x < space_.size(); ++x) {
      if (space_.Allows(x)) {
        cover_[x] = 0;
        AddUncovered(x);
      } else {
        cover_[x] = kLeftOut;
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
    uncoveredAt_[x] = kNone;
  }

  void Move(int32_t slot, uint32_t to, int64_t step) {
    const uint32_t from = rows_[slot];
    ForBall(from, [&](uint32_t y) {
      if (--cover_[y] == 0) AddUncovered(y);
    });
    ForBall(to, [&](uint32_t y) {
      if (cover_[y]++ == 0) RemoveUncovered(y);
    });
    slotAt_[from] = kNone;
    slotAt_[to] = slot;
    rows_[slot] = to;
    movedAt_[slot] = step;
  }

  Space& space_;
  const TabuRules rules_;
  Random random_;
  std::vector<uint32_t> cover_;  // points within the radius, per element
  std::vector<int64_t> weight_;
  std::vector<uint32_t> stamp_;
  uint32_t stampNow_ = 0;
  std::vector<int32_t> slotAt_;       // the point placed on an element, or kNone
  std::vector<int32_t> uncoveredAt_;  // position in uncovered_, or kNone
  std::vector<uint32_t> uncovered_;
  std::vector<uint32_t> rows_;    // the points placed
  std::vector<int64_t> movedAt_;  // per point: the step it last moved
  std::vector<Candidate> moves_;
  int64_t work_ = 0;
};

}  // namespace spelkub::detail
