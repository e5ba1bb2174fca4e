#include "cover/coverage.h"

#include <algorithm>
#include <array>
#include <bit>

namespace spelkub {

namespace {

// Larger than any real distance (at most 14) even after every sweep has added
// its one, so it never wraps in a byte.
constexpr uint8_t kUnreached = 64;

// Elements swept between two looks at `stop`.
constexpr int64_t kStopPollBlock = int64_t{1} << 16;

struct Dimension {
  int match = 0;       // index in the shape (0-based)
  int extent = 0;      // marked signs, plus one for "a sign the system does not mark"
  int64_t stride = 0;  // in the swept array
};

// One pass of the distance transform along one dimension: every element of a
// line (the elements that differ only in this dimension) becomes the least of
// itself and the line's least plus one.
template <int Extent, typename Stopped>
bool SweepDimension(uint8_t* values, int64_t total, int64_t stride, const Stopped& stopped) {
  const int64_t block = stride * Extent;
  int64_t sincePoll = 0;
  for (int64_t base = 0; base < total; base += block) {
    uint8_t* line = values + base;
    for (int64_t i = 0; i < stride; ++i) {
      uint8_t least = line[i];
      for (int k = 1; k < Extent; ++k) least = std::min(least, line[i + k * stride]);
      const uint8_t reach = static_cast<uint8_t>(least + 1);
      for (int k = 0; k < Extent; ++k) line[i + k * stride] = std::min(line[i + k * stride], reach);
    }
    sincePoll += block;
    if (sincePoll >= kStopPollBlock) {
      sincePoll = 0;
      if (stopped()) return false;
    }
  }
  return true;
}

// A packed row is read a byte (four matches) at a time through tables.
constexpr int kBytes = (kMaxMatches + 3) / 4;

template <typename Visit>
void ForEachSign(const SystemShape& shape, int byte, int bits, Visit&& visit) {
  for (int j = 0; j < 4 && 4 * byte + j < shape.matches; ++j)
    visit(4 * byte + j, (bits >> (2 * j)) & 3);
}

bool IsMarked(const SystemShape& shape, int m, int sign) {
  const auto marked = shape.outcomes[m].begin();
  return std::find(marked, marked + shape.radix[m], sign) != marked + shape.radix[m];
}

// Counts the rows that leave some free match outside its marked signs and
// returns those matches: they get an extra coordinate value standing for
// "differs from every outcome here".
uint32_t NoteOutsideRows(const SystemShape& shape, std::span<const PackedRow> rows,
                         Coverage& coverage) {
  std::array<std::array<uint16_t, 256>, kBytes> outsideBits{};
  for (int byte = 0; byte < kBytes; ++byte) {
    for (int bits = 0; bits < 256; ++bits) {
      ForEachSign(shape, byte, bits, [&](int m, int sign) {
        if (!IsMarked(shape, m, sign)) outsideBits[byte][bits] |= static_cast<uint16_t>(1u << m);
      });
    }
  }
  uint32_t outsideAny = 0;
  for (size_t r = 0; r < rows.size(); ++r) {
    uint32_t outside = 0;
    for (int byte = 0; byte < kBytes; ++byte)
      outside |= outsideBits[byte][(rows[r] >> (8 * byte)) & 0xFF];
    if (outside != 0) {
      if (coverage.outsideRows.size() < kOutsideRowsKept) {
        coverage.outsideRows.push_back(static_cast<int64_t>(r));
      }
      ++coverage.outsideCount;
      outsideAny |= outside;
    }
  }
  return outsideAny;
}

// The swept array: one dimension per match with more than one sign. Per
// match and sign: the offset of the sign in it, and the constant cost of a
// row that differs from every outcome in a single-sign match.
struct Layout {
  std::vector<Dimension> dims;
  std::array<std::array<int64_t, 4>, kMaxMatches> offset{};
  std::array<std::array<uint8_t, 4>, kMaxMatches> fixedCost{};
  int64_t size = 1;
};

Layout LayoutOf(const SystemShape& shape, uint32_t outsideAny) {
  Layout layout;
  for (int m = 0; m < shape.matches; ++m) {
    const int radix = shape.radix[m];
    if (radix == 1) {
      for (int sign = 0; sign < 4; ++sign)
        layout.fixedCost[m][sign] = IsMarked(shape, m, sign) ? 0 : 1;
      continue;
    }
    const int extent = radix + ((outsideAny >> m) & 1);
    for (int sign = 0; sign < 4; ++sign) layout.offset[m][sign] = radix * layout.size;
    for (int digit = 0; digit < radix; ++digit) {
      layout.offset[m][shape.outcomes[m][digit]] = digit * layout.size;
    }
    layout.dims.push_back({m, extent, layout.size});
    layout.size *= extent;
  }
  return layout;
}

// The swept array with each row's own cost at its place, unreached elsewhere.
std::vector<uint8_t> PlaceRows(const SystemShape& shape, const Layout& layout,
                               std::span<const PackedRow> rows) {
  struct Place {
    int64_t offset = 0;
    uint8_t cost = 0;
  };
  std::array<std::array<Place, 256>, kBytes> places{};
  for (int byte = 0; byte < kBytes; ++byte) {
    for (int bits = 0; bits < 256; ++bits) {
      ForEachSign(shape, byte, bits, [&](int m, int sign) {
        places[byte][bits].offset += layout.offset[m][sign];
        places[byte][bits].cost += layout.fixedCost[m][sign];
      });
    }
  }
  std::vector<uint8_t> values(static_cast<size_t>(layout.size), kUnreached);
  for (PackedRow row : rows) {
    int64_t at = 0;
    uint8_t cost = 0;
    for (int byte = 0; byte < kBytes; ++byte) {
      const Place& place = places[byte][(row >> (8 * byte)) & 0xFF];
      at += place.offset;
      cost += place.cost;
    }
    values[at] = std::min(values[at], cost);
  }
  return values;
}

// The distance to the nearest row is a sum over matches, so it can be taken
// one match at a time: after the sweeps of the first k dimensions, each
// element holds the least cost of reaching it from a row that agrees with it
// beyond those k. False when stopped.
template <typename Stopped>
bool SweepAll(std::vector<uint8_t>& values, const Layout& layout, const Stopped& stopped) {
  for (const Dimension& dim : layout.dims) {
    const bool done = dim.extent == 2
                          ? SweepDimension<2>(values.data(), layout.size, dim.stride, stopped)
                          : SweepDimension<3>(values.data(), layout.size, dim.stride, stopped);
    if (!done) return false;
  }
  return true;
}

// Keeps only the coordinates of marked signs, in outcome order. False when
// stopped.
template <typename Stopped>
bool KeepMarked(const SystemShape& shape, const Layout& layout, std::vector<uint8_t>& values,
                const Stopped& stopped) {
  const int64_t size = shape.size();
  std::vector<uint8_t> real(static_cast<size_t>(size));
  std::vector<int> digit(layout.dims.size(), 0);
  int64_t at = 0;
  for (int64_t index = 0; index < size; ++index) {
    real[index] = values[at];
    for (size_t d = 0; d < layout.dims.size(); ++d) {
      const int radix = shape.radix[layout.dims[d].match];
      if (++digit[d] < radix) {
        at += layout.dims[d].stride;
        break;
      }
      digit[d] = 0;
      at -= (radix - 1) * layout.dims[d].stride;
    }
    if ((index & (kStopPollBlock - 1)) == 0 && stopped()) return false;
  }
  values.swap(real);
  return true;
}

template <typename Stopped>
Coverage CoverageOf(const SystemShape& shape, std::span<const PackedRow> rows,
                    const Stopped& stopped) {
  Coverage coverage;
  const uint32_t outsideAny = NoteOutsideRows(shape, rows, coverage);
  if (rows.empty() || shape.size() == 0) return coverage;
  const Layout layout = LayoutOf(shape, outsideAny);
  std::vector<uint8_t> values = PlaceRows(shape, layout, rows);
  const bool extended = layout.size != shape.size();
  if (!SweepAll(values, layout, stopped) ||
      (extended && !KeepMarked(shape, layout, values, stopped))) {
    coverage.stopped = true;
    return coverage;
  }
  coverage.maxDistance = *std::max_element(values.begin(), values.end());
  coverage.distance = std::move(values);
  return coverage;
}

}  // namespace

Coverage ComputeCoverage(const SystemShape& shape, std::span<const PackedRow> rows,
                         const Work& work) {
  return CoverageOf(shape, rows, [&work] { return work.Stopped(); });
}

namespace detail {

int64_t BallSize(const SystemShape& shape, int radius) {
  std::vector<int64_t> byDistance{1};
  for (int m = 0; m < shape.matches; ++m) {
    const int others = shape.radix[m] - 1;
    if (others == 0) continue;
    byDistance.push_back(0);
    for (size_t d = byDistance.size() - 1; d > 0; --d) byDistance[d] += others * byDistance[d - 1];
  }
  int64_t ball = 0;
  for (int d = 0; d <= radius && d < static_cast<int>(byDistance.size()); ++d) {
    ball += byDistance[d];
  }
  return ball;
}

}  // namespace detail

Coverage ComputeCoverage(const System& system, std::span<const PackedRow> rows, const Work& work) {
  Coverage coverage = ComputeCoverage(system.shape(), rows, work);
  if (!system.filtered() || coverage.stopped || coverage.distance.empty()) return coverage;
  // The largest distance over the allowed outcomes, a word of the bitmap at
  // a time.
  const std::vector<uint64_t>& allowed = system.allowed();
  const uint8_t* distance = coverage.distance.data();
  const auto size = static_cast<int64_t>(coverage.distance.size());
  uint8_t worst = 0;
  for (size_t word = 0; word < allowed.size(); ++word) {
    for (uint64_t bits = allowed[word]; bits != 0; bits &= bits - 1) {
      const int64_t index = static_cast<int64_t>(word) * 64 + std::countr_zero(bits);
      if (index < size) worst = std::max(worst, distance[index]);
    }
  }
  coverage.maxDistance = worst;
  return coverage;
}

}  // namespace spelkub
