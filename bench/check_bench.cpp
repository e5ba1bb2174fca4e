// The checking tools on the largest inputs, each beside its floor measured in
// the same run:
// - analysis of the full 14-match system (4,782,969 outcomes) against the
//   177,147 rows of a ternary Hamming code times match 14 and against the
//   1,195,743 rows that "Garanti" 13 keeps; floor: mapping and filling one
//   byte per outcome fresh (fresh_fill_ms) and one pass over the rows
//   (rows_pass_ms); peak_MB: resident memory the analysis added beyond the
//   rows (peak resident set reset through /proc/self/clear_refs);
// - the same with streck, the probability by number of right;
// - reading a 10,000-row file; floor: reading the same bytes into a buffer and
//   finding their line breaks (read_floor_ms);
// - reading the 1,195,743-row file, with peak_MB beside the rows' packed size;
// - a hostile 2 GB sparse file, refused at its first line;
// - grading 1,195,743 rows; floor: one pass over the same rows.
//   build/bench/check_bench
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include "resident_peak.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "check/analysis.h"
#include "check/grading.h"
#include "coupon/system_shape.h"
#include "reduce/reduction.h"
#include "text/coupon_reader.h"
#include "text/coupon_text.h"

namespace spelkub {
namespace {

using Clock = std::chrono::steady_clock;
using bench::PeakMbBeyond;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

template <typename Work>
double MedianMs(Work work, int runs = 5) {
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    work();
    times.push_back(MsSince(start));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

double FreshFillMs(size_t bytes) {
  return MedianMs([bytes] {
    void* memory =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return;
    std::memset(memory, 1, bytes);
    benchmark::DoNotOptimize(memory);
    ::munmap(memory, bytes);
  });
}

double RowsPassMs(const std::vector<PackedRow>& rows) {
  return MedianMs([&rows] {
    PackedRow sum = 0;
    for (const PackedRow row : rows) sum += row ^ (row >> 1);
    benchmark::DoNotOptimize(sum);
  });
}

SystemShape FullShape(int matches) {
  SystemShape shape;
  shape.matches = matches;
  for (int m = 0; m < matches; ++m) {
    shape.radix[m] = 3;
    shape.outcomes[m] = {0, 1, 2};
  }
  return shape;
}

// The ternary Hamming code of length 13 (parity checks: the 13 points of the
// projective plane over GF(3)) on matches 1-13, times all of match 14.
const std::vector<PackedRow>& HammingRows() {
  static const std::vector<PackedRow> rows = [] {
    std::vector<std::array<int, 3>> columns;
    for (int a = 0; a < 3; ++a) {
      for (int b = 0; b < 3; ++b) {
        for (int c = 0; c < 3; ++c) {
          const int first = a != 0 ? a : b != 0 ? b : c;
          if (first == 1) columns.push_back({a, b, c});
        }
      }
    }
    std::vector<PackedRow> code;
    for (int64_t index = 0; index < 1594323; ++index) {
      int64_t rest = index;
      std::array<int, 3> syndrome{};
      PackedRow row = 0;
      for (int m = 0; m < 13; ++m, rest /= 3) {
        const int symbol = static_cast<int>(rest % 3);
        for (int i = 0; i < 3; ++i) syndrome[i] += symbol * columns[m][i];
        row |= PackedRow(symbol) << (2 * m);
      }
      if (syndrome[0] % 3 == 0 && syndrome[1] % 3 == 0 && syndrome[2] % 3 == 0) {
        for (PackedRow last = 0; last < 3; ++last) code.push_back(row | last << 26);
      }
    }
    return code;
  }();
  return rows;
}

CouponState FullCoupon(int32_t game) {
  CouponState state;
  state.Game = game;
  for (int cell = 0; cell < 3 * MatchesInPlay(game); ++cell) state.Marks[cell] = 1;
  return state;
}

// The rows that "Garanti" 13 keeps of the full 14-match system.
const std::vector<PackedRow>& GreedyRows() {
  static const std::vector<PackedRow> rows = [] {
    const RowSet set = GenerateFullSystem(FullCoupon(kSupertoto), kPlus13No);
    const ReductionResult kept = *ReduceToGuarantee(set, 13, false);
    std::vector<PackedRow> chosen;
    chosen.reserve(kept.kept.size());
    for (const uint32_t index : kept.kept) chosen.push_back(set.rows[index]);
    return chosen;
  }();
  return rows;
}

void Analyse(benchmark::State& bench, const std::vector<PackedRow>& (*rowsOf)(), bool weighted) {
  const std::vector<PackedRow>& rows = rowsOf();
  const SystemShape shape = FullShape(14);
  Streck streck;
  streck.matches = 14;
  for (auto& match : streck.percent) match = {45, 30, 25};
  AnalysisReport report;
  for (auto _ : bench) {
    report = AnalyseRows(shape, rows, weighted ? &streck : nullptr);
    benchmark::DoNotOptimize(report.outcomesByRight.data());
  }
  bench.counters["rows"] = static_cast<double>(rows.size());
  bench.counters["guarantee"] = report.guarantee;
  bench.counters["outcomes_13_right"] = static_cast<double>(report.outcomesByRight[13]);
  bench.counters["fresh_fill_ms"] = FreshFillMs(static_cast<size_t>(shape.size()));
  bench.counters["rows_pass_ms"] = RowsPassMs(rows);
  bench.counters["peak_MB"] =
      PeakMbBeyond([&] { benchmark::DoNotOptimize(AnalyseRows(shape, rows).guarantee); });
}

BENCHMARK_CAPTURE(Analyse, Full14HammingRows, &HammingRows, false)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK_CAPTURE(Analyse, Full14GreedyRows, &GreedyRows, false)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK_CAPTURE(Analyse, Full14GreedyRowsWithStreck, &GreedyRows, true)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

std::string TempPath(std::string_view name) {
  return (std::filesystem::temp_directory_path() /
          ("check_bench_" + std::to_string(::getpid()) + "_" + std::string(name)))
      .string();
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Reading the same bytes into a buffer of the reader's size and counting
// their line breaks.
double ReadFloorMs(const std::string& path) {
  std::vector<char> buffer(size_t{1} << 20);
  return MedianMs([&] {
    const int fd = ::open(path.c_str(), O_RDONLY);
    int64_t lines = 0;
    for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;) {
      const char* at = buffer.data();
      const char* end = at + got;
      while ((at = static_cast<const char*>(std::memchr(at, '\n', end - at))) != nullptr) {
        ++lines;
        ++at;
      }
    }
    ::close(fd);
    benchmark::DoNotOptimize(lines);
  });
}

void ReadFile(benchmark::State& bench, const std::vector<PackedRow>& (*rowsOf)(), size_t count) {
  const std::vector<PackedRow>& all = rowsOf();
  RowSet set;
  set.game = kSupertoto;
  set.matches = 14;
  set.rows.assign(all.begin(), all.begin() + std::min(count, all.size()));
  const std::string path = TempPath("rader.txt");
  const std::string text = CouponText(set);
  WriteText(path, text);
  size_t rows = 0;
  for (auto _ : bench) {
    const ReadResult result = ReadCouponFile(path);
    rows = result.coupon ? result.coupon->rows.size() : 0;
    benchmark::DoNotOptimize(rows);
  }
  bench.counters["rows"] = static_cast<double>(rows);
  bench.counters["bytes"] = static_cast<double>(text.size());
  bench.counters["read_floor_ms"] = ReadFloorMs(path);
  bench.counters["packed_MB"] = static_cast<double>(rows * sizeof(PackedRow)) / (1 << 20);
  bench.counters["peak_MB"] =
      PeakMbBeyond([&] { benchmark::DoNotOptimize(ReadCouponFile(path).coupon.has_value()); });
  std::filesystem::remove(path);
}

BENCHMARK_CAPTURE(ReadFile, TenThousandRows, &GreedyRows, 10000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadFile, GreedyRows, &GreedyRows, 1195743)->Unit(benchmark::kMillisecond);

void ReadHostileSparseFile(benchmark::State& bench) {
  const std::string path = TempPath("noll.txt");
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || ::ftruncate(fd, off_t{2} << 30) != 0) bench.SkipWithError("no sparse file");
  ::close(fd);
  bool refused = false;
  for (auto _ : bench) {
    refused = !ReadCouponFile(path).coupon.has_value();
    benchmark::DoNotOptimize(refused);
  }
  bench.counters["refused"] = refused;
  bench.counters["peak_MB"] =
      PeakMbBeyond([&] { benchmark::DoNotOptimize(ReadCouponFile(path).error.size()); });
  std::filesystem::remove(path);
}

BENCHMARK(ReadHostileSparseFile)->Unit(benchmark::kMillisecond);

void Grade(benchmark::State& bench) {
  const std::vector<PackedRow>& rows = GreedyRows();
  std::string error;
  const MatchResults results = *ParseResults("1X21X21X21X2--", 14, &error);
  GradeReport report;
  for (auto _ : bench) {
    report = GradeRows(rows, results);
    benchmark::DoNotOptimize(report.rowsByRight.data());
  }
  bench.counters["rows"] = static_cast<double>(rows.size());
  bench.counters["rows_12_right"] = static_cast<double>(report.rowsByRight[12]);
  bench.counters["rows_pass_ms"] = RowsPassMs(rows);
}

BENCHMARK(Grade)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace spelkub
