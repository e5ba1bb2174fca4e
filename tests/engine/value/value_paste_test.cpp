// Pasting match values: the forms a spreadsheet, a web page and a text file
// give, where each number lands, and the refusals that write nothing.
#include "value/paste.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace spelkub {
namespace {

// The match table's layout: two names, odds, chances, streck, then three
// computed columns.
PasteTable MatchTable(int rows) {
  PasteTable table;
  table.rows = rows;
  table.columns = {PasteColumn::kText, PasteColumn::kText};
  table.names = {"Hemma", "Borta"};
  table.signGroup = {-1, -1};
  for (const char* group : {"Odds", "Chans", "Streck"}) {
    const int first = static_cast<int>(table.columns.size());
    for (const char* sign : {"1", "X", "2"}) {
      table.columns.push_back(PasteColumn::kNumber);
      table.names.push_back(std::string(group) + " " + sign);
      table.signGroup.push_back(first);
    }
  }
  for (const char* sign : {"1", "X", "2"}) {
    table.columns.push_back(PasteColumn::kFixed);
    table.names.push_back(std::string("Spelvärde ") + sign);
    table.signGroup.push_back(-1);
  }
  return table;
}

constexpr int kOdds = 2;
constexpr int kChance = 5;
constexpr int kStreck = 8;
constexpr int kValue = 11;

std::vector<PastedCell> Paste(std::string_view text, int rows, int row, int column) {
  std::string error;
  const auto cells = PasteCells(text, MatchTable(rows), row, column, &error);
  EXPECT_TRUE(cells) << error;
  return cells ? *cells : std::vector<PastedCell>{};
}

std::string Refusal(std::string_view text, int rows, int row, int column) {
  std::string error;
  const auto cells = PasteCells(text, MatchTable(rows), row, column, &error);
  EXPECT_FALSE(cells) << "accepted " << text;
  return error;
}

TEST(ReadPastedNumber, TakesCommaPointPercentAndBlanks) {
  EXPECT_EQ(ReadPastedNumber("45"), 45.0);
  EXPECT_EQ(ReadPastedNumber("45,5"), 45.5);
  EXPECT_EQ(ReadPastedNumber(" 2.10 "), 2.1);
  EXPECT_EQ(ReadPastedNumber("52 %"), 52.0);
  EXPECT_EQ(ReadPastedNumber("52\xC2\xA0%"), 52.0);
  EXPECT_EQ(ReadPastedNumber("\"33,3\""), 33.3);
  EXPECT_EQ(ReadPastedNumber(",5"), 0.5);
  EXPECT_EQ(ReadPastedNumber("-0"), 0.0);
}

TEST(ReadPastedNumber, RefusesWhatIsNoPlainNumber) {
  for (const char* text : {"", "%", "abc", "1,5,5", "1.000,5", "1e5", "inf", "nan", "-5", "12a",
                           "1 000", "1000000000000", "+"}) {
    EXPECT_EQ(ReadPastedNumber(text), std::nullopt) << text;
  }
}

TEST(PasteCells, TabSeparatedBlockLandsAtTheSelectedCell) {
  // As a spreadsheet copies two rows of three chances: CR LF, a last line end.
  const auto cells = Paste("45,5\t30\t24,5\r\n60\t25\t15\r\n", 13, 2, kChance);
  ASSERT_EQ(cells.size(), 6u);
  const double expected[2][3] = {{45.5, 30, 24.5}, {60, 25, 15}};
  for (int line = 0; line < 2; ++line) {
    for (int sign = 0; sign < 3; ++sign) {
      const PastedCell& cell = cells[3 * line + sign];
      EXPECT_EQ(cell.row, 2 + line);
      EXPECT_EQ(cell.column, kChance + sign);
      EXPECT_EQ(cell.number, expected[line][sign]);
    }
  }
}

TEST(PasteCells, SemicolonRowsWithNamesFillTheWholeTable) {
  std::string text;
  for (int match = 1; match <= 13; ++match) {
    text += "Hem " + std::to_string(match) + ";Borta;2,10;3,4;3.6;45;30;25;52;26;22;\n";
  }
  const auto cells = Paste(text, 13, 0, 0);
  ASSERT_EQ(cells.size(), 13u * 11u);
  EXPECT_EQ(cells[11].text, "Hem 2");
  EXPECT_EQ(cells[11].row, 1);
  EXPECT_EQ(cells[12].text, "Borta");
  EXPECT_EQ(cells[13].number, 2.1);
  EXPECT_EQ(cells[13].column, kOdds);
  EXPECT_EQ(cells.back().column, kStreck + 2);
  EXPECT_EQ(cells.back().number, 22.0);
}

TEST(PasteCells, BlankSeparatedNumbersSplitAndOtherLinesStayWhole) {
  const auto numbers = Paste("45 30 25\n60 25 15", 13, 0, kStreck);
  ASSERT_EQ(numbers.size(), 6u);
  EXPECT_EQ(numbers[4].number, 25.0);
  EXPECT_EQ(numbers[4].column, kStreck + 1);
  // A column of percentages from a web page: each line one cell.
  const auto column = Paste("52 %\n26 %\n22 %", 13, 0, kStreck);
  ASSERT_EQ(column.size(), 3u);
  EXPECT_EQ(column[2].row, 2);
  EXPECT_EQ(column[2].column, kStreck);
  EXPECT_EQ(column[2].number, 22.0);
  // Team names with blanks are one cell too.
  const auto names = Paste("Malmö FF\nIFK Göteborg", 13, 0, 0);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[1].text, "IFK Göteborg");
}

TEST(PasteCells, EmptyFieldsClearTheirCellsAndKeepTheRowsInPlace) {
  // A spreadsheet column with an empty cell in the middle.
  const auto cells = Paste("45\n\n25\n", 13, 0, kChance);
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_EQ(cells[0].number, 45.0);
  EXPECT_TRUE(std::isnan(cells[1].number));
  EXPECT_EQ(cells[1].row, 1);
  EXPECT_EQ(cells[2].row, 2);
}

// One line of 3 numbers per match, in the forms people write it, fills the
// selected group from match 1 whichever row is selected.
TEST(PasteCells, OneLineOfThreePerMatchFillsTheSelectedGroup) {
  std::mt19937 random(20240518);
  std::uniform_int_distribution<int> percent(0, 99);
  for (const int rows : {13, 14}) {
    std::vector<int> numbers;
    for (int i = 0; i < 3 * rows; ++i) numbers.push_back(percent(random));
    for (const std::string separator : {" ", "\t", ";", ",", " ; "}) {
      std::string line;
      for (size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0) line += separator;
        line += std::to_string(numbers[i]);
      }
      for (const int group : {kOdds, kChance, kStreck}) {
        const auto cells = Paste(line + "\r\n", rows, 5, group + 1);
        ASSERT_EQ(cells.size(), numbers.size()) << separator;
        for (size_t i = 0; i < cells.size(); ++i) {
          EXPECT_EQ(cells[i].row, static_cast<int>(i / 3));
          EXPECT_EQ(cells[i].column, group + static_cast<int>(i % 3));
          EXPECT_EQ(cells[i].number, numbers[i]) << "seed 20240518, number " << i;
        }
      }
    }
  }
}

TEST(PasteCells, OneLineWithDecimalCommasBetweenTabs) {
  std::string line;
  for (int i = 0; i < 39; ++i) {
    if (i > 0) line += '\t';
    line += std::to_string(i);
    line += ",5";
  }
  const auto cells = Paste(line, 13, 0, kChance);
  ASSERT_EQ(cells.size(), 39u);
  EXPECT_EQ(cells[38].number, 38.5);
}

TEST(PasteCells, Refusals) {
  std::string line39;
  for (int i = 0; i < 39; ++i) line39 += "10 ";
  EXPECT_EQ(Refusal("", 13, 0, kChance), "Det finns inget att klistra in");
  EXPECT_EQ(Refusal("\r\n  \n", 13, 0, kChance), "Det finns inget att klistra in");
  EXPECT_EQ(Refusal("45\t30\t25\n60\tabc\t15", 13, 0, kChance),
            "Rad 2, fält 2: \"abc\" är inget tal");
  EXPECT_EQ(Refusal("45;-5;25", 13, 0, kChance), "Rad 1, fält 2: talet \"-5\" är negativt");
  EXPECT_EQ(Refusal("1000000000000", 13, 0, kOdds),
            "Rad 1, fält 1: \"1000000000000\" är för stort");
  EXPECT_EQ(Refusal("1\n2\n3\n4", 13, 11, kChance),
            "Det inklistrade har 4 rader, men från match 12 får bara 2 plats");
  EXPECT_EQ(Refusal("1;2;3;4", 13, 0, kStreck),
            "Det inklistrade har 4 fält per rad, men från \"Streck 1\" får bara 3 plats");
  EXPECT_EQ(Refusal("1", 13, 0, kValue),
            "Kolumnen \"Spelvärde 1\" räknas fram och går inte att klistra in i");
  EXPECT_EQ(Refusal(line39, 13, 0, 0),
            "39 tal på en rad fyller odds, chans eller streck: markera en sådan kolumn först");
  // 39 numbers are no line of the coupon on Supertoto: a row that is too wide.
  EXPECT_EQ(Refusal(line39, 14, 0, kChance),
            "Det inklistrade har 39 fält per rad, men från \"Chans 1\" får bara 6 plats");
  EXPECT_EQ(Refusal("1", 13, 13, kChance), "Markera cellen att klistra in i");
}

}  // namespace
}  // namespace spelkub
