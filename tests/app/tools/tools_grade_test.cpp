// "Rätta rader..." offscreen through the fake platform: the results entered a
// click at a time, the table of right counts updated at once, "Kan nå" while
// matches are undecided, and the refusals.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <string>
#include <vector>

#include "app/tools/grade_dialog.h"
#include "support/tools_host.h"

namespace spelkub {
namespace {

using testing::Box;

// Rows 1, 5 and 9 of the system with matches 1 and 2 marked "1X2", the rest
// "1": 1-1, X-X and 2-2 on the first two matches.
const std::string kDiagonalRows =
    "Stryktipset,13plus=Nej\r\n"
    "E,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n"
    "E,X,X,1,1,1,1,1,1,1,1,1,1,1\r\n"
    "E,2,2,1,1,1,1,1,1,1,1,1,1,1\r\n";

class GradeCommandTest : public testing::ToolsTest {
 protected:
  // Opens the dialog and runs `use` on it.
  void Grade(const std::function<void(tools::GradeDialog&)>& use) {
    onDialog = [&](QDialog& dialog) { use(dynamic_cast<tools::GradeDialog&>(dialog)); };
    tools::GradeCommand(Host());
    EXPECT_EQ(dialogsRun, 1);
  }
  static void Press(tools::GradeDialog& dialog, int match, int outcome) {
    QTest::mouseClick(dialog.ResultButton(match, outcome), Qt::LeftButton);
  }
  // Every match from `first` on gets "1".
  static void OnesFrom(tools::GradeDialog& dialog, int first, int matches = 13) {
    for (int match = first; match <= matches; ++match) Press(dialog, match, 0);
  }
  // The table as "K rätt: C" lines, most right first.
  static QStringList Counts(tools::GradeDialog& dialog) {
    const auto* table = dialog.findChild<QTableWidget*>("Tabell");
    QStringList lines;
    for (int row = 0; row < table->rowCount(); ++row) {
      lines << QStringLiteral("%1 rätt: %2")
                   .arg(table->item(row, 0)->text(), table->item(row, 1)->text());
    }
    return lines;
  }
  static QString Label(tools::GradeDialog& dialog, const char* name) {
    return dialog.findChild<QLabel*>(name)->text();
  }
};

TEST_F(GradeCommandTest, StartsWithEveryMatchUndecided) {
  rowList = kDiagonalRows;
  Grade([](tools::GradeDialog& dialog) {
    EXPECT_EQ(Label(dialog, "Avgjorda"), QStringLiteral("3 rader, 0 av 13 matcher avgjorda."));
    QStringList expected;
    for (int right = 13; right >= 1; --right) expected << QStringLiteral("%1 rätt: 0").arg(right);
    expected << QStringLiteral("0 rätt: 3");
    EXPECT_EQ(Counts(dialog), expected);
    EXPECT_EQ(Label(dialog, "KanNa"),
              QStringLiteral("Kan nå 13 rätt: 3 rader\nKan nå 12 rätt: 3 rader\n"
                             "Kan nå 11 rätt: 3 rader\nKan nå 10 rätt: 3 rader"));
  });
}

TEST_F(GradeCommandTest, CountsRightAsTheResultsAreEntered) {
  rowList = kDiagonalRows;
  Grade([](tools::GradeDialog& dialog) {
    OnesFrom(dialog, 3);
    // Every row has the eleven "1" right; two matches are open.
    EXPECT_EQ(Counts(dialog).first(), QStringLiteral("13 rätt: 0"));
    EXPECT_EQ(Counts(dialog).last(), QStringLiteral("11 rätt: 3"));
    EXPECT_EQ(Label(dialog, "KanNa"),
              QStringLiteral("Kan nå 13 rätt: 3 rader\nKan nå 12 rätt: 3 rader\n"
                             "Kan nå 11 rätt: 3 rader\nKan nå 10 rätt: 3 rader"));

    Press(dialog, 1, 1);  // match 1: X
    EXPECT_EQ(Counts(dialog), (QStringList{"13 rätt: 0", "12 rätt: 1", "11 rätt: 2"}));
    // Only X-X can still get the second match right too.
    EXPECT_TRUE(Label(dialog, "KanNa")
                    .startsWith(QStringLiteral("Kan nå 13 rätt: 1 rad\nKan nå 12 rätt: 3 rader")));

    Press(dialog, 2, 1);  // match 2: X, all decided
    EXPECT_EQ(Counts(dialog), (QStringList{"13 rätt: 1", "12 rätt: 0", "11 rätt: 2"}));
    EXPECT_EQ(Label(dialog, "Avgjorda"), QStringLiteral("3 rader, 13 av 13 matcher avgjorda."));
    EXPECT_FALSE(dialog.findChild<QLabel*>("KanNa")->isVisibleTo(&dialog));
  });
}

TEST_F(GradeCommandTest, OneResultPerMatchAndASecondPressUndecidesIt) {
  rowList = kDiagonalRows;
  Grade([](tools::GradeDialog& dialog) {
    Press(dialog, 1, 0);
    EXPECT_EQ(dialog.Results().outcome[0], 0);
    Press(dialog, 1, 2);
    EXPECT_EQ(dialog.Results().outcome[0], 2);
    EXPECT_FALSE(dialog.ResultButton(1, 0)->isChecked());
    EXPECT_TRUE(dialog.ResultButton(1, 2)->isChecked());
    EXPECT_EQ(Counts(dialog).last(), QStringLiteral("0 rätt: 2"));
    Press(dialog, 1, 2);
    EXPECT_EQ(dialog.Results().outcome[0], -1);
    EXPECT_EQ(dialog.Report().decided, 0);
  });
}

TEST_F(GradeCommandTest, RensaUndecidesEveryMatch) {
  rowList = kDiagonalRows;
  Grade([](tools::GradeDialog& dialog) {
    OnesFrom(dialog, 1);
    EXPECT_EQ(dialog.Report().decided, 13);
    QTest::mouseClick(dialog.findChild<QPushButton*>("Rensa"), Qt::LeftButton);
    EXPECT_EQ(dialog.Report().decided, 0);
    for (int match = 1; match <= 13; ++match) {
      EXPECT_FALSE(dialog.ResultButton(match, 0)->isChecked());
    }
  });
}

TEST_F(GradeCommandTest, TypedResultsSetTheButtonsAndTheTable) {
  rowList = kDiagonalRows;
  Grade([](tools::GradeDialog& dialog) {
    auto* field = dialog.findChild<QLineEdit*>("ResultatRad");
    field->setText(QStringLiteral("xx1-111111111"));
    QSignalSpy closed(&dialog, &QDialog::finished);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(closed.count(), 0);
    EXPECT_TRUE(dialog.ResultButton(1, 1)->isChecked());
    EXPECT_TRUE(dialog.ResultButton(2, 1)->isChecked());
    EXPECT_FALSE(dialog.ResultButton(4, 0)->isChecked());
    EXPECT_EQ(dialog.Report().decided, 12);
    EXPECT_EQ(Counts(dialog),
              (QStringList{"13 rätt: 0", "12 rätt: 1", "11 rätt: 0", "10 rätt: 2"}));
  });
}

TEST_F(GradeCommandTest, ClickedResultsShowAsOneTypedLine) {
  rowList = kDiagonalRows;
  Grade([](tools::GradeDialog& dialog) {
    Press(dialog, 1, 2);
    Press(dialog, 13, 1);
    EXPECT_EQ(dialog.findChild<QLineEdit*>("ResultatRad")->text(), QStringLiteral("2-----------X"));
  });
}

TEST_F(GradeCommandTest, RefusedTypedResultsShowTheParsersMessageAndChangeNothing) {
  rowList = kDiagonalRows;
  Grade([](tools::GradeDialog& dialog) {
    Press(dialog, 1, 0);
    auto* field = dialog.findChild<QLineEdit*>("ResultatRad");
    field->setText(QStringLiteral("1X2"));
    QTest::keyClick(field, Qt::Key_Return);
    std::string error;
    ASSERT_FALSE(ParseResults("1X2", 13, &error));
    const auto* label = dialog.findChild<QLabel*>("ResultatFel");
    EXPECT_TRUE(label->isVisibleTo(&dialog));
    EXPECT_EQ(label->text(), QString::fromStdString(error));
    EXPECT_EQ(dialog.Report().decided, 1);
    EXPECT_TRUE(dialog.ResultButton(1, 0)->isChecked());
  });
}

TEST_F(GradeCommandTest, ALongRefusalWrapsInsteadOfWideningTheDialog) {
  rowList = kDiagonalRows;
  Grade([](tools::GradeDialog& dialog) {
    const int width = dialog.sizeHint().width();
    const int least = dialog.minimumSizeHint().width();
    const QString long_(300, QLatin1Char('q'));
    const QStringList texts{
        QStringLiteral("1 1 1 1 1 ") + long_ + QStringLiteral(" 1 1 1 1 1 1 1"),
        QStringLiteral("1X2-1 ") + long_ + QStringLiteral(" 1 1"),
        QStringLiteral("1 ").repeated(60),
        QStringLiteral("11 111 1111 11111 111111 1111111 11111111 111111111 1111111111")};
    auto* field = dialog.findChild<QLineEdit*>("ResultatRad");
    for (const QString& text : texts) {
      field->setText(text);
      QTest::keyClick(field, Qt::Key_Return);
      ASSERT_TRUE(dialog.findChild<QLabel*>("ResultatFel")->isVisibleTo(&dialog)) << text.size();
      EXPECT_LE(dialog.sizeHint().width(), width) << text.toStdString();
      EXPECT_LE(dialog.minimumSizeHint().width(), least) << text.toStdString();
    }
  });
}

TEST_F(GradeCommandTest, SupertotoRowsGetFourteenMatches) {
  rowList = "1,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n2,1,1,1,1,1,1,1,1,1,1,1,1,X\r\n";
  Grade([](tools::GradeDialog& dialog) {
    ASSERT_NE(dialog.ResultButton(14, 2), nullptr);
    OnesFrom(dialog, 1, 14);
    EXPECT_EQ(Counts(dialog), (QStringList{"14 rätt: 1", "13 rätt: 0", "12 rätt: 1"}));
  });
}

TEST_F(GradeCommandTest, ShowsTheReadersMessageForABadRowList) {
  rowList = kDiagonalRows + "E,1,1,1,1\r\n";
  ExpectReaderRefusal(tools::GradeCommand);
}

TEST_F(GradeCommandTest, RefusesAnEmptyRowList) {
  tools::GradeCommand(Host());
  EXPECT_EQ(platform.messages,
            OneBox(QStringLiteral("Radlistan har inga rader."), QStringLiteral("Rätta rader")));
  EXPECT_EQ(dialogsRun, 0);
}

}  // namespace
}  // namespace spelkub
