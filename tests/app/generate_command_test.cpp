// "Generera Rader" driven through the window offscreen: validation messages,
// the rows in the row list, both reductions as the user sees them, and what
// the row list held when each message box was shown.
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "support/row_list_lines.h"
#include "support/window_fixture.h"

namespace spelkub {
namespace {

using testing::Box;
using testing::FakePlatform;

const std::string kNineRowHeader = "Stryktipset,13plus=Nej\r\n";
// The nine rows of matches 1 and 2 marked "1X2", the rest "1", by generation order.
std::string NineRow(int row) {
  const char* signs = "1X2";
  std::string line = "E,";
  line += signs[(row - 1) % 3];
  line += ',';
  line += signs[(row - 1) / 3];
  return line + ",1,1,1,1,1,1,1,1,1,1,1\r\n";
}
std::string NineRows(std::initializer_list<int> rows) {
  std::string text = kNineRowHeader;
  for (int row : rows) text += NineRow(row);
  return text;
}

class GenerateCommandTest : public testing::WindowTest<> {
 protected:
  GenerateCommandTest() {
    platform.onMessage = [this](const Box&) { rowListAtMessage.push_back(RowList()); };
  }

  void MarkNineRows() {
    Mark({"1X2", "1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  }
  void MarkThreeRows() {
    Mark({"1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  }
  void RowCount(int target, bool reversed = false) {
    Choose(form->RadioGroup3, 2);
    Pick(form->ComboBox3, target - 1);
    if (reversed) QTest::mouseClick(form->CheckBox2, Qt::LeftButton);
  }
  void Guarantee(int level, bool reversed = false) {
    Choose(form->RadioGroup3, 1);
    Pick(form->ComboBox2, level - 4);
    if (reversed) QTest::mouseClick(form->CheckBox1, Qt::LeftButton);
  }
  void Generate() { QTest::mouseClick(form->Button2, Qt::LeftButton); }

  std::string RowList() const { return std::string(form->Memo1->Text()); }
  std::string KeptList() const { return std::string(form->Memo2->Text()); }
  std::string Finished() const { return form->Label18->text().toStdString(); }
  std::string Status() const { return form->StatusText().toStdString(); }
  std::vector<Box> Messages() const { return platform.messages; }

  std::vector<std::string> rowListAtMessage;
};

// --- Generation ------------------------------------------------------------

TEST_F(GenerateCommandTest, WithoutReductionTheRowListHoldsTheFullSystem) {
  Mark({"1X", "X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  Generate();
  EXPECT_EQ(RowList(),
            "Stryktipset,13plus=Nej\r\n"
            "E,1,X,1,1,1,1,1,1,1,1,1,1,1\r\n"
            "E,X,X,1,1,1,1,1,1,1,1,1,1,1\r\n"
            "E,1,2,1,1,1,1,1,1,1,1,1,1,1\r\n"
            "E,X,2,1,1,1,1,1,1,1,1,1,1,1\r\n");
  EXPECT_EQ(Finished(), "4");
  EXPECT_EQ(Status(), "Generering klar!");
  EXPECT_EQ(form->ProgressBar1->maximum(), 4);
  EXPECT_EQ(form->ProgressBar1->value(), 0);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(GenerateCommandTest, HeaderFollowsGameAnd13Plus) {
  Choose(form->RadioGroup1, 1);
  Choose(form->RadioGroup2, 0);
  Pick(form->ComboBox1, 3);
  MarkThreeRows();
  Generate();
  EXPECT_EQ(RowList().substr(0, RowList().find('\n') + 1),
            "Italienska stryktipset,13plus=Ja,Antal=F\r\n");
  EXPECT_EQ(Finished(), "3");
}

TEST_F(GenerateCommandTest, SupertotoHasNoHeaderAndCountsEveryLine) {
  Choose(form->RadioGroup1, 2);
  Mark({"1X", "X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "2"});
  Generate();
  EXPECT_EQ(RowList(),
            "1,X,1,1,1,1,1,1,1,1,1,1,1,2\r\n"
            "X,X,1,1,1,1,1,1,1,1,1,1,1,2\r\n"
            "1,2,1,1,1,1,1,1,1,1,1,1,1,2\r\n"
            "X,2,1,1,1,1,1,1,1,1,1,1,1,2\r\n");
  EXPECT_EQ(Finished(), "4");
}

TEST_F(GenerateCommandTest, SizeFollowsTheCurrentGameAfterAChangeOfGame) {
  Choose(form->RadioGroup1, 2);
  Mark({"1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1X", "1X2"});
  EXPECT_EQ(form->Label16->text(), "6");
  Choose(form->RadioGroup1, 0);
  EXPECT_EQ(form->Label16->text(), "6");  // not refreshed by the change of game
  Generate();
  EXPECT_EQ(Finished(), "2");
  EXPECT_EQ(form->ProgressBar1->maximum(), 2);
}

TEST_F(GenerateCommandTest, TheFullThirteenMatchSystem) {
  Mark(std::vector<std::string>(13, "1X2"));
  Generate();
  EXPECT_EQ(Finished(), "1594323");
  EXPECT_EQ(form->Memo1->LineCount(), 1594324);
  EXPECT_EQ(detail::Line(*form->Memo1, 1594323), "E,2,2,2,2,2,2,2,2,2,2,2,2,2");
  EXPECT_EQ(form->Memo1->Text().size(), 46235391u);
  EXPECT_EQ(form->ProgressBar1->maximum(), 1594323);
}

// --- Validation ------------------------------------------------------------

TEST_F(GenerateCommandTest, ARefusedCoupon) {
  EXPECT_EQ(RowList(), "Dina Rader:\r\n");
  Mark({"1", "1"});
  Generate();
  EXPECT_EQ(Messages(), (std::vector<Box>{{"Klicka i ett giltigt system!", "Felaktig rad!"}}));
  EXPECT_EQ(RowList(), "");  // "Dina Rader:" is gone
  EXPECT_EQ(Status(), "");
  EXPECT_EQ(Finished(), "0");
  EXPECT_EQ(form->ProgressBar1->value(), 0);
}

TEST_F(GenerateCommandTest, ARefusalEmptiesTheRowListButKeepsCountsAndStatus) {
  MarkNineRows();
  Generate();
  ASSERT_EQ(Finished(), "9");
  QTest::mouseClick(form->Edit[CellIndex(5, 0)], Qt::LeftButton);  // match 5 unmarked
  Generate();
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].text, "Klicka i ett giltigt system!");
  EXPECT_EQ(RowList(), "");
  EXPECT_EQ(Finished(), "9");
  EXPECT_EQ(Status(), "Generering klar!");
}

TEST_F(GenerateCommandTest, OnlyTheFirstFaultIsReported) {
  Choose(form->RadioGroup2, 0);  // "Ja" without goals
  RowCount(1);
  Choose(form->RadioGroup3, 1);  // "Garanti" without a level
  Mark({"1", "1", "", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  Generate();
  Mark({"", "", "X"});
  Generate();
  Choose(form->RadioGroup2, 1);
  Generate();
  Choose(form->RadioGroup3, 2);  // "Antal Rader" has its row count
  Generate();
  EXPECT_EQ(Messages(),
            (std::vector<Box>{{"Klicka i ett giltigt system!", "Felaktig rad!"},
                              {"Kolla dina val gällande dubbelvinsten!!", "Felaktigt val!"},
                              {"Kolla dina val gällande garanti reducering!!", "Felaktigt val!"},
                              // one row: it has all 13 right
                              {"13 rätts garanti på dina nu reducerade rader!", "Reducering"}}));
}

TEST_F(GenerateCommandTest, RowCountModeWithoutACount) {
  MarkThreeRows();
  Choose(form->RadioGroup3, 2);
  Generate();
  EXPECT_EQ(Messages(),
            (std::vector<Box>{{"Kolla dina val gällande antal rader!!", "Felaktigt val!"}}));
}

TEST_F(GenerateCommandTest, SupertotoChecksMatch14AndIgnores13Plus) {
  Choose(form->RadioGroup2, 0);  // "Ja" without goals, then Supertoto
  Choose(form->RadioGroup1, 2);
  MarkThreeRows();
  Generate();
  Mark({"", "", "", "", "", "", "", "", "", "", "", "", "", "X"});
  Generate();
  EXPECT_EQ(Messages(), (std::vector<Box>{{"Klicka i ett giltigt system!", "Felaktig rad!"}}));
  EXPECT_EQ(Finished(), "3");
}

// --- Row count reduction ---------------------------------------------------

TEST_F(GenerateCommandTest, RowCountKeepsRowsFarApartAndReportsTheGuarantee) {
  struct Case {
    int target;
    bool reversed;
    std::initializer_list<int> rows;
    const char* report;
    int progress;  // where the last pass left the bar: candidates examined - 1
  };
  const Case cases[] = {
      {2, false, {1, 5}, "11 rätts garanti på dina nu reducerade rader!", 4},
      {3, false, {1, 5, 9}, "11 rätts garanti på dina nu reducerade rader!", 8},
      {4, false, {1, 5, 9, 2}, "12 rätts garanti på dina nu reducerade rader!", 1},
      {4, true, {9, 5, 1, 8}, "12 rätts garanti på dina nu reducerade rader!", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    CouponState fresh;
    state = fresh;
    platform = FakePlatform();
    rowListAtMessage.clear();
    form = std::make_unique<TForm1>(state, platform);
    platform.onMessage = [this](const Box&) { rowListAtMessage.push_back(RowList()); };
    MarkNineRows();
    RowCount(c.target, c.reversed);
    Generate();
    EXPECT_EQ(Messages(), (std::vector<Box>{{c.report, "Reducering"}}));
    EXPECT_EQ(RowList(), NineRows(c.rows));
    EXPECT_EQ(KeptList(), NineRows(c.rows));
    EXPECT_EQ(Finished(), std::to_string(c.target));
    EXPECT_EQ(Status(), "Reducerar rader, VÄNTA....!");
    EXPECT_EQ(form->ProgressBar1->maximum(), 10);  // the row list's lines
    EXPECT_EQ(form->ProgressBar1->value(), c.progress);
    // The report is shown while the row list still holds the full system.
    ASSERT_EQ(rowListAtMessage.size(), 1u);
    EXPECT_EQ(rowListAtMessage[0], NineRows({1, 2, 3, 4, 5, 6, 7, 8, 9}));
  }
}

TEST_F(GenerateCommandTest, TargetReachedInTheFirstPassReportsTheTrueGuarantee) {
  MarkNineRows();
  RowCount(1);
  Generate();
  // Every row shares 11 signs with row 1, so 11 right are guaranteed.
  EXPECT_EQ(Messages(),
            (std::vector<Box>{{"11 rätts garanti på dina nu reducerade rader!", "Reducering"}}));
  EXPECT_EQ(RowList(), NineRows({1}));
  EXPECT_EQ(Finished(), "1");
}

TEST_F(GenerateCommandTest, ThreeRowsOneMatchApart) {
  MarkThreeRows();
  RowCount(3);
  Generate();
  EXPECT_EQ(Messages(),
            (std::vector<Box>{{"12 rätts garanti på dina nu reducerade rader!", "Reducering"}}));
  EXPECT_EQ(RowList(), NineRows({1, 2, 3}));

  QTest::mouseClick(form->CheckBox2, Qt::LeftButton);
  Generate();
  EXPECT_EQ(RowList(), NineRows({3, 2, 1}));
}

TEST_F(GenerateCommandTest, TargetAboveTheRowCountKeepsTheFullSystem) {
  MarkThreeRows();
  RowCount(3);
  Generate();
  ASSERT_EQ(Finished(), "3");
  platform.messages.clear();
  rowListAtMessage.clear();
  RowCount(4);
  Generate();
  EXPECT_EQ(Messages(), (std::vector<Box>{{"Felaktigt val av antal rader!", "FEL!"}}));
  EXPECT_EQ(RowList(), NineRows({1, 2, 3}));
  EXPECT_EQ(Finished(), "3");
  EXPECT_EQ(KeptList(), "");

  Choose(form->RadioGroup1, 2);
  Mark({"", "", "", "", "", "", "", "", "", "", "", "", "", "1"});
  Generate();
  EXPECT_EQ(Messages().back().caption, "FEL!");
  EXPECT_EQ(RowList(),
            "1,1,1,1,1,1,1,1,1,1,1,1,1,1\r\nX,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n"
            "2,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n");
}

TEST_F(GenerateCommandTest, TargetEqualToTheRowCountKeepsEveryRowOnce) {
  MarkNineRows();
  RowCount(9);
  Generate();
  // Passes 4..11 keep row 1, pass 12 adds 5 and 9, pass 13 the rest in order.
  EXPECT_EQ(RowList(), NineRows({1, 5, 9, 2, 3, 4, 6, 7, 8}));
  EXPECT_EQ(Finished(), "9");
  EXPECT_EQ(Messages().back().text, "12 rätts garanti på dina nu reducerade rader!");
}

// --- Guarantee reduction ---------------------------------------------------

TEST_F(GenerateCommandTest, GuaranteeReplacesTheRowListBeforeItsMessage) {
  MarkNineRows();
  Guarantee(12);
  Generate();
  EXPECT_EQ(Messages(), (std::vector<Box>{{"Dina rader är nu reducerade!!", "Reducering"}}));
  EXPECT_EQ(RowList(), NineRows({1, 5, 9}));
  ASSERT_EQ(rowListAtMessage.size(), 1u);
  EXPECT_EQ(rowListAtMessage[0], NineRows({1, 5, 9}));
  EXPECT_EQ(KeptList(), NineRows({1, 5, 9}));
  EXPECT_EQ(Finished(), "3");
  EXPECT_EQ(Status(), "Reducerar rader, VÄNTA....!");
}

TEST_F(GenerateCommandTest, GuaranteeLevelsAndReversedOrder) {
  MarkNineRows();
  Guarantee(12, true);
  Generate();
  EXPECT_EQ(RowList(), NineRows({9, 5, 1}));
  Pick(form->ComboBox2, 11 - 4);
  Generate();
  EXPECT_EQ(RowList(), NineRows({9}));
  EXPECT_EQ(Finished(), "1");
  Pick(form->ComboBox2, 13 - 4);
  QTest::mouseClick(form->CheckBox1, Qt::LeftButton);
  Generate();
  EXPECT_EQ(RowList(), NineRows({1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(Finished(), "9");
}

TEST_F(GenerateCommandTest, EachModeReadsItsOwnReversedBox) {
  MarkNineRows();
  RowCount(1, true);  // ticks CheckBox2
  Guarantee(12);
  Generate();
  EXPECT_EQ(RowList(), NineRows({1, 5, 9}));  // CheckBox2 does not reverse "Garanti"
}

}  // namespace
}  // namespace spelkub
