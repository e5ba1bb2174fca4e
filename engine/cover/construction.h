// Covers built from block codes by direct sum: the free matches are split
// into blocks, each block gets a code and a share of the radius, and every
// combination of one word per block is a row (sizes multiply, radii add).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "coupon/system_shape.h"
#include "coupon/work.h"
#include "cover/block_codes.h"

namespace spelkub::detail {

// A block code the split can use, known by its size before its words are made.
struct CatalogEntry {
  std::string name;
  int ternary = 0;
  int binary = 0;
  int radius = 0;
  int64_t size = 0;
  std::function<BlockCode()> make;
};

// The constructions: full single matches, Hamming, Golay and repetition
// codes, and (when asked) the shipped table of codes found offline.
std::vector<CatalogEntry> BlockCatalog(bool withShippedTable);

// One code of the shipped table: a list of words (each its index in the
// block, ternary coordinates first, the first coordinate turning fastest), a
// ternary linear code (its parity-check columns), or a code of the matrix
// method (its `ternary` columns, then its syndromes).
enum class TableKind : uint32_t { kWords = 0, kLinear = 1, kMatrix = 2 };
struct TableEntry {
  TableKind kind = TableKind::kWords;
  int ternary = 0;
  int binary = 0;
  int radius = 0;
  int checks = 0;
  std::vector<uint32_t> values;
};

// The shipped table as block codes (linear ones with their words made).
std::vector<BlockCode> ShippedCodes();

// A split: per block a catalog entry and how many three-sign and two-sign
// matches it takes (its ternary coordinates go to the three-sign matches
// first, the rest folded onto two-sign ones). entry -1 is one word.
struct PlanBlock {
  int entry = -1;
  int ternaryMatches = 0;
  int binaryMatches = 0;
};

struct Plan {
  std::vector<PlanBlock> blocks;
  int64_t size = 0;  // product of the block sizes, before folding merges words
  std::string Describe(std::span<const CatalogEntry> catalog) const;
};

// The smallest splits of `ternary` three-sign and `binary` two-sign matches
// with covering radius `radius`, best first, at most `count`, by dynamic
// programming over the block sizes.
std::vector<Plan> BestPlans(std::span<const CatalogEntry> catalog, int ternary, int binary,
                            int radius, int count);

// A block code on chosen matches (0-based, coordinate i on matches[i]).
struct PlacedCode {
  BlockCode code;
  std::vector<int> matches;
};

// The direct sum of the placed codes as rows of the system, the matches no
// block takes at their first marked sign; ascending index, no row twice.
// Empty when stopped.
std::vector<PackedRow> DirectSumRows(const SystemShape& shape, std::span<const PlacedCode> blocks,
                                     const std::stop_token& stop = {});

// The plan's codes placed on the shape's free matches, in match order.
std::vector<PlacedCode> PlacePlan(const SystemShape& shape, std::span<const CatalogEntry> catalog,
                                  const Plan& plan);

}  // namespace spelkub::detail
