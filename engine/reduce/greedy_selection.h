// The greedy selection pass over a row set, shared by both reductions.
//
// A candidate is rejected when an accepted row shares at least `threshold`
// signs with it, that is when the two rows differ in at most
// radius = matches - threshold matches. Two ways answer that question:
//  - scan: compare the candidate with every accepted row (cheap while few are
//    accepted);
//  - mark: when a row is accepted, set a bit for every row within the radius
//    (its ball, enumerated over the marked signs and indexed by odometer
//    position); a candidate is covered iff its bit is set. Cost: the ball's
//    size per accepted row, however many are accepted. A later pass has a
//    smaller radius and marks the balls of the rows kept so far afresh.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "reduce/detail/reduction_detail.h"

namespace spelkub::detail {

// Number of matches in which two packed rows differ.
inline int DifferingMatches(PackedRow a, PackedRow b) {
  uint32_t x = a ^ b;
  x = (x | (x >> 1)) & 0x05555555u;  // one bit per differing match
  x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
  x = (x + (x >> 4)) & 0x0F0F0F0Fu;
  x += x >> 8;
  x += x >> 16;
  return static_cast<int>(x & 0x3Fu);
}

class GreedySelection {
 public:
  // `work` may stop a pass, and hears the fraction of it done and its stages
  // as the window shows them.
  // With a filtered system (`set` then holds its shape's every row), only its
  // allowed rows are candidates, and only they need to be within reach.
  GreedySelection(const RowSet& set, bool reversed, CoverTest test, Work work = {},
                  const System* system = nullptr);

  // One pass over every candidate with this threshold, extending the kept
  // rows. When stopAt > 0 the pass ends right after the acceptance that brings
  // the kept rows to stopAt; returns whether it ended that way. A stop ends it
  // within a chunk of candidates, and the selection is of no use after it.
  bool ReductionPass(int threshold, int64_t stopAt = 0);
  bool stopped() const { return stopped_; }

  const std::vector<uint32_t>& kept() const { return kept_; }
  std::vector<uint32_t> TakeKept() { return std::move(kept_); }
  int64_t examinedInLastPass() const { return examined_; }
  // Whether accepted rows are being marked (the choice never goes back).
  bool marking() const { return marking_; }

 private:
  // What the scan met in the last chunk of candidates, to weigh it against marking.
  struct ChunkCounts {
    int64_t candidates = 0;
    int64_t comparisons = 0;  // kept rows looked at
  };

  uint32_t RowAt(int64_t position) const {
    return static_cast<uint32_t>(reversed_ ? set_.size() - 1 - position : position);
  }
  bool ScanCovers(PackedRow candidate, int radius, ChunkCounts& counts) const;
  bool ScanChunk(int64_t end, int radius, int64_t stopAt, ChunkCounts& counts);
  bool MarkChunk(int64_t end, int radius, int64_t stopAt);
  bool MarkingIsCheaper(int radius, const ChunkCounts& counts) const;
  void StartMarking();
  void RemarkAll(int radius);
  void MarkBall(uint32_t center, int64_t block, int low, int radius);
  void Report();

  const RowSet& set_;
  const bool reversed_;
  const CoverTest test_;
  const Work work_;
  bool stopped_ = false;

  // Free matches (more than one marked sign) tell rows apart; the index of a
  // row is the odometer number of their digits. The first lowCount_ of them
  // span blocks of blockSize_ <= 64 consecutive rows, one word of marks each;
  // a block's part of a ball is one precomputed mask, the other free matches
  // are enumerated.
  int freeCount_ = 0;
  int lowCount_ = 0;
  int64_t blockSize_ = 1;
  std::array<int, kMaxMatches> freeShift_{};  // bit position in a packed row
  // A high free match changed in a row: offsets, in blocks, to the rows with
  // its other marked signs, by the row's own outcome.
  struct Changes {
    uint8_t count = 0;
    std::array<int32_t, 2> offset{};
  };
  std::array<std::array<Changes, 4>, kMaxMatches> changes_{};
  // lowMask_[position * (lowCount_ + 1) + reach]: the positions of a block
  // within `reach` low matches of that position.
  std::vector<uint64_t> lowMask_;
  // By radius: rows of a ball, and blocks that marking it sets.
  std::array<int64_t, kMaxMatches + 1> ballSize_{};
  std::array<int64_t, kMaxMatches + 1> ballBlocks_{};

  std::vector<uint32_t> kept_;
  std::vector<PackedRow> keptRows_;  // scan only: the kept rows' codes, in order
  // A filtered system: its bitmap by row index, and per block the rows it
  // leaves out, which marking counts as covered from the start.
  const std::vector<uint64_t>* allowed_ = nullptr;
  std::vector<uint64_t> disallowed_;
  std::vector<uint64_t> covered_;  // mark only: per block, a bit per row within reach of a kept row
  bool marking_ = false;
  int64_t examined_ = 0;
  size_t keptAtPassStart_ = 0;
  int64_t reportedAccepted_ = -1;
};

}  // namespace spelkub::detail
