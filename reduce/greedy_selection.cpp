#include "reduce/greedy_selection.h"

#include <algorithm>
#include <cstddef>

namespace spelkub::detail {

namespace {

// Candidates between two looks at which way of testing is cheaper, and between
// two progress reports.
constexpr int64_t kChunk = 1024;
constexpr int64_t kProgressGrain = 8 * kChunk;

// Relative costs, measured (about 2 ns each): one scanned comparison, one row
// of a ball marked, one candidate looked up among the marks.
constexpr double kCompareCost = 1.0;
constexpr double kBallRowCost = 1.0;
constexpr double kLookupCost = 1.0;
// A pass that marks sets each row about this many times at most (balls overlap).
constexpr double kMarksPerRow = 12.0;

// A ball over the free matches, entered with every row in it exactly once, as
// the centre with the matches of a falling list changed to other signs. The
// innermost loops change the matches of smallest stride, so neighbouring
// marks fall into the same word.
struct Ball {
  std::array<const int32_t*, kMaxMatches> offset{};  // to the centre's other signs
  std::array<uint8_t, kMaxMatches> alternatives{};

  // Marks the rows that differ from `row` in up to `reach` more free matches,
  // taken from below `below`.
  void Mark(uint64_t* bits, int64_t row, int below, int reach) const {
    for (int j = below - 1; j >= 0; --j) {
      for (int a = 0; a < alternatives[j]; ++a) {
        const int64_t other = row + offset[j][a];
        bits[other >> 6] |= uint64_t{1} << (other & 63);
        if (reach > 1 && j > 0) Mark(bits, other, j, reach - 1);
      }
    }
  }
};

}  // namespace

GreedySelection::GreedySelection(const RowSet& set, bool reversed, ProgressListener* progress,
                                 CoverTest test)
    : set_(set), reversed_(reversed), progress_(progress), test_(test) {
  int64_t stride = 1;
  std::array<int, kMaxMatches> freeRadix{};
  for (int m = 0; m < set.matches; ++m) {
    if (set.radix[m] > 1) {
      const int j = freeCount_++;
      freeShift_[j] = 2 * m;
      freeRadix[j] = set.radix[m];
      for (int d = 0; d < set.radix[m]; ++d) {
        Changes& changes = changes_[j][set.outcomes[m][d]];
        for (int other = 0; other < set.radix[m]; ++other) {
          if (other != d)
            changes.offset[changes.count++] = static_cast<int32_t>((other - d) * stride);
        }
      }
    }
    stride *= set.radix[m];
  }
  // Rows at each distance: coefficients of the product of (1 + (radix - 1) x).
  std::array<int64_t, kMaxMatches + 1> atDistance{};
  atDistance[0] = 1;
  for (int j = 0; j < freeCount_; ++j) {
    for (int k = j + 1; k >= 1; --k) atDistance[k] += atDistance[k - 1] * (freeRadix[j] - 1);
  }
  int64_t total = 0;
  for (int r = 0; r <= kMaxMatches; ++r) ballSize_[r] = total += atDistance[r];
  if (test_ == CoverTest::kMarkNeighbourhood) StartMarking();
}

bool GreedySelection::ReductionPass(int threshold, int64_t stopAt) {
  if (progress_ != nullptr) progress_->PassStarted(threshold);
  const int radius = set_.matches - threshold;
  const int64_t n = set_.size();
  examined_ = 0;
  keptAtPassStart_ = kept_.size();
  if (marking_) RemarkAll(radius);

  bool stopped = false;
  while (!stopped && examined_ < n) {
    const int64_t end = std::min(n, examined_ + kChunk);
    ChunkCounts counts;
    stopped = marking_ ? MarkChunk(end, radius, stopAt) : ScanChunk(end, radius, stopAt, counts);
    if (!marking_ && test_ == CoverTest::kAuto && MarkingIsCheaper(radius, counts)) {
      StartMarking();
      RemarkAll(radius);
    }
    if (progress_ != nullptr && examined_ % kProgressGrain == 0) Report();
    NoteStorage();
  }
  if (progress_ != nullptr) Report();
  return stopped;
}

bool GreedySelection::ScanCovers(PackedRow candidate, int radius, ChunkCounts& counts) const {
  const PackedRow* kept = keptRows_.data();
  const size_t count = keptRows_.size();
  for (size_t j = 0; j < count; ++j) {
    if (DifferingMatches(candidate, kept[j]) <= radius) {
      counts.comparisons += static_cast<int64_t>(j + 1);
      return true;
    }
  }
  counts.comparisons += static_cast<int64_t>(count);
  return false;
}

bool GreedySelection::ScanChunk(int64_t end, int radius, int64_t stopAt, ChunkCounts& counts) {
  const PackedRow* rows = set_.rows.data();
  while (examined_ < end) {
    const uint32_t row = RowAt(examined_++);
    ++counts.candidates;
    if (ScanCovers(rows[row], radius, counts)) continue;
    kept_.push_back(row);
    keptRows_.push_back(rows[row]);
    if (static_cast<int64_t>(kept_.size()) == stopAt) return true;
  }
  return false;
}

bool GreedySelection::MarkChunk(int64_t end, int radius, int64_t stopAt) {
  const uint64_t* bits = covered_.data();
  while (examined_ < end) {
    const uint32_t row = RowAt(examined_++);
    if ((bits[row >> 6] >> (row & 63)) & 1u) continue;
    kept_.push_back(row);
    if (static_cast<int64_t>(kept_.size()) == stopAt) return true;
    MarkBall(row, radius);
  }
  return false;
}

// The scan costs what its last chunk cost per candidate (that only grows as
// rows are kept). Marking costs the balls of the rows kept so far, and for the
// rest of the pass the balls of the rows still to be accepted at the pass's
// rate so far, which overlap to kMarksPerRow marks per row at most.
bool GreedySelection::MarkingIsCheaper(int radius, const ChunkCounts& counts) const {
  if (counts.candidates == 0) return false;
  const double remaining = static_cast<double>(set_.size() - examined_);
  const double ball =
      radius < 0 ? 0.0 : static_cast<double>(ballSize_[std::min(radius, freeCount_)]);
  const double scan =
      remaining * static_cast<double>(counts.comparisons) / static_cast<double>(counts.candidates);
  const double pending = static_cast<double>(kept_.size()) * ball;
  const double rate =
      static_cast<double>(kept_.size() - keptAtPassStart_) / static_cast<double>(examined_);
  const double ahead = std::min(remaining * rate * ball, remaining * kMarksPerRow);
  const double mark = (pending + ahead) * kBallRowCost + remaining * kLookupCost;
  return mark < scan * kCompareCost;
}

void GreedySelection::StartMarking() {
  covered_.resize(static_cast<size_t>((set_.size() + 63) / 64));
  std::vector<PackedRow>().swap(keptRows_);
  marking_ = true;
}

void GreedySelection::RemarkAll(int radius) {
  std::fill(covered_.begin(), covered_.end(), 0);
  for (uint32_t row : kept_) MarkBall(row, radius);
}

void GreedySelection::MarkBall(uint32_t center, int radius) {
  if (radius < 0) return;
  uint64_t* bits = covered_.data();
  bits[center >> 6] |= uint64_t{1} << (center & 63);
  if (radius == 0 || freeCount_ == 0) return;
  Ball ball;
  const PackedRow code = set_.rows[center];
  for (int j = 0; j < freeCount_; ++j) {
    const Changes& changes = changes_[j][(code >> freeShift_[j]) & 3u];
    ball.offset[j] = changes.offset.data();
    ball.alternatives[j] = changes.count;
  }
  ball.Mark(bits, center, freeCount_, std::min(radius, freeCount_));
}

void GreedySelection::Report() {
  progress_->CandidatesExamined(examined_);
  const auto accepted = static_cast<int64_t>(kept_.size());
  if (accepted != reportedAccepted_) {
    progress_->RowsAccepted(accepted);
    reportedAccepted_ = accepted;
  }
}

void GreedySelection::NoteStorage() {
  const auto bytes = static_cast<int64_t>(kept_.capacity() * sizeof(uint32_t) +
                                          keptRows_.capacity() * sizeof(PackedRow) +
                                          covered_.capacity() * sizeof(uint64_t));
  peakBytes_ = std::max(peakBytes_, bytes);
}

}  // namespace spelkub::detail
