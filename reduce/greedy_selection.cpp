#include "reduce/greedy_selection.h"

#include <algorithm>
#include <cstddef>

namespace spelkub::detail {

namespace {

// Candidates between two looks at which way of testing is cheaper, and between
// two progress reports.
constexpr int64_t kChunk = 1024;
constexpr int64_t kProgressGrain = 8 * kChunk;

// Relative costs, measured: one scanned comparison, one row of a ball marked,
// one candidate looked up among the marks.
constexpr double kCompareCost = 1.0;
constexpr double kBallRowCost = 3.0;
constexpr double kLookupCost = 1.0;

constexpr uint8_t kFar = 0xFF;  // no marked kept row within any radius

// Enumerates a ball over the free matches: each row in it exactly once, as
// the centre with the matches from a rising list changed to other signs.
struct Ball {
  int count = 0;                                              // free matches
  std::array<uint8_t, kMaxMatches> alternatives{};            // other signs per free match
  std::array<std::array<ptrdiff_t, 2>, kMaxMatches> delta{};  // index offset per other sign

  // Marks the rows that differ from *row in up to `reach` more free matches,
  // from `first` on; *row itself lies `depth` from the centre.
  void Mark(uint8_t* row, int first, int reach, uint8_t depth) const {
    const uint8_t next = depth + 1;
    for (int j = first; j < count; ++j) {
      for (int a = 0; a < alternatives[j]; ++a) {
        uint8_t* other = row + delta[j][a];
        if (*other > next) *other = next;
        if (reach > 1) Mark(other, j + 1, reach - 1, next);
      }
    }
  }
};

}  // namespace

GreedySelection::GreedySelection(const RowSet& set, bool reversed, ProgressListener* progress,
                                 CoverTest test)
    : set_(set), reversed_(reversed), progress_(progress), test_(test) {
  int64_t stride = 1;
  for (int m = 0; m < set.matches; ++m) {
    if (set.radix[m] > 1) {
      const int j = freeCount_++;
      freeMatch_[j] = m;
      freeStride_[j] = static_cast<int32_t>(stride);
      freeRadix_[j] = set.radix[m];
      for (int d = 0; d < set.radix[m]; ++d)
        digitOf_[j][set.outcomes[m][d]] = static_cast<uint8_t>(d);
    }
    stride *= set.radix[m];
  }
  // Rows at each distance: coefficients of the product of (1 + (radix - 1) x).
  std::array<int64_t, kMaxMatches + 1> atDistance{};
  atDistance[0] = 1;
  for (int j = 0; j < freeCount_; ++j) {
    for (int k = j + 1; k >= 1; --k) atDistance[k] += atDistance[k - 1] * (freeRadix_[j] - 1);
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
  if (marking_) MarkPending(radius);

  PassCounts counts;
  bool stopped = false;
  while (!stopped && examined_ < n) {
    const int64_t end = std::min(n, examined_ + kChunk);
    stopped = marking_ ? MarkChunk(end, radius, stopAt) : ScanChunk(end, radius, stopAt, counts);
    if (!marking_ && test_ == CoverTest::kAuto && MarkingIsCheaper(radius, counts)) {
      StartMarking();
      MarkPending(radius);
    }
    if (progress_ != nullptr && examined_ % kProgressGrain == 0) Report();
    NoteStorage();
  }
  if (progress_ != nullptr) Report();
  return stopped;
}

bool GreedySelection::ScanCovers(PackedRow candidate, int radius, PassCounts& counts) const {
  const PackedRow* kept = keptRows_.data();
  const size_t count = keptRows_.size();
  // Blocks without an early exit inside let the compiler compare several rows at once.
  constexpr size_t kBlock = 16;
  size_t j = 0;
  for (; j + kBlock <= count; j += kBlock) {
    bool covered = false;
    for (size_t b = 0; b < kBlock; ++b)
      covered |= DifferingMatches(candidate, kept[j + b]) <= radius;
    if (covered) {
      counts.comparisons += static_cast<int64_t>(j + kBlock);
      return true;
    }
  }
  for (; j < count; ++j) {
    if (DifferingMatches(candidate, kept[j]) <= radius) {
      counts.comparisons += static_cast<int64_t>(j + 1);
      return true;
    }
  }
  counts.comparisons += static_cast<int64_t>(count);
  return false;
}

bool GreedySelection::ScanChunk(int64_t end, int radius, int64_t stopAt, PassCounts& counts) {
  const PackedRow* rows = set_.rows.data();
  while (examined_ < end) {
    const uint32_t row = RowAt(examined_++);
    if (ScanCovers(rows[row], radius, counts)) continue;
    kept_.push_back(row);
    keptRows_.push_back(rows[row]);
    ++counts.accepted;
    if (static_cast<int64_t>(kept_.size()) == stopAt) return true;
  }
  return false;
}

bool GreedySelection::MarkChunk(int64_t end, int radius, int64_t stopAt) {
  const uint8_t* distance = distance_.data();
  while (examined_ < end) {
    const uint32_t row = RowAt(examined_++);
    if (distance[row] <= radius) continue;
    kept_.push_back(row);
    if (static_cast<int64_t>(kept_.size()) == stopAt) return true;
    MarkBall(row, radius);
    ++marked_;
  }
  return false;
}

bool GreedySelection::MarkingIsCheaper(int radius, const PassCounts& counts) const {
  if (examined_ == 0) return false;
  const double remaining = static_cast<double>(set_.size() - examined_);
  const double perCandidate = 1.0 / static_cast<double>(examined_);
  const double ball =
      radius < 0 ? 0.0 : static_cast<double>(ballSize_[std::min(radius, freeCount_)]);
  const double scan = remaining * static_cast<double>(counts.comparisons) * perCandidate;
  const double toMark = static_cast<double>(kept_.size() - marked_) +
                        remaining * static_cast<double>(counts.accepted) * perCandidate;
  const double mark = toMark * ball * kBallRowCost + remaining * kLookupCost +
                      static_cast<double>(set_.size()) * kLookupCost;
  return mark < scan * kCompareCost;
}

void GreedySelection::StartMarking() {
  distance_.assign(static_cast<size_t>(set_.size()), kFar);
  std::vector<PackedRow>().swap(keptRows_);
  marking_ = true;
}

void GreedySelection::MarkPending(int radius) {
  for (; marked_ < kept_.size(); ++marked_) MarkBall(kept_[marked_], radius);
}

void GreedySelection::MarkBall(uint32_t center, int radius) {
  if (radius < 0) return;
  Ball ball;
  ball.count = freeCount_;
  const PackedRow code = set_.rows[center];
  for (int j = 0; j < freeCount_; ++j) {
    const int digit = digitOf_[j][PackedOutcome(code, freeMatch_[j] + 1)];
    int a = 0;
    for (int d = 0; d < freeRadix_[j]; ++d) {
      if (d != digit) ball.delta[j][a++] = static_cast<ptrdiff_t>(d - digit) * freeStride_[j];
    }
    ball.alternatives[j] = static_cast<uint8_t>(a);
  }
  uint8_t* row = distance_.data() + center;
  *row = 0;
  if (radius > 0) ball.Mark(row, 0, std::min(radius, freeCount_), 0);
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
  const auto bytes =
      static_cast<int64_t>(kept_.capacity() * sizeof(uint32_t) +
                           keptRows_.capacity() * sizeof(PackedRow) + distance_.capacity());
  peakBytes_ = std::max(peakBytes_, bytes);
}

}  // namespace spelkub::detail
