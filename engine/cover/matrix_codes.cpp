#include "cover/matrix_codes.h"

#include <algorithm>
#include <array>

#include "cover/detail/tabu_cover.h"

namespace spelkub::detail {

namespace {

// Syndromes of up to six checks add through one table; longer ones in two halves.
constexpr int kHalfDigits = 6;
constexpr uint32_t kHalfSize = 729;

// Digit-wise sums mod 3 of two numbers of up to six base-3 digits.
const std::vector<uint16_t>& HalfSums() {
  static const std::vector<uint16_t> table = [] {
    std::vector<uint16_t> sums(kHalfSize * kHalfSize);
    for (uint32_t a = 0; a < kHalfSize; ++a) {
      for (uint32_t b = 0; b < kHalfSize; ++b) {
        uint32_t x = a;
        uint32_t y = b;
        uint32_t sum = 0;
        uint32_t place = 1;
        for (int i = 0; i < kHalfDigits; ++i, place *= 3, x /= 3, y /= 3) {
          sum += (x % 3 + y % 3) % 3 * place;
        }
        sums[a * kHalfSize + b] = static_cast<uint16_t>(sum);
      }
    }
    return sums;
  }();
  return table;
}

// The syndromes GF(3)^checks as base-3 numbers.
class Syndromes {
 public:
  explicit Syndromes(int checks)
      : size_(static_cast<uint32_t>(Power(3, checks))), sums_(HalfSums()) {}

  uint32_t size() const { return size_; }
  uint32_t Add(uint32_t x, uint32_t y) const {
    const uint32_t low = sums_[(x % kHalfSize) * kHalfSize + y % kHalfSize];
    const uint32_t high = sums_[(x / kHalfSize) * kHalfSize + y / kHalfSize];
    return low + high * kHalfSize;
  }
  uint32_t Twice(uint32_t x) const { return Add(x, x); }

 private:
  uint32_t size_;
  const std::vector<uint16_t>& sums_;
};

// Every sum of at most `radius` distinct columns, each times 1 or 2.
std::vector<uint32_t> ColumnBall(const Syndromes& space, const std::vector<uint32_t>& columns,
                                 int radius) {
  std::vector<uint8_t> seen(space.size(), 0);
  std::vector<uint32_t> ball{0};
  seen[0] = 1;
  auto from = [&](auto&& self, uint32_t at, size_t first, int left) -> void {
    if (left == 0) return;
    for (size_t j = first; j < columns.size(); ++j) {
      for (uint32_t step : {columns[j], space.Twice(columns[j])}) {
        const uint32_t y = space.Add(at, step);
        if (!seen[y]) {
          seen[y] = 1;
          ball.push_back(y);
        }
        self(self, y, j + 1, left - 1);
      }
    }
  };
  from(from, 0, 0, radius);
  std::sort(ball.begin(), ball.end());
  return ball;
}

std::vector<uint32_t> RandomColumns(int length, int checks, uint64_t seed) {
  const Syndromes space(checks);
  std::vector<uint32_t> columns;
  columns.reserve(static_cast<size_t>(length));
  for (int i = 0; i < checks; ++i) columns.push_back(static_cast<uint32_t>(Power(3, i)));
  Random random(seed);
  // Distinct up to a scalar while the projective points last.
  const bool distinct = (space.size() - 1) / 2 >= static_cast<uint32_t>(length);
  while (static_cast<int>(columns.size()) < length) {
    const uint32_t c = 1 + random.Below(space.size() - 1);
    const bool taken = std::any_of(columns.begin(), columns.end(),
                                   [&](uint32_t d) { return d == c || d == space.Twice(c); });
    if (taken && distinct) continue;
    columns.push_back(c);
  }
  return columns;
}

// The syndromes as the tabu search's space: a syndrome's ball is its
// translates by the column ball, its neighbours those by each column times 1
// and 2.
class SyndromeSpace {
 public:
  SyndromeSpace(const Syndromes& space, std::vector<uint32_t> ball, std::vector<uint32_t> steps)
      : space_(space), ball_(std::move(ball)), steps_(std::move(steps)) {}

  uint32_t size() const { return space_.size(); }
  bool Allows(uint32_t /*x*/) const { return true; }

  template <typename Visit>
  int64_t ForBall(uint32_t x, Visit&& visit) {
    for (uint32_t b : ball_) visit(space_.Add(x, b));
    return static_cast<int64_t>(ball_.size());
  }

  template <typename Visit>
  int64_t ForNeighbours(uint32_t x, Visit&& visit) {
    for (uint32_t s : steps_) visit(space_.Add(x, s));
    return static_cast<int64_t>(steps_.size());
  }

 private:
  const Syndromes& space_;
  const std::vector<uint32_t> ball_;
  const std::vector<uint32_t> steps_;  // every column times 1 and 2
};

constexpr size_t kNotClose = ~size_t{0};

// Few syndromes whose translates of the column ball cover every syndrome: a
// first cover in order, then the tabu search shrinks it while work lasts,
// down to `bound`. The smallest cover seen, ascending; `shortBy` tells how
// close the search came to a cover one syndrome smaller: the fewest syndromes
// it left uncovered then.
std::vector<uint32_t> ShrinkSyndromes(SyndromeSpace& space, uint64_t seed, int64_t work,
                                      int64_t bound, const std::function<bool()>& stopped,
                                      bool* wasStopped, size_t* shortBy, int64_t* workDone) {
  TabuCover<SyndromeSpace> search(space, {.tenure = 3, .sampledMoves = 16, .weighted = true}, seed);
  search.CoverInOrder();
  std::vector<uint32_t> best;
  int64_t progressAt = 0;
  uint64_t restarts = 0;
  const int64_t patience = work / 4;
  *shortBy = kNotClose;
  for (int64_t step = 0;; ++step) {
    if (search.uncovered().empty()) {
      if (best.empty() || search.rows().size() < best.size()) {
        best = search.rows();
        progressAt = search.work();
        *shortBy = kNotClose;
      }
      if (static_cast<int64_t>(search.rows().size()) <= std::max<int64_t>(bound, 1)) break;
      search.DropWeakest();
    } else if (search.work() - progressAt > patience && !best.empty()) {
      const uint64_t salt = 0x9E3779B97F4A7C15ull * ++restarts;
      search.Restart(best, Random(search.random().Next() ^ salt));
      progressAt = search.work();
    } else {
      search.Step(step);
      if (!best.empty() && search.rows().size() < best.size()) {
        *shortBy = std::min<size_t>(*shortBy, search.uncovered().size());
      }
    }
    if (search.work() >= work) break;
    if ((step & 255) == 0 && stopped()) {
      *wasStopped = true;
      break;
    }
  }
  *workDone += search.work();
  std::sort(best.begin(), best.end());
  return best;
}

int64_t Binomial(int n, int k) {
  int64_t value = 1;
  for (int i = 0; i < k; ++i) value = value * (n - i) / (i + 1);
  return value;
}

}  // namespace

BlockCode WordsOf(const MatrixCode& code, const std::string& name) {
  BlockCode block;
  block.name = name;
  block.ternary = code.length;
  block.radius = code.radius;
  const Syndromes space(code.checks);
  std::vector<uint8_t> chosen(space.size(), 0);
  for (uint32_t s : code.syndromes) chosen[s] = 1;
  // Every word with its syndrome kept as it turns, the first coordinate fastest.
  std::vector<uint8_t> word(code.length, 0);
  uint32_t syndrome = 0;
  while (true) {
    if (chosen[syndrome]) block.symbols.insert(block.symbols.end(), word.begin(), word.end());
    int i = 0;
    for (; i < code.length; ++i) {
      syndrome = space.Add(syndrome, code.columns[i]);
      if (++word[i] < 3) break;
      word[i] = 0;  // three steps of a column come back to where they started
    }
    if (i == code.length) break;
  }
  return block;
}

int64_t ColumnBallSize(const MatrixCode& code, int radius) {
  return static_cast<int64_t>(ColumnBall(Syndromes(code.checks), code.columns, radius).size());
}

std::vector<int> ChecksToTry(int length, int radius) {
  int64_t volume = 0;
  for (int i = 0; i <= radius && i <= length; ++i) volume += Binomial(length, i) << i;
  int first = 1;
  while (Power(3, first) < volume) ++first;
  std::vector<int> checks;
  for (int k = std::max(1, first - 1); k <= first + 3 && k < length && k <= kMaxChecks; ++k) {
    checks.push_back(k);
  }
  return checks;
}

namespace {

// The syndromes found for one matrix, and how close the search came to one
// fewer: a cover with fewer syndromes is better, and among equals the one
// whose search left fewer syndromes uncovered a step below.
struct Attempt {
  std::vector<uint32_t> syndromes;
  size_t shortBy = 0;

  bool NoWorseThan(const Attempt& other) const {
    if (syndromes.size() != other.syndromes.size())
      return syndromes.size() < other.syndromes.size();
    return shortBy <= other.shortBy;
  }
};

std::optional<Attempt> SearchSyndromes(const Syndromes& space, const std::vector<uint32_t>& columns,
                                       int radius, int64_t work, uint64_t seed,
                                       const std::function<bool()>& stopped, int64_t* workDone) {
  std::vector<uint32_t> ball = ColumnBall(space, columns, radius);
  if (ball.size() == space.size()) return Attempt{{0}, kNotClose};
  std::vector<uint32_t> steps;
  for (uint32_t c : columns) {
    steps.push_back(c);
    steps.push_back(space.Twice(c));
  }
  std::sort(steps.begin(), steps.end());
  steps.erase(std::unique(steps.begin(), steps.end()), steps.end());
  const int64_t bound = (space.size() + ball.size() - 1) / ball.size();
  SyndromeSpace searched(space, std::move(ball), std::move(steps));
  bool wasStopped = false;
  Attempt attempt;
  attempt.syndromes = ShrinkSyndromes(searched, seed ^ 0xC0DEC0DEull, work, bound, stopped,
                                      &wasStopped, &attempt.shortBy, workDone);
  if (wasStopped || attempt.syndromes.empty()) return std::nullopt;
  return attempt;
}

}  // namespace

std::optional<MatrixCode> SearchMatrixCode(int length, int checks, int radius,
                                           const MatrixBudget& budget, uint64_t seed,
                                           const std::function<bool()>& stopped,
                                           int64_t* workDone) {
  int64_t spent = 0;
  if (workDone != nullptr) *workDone = 0;
  if (checks < 1 || checks > kMaxChecks || checks >= length || radius < 1) return std::nullopt;
  MatrixCode code;
  code.length = length;
  code.checks = checks;
  code.radius = radius;
  code.columns = RandomColumns(length, checks, seed);
  const Syndromes space(checks);
  std::optional<Attempt> best =
      SearchSyndromes(space, code.columns, radius, budget.work, seed, stopped, &spent);
  // The climb: one column other than the unit ones at a time takes a random
  // value, and keeps it when the syndromes come out no worse. Which matrix
  // tiles well matters more than a long search on one.
  Random random(seed ^ 0x636C696D62ull);
  const uint32_t free = static_cast<uint32_t>(length - checks);
  for (int climb = 0; best && climb < budget.climbs; ++climb) {
    const size_t column = static_cast<size_t>(checks) + random.Below(free);
    const uint32_t before = code.columns[column];
    code.columns[column] = 1 + random.Below(space.size() - 1);
    const std::optional<Attempt> attempt = SearchSyndromes(
        space, code.columns, radius, budget.work,
        seed + 0x9E3779B97F4A7C15ull * static_cast<uint64_t>(climb + 1), stopped, &spent);
    if (!attempt && stopped()) {
      best.reset();
      break;
    }
    if (attempt && attempt->NoWorseThan(*best)) {
      best = attempt;
    } else {
      code.columns[column] = before;
    }
  }
  if (workDone != nullptr) *workDone = spent;
  if (!best) return std::nullopt;
  code.syndromes = std::move(best->syndromes);
  return code;
}

}  // namespace spelkub::detail
