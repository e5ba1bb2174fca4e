// Covering codes of the matrix method: the ternary words x of a block whose
// syndrome Hx lies in a chosen set S. A word x is within R of the code when
// some sum of at most R columns of H (each times 1 or 2) takes its syndrome
// into S, so covering every word comes down to covering the 3^checks
// syndromes with translates of that one set of column sums: a far smaller
// problem than the words themselves, searched here by the same kind of tabu
// search that polishes covers of a system.
//
// Deterministic: a unit of the search (a seeded matrix and a work budget)
// gives the same code on every machine.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cover/block_codes.h"

namespace spelkub::detail {

struct MatrixCode {
  int length = 0;
  int checks = 0;
  int radius = 0;
  std::vector<uint32_t> columns;    // of H, check i in base-3 digit i
  std::vector<uint32_t> syndromes;  // S, ascending

  // The words: |S| times the words of one syndrome (H has full rank).
  int64_t size() const {
    return static_cast<int64_t>(syndromes.size()) * Power(3, length - checks);
  }
};

// The words of the code, as a block code of `length` ternary coordinates.
BlockCode WordsOf(const MatrixCode& code, const std::string& name);

// The most checks a matrix may have: syndromes are indexed in arrays of 3^checks.
inline constexpr int kMaxChecks = 11;

// The work of a matrix search: each search over syndromes stops after
// `work` (syndromes visited in balls, as the local search counts it), and
// the matrix climbs `climbs` times: a column changed, the syndromes searched
// again, the change kept when the code is no worse.
struct MatrixBudget {
  int64_t work = 0;
  int climbs = 0;
};

// One unit of the search: a matrix drawn from `seed` (unit columns first,
// then distinct random ones), improved a column at a time, and the fewest
// syndromes found for it. nullopt when `stopped` said so. `workDone`, when
// given, receives the work spent (every search of the climb).
std::optional<MatrixCode> SearchMatrixCode(int length, int checks, int radius,
                                           const MatrixBudget& budget, uint64_t seed,
                                           const std::function<bool()>& stopped,
                                           int64_t* workDone = nullptr);

// The sums of at most `radius` of the columns (each times 1 or 2): how many
// distinct syndromes they reach, 0 included.
int64_t ColumnBallSize(const MatrixCode& code, int radius);

// Checks worth trying for a block of `length` at `radius`: where the
// syndromes are a few to a few hundred balls of column sums.
std::vector<int> ChecksToTry(int length, int radius);

}  // namespace spelkub::detail
