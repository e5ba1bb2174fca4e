// Reading rows in bounded memory: a text that never ends is refused after
// kMaxCouponRows rows, and "Garantianalys" of a file keeps only the rows the
// system tells apart, with the same report as reading every row.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "commands/check_commands.h"
#include "support/temp_folder.h"
#include "text/coupon_reader.h"

namespace spelkub {
namespace {

std::string RowLine(PackedRow row) {
  std::string line = "E";
  for (int m = 1; m <= 13; ++m) {
    line += ',';
    line += "1X2"[PackedOutcome(row, m)];
  }
  return line + "\r\n";
}

// A pipe whose writer sends rows until the reader goes away.
TEST(ReadingLimits, ATextThatNeverEndsIsRefusedAfterTheMostRows) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const auto oldHandler = std::signal(SIGPIPE, SIG_IGN);
  std::jthread writer([writeEnd = ends[1]] {
    std::string block = "Stryktipset,13plus=Nej\r\n";
    for (int i = 0; i < 4096; ++i) {
      PackedRow row = 0;
      for (int m = 0; m < 13; ++m) row |= PackedRow((i >> m) % 3) << (2 * m);
      block += RowLine(row);
    }
    size_t from = 0;
    for (;;) {
      const ssize_t written = ::write(writeEnd, block.data() + from, block.size() - from);
      if (written < 0) break;  // the reader is gone
      from += static_cast<size_t>(written);
      if (from == block.size()) from = 24;  // the header once, then rows for ever
    }
    ::close(writeEnd);
  });
  int64_t visited = 0;
  const ReadResult read = ReadCouponFileVisiting("/dev/fd/" + std::to_string(ends[0]),
                                                 [&](PackedRow, int64_t) { ++visited; });
  ::close(ends[0]);
  writer.join();
  std::signal(SIGPIPE, oldHandler);
  EXPECT_FALSE(read.coupon);
  EXPECT_EQ(read.error,
            "Rad " + std::to_string(kMaxCouponRows + 2) + ": för många rader, högst 10 000 000");
  EXPECT_EQ(visited, kMaxCouponRows);
}

CouponState StateOf(const std::vector<std::string>& marks) {
  CouponState state;
  state.Game = kStryktipset;
  for (int m = 1; m <= 13; ++m) {
    for (const char sign : marks[static_cast<size_t>(m - 1)]) {
      state.Marks[CellIndex(m, sign == '1' ? 0 : sign == 'X' ? 1 : 2)] = 1;
    }
  }
  return state;
}

// Every row read and analysed, as before the analysis read row by row: the
// oracle for the report.
std::string ReportReadingEveryRow(const CouponState& state, const std::string& path) {
  const Refusable<AnalysisInput> input =
      PrepareAnalysis(state, ReadCouponFile(path), RowSource::kFile, ConditionInput{});
  if (!input.value) return input.refusal.text;
  return RunAnalysis(*input.value, std::nullopt)->companionText + "|" +
         RunAnalysis(*input.value, std::nullopt)->summaryText + "|" +
         RunAnalysis(*input.value, std::nullopt)->outsideText;
}

TEST(ReadingLimits, TheAnalysisOfAFileKeepsTheDistinctRowsAndReportsAsReadingEveryRow) {
  const testing::TempFolder folder("reading_limits");
  const std::string path = folder.Path("rader.txt").string();
  std::mt19937 random(7);
  for (int trial = 0; trial < 40; ++trial) {
    std::vector<std::string> marks;
    for (int m = 0; m < 13; ++m) {
      const char* choices[] = {"1", "X", "2", "1X", "X2", "12", "1X2"};
      marks.push_back(m < 5 ? choices[random() % 7] : choices[random() % 3]);
    }
    const CouponState state = StateOf(marks);
    // Few distinct rows, each written many times, some outside the system.
    std::vector<PackedRow> distinct;
    for (int i = 0; i < 6; ++i) {
      PackedRow row = 0;
      for (int m = 0; m < 13; ++m) {
        const std::string& marked = marks[static_cast<size_t>(m)];
        const char sign =
            random() % 5 == 0 ? "1X2"[random() % 3] : marked[random() % marked.size()];
        row |= PackedRow(sign == '1' ? 0 : sign == 'X' ? 1 : 2) << (2 * m);
      }
      distinct.push_back(row);
    }
    std::string text = "Stryktipset,13plus=Nej\r\n";
    const int copies = 1 + static_cast<int>(random() % 300);
    for (int i = 0; i < copies * 6; ++i) text += RowLine(distinct[random() % 6]);
    testing::WriteFile(path, text);

    const Refusable<AnalysisInput> input = PrepareAnalysisOfFile(state, path, ConditionInput{});
    ASSERT_TRUE(input.value) << input.refusal.text;
    EXPECT_LE(input.value->rows.size(), 6u);
    ASSERT_TRUE(input.value->read);
    EXPECT_EQ(input.value->read->rows, copies * 6);
    const std::optional<AnalysisOutcome> outcome = RunAnalysis(*input.value, std::nullopt);
    EXPECT_EQ(outcome->companionText + "|" + outcome->summaryText + "|" + outcome->outsideText,
              ReportReadingEveryRow(state, path))
        << trial;
  }
}

TEST(ReadingLimits, TheAnalysisOfAFileRefusesAsBefore) {
  const testing::TempFolder folder("reading_limits");
  const std::string path = folder.Path("rader.txt").string();
  const CouponState state = StateOf(std::vector<std::string>(13, "1X2"));
  for (const std::string& text :
       {std::string("Stryktipset,13plus=Nej\r\n"), std::string("Stryktipset\r\nE,1,1\r\n"),
        std::string("1,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n")}) {
    testing::WriteFile(path, text);
    const Refusable<AnalysisInput> streamed = PrepareAnalysisOfFile(state, path, ConditionInput{});
    const Refusable<AnalysisInput> whole =
        PrepareAnalysis(state, ReadCouponFile(path), RowSource::kFile, ConditionInput{});
    EXPECT_FALSE(streamed.value);
    EXPECT_EQ(streamed.refusal.text, whole.refusal.text);
  }
}

}  // namespace
}  // namespace spelkub
