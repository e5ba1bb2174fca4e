// The one reader of numbers players type and paste: what it takes, how it
// splits a list, and that every front end says the same about the same text.
#include "coupon/number_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check/analysis.h"
#include "value/paste.h"

namespace spelkub {
namespace {

std::vector<std::string> Fields(std::string_view text) {
  std::vector<std::string> fields;
  for (const std::string_view field : NumberFields(text)) fields.emplace_back(field);
  return fields;
}

TEST(ReadNumberText, TakesWhatSpreadsheetsAndPagesShow) {
  const std::pair<const char*, double> taken[] = {
      {"45", 45},  {"45,5", 45.5},     {"2.10", 2.1},       {"52 %", 52},
      {"52%", 52}, {"\"33,3\"", 33.3}, {" 7 ", 7},          {"0", 0},
      {"-0", 0},   {",5", 0.5},        {"1000000000", 1e9}, {"12\xC2\xA0%", 12}};
  for (const auto& [text, expected] : taken) {
    double number = -1;
    EXPECT_EQ(ReadNumberText(text, &number), NumberRead::kNumber) << text;
    EXPECT_EQ(number, expected) << text;
  }
  const std::pair<const char*, NumberRead> refused[] = {
      {"", NumberRead::kNotNumber},          {"abc", NumberRead::kNotNumber},
      {"1e3", NumberRead::kNotNumber},       {"1 000", NumberRead::kNotNumber},
      {"1,2,3", NumberRead::kNotNumber},     {"-5", NumberRead::kNegative},
      {"1000000001", NumberRead::kTooLarge}, {"nan", NumberRead::kNotNumber},
      {"inf", NumberRead::kNotNumber},       {"%", NumberRead::kNotNumber}};
  for (const auto& [text, expected] : refused) {
    double number = -1;
    EXPECT_EQ(ReadNumberText(text, &number), expected) << text;
    EXPECT_EQ(number, -1) << text;
  }
  double number = -1;
  EXPECT_EQ(ReadNumberText(std::string(400, '9'), &number), NumberRead::kTooLarge);
  EXPECT_EQ(ReadNumberText("0," + std::string(400, '0') + "1", &number), NumberRead::kTooSmall);
}

TEST(NumberFields, ACommaBetweenDigitsIsDecimalWhenBlanksSeparate) {
  EXPECT_EQ(Fields("45,5 30 24,5, 50 25 25"),
            (std::vector<std::string>{"45,5", "30", "24,5", "50", "25", "25"}));
  EXPECT_EQ(Fields("45,30,25"), (std::vector<std::string>{"45", "30", "25"}));
  EXPECT_EQ(Fields("45,5;30;24,5"), (std::vector<std::string>{"45,5", "30", "24,5"}));
  EXPECT_EQ(Fields("45 , 30,25 ,"), (std::vector<std::string>{"45", "30,25"}));
  EXPECT_EQ(Fields("1\t2\n3\r\n4"), (std::vector<std::string>{"1", "2", "3", "4"}));
  EXPECT_TRUE(Fields(" ,; ").empty());
  // Groups of three with commas inside and semicolons between: every comma
  // of a group splits it, as the companion's --streck has always read it.
  EXPECT_EQ(Fields("40,30,30;50,25,25"),
            (std::vector<std::string>{"40", "30", "30", "50", "25", "25"}));
  EXPECT_EQ(Fields("40,5,30,29,5; 1 2"),
            (std::vector<std::string>{"40", "5", "30", "29", "5", "1", "2"}));
}

TEST(ReadNumberList, NamesTheFirstFieldThatIsNoNumber) {
  NumberList list = ReadNumberList("45 30 x 25");
  EXPECT_TRUE(list.numbers.empty());
  EXPECT_EQ(list.problem, "\"x\" är inget tal");
  list = ReadNumberList("1 -2 3");
  EXPECT_EQ(list.problem, "talet \"-2\" är negativt");
  list = ReadNumberList("1 2 " + std::string(5000, '7'));
  EXPECT_EQ(list.problem, "\"7777777777777777…\" är för stort");
  list = ReadNumberList("45,5 30 24,5");
  EXPECT_EQ(list.numbers, (std::vector<double>{45.5, 30, 24.5}));
  EXPECT_TRUE(list.problem.empty());
}

TEST(CountProblem, HintsAtTheDecimalCommaOnlyWhereItSplitANumber) {
  EXPECT_EQ(CountProblem("1 2 3", 39, 3), "väntade 39 tal, tre per match, fick 3");
  EXPECT_EQ(CountProblem("45,5,30,24,5", 39, 5),
            "väntade 39 tal, tre per match, fick 5 (med decimalkomma: skilj talen åt med "
            "mellanslag eller semikolon)");
  EXPECT_EQ(CountProblem("45,5 30", 39, 2), "väntade 39 tal, tre per match, fick 2");
}

// The analysis's streck and a pasted cell say the same about the same text:
// there used to be a reader for each, with messages of their own.
TEST(ReadNumberText, TheAnalysisAndThePasteAgree) {
  PasteTable table;
  table.rows = 13;
  table.columns = {PasteColumn::kNumber, PasteColumn::kNumber, PasteColumn::kNumber};
  table.names = {"Streck 1", "Streck X", "Streck 2"};
  table.signGroup = {0, 0, 0};
  for (const std::string& bad :
       std::vector<std::string>{"abc", "-5", std::string(400, '9'), "1e5"}) {
    std::string pasted, streck;
    EXPECT_FALSE(PasteCells(bad + "\t1\t2", table, 0, 0, &pasted).has_value());
    EXPECT_FALSE(ParseStreck(bad + " 1 2", 1, &streck).has_value());
    EXPECT_EQ(pasted.substr(pasted.find(": ") + 2), streck.substr(streck.find(": ") + 2)) << bad;
  }
  std::string error;
  const auto streck = ParseStreck("45,5 30 24,5", 1, &error);
  ASSERT_TRUE(streck.has_value()) << error;
  EXPECT_DOUBLE_EQ(streck->percent[0][0], 45.5);
}

}  // namespace
}  // namespace spelkub
