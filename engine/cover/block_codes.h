// Covering codes on a block of free matches, the pieces the optimized
// guarantee puts together by direct sum.
//
// A block code has `ternary` coordinates with symbols 0..2 followed by
// `binary` ones with symbols 0..1. Placed on matches, a symbol becomes the
// match's marked sign of that rank; a ternary coordinate on a two-sign match
// folds symbol 2 onto the second sign, which keeps the covering radius: an
// outcome never holds symbol 2 there, so the folded word is no farther from it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "coupon/system_shape.h"

namespace spelkub::detail {

// base to the power exponent, for the small sizes of block codes.
constexpr int64_t Power(int64_t base, int exponent) {
  int64_t value = 1;
  for (int i = 0; i < exponent; ++i) value *= base;
  return value;
}

struct BlockCode {
  std::string name;
  int ternary = 0;
  int binary = 0;
  int radius = 0;                // covering radius in its own space
  std::vector<uint8_t> symbols;  // the words, length() symbols each

  int length() const { return ternary + binary; }
  int64_t size() const {
    return length() == 0 ? 1 : static_cast<int64_t>(symbols.size()) / length();
  }
  std::span<const uint8_t> Word(int64_t i) const {
    return {symbols.data() + i * length(), static_cast<size_t>(length())};
  }
};

// Every word of the block (radius 0).
BlockCode FullSpace(int ternary, int binary);
// The all-zero word alone: radius = length.
BlockCode OneWord(int ternary, int binary);
// The constant words 0...0, 1...1 (and 2...2 when ternary): radius
// length - ceil(length / alphabet).
BlockCode RepetitionCode(int length, bool ternary);

// A linear code over GF(3) (or GF(2)) given by the columns of its parity-check
// matrix, each column the `checks` symbols of one coordinate (symbol i in
// digit i, base 3 or 2). The words are the vectors with zero syndrome.
struct LinearCode {
  int length = 0;
  int checks = 0;
  bool ternary = true;
  std::vector<uint32_t> columns;
};

// The words of a linear code; its radius is set from LinearCoveringRadius.
BlockCode WordsOf(const LinearCode& code, const std::string& name);
// The covering radius: the most columns (times a scalar) that some syndrome
// needs; length + 1 when the columns do not span every syndrome.
int LinearCoveringRadius(const LinearCode& code);

// Hamming codes: ternary length (3^m - 1) / 2 and binary length 2^m - 1, radius 1.
LinearCode TernaryHamming(int checks);
LinearCode BinaryHamming(int checks);

// The ternary Golay code [11, 6] (radius 2), as the cyclic code of a degree-5
// factor of x^11 - 1 over GF(3) found by trying every monic candidate.
BlockCode TernaryGolay();

// A ternary linear code of `length` with `checks` parity checks and covering
// radius at most `radius`, found by a seeded hill climb over parity-check
// matrices (a column at a time, fewest syndromes out of reach); nullopt when
// `steps` tries did not find one.
std::optional<LinearCode> FindLinearCode(int length, int checks, int radius, int64_t steps,
                                         uint64_t seed);

// The block placed alone in a system of matches 1..length (ternary ones
// first, then two-sign ones marked "1" and "X", "1" elsewhere), for checking
// a radius with ComputeCoverage.
SystemShape BlockShape(int ternary, int binary);
std::vector<PackedRow> BlockRows(const BlockCode& code);

// A small seeded generator, identical on every platform (splitmix64).
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform enough for search decisions: bound is small.
  uint32_t Below(uint32_t bound) { return static_cast<uint32_t>((Next() >> 32) * bound >> 32); }

 private:
  uint64_t state_;
};

}  // namespace spelkub::detail
