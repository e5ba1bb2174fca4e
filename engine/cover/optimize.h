// "Optimerad garanti": few rows that still give a chosen guarantee.
//
// The matches with one marked sign are always right; the search works on the
// others with covering radius R = matches - guarantee. It constructs covers
// from block codes combined by direct sum, polishes the best by local search
// within an effort budget, and verifies every candidate exactly with
// ComputeCoverage. Nothing unverified is ever returned: when every candidate
// fails, the greedy guarantee reduction is the answer, so the result is never
// larger than "Garanti" gives.
//
// Deterministic: the same shape, guarantee and effort give the same rows on
// every machine (seeded pseudo-random numbers and step budgets; a wall-clock
// cap only as a safety net, reported when it cuts a run short).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "coupon/system_shape.h"

namespace spelkub {

enum class Effort {
  kQuick,   // constructions and verification only: well under a second
  kNormal,  // plus local search, up to about 20 s on small systems
  kDeep,    // plus local search, about a minute
};

// Progress of a search, called on the searching thread.
class OptimizeListener {
 public:
  virtual ~OptimizeListener() = default;
  // A verified cover with this many rows is the best so far.
  virtual void BestVerified(int64_t /*rows*/) {}
  // Share of the effort budget spent, 0..1.
  virtual void Spent(double /*fraction*/) {}
};

struct OptimizeResult {
  // The rows, in generation order of the system (ascending index). Empty only
  // when stopped before anything was verified.
  std::vector<PackedRow> rows;
  // The verified guarantee of `rows` (at least the one asked for).
  int guarantee = 0;
  // The size of the greedy guarantee reduction at the asked level, for
  // comparison (0 when stopped before it was known).
  int64_t greedyRows = 0;
  // Stopped through `stop`: rows is the best verified cover found until then.
  bool stopped = false;
  // The wall-clock safety net ended the polishing early.
  bool timeCapped = false;
  // How the rows were made, for benchmarks and tests: the direct sum
  // ("full1 + full1 + golay11"), "tabu", "greedy" or "full system".
  std::string method;
};

// guarantee: 4..shape.matches. The shape must have every match marked.
OptimizeResult OptimizeGuarantee(const SystemShape& shape, int guarantee, Effort effort,
                                 OptimizeListener* listener = nullptr,
                                 const std::atomic<bool>* stop = nullptr);

namespace detail {

struct CatalogEntry;

// The search's knobs, which the effort levels set; tests set them directly.
struct OptimizeOptions {
  // Work of the local search (outcomes visited in balls); 0 for none.
  int64_t searchWork = 0;
  // Safety net for the local search only (0: none).
  double wallSeconds = 0;
  // The largest system the local search polishes: ten free matches.
  int64_t searchLimit = 59049;
  uint64_t seed = 0x5EED5EEDu;
  // Share of a search's work without a smaller cover after which it starts
  // again from its best cover (0: never).
  double patience = 0;
  // Moves weighed per step of the local search.
  int sampledMoves = 16;
  // The plan the shipped code table was built with: half the work polishes
  // the construction, half the greedy rows (instead of the three searches).
  bool twoSearches = false;
  // How many splits into block codes are tried, best first.
  int plans = 4;
  bool useShippedTable = true;
  // Block codes to build from instead of the standard ones (when not null).
  const std::vector<CatalogEntry>* catalog = nullptr;
};

OptimizeOptions OptionsFor(Effort effort);

OptimizeResult Optimize(const SystemShape& shape, int guarantee, const OptimizeOptions& options,
                        OptimizeListener* listener = nullptr,
                        const std::atomic<bool>* stop = nullptr);

// Every outcome of the system in generation order.
std::vector<PackedRow> SystemRows(const SystemShape& shape);

}  // namespace detail

}  // namespace spelkub
