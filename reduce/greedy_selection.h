// The greedy selection pass over a row set, shared by both reductions.
//
// A candidate is rejected when an accepted row shares at least `threshold`
// signs with it, that is when the two rows differ in at most
// radius = matches - threshold matches. Two ways answer that question:
//  - scan: compare the candidate with every accepted row (cheap while few are
//    accepted);
//  - mark: when a row is accepted, record in a byte per row the distance to it
//    of every row within the radius (its ball, enumerated over the marked
//    signs and indexed by odometer position); a candidate is then covered iff
//    its recorded distance is within the radius. Cost: ball size per accepted
//    row, independent of how many are accepted.
// The distances stay valid for later passes, whose radius is smaller.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "reduce/reduction.h"

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
  GreedySelection(const RowSet& set, bool reversed, ProgressListener* progress, CoverTest test);

  // One pass over every candidate with this threshold, extending the kept
  // rows. When stopAt > 0 the pass ends right after the acceptance that brings
  // the kept rows to stopAt; returns whether it ended that way.
  bool ReductionPass(int threshold, int64_t stopAt = 0);

  const std::vector<uint32_t>& kept() const { return kept_; }
  std::vector<uint32_t> TakeKept() { return std::move(kept_); }
  int64_t examinedInLastPass() const { return examined_; }
  // Whether accepted rows are being marked (the choice never goes back).
  bool marking() const { return marking_; }
  // The largest working storage held so far, in bytes (kept rows included).
  int64_t peakBytes() const { return peakBytes_; }

 private:
  struct PassCounts {
    int64_t comparisons = 0;  // scan: accepted rows looked at
    int64_t accepted = 0;
  };

  uint32_t RowAt(int64_t position) const {
    return static_cast<uint32_t>(reversed_ ? set_.size() - 1 - position : position);
  }
  bool ScanCovers(PackedRow candidate, int radius, PassCounts& counts) const;
  bool ScanChunk(int64_t end, int radius, int64_t stopAt, PassCounts& counts);
  bool MarkChunk(int64_t end, int radius, int64_t stopAt);
  bool MarkingIsCheaper(int radius, const PassCounts& counts) const;
  void StartMarking();
  void MarkPending(int radius);
  void MarkBall(uint32_t center, int radius);
  void Report();
  void NoteStorage();

  const RowSet& set_;
  const bool reversed_;
  ProgressListener* const progress_;
  const CoverTest test_;

  // Matches with more than one marked sign: only they tell rows apart.
  int freeCount_ = 0;
  std::array<int, kMaxMatches> freeMatch_{};       // match index (0-based)
  std::array<int32_t, kMaxMatches> freeStride_{};  // odometer weight of the match
  std::array<uint8_t, kMaxMatches> freeRadix_{};
  // Digit of each outcome in the match's marked signs, per free match.
  std::array<std::array<uint8_t, 4>, kMaxMatches> digitOf_{};
  // Rows within each distance of a row: ball size by radius.
  std::array<int64_t, kMaxMatches + 1> ballSize_{};

  std::vector<uint32_t> kept_;
  std::vector<PackedRow> keptRows_;  // scan only: the kept rows' codes, in order
  std::vector<uint8_t> distance_;    // mark only: least distance to a marked kept row
  size_t marked_ = 0;                // kept rows whose balls are in distance_
  bool marking_ = false;
  int64_t examined_ = 0;
  int64_t reportedAccepted_ = -1;
  int64_t peakBytes_ = 0;
};

}  // namespace spelkub::detail
