// Builds the table of block codes shipped in cover/code_table.inc: linear
// ternary codes found by search on their parity-check matrices, and covers of
// small mixed blocks found by the optimizer's own local search, each kept
// only where it beats every direct sum of the codes known before it. Run by
// scripts/build_code_table; writes the table to standard output and what it
// found to standard error. Deterministic: the same program gives the same table.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cover/block_codes.h"
#include "cover/construction.h"
#include "cover/coverage.h"
#include "cover/local_search.h"
#include "cover/matrix_codes.h"
#include "cover/optimize.h"

namespace spelkub::detail {
namespace {

int64_t BestKnown(const std::vector<CatalogEntry>& catalog, int ternary, int binary, int radius) {
  return BestPlans(catalog, ternary, binary, radius, 1).front().size;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void AddLinear(std::vector<CatalogEntry>& catalog, std::vector<TableEntry>& table, int64_t steps) {
  for (int length = 5; length <= kMaxMatches; ++length) {
    for (int radius = 2; radius <= 5 && radius < length - 1; ++radius) {
      const SystemShape shape = BlockShape(length, 0);
      const int64_t ball = BallSize(shape, radius);
      const int64_t before = BestKnown(catalog, length, 0, radius);
      // The most checks whose syndromes the sums of `radius` columns could reach.
      int checks = 0;
      while (Power(3, checks + 1) <= ball && checks + 1 < length) ++checks;
      for (; checks >= 1 && Power(3, length - checks) < before; --checks) {
        const auto started = std::chrono::steady_clock::now();
        // A few fresh starts: one climb can stall where another one gets through.
        std::optional<LinearCode> code;
        for (uint64_t start = 0; start < 8 && !code; ++start) {
          const uint64_t seed =
              static_cast<uint64_t>(length * 100 + radius * 10 + checks) * 8 + start;
          code = FindLinearCode(length, checks, radius, steps, seed);
        }
        if (!code) continue;
        const BlockCode words = WordsOf(*code, "linear");
        if (ComputeCoverage(shape, BlockRows(words)).maxDistance > radius) continue;
        std::fprintf(stderr, "linear [%d,%d] radius %d: %lld words (was %lld), %.1f s\n", length,
                     length - checks, radius, static_cast<long long>(words.size()),
                     static_cast<long long>(before), Seconds(started));
        table.push_back({TableKind::kLinear, length, 0, radius, checks, code->columns});
        catalog.push_back({"linear", length, 0, radius, words.size(), [words] { return words; }});
        break;
      }
    }
  }
}

// A cover of a block found by the optimizer, into the table as its words
// and into the catalog for the direct sums that follow.
void Keep(std::vector<CatalogEntry>& catalog, std::vector<TableEntry>& table,
          const SystemShape& shape, int ternary, int binary, int radius,
          const std::vector<PackedRow>& rows) {
  TableEntry found{TableKind::kWords, ternary, binary, radius, 0, {}};
  for (PackedRow row : rows) found.values.push_back(static_cast<uint32_t>(*shape.IndexOf(row)));
  BlockCode code;
  code.name = "searched";
  code.ternary = ternary;
  code.binary = binary;
  code.radius = radius;
  for (PackedRow row : rows) {
    for (int m = 1; m <= code.length(); ++m)
      code.symbols.push_back(static_cast<uint8_t>(PackedOutcome(row, m)));
  }
  table.push_back(std::move(found));
  catalog.push_back({"searched", ternary, binary, radius, code.size(), [code] { return code; }});
}

void AddSearched(std::vector<CatalogEntry>& catalog, std::vector<TableEntry>& table, int64_t limit,
                 int64_t work) {
  struct Space {
    int ternary;
    int binary;
    int64_t size;
  };
  std::vector<Space> spaces;
  for (int ternary = 0; ternary <= 10; ++ternary) {
    for (int binary = 0; ternary + binary <= kMaxMatches; ++binary) {
      const int64_t size = Power(3, ternary) * Power(2, binary);
      if (size <= limit && ternary + binary >= 3) spaces.push_back({ternary, binary, size});
    }
  }
  std::stable_sort(spaces.begin(), spaces.end(),
                   [](const Space& a, const Space& b) { return a.size < b.size; });
  for (const Space& space : spaces) {
    const SystemShape shape = BlockShape(space.ternary, space.binary);
    for (int radius = 1; radius <= space.ternary + space.binary - 2; ++radius) {
      const int64_t before = BestKnown(catalog, space.ternary, space.binary, radius);
      if (before <= 2 || before <= SphereBound(shape, radius)) continue;
      const auto started = std::chrono::steady_clock::now();
      OptimizeOptions options;
      options.catalog = &catalog;
      // The spaces where the local search pays most get more of it.
      const int64_t weight = radius == 1   ? std::clamp<int64_t>(space.size / 150, 2, 16)
                             : radius == 2 ? std::clamp<int64_t>(space.size / 500, 1, 8)
                                           : 1;
      options.searchWork = work * weight;
      options.searchLimit = limit;
      options.seed = static_cast<uint64_t>(space.size * 16 + radius);
      // The search plan the shipped table was made with, kept so that a rerun
      // gives the same table.
      options.twoSearches = true;
      options.sampledMoves = 48;
      const OptimizeResult result = Optimize(shape, shape.matches - radius, options);
      if (static_cast<int64_t>(result.rows.size()) >= before) continue;
      std::fprintf(stderr, "%d three-sign + %d two-sign, radius %d: %zu rows (was %lld), %.1f s\n",
                   space.ternary, space.binary, radius, result.rows.size(),
                   static_cast<long long>(before), Seconds(started));
      Keep(catalog, table, shape, space.ternary, space.binary, radius, result.rows);
    }
  }
}

// Mixed blocks at radius one, the 12-right class of coupons with full and
// half marked matches: the optimizer itself at deep effort (direct sums of
// every code found so far, the matrix method, the local search in rounds)
// on each block of 900 to 9,000 outcomes, kept where it beats the direct
// sums. No clock: only counted work decides, on every core, so a rerun on
// any machine gives the same codes.
void AddPolished(std::vector<CatalogEntry>& catalog, std::vector<TableEntry>& table, double scale) {
  for (int ternary = 1; ternary <= 7; ++ternary) {
    for (int binary = 1; ternary + binary <= 13; ++binary) {
      const int64_t size = Power(3, ternary) * Power(2, binary);
      if (size < 900 || size > 9000) continue;
      const SystemShape shape = BlockShape(ternary, binary);
      const int64_t before = BestKnown(catalog, ternary, binary, 1);
      if (before <= SphereBound(shape, 1)) continue;
      const auto started = std::chrono::steady_clock::now();
      // Deep effort as it was when the table was built, written out so that
      // tuning the effort levels later does not change a rebuilt table.
      OptimizeOptions options;
      options.catalog = &catalog;
      options.searchWork = static_cast<int64_t>(4'500'000'000 * scale);
      options.patience = 0.25;
      options.matrixSeeds = 8;
      options.matrixSeedsUnpolished = 64;
      options.matrixWork = 24'000'000;
      options.matrixClimbs = 40;
      options.matrixClimbWork = 3'000'000;
      options.threads = 0;

      const OptimizeResult result = Optimize(shape, shape.matches - 1, options);
      if (static_cast<int64_t>(result.rows.size()) >= before) continue;
      std::fprintf(
          stderr, "%d three-sign + %d two-sign, radius 1, polished: %zu rows (was %lld), %.1f s\n",
          ternary, binary, result.rows.size(), static_cast<long long>(before), Seconds(started));
      Keep(catalog, table, shape, ternary, binary, 1, result.rows);
    }
  }
}

// Codes of the matrix method for blocks of three-sign matches, where one
// could beat every direct sum known so far: per length, radius and number of
// checks a few seeded matrices, each climbed a column at a time, searched
// side by side and the smallest code kept (the first seed among equals).
void AddMatrix(std::vector<CatalogEntry>& catalog, std::vector<TableEntry>& table, double scale) {
  const int threads = std::max(1u, std::thread::hardware_concurrency());
  constexpr int kSeeds = 8;
  for (int length = 4; length <= kMaxMatches; ++length) {
    for (int radius = 1; radius <= 6 && radius <= length - 2; ++radius) {
      const SystemShape shape = BlockShape(length, 0);
      const int64_t before = BestKnown(catalog, length, 0, radius);
      const int64_t ball = BallSize(shape, radius);
      if (before <= std::max<int64_t>(3, SphereBound(shape, radius))) continue;
      const auto started = std::chrono::steady_clock::now();
      std::optional<MatrixCode> best;
      for (int checks : ChecksToTry(length, radius)) {
        // Larger syndrome spaces take more time than the table may.
        if (checks > 9) continue;
        const int64_t least = (Power(3, checks) + ball - 1) / ball * Power(3, length - checks);
        if (least >= (best ? best->size() : before)) continue;
        const int64_t work = checks <= 7 ? 2'000'000 : checks == 8 ? 6'000'000 : 18'000'000;
        const int climbs = static_cast<int>(200 * scale);
        std::vector<std::optional<MatrixCode>> found(kSeeds);
        std::vector<std::thread> pool;
        for (int t = 0; t < threads; ++t) {
          pool.emplace_back([&, t] {
            for (int s = t; s < kSeeds; s += threads) {
              const uint64_t seed =
                  static_cast<uint64_t>(((length * 10 + radius) * 16 + checks) * kSeeds + s);
              found[s] = SearchMatrixCode(length, checks, radius, {work, climbs}, seed,
                                          [] { return false; });
            }
          });
        }
        for (std::thread& thread : pool) thread.join();
        for (const std::optional<MatrixCode>& code : found) {
          if (code && (!best || code->size() < best->size())) best = code;
        }
      }
      if (!best || best->size() >= before) continue;
      const BlockCode words = WordsOf(*best, "matrix");
      if (ComputeCoverage(shape, BlockRows(words)).maxDistance > radius) continue;
      std::fprintf(stderr, "matrix [%d,%d] radius %d: %lld words (was %lld), %.1f s\n", length,
                   best->checks, radius, static_cast<long long>(best->size()),
                   static_cast<long long>(before), Seconds(started));
      TableEntry entry{TableKind::kMatrix, length, 0, radius, best->checks, best->columns};
      entry.values.insert(entry.values.end(), best->syndromes.begin(), best->syndromes.end());
      table.push_back(std::move(entry));
      catalog.push_back({"matrix", length, 0, radius, words.size(), [words] { return words; }});
    }
  }
}

void Write(const std::vector<TableEntry>& table) {
  std::printf(
      "// Generated by scripts/build_code_table; rerun it to rebuild, do not edit.\n"
      "// Each entry: kind (0 words, 1 ternary linear code, 2 matrix-method code),\n"
      "// ternary, binary, radius, checks, count, then `count` values: the words as\n"
      "// indices in the block (ternary coordinates first, the first coordinate\n"
      "// turning fastest), the parity-check columns (check i in base-3 digit i), or\n"
      "// the columns followed by the chosen syndromes. One value ~0u ends it.\n"
      "constexpr uint32_t kCodeTable[] = {\n");
  for (const TableEntry& entry : table) {
    std::string line = "    " + std::to_string(static_cast<uint32_t>(entry.kind)) + ", " +
                       std::to_string(entry.ternary) + ", " + std::to_string(entry.binary) + ", " +
                       std::to_string(entry.radius) + ", " + std::to_string(entry.checks) + ", " +
                       std::to_string(entry.values.size()) + ",";
    for (uint32_t value : entry.values) {
      const std::string item = " " + std::to_string(value) + ",";
      if (line.size() + item.size() > 100) {
        std::printf("%s\n", line.c_str());
        line = "   ";
      }
      line += item;
    }
    std::printf("%s\n", line.c_str());
  }
  std::printf("    ~0u,\n};\n");
}

}  // namespace
}  // namespace spelkub::detail

int main(int argc, char** argv) {
  using namespace spelkub::detail;
  const std::string trial = argc > 2 ? argv[2] : "";
  // Effort scale: 1 builds the shipped table; less for a quick trial.
  const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
  std::vector<TableEntry> table;
  if (trial == "--matrix-only" || trial == "--polished-only") {
    // A trial of one pass against the table shipped now; writes no table.
    std::vector<CatalogEntry> shipped = BlockCatalog(true);
    if (trial == "--matrix-only") AddMatrix(shipped, table, scale);
    if (trial == "--polished-only") AddPolished(shipped, table, scale);
    return 0;
  }
  std::vector<CatalogEntry> catalog = BlockCatalog(false);
  AddLinear(catalog, table, static_cast<int64_t>(15000 * scale));
  AddSearched(catalog, table, 8000, static_cast<int64_t>(100'000'000 * scale));
  AddMatrix(catalog, table, scale);
  AddPolished(catalog, table, scale);
  Write(table);
  return 0;
}
