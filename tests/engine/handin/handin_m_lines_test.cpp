#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "commands/hand_in_command.h"
#include "coupon/games.h"
#include "handin/handin.h"
#include "handin/handin_reader.h"
#include "handin/m_lines.h"
#include "io/save_file.h"
#include "support/temp_folder.h"

namespace spelkub {
namespace {

using testing::TempFolder;

std::vector<PackedRow> Product(const std::vector<std::string>& groups) {
  std::vector<PackedRow> rows = {0};
  for (size_t m = 0; m < groups.size(); ++m) {
    std::vector<PackedRow> next;
    for (const PackedRow row : rows) {
      for (const char c : groups[m]) {
        const PackedRow sign = c == '1' ? 0 : c == 'X' ? 1 : 2;
        next.push_back(row | sign << (2 * m));
      }
    }
    rows = std::move(next);
  }
  return rows;
}

std::vector<PackedRow> Sorted(std::vector<PackedRow> rows) {
  std::sort(rows.begin(), rows.end());
  return rows;
}

TEST(MLines, AProductOfMarksIsOneLine) {
  const std::vector<std::string> groups = {"1X2", "1", "X2", "1X2", "1", "1", "2",
                                           "X",   "1", "12", "1",   "1", "1"};
  const std::vector<PackedRow> rows = Product(groups);
  const std::vector<MSystem> systems = SplitIntoMSystems(13, rows, kLargestMSystem);
  ASSERT_EQ(systems.size(), 1u);
  EXPECT_EQ(systems[0].Line(), "M36,1X2,1,X2,1X2,1,1,2,X,1,12,1,1,1");
  EXPECT_EQ(Sorted(systems[0].Expand()), Sorted(rows));
}

// Any row set splits exactly: every row once, each product inside the set,
// none larger than asked (checked against the rows themselves).
TEST(MLines, AnyRowSetSplitsExactlyIntoProducts) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 30; ++trial) {
    std::set<PackedRow> unique;
    const int matches = 4 + static_cast<int>(random() % 5);
    size_t outcomes = 1;
    for (int m = 0; m < matches; ++m) outcomes *= 3;
    const size_t count = 1 + random() % std::min<size_t>(200, outcomes);
    while (unique.size() < count) {
      PackedRow row = 0;
      for (int m = 0; m < matches; ++m) row |= PackedRow(random() % 3) << (2 * m);
      unique.insert(row);
    }
    const std::vector<PackedRow> rows(unique.begin(), unique.end());
    const int64_t largest = 1 + static_cast<int64_t>(random() % 40);
    std::vector<PackedRow> covered;
    for (const MSystem& system : SplitIntoMSystems(matches, rows, largest)) {
      EXPECT_LE(system.Rows(), largest);
      const std::vector<PackedRow> part = system.Expand();
      covered.insert(covered.end(), part.begin(), part.end());
    }
    EXPECT_EQ(Sorted(covered), rows) << "trial " << trial;
  }
}

TEST(HandInSplit, TheStakeCapSplitsBeforeTheRowLimitForDearRows) {
  std::mt19937 random(8);
  std::vector<PackedRow> rows(9000);
  for (PackedRow& row : rows) {
    row = 0;
    for (int m = 0; m < 8; ++m) row |= PackedRow(random() % 3) << (2 * m);
  }
  // Topptipset at 5 kr a row: 4,000 rows is 20,000 kr.
  const GameRules& topp = Rules(kTopptipset);
  const HandInSplit dear =
      SplitForHandIn(topp, {.draw = 2841, .stake = 5}, rows, HandInForm::kRows);
  ASSERT_EQ(dear.files.size(), 3u);
  EXPECT_EQ(dear.files[0].rows.size(), 4000u);
  EXPECT_EQ(dear.files[2].rows.size(), 1000u);
  EXPECT_EQ(dear.why, "Högst 20 000 kr per fil: 4 000 rader à 5 kr.");
  EXPECT_EQ(dear.files[0].text.substr(0, 32), "Topptipset,Omg=2841,Insats=5\r\nE,");
  const HandInSplit cheap =
      SplitForHandIn(topp, {.draw = 2841, .stake = 1}, rows, HandInForm::kRows);
  EXPECT_EQ(cheap.files.size(), 1u);
  EXPECT_EQ(cheap.why, "");
  // A stake the game does not take, or no draw, is refused before any file.
  EXPECT_THROW(SplitForHandIn(topp, {.draw = 2841, .stake = 3}, rows, HandInForm::kRows),
               HandInRefused);
  EXPECT_THROW(SplitForHandIn(topp, {}, rows, HandInForm::kRows), HandInRefused);
}

TEST(HandInSplit, MLinesKeepTheStakeCapAndTheLineLimit) {
  // 3^9 · 2 = 39,366 rows, one product: more than 20,000 kr at 1 kr.
  const std::vector<PackedRow> rows =
      Product({"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "12", "1", "1", "1"});
  const HandInSplit split = SplitForHandIn(Rules(kStryktipset), {}, rows, HandInForm::kMLines);
  ASSERT_EQ(split.files.size(), 2u);
  std::vector<PackedRow> all;
  for (const HandInFile& file : split.files) {
    EXPECT_LE(file.rows.size(), 20000u);
    const HandInRead read = ReadHandInText(file.text);
    ASSERT_TRUE(read.content) << read.error;
    EXPECT_EQ(read.content->form, HandInForm::kMLines);
    EXPECT_EQ(Sorted(read.content->rows), Sorted(file.rows));
    all.insert(all.end(), file.rows.begin(), file.rows.end());
  }
  EXPECT_EQ(Sorted(all), Sorted(rows));
  EXPECT_EQ(split.why, "Högst 20 000 kr per fil: 20 000 rader à 1 kr.");
}

TEST(HandInReader, RefusesBadMLinesWithTheirLine) {
  const auto error = [](const std::string& text) {
    const HandInRead read = ReadHandInText(text);
    EXPECT_FALSE(read.content) << text;
    return read.error;
  };
  EXPECT_EQ(error("Stryktipset\r\nM3,1X2,1,1,1,1,1,1,1,1,1,1,1\r\n"),
            "Rad 2: M-raden ska ha 13 grupper av tecken");
  EXPECT_EQ(error("Stryktipset\r\nM4,1X2,1,1,1,1,1,1,1,1,1,1,1,1\r\n"),
            "Rad 2: M-raden säger 4 rader men grupperna ger 3");
  EXPECT_EQ(error("Stryktipset\r\nM2,X1,1,1,1,1,1,1,1,1,1,1,1,1\r\n"),
            "Rad 2: match 1 har \"X1\", väntade tecknen 1, X och 2 i den ordningen, vart och ett "
            "en gång");
  EXPECT_EQ(error("Stryktipset\r\nM1,1,1,1,1,1,1,1,1,1,1,1,1,1\r\nE,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n"),
            "Rad 3: en fil har E-rader eller M-rader, inte båda");
  EXPECT_NE(
      error("Stryktipset,13plus=Nej\r\nE,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n").find("inlämningsfil"),
      std::string::npos);
}

// The save reports saved only after reading every file back: a file that
// comes back different is named and the save refused.
TEST(HandInSave, AFileThatReadsBackDifferentIsNotReportedSaved) {
  TempFolder folder("handin_m");
  const std::vector<PackedRow> rows =
      Product({"1X2", "1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  const Refusable<HandInFiles> files = PrepareHandIn(kStryktipset, rows, false);
  ASSERT_TRUE(files.value);
  const std::string path = folder.Path("rader.txt").string();
  try {
    SaveHandIn(*files.value, path, SaveHandInFiles, [](const std::string& name) {
      std::string bytes = ReadBackFile(name);
      bytes[bytes.size() - 3] = bytes[bytes.size() - 3] == '1' ? '2' : '1';  // the last sign
      return bytes;
    });
    FAIL() << "a wrong file was reported saved";
  } catch (const SaveError& error) {
    EXPECT_EQ(std::string(error.what()), "Filen \"" + path +
                                             "\" stämmer inte med raderna när den läses tillbaka "
                                             "(rad 9 skiljer sig). Lämna inte in den; spara igen.");
  }
  // The M form saves one line and reads back.
  const Refusable<HandInFiles> m =
      PrepareHandIn(kStryktipset, rows, false, {.form = HandInForm::kMLines, .ticket = {}});
  ASSERT_TRUE(m.value);
  const Refusable<HandInSaved> saved = SaveHandIn(*m.value, path);
  ASSERT_TRUE(saved.value);
  EXPECT_EQ(testing::ReadFile(path), "Stryktipset\r\nM9,1X2,1X2,1,1,1,1,1,1,1,1,1,1,1\r\n");
  EXPECT_EQ(saved.value->sha256.size(), 1u);
}

}  // namespace
}  // namespace spelkub
