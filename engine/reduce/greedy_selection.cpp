#include "reduce/greedy_selection.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <utility>

namespace spelkub::detail {

namespace {

// Candidates between two looks at which way of testing is cheaper, and between
// two progress reports.
constexpr int64_t kChunk = 1024;
constexpr int64_t kProgressGrain = 8 * kChunk;

// Relative costs, measured: a scanned candidate and each of its comparisons;
// one block of a ball marked; a marked candidate looked up (covered runs are
// passed over a block at a time).
constexpr double kCandidateCost = 0.5;
constexpr double kCompareCost = 1.0;
constexpr double kBlockCost = 1.0;
constexpr double kLookupCost = 0.05;
// A pass that marks sets each row about this many times at most (balls overlap).
constexpr double kMarksPerRow = 12.0;

// Rows at each distance from a row, over free matches of these radices: the
// coefficients of the product of (1 + (radix - 1) x), summed up to each radius.
std::array<int64_t, kMaxMatches + 1> BallSizes(const int* radix, int count) {
  std::array<int64_t, kMaxMatches + 1> atDistance{};
  atDistance[0] = 1;
  for (int j = 0; j < count; ++j) {
    for (int k = j + 1; k >= 1; --k) atDistance[k] += atDistance[k - 1] * (radix[j] - 1);
  }
  std::array<int64_t, kMaxMatches + 1> sizes{};
  int64_t total = 0;
  for (int r = 0; r <= kMaxMatches; ++r) sizes[r] = total += atDistance[r];
  return sizes;
}

// A ball marked block by block: the high free matches are enumerated, each
// block of the ball met exactly once (as the centre's block with the matches
// of a rising list changed to other signs), and each gets the mask of the low
// positions still within reach.
struct Ball {
  uint64_t* blocks;
  const uint64_t* masks;  // the centre's low position's row of lowMask_
  int lowCount;
  // The centre's neighbours by one high free match, match by match: block
  // offset, and how many entries come before that match's (the matches that
  // may still change after it).
  int count = 0;
  std::array<int32_t, 2 * kMaxMatches> offset{};
  std::array<int32_t, 2 * kMaxMatches> before{};

  // Marks the blocks that differ from `block` in up to `reach` more high free
  // matches, taken from the first `entries` neighbours; `reach` is what may
  // still be spent there.
  void Mark(int64_t block, int entries, int reach) const {
    const uint64_t mask = masks[std::min(reach - 1, lowCount)];
    if (reach == 1) {
      for (int i = 0; i < entries; ++i) blocks[block + offset[i]] |= mask;
      return;
    }
    for (int i = 0; i < entries; ++i) {
      const int64_t other = block + offset[i];
      blocks[other] |= mask;
      Mark(other, before[i], reach - 1);
    }
  }
};

}  // namespace

GreedySelection::GreedySelection(const RowSet& set, bool reversed, CoverTest test, Work work,
                                 const System* system)
    : set_(set), reversed_(reversed), test_(test), work_(std::move(work)) {
  std::array<int, kMaxMatches> radix{};
  std::array<int64_t, kMaxMatches> stride{};
  int64_t rows = 1;
  for (int m = 0; m < set.matches; ++m) {
    if (set.radix[m] < 2) continue;
    const int j = freeCount_++;
    freeShift_[j] = 2 * m;
    radix[j] = set.radix[m];
    stride[j] = rows;
    rows *= set.radix[m];
    if (lowCount_ == j && blockSize_ * radix[j] <= 64) {
      lowCount_ = j + 1;
      blockSize_ *= radix[j];
    }
  }
  for (int j = lowCount_; j < freeCount_; ++j) {
    for (int d = 0; d < radix[j]; ++d) {
      Changes& changes = changes_[j][set.outcomes[freeShift_[j] / 2][d]];
      for (int other = 0; other < radix[j]; ++other) {
        if (other == d) continue;
        changes.offset[changes.count++] =
            static_cast<int32_t>((other - d) * stride[j] / blockSize_);
      }
    }
  }
  const int reaches = lowCount_ + 1;
  lowMask_.assign(static_cast<size_t>(blockSize_ * reaches), 0);
  for (int64_t centre = 0; centre < blockSize_; ++centre) {
    for (int64_t position = 0; position < blockSize_; ++position) {
      int distance = 0;
      for (int j = 0; j < lowCount_; ++j) {
        distance += (centre / stride[j]) % radix[j] != (position / stride[j]) % radix[j];
      }
      for (int reach = distance; reach <= lowCount_; ++reach) {
        lowMask_[static_cast<size_t>(centre * reaches + reach)] |= uint64_t{1} << position;
      }
    }
  }
  if (system != nullptr && system->filtered()) {
    // The bitmap's bits of each block, read across word boundaries.
    allowed_ = &system->allowed();
    const std::vector<uint64_t>& bits = *allowed_;
    const uint64_t all = blockSize_ == 64 ? ~uint64_t{0} : (uint64_t{1} << blockSize_) - 1;
    disallowed_.resize(static_cast<size_t>(set.size() / blockSize_));
    for (size_t block = 0; block < disallowed_.size(); ++block) {
      const auto first = static_cast<int64_t>(block) * blockSize_;
      const auto word = static_cast<size_t>(first >> 6);
      const int shift = static_cast<int>(first & 63);
      uint64_t open = bits[word] >> shift;
      if (shift != 0 && word + 1 < bits.size()) open |= bits[word + 1] << (64 - shift);
      disallowed_[block] = ~open & all;
    }
  }
  ballSize_ = BallSizes(radix.data(), freeCount_);
  ballBlocks_ = BallSizes(radix.data() + lowCount_, freeCount_ - lowCount_);
  if (test_ == CoverTest::kMarkNeighbourhood) StartMarking();
}

bool GreedySelection::ReductionPass(int threshold, int64_t stopAt) {
  work_.PassStarted(threshold);
  const int radius = set_.matches - threshold;
  const int64_t n = set_.size();
  examined_ = 0;
  keptAtPassStart_ = kept_.size();
  if (marking_) RemarkAll(radius);

  bool reached = false;
  while (!reached && examined_ < n) {
    if (work_.Stopped()) {
      stopped_ = true;
      return false;
    }
    const int64_t end = std::min(n, examined_ + kChunk);
    ChunkCounts counts;
    reached = marking_ ? MarkChunk(end, radius, stopAt) : ScanChunk(end, radius, stopAt, counts);
    if (!reached && !marking_ && test_ == CoverTest::kAuto && MarkingIsCheaper(radius, counts)) {
      StartMarking();
      RemarkAll(radius);
    }
    if (examined_ % kProgressGrain == 0) Report();
  }
  Report();
  return reached;
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
    if (allowed_ != nullptr && (((*allowed_)[row >> 6] >> (row & 63)) & 1u) == 0) continue;
    ++counts.candidates;
    if (ScanCovers(rows[row], radius, counts)) continue;
    kept_.push_back(row);
    keptRows_.push_back(rows[row]);
    if (static_cast<int64_t>(kept_.size()) == stopAt) return true;
  }
  return false;
}

bool GreedySelection::MarkChunk(int64_t end, int radius, int64_t stopAt) {
  const uint64_t* blocks = covered_.data();
  const uint64_t all = blockSize_ == 64 ? ~uint64_t{0} : (uint64_t{1} << blockSize_) - 1;
  const int size = static_cast<int>(blockSize_);
  // The candidate as block and position in it, stepped along in candidate order.
  const int64_t first = RowAt(examined_);
  int64_t block = first / blockSize_;
  int bit = static_cast<int>(first % blockSize_);
  while (examined_ < end) {
    // Covered candidates are passed over a block at a time: `ahead` holds the
    // block's positions from the candidate on, in candidate order, set where
    // uncovered; `room` counts them.
    const uint64_t open = ~blocks[block] & all;
    const uint64_t ahead = reversed_ ? open << (63 - bit) : open >> bit;
    const int room = reversed_ ? bit + 1 : size - bit;
    const int skip =
        ahead == 0 ? room : (reversed_ ? std::countl_zero(ahead) : std::countr_zero(ahead));
    if (examined_ + skip >= end) {
      examined_ = end;
      break;
    }
    examined_ += skip;
    if (skip == room) {
      block += reversed_ ? -1 : 1;
      bit = reversed_ ? size - 1 : 0;
      continue;
    }
    bit += reversed_ ? -skip : skip;
    const auto row = static_cast<uint32_t>(block * blockSize_ + bit);
    ++examined_;
    kept_.push_back(row);
    if (static_cast<int64_t>(kept_.size()) == stopAt) return true;
    MarkBall(row, block, bit, radius);
    // Step past the accepted candidate.
    bit += reversed_ ? -1 : 1;
    if (bit < 0 || bit == size) {
      block += reversed_ ? -1 : 1;
      bit = reversed_ ? size - 1 : 0;
    }
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
  const int reach = std::clamp(radius, 0, freeCount_);
  const double rows = radius < 0 ? 0.0 : static_cast<double>(ballSize_[reach]);
  const double blocks = radius < 0 ? 0.0 : static_cast<double>(ballBlocks_[reach]);
  const double perCandidate =
      static_cast<double>(counts.comparisons) / static_cast<double>(counts.candidates);
  const double scan = remaining * (kCandidateCost + kCompareCost * perCandidate);
  const double pending = static_cast<double>(kept_.size()) * blocks;
  const double rate =
      static_cast<double>(kept_.size() - keptAtPassStart_) / static_cast<double>(examined_);
  const double ahead =
      std::min(remaining * rate, remaining * kMarksPerRow / std::max(rows, 1.0)) * blocks;
  const double mark = (pending + ahead) * kBlockCost + remaining * kLookupCost;
  return mark < scan;
}

void GreedySelection::StartMarking() {
  covered_.resize(static_cast<size_t>(set_.size() / blockSize_));
  std::vector<PackedRow>().swap(keptRows_);
  marking_ = true;
}

void GreedySelection::RemarkAll(int radius) {
  if (allowed_ != nullptr) {
    std::copy(disallowed_.begin(), disallowed_.end(), covered_.begin());
  } else {
    std::fill(covered_.begin(), covered_.end(), 0);
  }
  for (uint32_t row : kept_) {
    MarkBall(row, row / blockSize_, static_cast<int>(row % blockSize_), radius);
  }
}

void GreedySelection::MarkBall(uint32_t center, int64_t block, int low, int radius) {
  if (radius < 0) return;
  const uint64_t* masks = lowMask_.data() + low * (lowCount_ + 1);
  const int reach = std::min(radius, freeCount_);
  covered_[block] |= masks[std::min(reach, lowCount_)];
  if (reach == 0 || lowCount_ == freeCount_) return;
  const PackedRow code = set_.rows[center];
  if (reach == 1) {  // the neighbour blocks get the centre's position alone
    for (int j = lowCount_; j < freeCount_; ++j) {
      const Changes& changes = changes_[j][(code >> freeShift_[j]) & 3u];
      for (int a = 0; a < changes.count; ++a) covered_[block + changes.offset[a]] |= masks[0];
    }
    return;
  }
  Ball ball{covered_.data(), masks, lowCount_};
  for (int j = lowCount_; j < freeCount_; ++j) {
    const Changes& changes = changes_[j][(code >> freeShift_[j]) & 3u];
    const int before = ball.count;
    for (int a = 0; a < changes.count; ++a) {
      ball.offset[ball.count] = changes.offset[a];
      ball.before[ball.count++] = before;
    }
  }
  ball.Mark(block, ball.count, reach);
}

void GreedySelection::Report() {
  if (set_.size() > 0) {
    work_.Fraction(static_cast<double>(examined_) / static_cast<double>(set_.size()));
  }
  if (work_.progress == nullptr) return;
  work_.CandidatesExamined(examined_);
  const auto accepted = static_cast<int64_t>(kept_.size());
  if (accepted != reportedAccepted_) {
    work_.RowsAccepted(accepted);
    reportedAccepted_ = accepted;
  }
}

}  // namespace spelkub::detail
