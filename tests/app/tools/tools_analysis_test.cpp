// "Garantianalys..." offscreen through the fake platform: the refusals, the
// guarantee and the table of outcomes for known rows, the chart's bars and
// scale, rows outside the system, and the probability column from streck.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/tools/analysis_dialog.h"
#include "app/tools/outcome_chart.h"
#include "coupon/messages.h"
#include "support/coupon_builder.h"
#include "support/tools_host.h"
#include "text/coupon_text.h"

namespace spelkub {
namespace {

using testing::Box;
using testing::MakeCoupon;

const CouponState kNineRowCoupon = testing::MakeCoupon(
    kStryktipset, {"1X2", "1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});

// Rows of the nine-row system (matches 1 and 2 "1X2", the rest "1") by their
// number in generation order (1..9), as coupon text.
std::string NineRows(std::initializer_list<uint32_t> rows) {
  const RowSet set = GenerateFullSystem(kNineRowCoupon, kPlus13No);
  std::vector<uint32_t> indices;
  for (uint32_t row : rows) indices.push_back(row - 1);
  return CouponText(set, indices);
}

std::vector<QStringList> TableOf(QDialog& dialog) {
  const auto* table = dialog.findChild<QTableWidget*>("Tabell");
  std::vector<QStringList> rows;
  QStringList header;
  for (int column = 0; column < table->columnCount(); ++column) {
    header << table->horizontalHeaderItem(column)->text();
  }
  rows.push_back(header);
  for (int row = 0; row < table->rowCount(); ++row) {
    QStringList cells;
    for (int column = 0; column < table->columnCount(); ++column) {
      cells << table->item(row, column)->text();
    }
    rows.push_back(cells);
  }
  return rows;
}

class AnalysisCommandTest : public testing::ToolsTest {
 protected:
  AnalysisCommandTest() { state = kNineRowCoupon; }

  static tools::AnalysisDialog& AsAnalysis(QDialog& dialog) {
    return dynamic_cast<tools::AnalysisDialog&>(dialog);
  }
  static QString TextOf(QDialog& dialog, const char* name) {
    return dialog.findChild<QLabel*>(name)->text();
  }
  // Opens the dialog, waits for the analysis, then runs `look` on it.
  void Analyse(const std::function<void(QDialog&)>& look) {
    onDialog = [&](QDialog& dialog) {
      ASSERT_TRUE(WaitFor(AsAnalysis(dialog).AnalysisWorker()));
      look(dialog);
    };
    tools::AnalysisCommand(Host());
    EXPECT_EQ(dialogsRun, 1);
  }
  void EnterStreck(QDialog& dialog, const QString& text) {
    auto* field = dialog.findChild<QLineEdit*>("Streck");
    field->setText(text);
    QTest::mouseClick(dialog.findChild<QPushButton*>("Rakna"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor(AsAnalysis(dialog).AnalysisWorker()));
  }
  static QString Groups(const QString& group, int count) {
    QStringList groups;
    for (int i = 0; i < count; ++i) groups << group;
    return groups.join(QStringLiteral(", "));
  }
};

TEST_F(AnalysisCommandTest, ShowsTheGuaranteeAndOutcomesOfTheDiagonalRows) {
  rowList = NineRows({1, 5, 9});
  Analyse([](QDialog& dialog) {
    EXPECT_EQ(TextOf(dialog, "Garanti"), QStringLiteral("Garanti: 12 rätt"));
    EXPECT_EQ(TextOf(dialog, "Sammanfattning"),
              QStringLiteral("3 rader på ett system med 9 utfall."));
    const std::vector<QStringList> expected{
        {"Rätt", "Utfall", "Andel"}, {"13", "3", "33,3 %"}, {"12", "6", "66,7 %"}};
    EXPECT_EQ(TableOf(dialog), expected);
    const auto* chart = dialog.findChild<tools::OutcomeChart*>();
    ASSERT_EQ(chart->Bars().size(), 2u);
    EXPECT_EQ(chart->Bars()[0].right, 12);
    EXPECT_EQ(chart->Bars()[0].count, 6);
    EXPECT_EQ(chart->Bars()[1].right, 13);
    EXPECT_EQ(chart->Bars()[1].count, 3);
    EXPECT_FALSE(chart->LogScale());
    EXPECT_FALSE(dialog.findChild<QLabel*>("Utanfor")->isVisibleTo(&dialog));
  });
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_TRUE(shown.empty());
}

TEST_F(AnalysisCommandTest, ListsEveryNumberOfRightDownToTheGuarantee) {
  // One row on six full matches: outcomes with 13 down to 7 right.
  state = MakeCoupon(kStryktipset,
                     {"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1", "1", "1", "1", "1", "1", "1"});
  rowList = NineRows({1});
  Analyse([](QDialog& dialog) {
    EXPECT_EQ(TextOf(dialog, "Garanti"), QStringLiteral("Garanti: 7 rätt"));
    const std::vector<QStringList> table = TableOf(dialog);
    ASSERT_EQ(table.size(), 8u);
    // C(6, k) * 2^k outcomes differ in k matches.
    const int counts[] = {1, 12, 60, 160, 240, 192, 64};
    for (int k = 0; k <= 6; ++k) {
      EXPECT_EQ(table[k + 1][0], QString::number(13 - k));
      EXPECT_EQ(table[k + 1][1], QString::number(counts[k]));
    }
    // 240 against 1: counts over two orders of magnitude.
    EXPECT_TRUE(dialog.findChild<tools::OutcomeChart*>()->LogScale());
  });
}

TEST_F(AnalysisCommandTest, NamesRowsOutsideTheSystemByTheirLine) {
  rowList = NineRows({1}) + "E,1,1,2,1,1,1,1,1,1,1,1,1,1\r\n";
  Analyse([](QDialog& dialog) {
    const auto* outside = dialog.findChild<QLabel*>("Utanfor");
    EXPECT_TRUE(outside->isVisibleTo(&dialog));
    EXPECT_EQ(outside->text(), QStringLiteral("Rader utanför systemet: 1 (rad 3)"));
  });
}

TEST_F(AnalysisCommandTest, StreckAddsTheProbabilityOfEachNumberOfRight) {
  rowList = NineRows({1, 5, 9});
  Analyse([this](QDialog& dialog) {
    EnterStreck(dialog, Groups(QStringLiteral("50 30 20"), 13));
    // 13 right: 1-1, X-X, 2-2 = 0.25 + 0.09 + 0.04.
    const std::vector<QStringList> expected{{"Rätt", "Utfall", "Andel", "Sannolikhet"},
                                            {"13", "3", "33,3 %", "38,0 %"},
                                            {"12", "6", "66,7 %", "62,0 %"}};
    EXPECT_EQ(TableOf(dialog), expected);
    EXPECT_FALSE(dialog.findChild<QLabel*>("StreckFel")->isVisibleTo(&dialog));
  });
}

TEST_F(AnalysisCommandTest, SaysWhichMatchesHadTheirStreckScaled) {
  rowList = NineRows({1, 5, 9});
  Analyse([this](QDialog& dialog) {
    const auto* scaled = dialog.findChild<QLabel*>("StreckOmraknade");
    // Match 2 adds up to 50, match 13 to 200; 99.5 for match 3 is rounding.
    QStringList groups{QStringLiteral("50 30 20"), QStringLiteral("25 15 10"),
                       QStringLiteral("50 30 19.5")};
    for (int m = 4; m <= 12; ++m) groups << QStringLiteral("50 30 20");
    groups << QStringLiteral("100 60 40");
    EnterStreck(dialog, groups.join(QStringLiteral(", ")));
    EXPECT_TRUE(scaled->isVisibleTo(&dialog));
    EXPECT_EQ(scaled->text(),
              QStringLiteral("Streck som inte summerade till 100 har räknats om: match 2, 13."));
    // The shares are the same as for numbers that add up to 100.
    EXPECT_EQ(TableOf(dialog)[1][3], QStringLiteral("38,0 %"));
    EnterStreck(dialog, Groups(QStringLiteral("50 30 20"), 13));
    EXPECT_FALSE(scaled->isVisibleTo(&dialog));
  });
}

TEST_F(AnalysisCommandTest, CountsEveryRowOutsideTheSystemAndNamesTheFirstTen) {
  rowList = NineRows({1});
  for (int i = 0; i < 25; ++i) rowList += "E,1,1,2,1,1,1,1,1,1,1,1,1,1\r\n";
  Analyse([](QDialog& dialog) {
    EXPECT_EQ(
        TextOf(dialog, "Utanfor"),
        QStringLiteral("Rader utanför systemet: 25 (rad 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, ...)"));
  });
}

TEST_F(AnalysisCommandTest, RefusedStreckShowsTheParsersMessageAndKeepsTheTable) {
  rowList = NineRows({1, 5, 9});
  Analyse([this](QDialog& dialog) {
    EnterStreck(dialog, QStringLiteral("50 30 20"));
    std::string error;
    ASSERT_FALSE(ParseStreck("50 30 20", 13, &error));
    const auto* label = dialog.findChild<QLabel*>("StreckFel");
    EXPECT_TRUE(label->isVisibleTo(&dialog));
    EXPECT_EQ(label->text(), QString::fromStdString(error));
    EXPECT_EQ(TableOf(dialog)[0], (QStringList{"Rätt", "Utfall", "Andel"}));
  });
}

TEST_F(AnalysisCommandTest, RefusesAnUnmarkedMatchWithTheGenerateMessage) {
  testing::MarkMatch(state, 7, "");
  rowList = NineRows({1, 5, 9});
  tools::AnalysisCommand(Host());
  const Message& message = kInvalidSystemMessage;
  EXPECT_EQ(platform.messages,
            OneBox(QString::fromUtf8(message.text.data(), message.text.size()),
                   QString::fromUtf8(message.caption.data(), message.caption.size())));
  EXPECT_EQ(dialogsRun, 0);
}

TEST_F(AnalysisCommandTest, ShowsTheReadersMessageForABadRowList) {
  rowList = NineRows({1}) + "E,1,1\r\n";
  ExpectReaderRefusal(tools::AnalysisCommand);
}

TEST_F(AnalysisCommandTest, RefusesAnEmptyRowList) {
  tools::AnalysisCommand(Host());
  EXPECT_EQ(platform.messages,
            OneBox(QStringLiteral("Radlistan har inga rader."), QStringLiteral("Garantianalys")));
  EXPECT_EQ(dialogsRun, 0);
}

TEST_F(AnalysisCommandTest, RefusesRowsOfAnotherNumberOfMatches) {
  rowList = "1,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n";
  tools::AnalysisCommand(Host());
  EXPECT_EQ(platform.messages, OneBox(QStringLiteral("Raderna har 14 matcher men kupongen 13."),
                                      QStringLiteral("Garantianalys")));
  EXPECT_EQ(dialogsRun, 0);
}

}  // namespace
}  // namespace spelkub
