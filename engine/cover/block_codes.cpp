#include "cover/block_codes.h"

#include <algorithm>

namespace spelkub::detail {

namespace {

int Digit(uint32_t value, int position, int base) {
  for (int i = 0; i < position; ++i) value /= base;
  return static_cast<int>(value % base);
}

// Syndromes as base-q numbers with their digits at hand, and the generators
// (every column times every nonzero scalar) of the search for the covering
// radius.
class SyndromeSpace {
 public:
  explicit SyndromeSpace(const LinearCode& code)
      : base_(code.ternary ? 3 : 2), checks_(code.checks), size_(Power(base_, checks_)) {
    digits_.resize(static_cast<size_t>(size_) * checks_);
    for (int s = 0; s < size_; ++s) {
      for (int i = 0; i < checks_; ++i)
        digits_[s * checks_ + i] = static_cast<uint8_t>(Digit(s, i, base_));
    }
    for (uint32_t column : code.columns) {
      for (int scalar = 1; scalar < base_; ++scalar) {
        std::vector<uint8_t> g(checks_);
        for (int i = 0; i < checks_; ++i)
          g[i] = static_cast<uint8_t>(Digit(column, i, base_) * scalar % base_);
        generators_.push_back(std::move(g));
      }
    }
  }

  // Per syndrome the fewest generators summing to it, up to `limit`; limit + 1
  // for the rest.
  std::vector<uint8_t> Distances(int limit) const {
    std::vector<uint8_t> distance(size_, static_cast<uint8_t>(limit + 1));
    std::vector<int> frontier{0};
    distance[0] = 0;
    for (int level = 1; level <= limit && !frontier.empty(); ++level) {
      std::vector<int> next;
      for (int s : frontier) {
        const uint8_t* d = &digits_[s * checks_];
        for (const std::vector<uint8_t>& g : generators_) {
          int t = 0;
          int place = 1;
          for (int i = 0; i < checks_; ++i, place *= base_) t += (d[i] + g[i]) % base_ * place;
          if (distance[t] > level) {
            distance[t] = static_cast<uint8_t>(level);
            next.push_back(t);
          }
        }
      }
      frontier.swap(next);
    }
    return distance;
  }

 private:
  int base_;
  int checks_;
  int size_;
  std::vector<uint8_t> digits_;
  std::vector<std::vector<uint8_t>> generators_;
};

}  // namespace

BlockCode FullSpace(int ternary, int binary) {
  BlockCode code;
  code.name = "full" + std::to_string(ternary + binary);
  code.ternary = ternary;
  code.binary = binary;
  const int n = ternary + binary;
  std::vector<uint8_t> word(n, 0);
  while (true) {
    code.symbols.insert(code.symbols.end(), word.begin(), word.end());
    int i = 0;
    while (i < n && ++word[i] == (i < ternary ? 3 : 2)) word[i++] = 0;
    if (i == n) break;
  }
  return code;
}

BlockCode OneWord(int ternary, int binary) {
  BlockCode code;
  code.name = "one row";
  code.ternary = ternary;
  code.binary = binary;
  code.radius = ternary + binary;
  code.symbols.assign(ternary + binary, 0);
  return code;
}

BlockCode RepetitionCode(int length, bool ternary) {
  BlockCode code;
  const int alphabet = ternary ? 3 : 2;
  code.name = (ternary ? "repetition3x" : "repetition2x") + std::to_string(length);
  (ternary ? code.ternary : code.binary) = length;
  code.radius = length - (length + alphabet - 1) / alphabet;
  for (int symbol = 0; symbol < alphabet; ++symbol)
    code.symbols.insert(code.symbols.end(), length, symbol);
  return code;
}

BlockCode WordsOf(const LinearCode& code, const std::string& name) {
  const int q = code.ternary ? 3 : 2;
  const int n = code.length;
  // Row-reduce the parity-check matrix; the words are then free in the
  // non-pivot coordinates, each pivot coordinate following from them.
  std::vector<std::vector<int>> h(code.checks, std::vector<int>(n));
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < code.checks; ++i) h[i][j] = Digit(code.columns[j], i, q);
  }
  std::vector<int> pivotColumn;
  int row = 0;
  for (int col = 0; col < n && row < code.checks; ++col) {
    int found = row;
    while (found < code.checks && h[found][col] == 0) ++found;
    if (found == code.checks) continue;
    std::swap(h[row], h[found]);
    const int inverse = h[row][col];  // 1 and 2 are their own inverses mod 3
    for (int& v : h[row]) v = v * inverse % q;
    for (int other = 0; other < code.checks; ++other) {
      if (other == row || h[other][col] == 0) continue;
      const int factor = h[other][col];
      for (int j = 0; j < n; ++j) h[other][j] = ((h[other][j] - factor * h[row][j]) % q + q) % q;
    }
    pivotColumn.push_back(col);
    ++row;
  }
  std::vector<bool> isPivot(n, false);
  for (int col : pivotColumn) isPivot[col] = true;
  std::vector<int> freeColumns;
  for (int col = 0; col < n; ++col) {
    if (!isPivot[col]) freeColumns.push_back(col);
  }

  BlockCode block;
  block.name = name;
  (code.ternary ? block.ternary : block.binary) = n;
  std::vector<uint8_t> word(n, 0);
  std::vector<int> free(freeColumns.size(), 0);
  while (true) {
    for (size_t f = 0; f < freeColumns.size(); ++f)
      word[freeColumns[f]] = static_cast<uint8_t>(free[f]);
    for (size_t p = 0; p < pivotColumn.size(); ++p) {
      int sum = 0;
      for (size_t f = 0; f < freeColumns.size(); ++f) sum += h[p][freeColumns[f]] * free[f];
      word[pivotColumn[p]] = static_cast<uint8_t>((q - sum % q) % q);
    }
    block.symbols.insert(block.symbols.end(), word.begin(), word.end());
    size_t f = 0;
    while (f < free.size() && ++free[f] == q) free[f++] = 0;
    if (f == free.size()) break;
  }
  block.radius = LinearCoveringRadius(code);
  return block;
}

int LinearCoveringRadius(const LinearCode& code) {
  const std::vector<uint8_t> distance = SyndromeSpace(code).Distances(code.length);
  return *std::max_element(distance.begin(), distance.end());
}

LinearCode TernaryHamming(int checks) {
  // One column per point of the projective space: first nonzero digit 1.
  LinearCode code;
  code.checks = checks;
  const auto size = static_cast<int>(Power(3, checks));
  for (int v = 1; v < size; ++v) {
    int lowest = 0;
    while (Digit(v, lowest, 3) == 0) ++lowest;
    if (Digit(v, lowest, 3) == 1) code.columns.push_back(static_cast<uint32_t>(v));
  }
  code.length = static_cast<int>(code.columns.size());
  return code;
}

LinearCode BinaryHamming(int checks) {
  LinearCode code;
  code.checks = checks;
  code.ternary = false;
  for (uint32_t v = 1; v < (1u << checks); ++v) code.columns.push_back(v);
  code.length = static_cast<int>(code.columns.size());
  return code;
}

BlockCode TernaryGolay() {
  // x^11 - 1 over GF(3), lowest coefficient first.
  std::vector<int> target(12, 0);
  target[0] = 2;
  target[11] = 1;
  for (int lower = 0; lower < Power(3, 5); ++lower) {
    std::vector<int> g(6);
    for (int i = 0; i < 5; ++i) g[i] = Digit(lower, i, 3);
    g[5] = 1;
    std::vector<int> rest = target;
    for (int top = 11; top >= 5; --top) {
      const int factor = rest[top];
      for (int i = 0; i <= 5; ++i)
        rest[top - 5 + i] = ((rest[top - 5 + i] - factor * g[i]) % 3 + 3) % 3;
    }
    if (std::any_of(rest.begin(), rest.end(), [](int c) { return c != 0; })) continue;

    BlockCode code;
    code.name = "golay11";
    code.ternary = 11;
    code.radius = 2;
    for (int message = 0; message < Power(3, 6); ++message) {
      std::vector<int> word(11, 0);
      for (int i = 0; i < 6; ++i) {
        const int m = Digit(message, i, 3);
        for (int j = 0; j <= 5; ++j) word[i + j] = (word[i + j] + m * g[j]) % 3;
      }
      for (int symbol : word) code.symbols.push_back(static_cast<uint8_t>(symbol));
    }
    return code;
  }
  return {};  // unreachable: x^11 - 1 has two such factors
}

namespace {

// Counts the syndromes that sums of at most `radius` columns (each times 1
// or 2) reach, by enumerating those sums: far fewer steps than a search over
// all syndromes. Syndromes are packed two bits a digit and added a byte at a
// time through a table.
class ReachCounter {
 public:
  ReachCounter(int checks, int radius)
      : radius_(radius), bytes_((2 * checks + 7) / 8), seen_(size_t{1} << (2 * checks), 0) {
    add_.resize(256 * 256);
    for (int x = 0; x < 256; ++x) {
      for (int y = 0; y < 256; ++y) {
        int z = 0;
        for (int j = 0; j < 4; ++j)
          z |= (((x >> (2 * j)) & 3) + ((y >> (2 * j)) & 3)) % 3 << (2 * j);
        add_[x * 256 + y] = static_cast<uint8_t>(z);
      }
    }
    checks_ = checks;
  }

  int64_t Reached(const std::vector<uint32_t>& columns) {
    once_.clear();
    twice_.clear();
    for (uint32_t column : columns) {
      uint32_t one = 0;
      uint32_t two = 0;
      for (int i = 0; i < checks_; ++i) {
        const uint32_t digit = static_cast<uint32_t>(Digit(column, i, 3));
        one |= digit << (2 * i);
        two |= (2 * digit % 3) << (2 * i);
      }
      once_.push_back(one);
      twice_.push_back(two);
    }
    ++stamp_;
    reached_ = 0;
    Mark(0);
    Visit(0, radius_, 0);
    return reached_;
  }

 private:
  uint32_t Add(uint32_t a, uint32_t b) const {
    uint32_t sum = 0;
    for (int k = 0; k < bytes_; ++k) {
      sum |= uint32_t{add_[((a >> (8 * k)) & 0xFF) * 256 + ((b >> (8 * k)) & 0xFF)]} << (8 * k);
    }
    return sum;
  }
  void Mark(uint32_t syndrome) {
    if (seen_[syndrome] != stamp_) {
      seen_[syndrome] = stamp_;
      ++reached_;
    }
  }
  void Visit(size_t first, int left, uint32_t sum) {
    for (size_t j = first; j < once_.size(); ++j) {
      for (uint32_t multiple : {once_[j], twice_[j]}) {
        const uint32_t next = Add(sum, multiple);
        Mark(next);
        if (left > 1) Visit(j + 1, left - 1, next);
      }
    }
  }

  int checks_ = 0;
  int radius_;
  int bytes_;
  std::vector<uint8_t> add_;
  std::vector<uint32_t> seen_;
  uint32_t stamp_ = 0;
  int64_t reached_ = 0;
  std::vector<uint32_t> once_;
  std::vector<uint32_t> twice_;
};

}  // namespace

std::optional<LinearCode> FindLinearCode(int length, int checks, int radius, int64_t steps,
                                         uint64_t seed) {
  Random random(seed);
  const uint32_t syndromes = static_cast<uint32_t>(Power(3, checks));
  LinearCode code;
  code.length = length;
  code.checks = checks;
  auto randomColumn = [&] { return 1 + random.Below(syndromes - 1); };
  for (int j = 0; j < length; ++j) code.columns.push_back(randomColumn());
  ReachCounter counter(checks, radius);
  int64_t current = syndromes - counter.Reached(code.columns);
  for (int64_t step = 0; step < steps && current > 0; ++step) {
    LinearCode trial = code;
    trial.columns[random.Below(length)] = randomColumn();
    const int64_t value = syndromes - counter.Reached(trial.columns);
    if (value <= current) {
      code = std::move(trial);
      current = value;
    }
  }
  if (current > 0) return std::nullopt;
  return code;
}

SystemShape BlockShape(int ternary, int binary) {
  SystemShape shape;
  shape.matches = std::max(13, ternary + binary);
  for (int m = 0; m < shape.matches; ++m) {
    shape.radix[m] = m < ternary ? 3 : m < ternary + binary ? 2 : 1;
    shape.outcomes[m] = {0, 1, 2};
  }
  return shape;
}

std::vector<PackedRow> BlockRows(const BlockCode& code) {
  std::vector<PackedRow> rows;
  for (int64_t w = 0; w < code.size(); ++w) {
    PackedRow row = 0;
    const auto word = code.Word(w);
    for (int i = 0; i < code.length(); ++i) row |= PackedRow{word[i]} << (2 * i);
    rows.push_back(row);
  }
  return rows;
}

}  // namespace spelkub::detail
