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

template <typename Stopped>
Coverage CoverageOf(const SystemShape& shape, std::span<const PackedRow> rows,
                    const Stopped& stopped) {
  Coverage coverage;
  const int64_t size = shape.size();

  // A packed row is read a byte (four matches) at a time through tables.
  constexpr int kBytes = (kMaxMatches + 3) / 4;
  auto forEachSign = [&](int byte, int bits, auto&& visit) {
    for (int j = 0; j < 4 && 4 * byte + j < shape.matches; ++j)
      visit(4 * byte + j, (bits >> (2 * j)) & 3);
  };
  auto isMarked = [&](int m, int sign) {
    const auto marked = shape.outcomes[m].begin();
    return std::find(marked, marked + shape.radix[m], sign) != marked + shape.radix[m];
  };

  // Which free matches some row leaves outside the marked signs: those get an
  // extra coordinate value standing for "differs from every outcome here".
  std::array<std::array<uint16_t, 256>, kBytes> outsideBits{};
  for (int byte = 0; byte < kBytes; ++byte) {
    for (int bits = 0; bits < 256; ++bits) {
      forEachSign(byte, bits, [&](int m, int sign) {
        if (!isMarked(m, sign)) outsideBits[byte][bits] |= static_cast<uint16_t>(1u << m);
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
  if (rows.empty() || size == 0) return coverage;

  // Per match and sign: the offset of the sign in the swept array, and the
  // constant cost of a row that differs from every outcome in a single-sign
  // match.
  std::vector<Dimension> dims;
  std::array<std::array<int64_t, 4>, kMaxMatches> offset{};
  std::array<std::array<uint8_t, 4>, kMaxMatches> fixedCost{};
  int64_t extendedSize = 1;
  for (int m = 0; m < shape.matches; ++m) {
    const int radix = shape.radix[m];
    if (radix == 1) {
      for (int sign = 0; sign < 4; ++sign) fixedCost[m][sign] = isMarked(m, sign) ? 0 : 1;
      continue;
    }
    const int extent = radix + ((outsideAny >> m) & 1);
    for (int sign = 0; sign < 4; ++sign) offset[m][sign] = radix * extendedSize;
    for (int digit = 0; digit < radix; ++digit) {
      offset[m][shape.outcomes[m][digit]] = digit * extendedSize;
    }
    dims.push_back({m, extent, extendedSize});
    extendedSize *= extent;
  }
  const bool extended = extendedSize != size;

  struct Place {
    int64_t offset = 0;
    uint8_t cost = 0;
  };
  std::array<std::array<Place, 256>, kBytes> places{};
  for (int byte = 0; byte < kBytes; ++byte) {
    for (int bits = 0; bits < 256; ++bits) {
      forEachSign(byte, bits, [&](int m, int sign) {
        places[byte][bits].offset += offset[m][sign];
        places[byte][bits].cost += fixedCost[m][sign];
      });
    }
  }
  std::vector<uint8_t> values(static_cast<size_t>(extendedSize), kUnreached);
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

  // The distance to the nearest row is a sum over matches, so it can be
  // taken one match at a time: after the sweeps of the first k dimensions,
  // each element holds the least cost of reaching it from a row that agrees
  // with it beyond those k.
  for (const Dimension& dim : dims) {
    const bool done = dim.extent == 2
                          ? SweepDimension<2>(values.data(), extendedSize, dim.stride, stopped)
                          : SweepDimension<3>(values.data(), extendedSize, dim.stride, stopped);
    if (!done) {
      coverage.stopped = true;
      return coverage;
    }
  }

  if (extended) {
    // Keep only the coordinates of marked signs, in outcome order.
    std::vector<uint8_t> real(static_cast<size_t>(size));
    std::vector<int> digit(dims.size(), 0);
    int64_t at = 0;
    for (int64_t index = 0; index < size; ++index) {
      real[index] = values[at];
      for (size_t d = 0; d < dims.size(); ++d) {
        const int radix = shape.radix[dims[d].match];
        if (++digit[d] < radix) {
          at += dims[d].stride;
          break;
        }
        digit[d] = 0;
        at -= (radix - 1) * dims[d].stride;
      }
      if ((index & (kStopPollBlock - 1)) == 0 && stopped()) {
        coverage.stopped = true;
        return coverage;
      }
    }
    values.swap(real);
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
