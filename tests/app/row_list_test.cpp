// The row list wrapper: line semantics of a memo over QScintilla.
#include "app/row_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/coupon_builder.h"
#include "support/fake_platform.h"
#include "support/row_list_lines.h"
#include "text/coupon_text.h"

namespace spelkub {
namespace {

class RowListTest : public ::testing::Test, testing::WithApplication {
 protected:
  bool CanUndo(const RowList& list) const {
    return list.SendScintilla(QsciScintillaBase::SCI_CANUNDO) != 0;
  }

  RowList list{RowList::ScrollBars::kBoth, nullptr};
};

TEST_F(RowListTest, EmptyListHasNoLines) {
  EXPECT_EQ(list.LineCount(), 0);
  EXPECT_EQ(list.Text(), "");
  EXPECT_EQ(detail::Line(list, 0), "");
}

TEST_F(RowListTest, FinalLineBreakDoesNotOpenAnotherLine) {
  list.SetText("a\r\nbc\r\n");
  EXPECT_EQ(list.LineCount(), 2);
  EXPECT_EQ(detail::Line(list, 0), "a");
  EXPECT_EQ(detail::Line(list, 1), "bc");
  EXPECT_EQ(detail::Line(list, 2), "");

  list.SetText("a\r\nbc");
  EXPECT_EQ(list.LineCount(), 2);
  EXPECT_EQ(detail::Line(list, 1), "bc");

  list.SetText("a\r\n\r\n");
  EXPECT_EQ(list.LineCount(), 2);
  EXPECT_EQ(detail::Line(list, 1), "");
}

TEST_F(RowListTest, LongLinesAreNeverWrapped) {
  const std::string header = "Italienska stryktipset,13plus=Ja,Antal=0-1";
  list.resize(238, 345);
  list.SetText(header + "\r\nE,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n");
  EXPECT_EQ(list.wrapMode(), QsciScintilla::WrapNone);
  EXPECT_EQ(list.LineCount(), 2);
  EXPECT_EQ(detail::Line(list, 0), header);
}

TEST_F(RowListTest, AppendLineAfterBreakOrEmptyEndsTheLine) {
  detail::AppendLine(list, "E,1");
  detail::AppendLine(list, "E,2");
  EXPECT_EQ(list.Text(), "E,1\r\nE,2\r\n");
  EXPECT_EQ(list.LineCount(), 2);
}

TEST_F(RowListTest, AppendLineAfterAnOpenLineStartsWithBreak) {
  list.SetText("Dina Rader:");
  detail::AppendLine(list, "E,1");
  EXPECT_EQ(list.Text(), "Dina Rader:\r\nE,1");
  EXPECT_EQ(list.LineCount(), 2);
  EXPECT_EQ(detail::Line(list, 1), "E,1");
}

TEST_F(RowListTest, InsertAtEndAppendsBlocksAsTheyAre) {
  detail::InsertAtEnd(list, "head\r\nE,1");
  detail::InsertAtEnd(list, ",X\r\n");
  detail::InsertAtEnd(list, "");
  EXPECT_EQ(list.Text(), "head\r\nE,1,X\r\n");
  EXPECT_EQ(list.LineCount(), 2);
}

TEST_F(RowListTest, ClearEmptiesTheList) {
  list.SetText("one\r\ntwo\r\n");
  list.Clear();
  EXPECT_EQ(list.LineCount(), 0);
  EXPECT_EQ(list.Text(), "");
}

TEST_F(RowListTest, ProgramChangesLeaveNoUndoStep) {
  list.SetText("one\r\n");
  EXPECT_FALSE(CanUndo(list));
  detail::AppendLine(list, "two");
  detail::InsertAtEnd(list, "three\r\n");
  EXPECT_FALSE(CanUndo(list));
  list.Clear();
  EXPECT_FALSE(CanUndo(list));
}

TEST_F(RowListTest, OnlyTheUsersChangesRaiseTextChanged) {
  int changes = 0;
  QObject::connect(&list, &QsciScintilla::textChanged, [&changes] { ++changes; });
  RowList kept(RowList::ScrollBars::kNone, nullptr);
  kept.SetText("head\r\nE,1\r\n");
  list.SetText("one\r\n");
  list.LoadRows(GenerateFullSystem(testing::UniformCoupon(kSupertoto, "1"), kPlus13No));
  list.ReplaceLinesBy(kept);
  list.Clear();
  EXPECT_EQ(changes, 0);
  list.SendScintilla(QsciScintillaBase::SCI_REPLACESEL, "c");
  EXPECT_EQ(changes, 1);
}

TEST_F(RowListTest, UserTypingCanBeUndone) {
  list.SetText("ab\r\n");
  list.SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 2UL);
  list.SendScintilla(QsciScintillaBase::SCI_REPLACESEL, "c");
  EXPECT_EQ(list.Text(), "abc\r\n");
  EXPECT_TRUE(CanUndo(list));
}

TEST_F(RowListTest, TypedLineBreakIsCrLf) {
  list.SetText("ab");
  list.SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 2UL);
  list.SendScintilla(QsciScintillaBase::SCI_NEWLINE);
  EXPECT_EQ(list.Text(), "ab\r\n");
}

TEST_F(RowListTest, TextKeepsEveryByte) {
  const std::string text = "Dina rader \xC3\xA4r h\xC3\xA4r\r\n\r\nE,1\r\n";
  list.SetText(text);
  EXPECT_EQ(list.Text(), text);
  EXPECT_EQ(detail::Line(list, 0), "Dina rader \xC3\xA4r h\xC3\xA4r");
}

TEST_F(RowListTest, SetTextFromItsOwnText) {
  list.SetText("a\r\nb\r\n");
  list.SetText(list.Text().substr(3));
  EXPECT_EQ(list.Text(), "b\r\n");
}

TEST_F(RowListTest, ReplaceLinesByCopiesLinesEachEndedByCrLf) {
  RowList kept(RowList::ScrollBars::kNone, nullptr);
  kept.SetText("head\r\nE,1\nE,2\rE,3");
  list.SetText("old\r\n");
  list.ReplaceLinesBy(kept);
  EXPECT_EQ(list.Text(), "head\r\nE,1\r\nE,2\r\nE,3\r\n");
  EXPECT_EQ(list.LineCount(), 4);
  EXPECT_EQ(kept.Text(), "head\r\nE,1\nE,2\rE,3");
}

TEST_F(RowListTest, ReplaceLinesByAnEmptyListEmptiesIt) {
  RowList kept(RowList::ScrollBars::kNone, nullptr);
  list.SetText("old\r\n");
  list.ReplaceLinesBy(kept);
  EXPECT_EQ(list.LineCount(), 0);
  EXPECT_EQ(list.Text(), "");
}

TEST_F(RowListTest, MillionsOfLinesLoadWhole) {
  const std::string row = "E,1,X,2,1,X,2,1,X,2,1,X,2,1\r\n";
  const int rows = 1594323;
  std::string text;
  text.reserve(row.size() * rows);
  for (int i = 0; i < rows; ++i) text += row;
  list.show();
  list.SetText(text);
  EXPECT_EQ(list.LineCount(), rows);
  EXPECT_EQ(list.Text().size(), text.size());
  EXPECT_EQ(detail::Line(list, rows - 1), row.substr(0, 27));
}

// --- Loading rows ------------------------------------------------------------

// 177,147 rows: more than one block of rendered rows.
RowSet ManyRows() {
  return GenerateFullSystem(
      testing::MakeCoupon(kStryktipset, {"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2",
                                         "1X2", "1X2", "1X2", "1", "X"}),
      kPlus13No);
}

TEST_F(RowListTest, LoadRowsHoldsTheCouponTextOfEveryRow) {
  const RowSet rows = ManyRows();
  ASSERT_EQ(rows.size(), 177147);
  list.SetText("old\r\n");
  list.LoadRows(rows);
  EXPECT_EQ(list.Text(), CouponText(rows));
  EXPECT_EQ(list.LineCount(), 177148);
  EXPECT_FALSE(CanUndo(list));
}

TEST_F(RowListTest, LoadRowsOfSupertotoHasNoHeaderLine) {
  const RowSet rows = GenerateFullSystem(testing::UniformCoupon(kSupertoto, "1"), kPlus13No);
  list.LoadRows(rows);
  EXPECT_EQ(list.Text(), "1,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n");
}

TEST_F(RowListTest, LoadRowsKeepsTheGivenRowsInTheirOrder) {
  const RowSet rows = ManyRows();
  const std::vector<uint32_t> some = {5, 0, 177146, 3};
  list.LoadRows(rows, some);
  EXPECT_EQ(list.Text(), CouponText(rows, some));
  EXPECT_EQ(detail::Line(list, 1), "E,2,X,1,1,1,1,1,1,1,1,1,1,X");  // row 5: digits 2, 1

  std::vector<uint32_t> reversed(static_cast<size_t>(rows.size()));
  for (size_t i = 0; i < reversed.size(); ++i) {
    reversed[i] = static_cast<uint32_t>(reversed.size() - 1 - i);
  }
  list.LoadRows(rows, reversed);
  EXPECT_EQ(list.Text(), CouponText(rows, reversed));
}

TEST_F(RowListTest, LoadRowsWithNoKeptRowsLeavesTheHeaderLine) {
  const RowSet rows = ManyRows();
  list.LoadRows(rows, {});
  EXPECT_EQ(list.Text(), "Stryktipset,13plus=Nej\r\n");
  EXPECT_EQ(list.LineCount(), 1);
}

TEST_F(RowListTest, ReplaceLinesByTakesOverAWholeLoadedList) {
  const RowSet rows = ManyRows();
  RowList kept(RowList::ScrollBars::kNone, nullptr);
  kept.LoadRows(rows);
  list.SetText("old\r\n");
  list.ReplaceLinesBy(kept);
  EXPECT_EQ(list.Text(), kept.Text());
  EXPECT_FALSE(CanUndo(list));
}

TEST_F(RowListTest, ScrollBarsAsConfigured) {
  RowList kept(RowList::ScrollBars::kNone, nullptr);
  EXPECT_EQ(list.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(list.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(kept.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(kept.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

}  // namespace
}  // namespace spelkub
