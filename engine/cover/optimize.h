// "Optimerad garanti": few rows that still give a chosen guarantee.
//
// The matches with one marked sign are always right; the search works on the
// others with covering radius R = matches - guarantee. It constructs covers
// from block codes combined by direct sum (among them codes of the matrix
// method, searched for the shape at hand), polishes the best by local search
// within an effort budget, and verifies every candidate exactly with
// ComputeCoverage. Nothing unverified is ever returned: when every candidate
// fails, the greedy guarantee reduction is the answer, so the result is never
// larger than "Garanti" gives. It stops early when a cover meets a lower
// bound, and then says that no smaller cover exists.
//
// Deterministic: the budgets are counted work, the searches are split into
// fixed units with fixed seeds, combined in a fixed order, so the same
// shape, guarantee and effort give the same rows on every machine and with
// any number of threads. The matches are searched in a fixed order of their
// kinds, so the order they come in changes only where the rows lie. A
// wall-clock cap, far above the expected time, is only a safety net and is
// reported when it cuts a run short.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "coupon/system.h"
#include "coupon/system_shape.h"
#include "coupon/work.h"

namespace spelkub {

enum class Effort {
  kQuick,   // constructions and a short code search: well under a second
  kNormal,  // plus a longer code search and local search: seconds
  kDeep,    // the same with several times the work
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
  // Stopped through the work: rows is the best verified cover found until then.
  bool stopped = false;
  // The wall-clock safety net ended the search early.
  bool timeCapped = false;
  // The fewest rows any cover of the system can have (at least 1), and where
  // that bound comes from: the sphere-covering bound (outcomes over the
  // largest ball, rounded up) or a table of known codes.
  int64_t bound = 0;
  std::string boundSource;
  // rows.size() meets the bound: no cover with fewer rows exists.
  bool provedMinimal = false;
  // Threads the search ran on.
  int threads = 1;
  // How the rows were made, for benchmarks and tests: the direct sum
  // ("full1 + full1 + golay11"), "tabu", "greedy" or "full system".
  std::string method;
};

// guarantee: 4..shape.matches. The shape must have every match marked.
// threads: 0 for every core. The rows do not depend on it. nullopt when
// stopped through `work`; its progress hears the phase, the fraction done
// and each smaller verified cover (on the calling thread).
std::optional<OptimizeResult> OptimizeGuarantee(const SystemShape& shape, int guarantee,
                                                Effort effort, int threads, const Work& work);

// The same over a system that conditions cut down: the rows are outcomes the
// system allows, and the guarantee holds for every such outcome. The
// constructions do not fit a cut-down system, so the greedy guarantee
// reduction of the system is the start and the local search shrinks it; the
// answer never has more rows than that greedy reduction. An unfiltered
// system gives exactly the answer for its shape.
std::optional<OptimizeResult> OptimizeGuarantee(const System& system, int guarantee, Effort effort,
                                                int threads, const Work& work);

// The same for "Stoppa och använd bästa": a stop ends the search with the
// best verified cover so far (`stopped` set; no rows when nothing was
// verified yet).
OptimizeResult OptimizeUntilStopped(const System& system, int guarantee, Effort effort, int threads,
                                    const Work& work);

// The lower bound the optimizer reports for the shape at `guarantee`, and its source.
struct CoverBound {
  int64_t rows = 1;
  std::string source;
};
CoverBound LowerBound(const SystemShape& shape, int guarantee);

namespace detail {

struct CatalogEntry;

// The search's knobs, which the effort levels set; tests set them directly.
struct OptimizeOptions {
  // Work of the local search (outcomes visited in balls); 0 for none.
  int64_t searchWork = 0;
  // Safety net for the whole search (0: none).
  double wallSeconds = 0;
  // The matrix method: seeded matrices per number of checks for the codes
  // of the full radius, and the work of each search over syndromes (0: none).
  int matrixSeeds = 0;
  int64_t matrixWork = 0;
  // Column changes tried per matrix at the full radius on systems the local
  // search polishes, each searched with `matrixClimbWork`.
  int matrixClimbs = 0;
  int64_t matrixClimbWork = 0;
  // Seeds per number of checks for codes of radius one on all the free
  // matches (the 12-right class) when more than `matrixSeeds`: there a good
  // code hangs on a lucky matrix more than on a longer search or a climb, so
  // more matrices pay.
  int matrixSeedsRadiusOne = 0;
  // Seeds per number of checks at the full radius for systems too large for
  // the local search, when more than `matrixSeeds`: the matrices get the
  // budget the search does not use.
  int matrixSeedsUnpolished = 0;
  // Threads (0: every core); the rows do not depend on it.
  int threads = 1;
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

// Stopped through `work`: the best verified cover so far, `stopped` set.
OptimizeResult Optimize(const SystemShape& shape, int guarantee, const OptimizeOptions& options,
                        const Work& work = {});
OptimizeResult Optimize(const System& system, int guarantee, const OptimizeOptions& options,
                        const Work& work = {});

// The shape with its matches in the order the search uses (three signs,
// two, one; otherwise as they came): `order[j]` is the match placed at j.
SystemShape CanonicalShape(const SystemShape& shape, std::array<int, kMaxMatches>& order);

// Every outcome of the system in generation order.
std::vector<PackedRow> SystemRows(const SystemShape& shape);

}  // namespace detail

}  // namespace spelkub
