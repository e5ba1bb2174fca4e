// The match table, offscreen and driven through its controls: pasting from a
// spreadsheet and a line of numbers, the keys, "Odds → chans" against the
// formula, the colours and sums, importing a file, and OK and Avbryt.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <cmath>
#include <random>
#include <string>

#include "app/tools/match_table_dialog.h"
#include "draw/draw_coupon.h"
#include "support/fake_platform.h"
#include "support/temp_folder.h"

namespace spelkub {
namespace {

using tools::kChanceColumn;
using tools::kChanceSumColumn;
using tools::kHomeColumn;
using tools::kOddsColumn;
using tools::kStreckColumn;
using tools::kStreckSumColumn;
using tools::kValueColumn;
using tools::MatchTableDialog;

class MatchTableTest : public ::testing::Test, protected testing::WithApplication {
 protected:
  MatchTableTest() { document = NewCouponDocument(kStryktipset); }
  ~MatchTableTest() override { tools::SetMatchTableRunner(nullptr); }

  std::unique_ptr<MatchTableDialog> Open() {
    auto dialog = std::make_unique<MatchTableDialog>(document, platform);
    dialog->show();
    return dialog;
  }
  // Ctrl+V in the table with `text` on the clipboard, at (row, column).
  static void PasteAt(MatchTableDialog& dialog, int row, int column, const QString& text) {
    dialog.Table()->setCurrentCell(row, column);
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(dialog.Table(), Qt::Key_V, Qt::ControlModifier);
  }
  static QString Shown(const MatchTableDialog& dialog, int row, int column) {
    return dialog.Table()->item(row, column)->text();
  }
  // Types `text` into the selected cell as a user does: the first key opens
  // the cell's editor, Enter ends it.
  static void Type(tools::MatchTable* table, const QString& text) {
    QTest::keyClick(table, text.at(0).toLatin1());
    auto* editor = qobject_cast<QLineEdit*>(table->indexWidget(table->currentIndex()));
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, text.mid(1));
    QTest::keyClick(editor, Qt::Key_Return);
    // The item view commits an editor's text through its event queue.
    QCoreApplication::processEvents();
  }
  static QLabel* Error(const MatchTableDialog& dialog) {
    return dialog.findChild<QLabel*>(QStringLiteral("Fel"));
  }
  static void Press(const MatchTableDialog& dialog, const char* name) {
    QTest::mouseClick(dialog.findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
  }

  CouponDocument document;
  testing::FakePlatform platform;
};

TEST_F(MatchTableTest, OneRowPerMatchInPlay) {
  EXPECT_EQ(Open()->Table()->rowCount(), 13);
  document = NewCouponDocument(kSupertoto);
  const auto dialog = Open();
  EXPECT_EQ(dialog->Table()->rowCount(), 14);
  EXPECT_EQ(dialog->Table()->verticalHeaderItem(13)->text(), QStringLiteral("14"));
}

TEST_F(MatchTableTest, FitsAScreenOf1024By768WithEveryColumnInView) {
  for (const int32_t game : {kStryktipset, kSupertoto}) {
    document = NewCouponDocument(game);
    const auto dialog = Open();
    dialog->layout()->activate();
    // Room for a window frame on a 1024 x 768 screen.
    EXPECT_LE(dialog->width(), 1000) << game;
    EXPECT_LE(dialog->height(), 740) << game;
    EXPECT_LE(dialog->minimumSizeHint().width(), 1000) << game;
    // Every column, the sums last, without scrolling.
    const QTableWidget* table = dialog->Table();
    EXPECT_LE(table->horizontalHeader()->length(), table->viewport()->width()) << game;
    EXPECT_FALSE(table->horizontalScrollBar()->isVisible()) << game;
    for (const char* name : {"Omsattning", "OK", "Avbryt"}) {
      const QWidget* widget = dialog->findChild<QWidget*>(QString::fromLatin1(name));
      ASSERT_NE(widget, nullptr) << name;
      EXPECT_LE(widget->mapTo(dialog.get(), QPoint(widget->width(), 0)).x(), dialog->width())
          << name;
    }
  }
}

TEST_F(MatchTableTest, FortyTwoNumbersOnOneLineFillTheStreckOfSupertoto) {
  document = NewCouponDocument(kSupertoto);
  const auto dialog = Open();
  std::mt19937 random(7);
  std::uniform_int_distribution<int> tenths(0, 999);
  std::vector<double> numbers;
  QStringList fields;
  for (int i = 0; i < 42; ++i) {
    numbers.push_back(tenths(random) / 10.0);
    fields << QString::number(numbers.back(), 'f', 1).replace('.', ',');
  }
  PasteAt(*dialog, 6, kStreckColumn + 2, fields.join(QLatin1Char('\t')) + "\r\n");
  EXPECT_FALSE(Error(*dialog)->isVisible()) << Error(*dialog)->text().toStdString();
  for (int match = 0; match < 14; ++match) {
    for (int sign = 0; sign < 3; ++sign) {
      EXPECT_EQ(dialog->Values().match[match].streck[sign], numbers[3 * match + sign])
          << "seed 7, match " << match + 1;
      QString shown = fields[3 * match + sign];
      if (shown.endsWith(QStringLiteral(",0"))) shown.chop(2);
      EXPECT_EQ(Shown(*dialog, match, kStreckColumn + sign), shown);
      EXPECT_TRUE(std::isnan(dialog->Values().match[match].chance[sign]));
    }
  }
}

TEST_F(MatchTableTest, ATabSeparatedBlockFromASpreadsheetLandsAtTheSelectedCell) {
  const auto dialog = Open();
  // Names, odds, chances and streck of matches 3 and 4, as a spreadsheet copies them.
  PasteAt(*dialog, 2, kHomeColumn,
          "AIK\tHammarby\t2,10\t3,40\t3,60\t45\t28\t27\t52\t26\t22\r\n"
          "Malmö FF\tIFK Göteborg\t1.5\t4\t6.5\t60\t25\t15\t70\t20\t10\r\n");
  ASSERT_FALSE(Error(*dialog)->isVisible()) << Error(*dialog)->text().toStdString();
  const MatchValue& third = dialog->Values().match[2];
  EXPECT_EQ(third.home, "AIK");
  EXPECT_EQ(third.away, "Hammarby");
  EXPECT_EQ(third.odds, (SignValues{2.1, 3.4, 3.6}));
  EXPECT_EQ(third.chance, (SignValues{45, 28, 27}));
  EXPECT_EQ(third.streck, (SignValues{52, 26, 22}));
  EXPECT_EQ(dialog->Values().match[3].away, "IFK Göteborg");
  EXPECT_EQ(dialog->Values().match[3].odds[2], 6.5);
  EXPECT_EQ(Shown(*dialog, 2, kOddsColumn), QStringLiteral("2,10"));
  EXPECT_TRUE(std::isnan(dialog->Values().match[1].chance[0]));
  EXPECT_TRUE(std::isnan(dialog->Values().match[4].chance[0]));

  // Spelvärde p/q in percent, green above 100, red below.
  const double p = 45.0 / 100;
  const double q = 52.0 / 100;
  EXPECT_EQ(Shown(*dialog, 2, kValueColumn), QStringLiteral("%1 %").arg(std::round(p / q * 100)));
  EXPECT_EQ(Shown(*dialog, 2, kValueColumn + 2), QStringLiteral("123 %"));  // 27 / 22
  const QColor below = dialog->Table()->item(2, kValueColumn)->background().color();
  const QColor above = dialog->Table()->item(2, kValueColumn + 2)->background().color();
  EXPECT_GT(below.red(), below.green());
  EXPECT_GT(above.green(), above.red());
  EXPECT_EQ(Shown(*dialog, 2, kChanceSumColumn), QStringLiteral("100"));
  EXPECT_TRUE(Shown(*dialog, 5, kValueColumn).isEmpty());
}

TEST_F(MatchTableTest, SumsNotOfAHundredAreShownAndNamed) {
  const auto dialog = Open();
  PasteAt(*dialog, 1, kChanceColumn, "40;30;20\n50;30;20\n");
  PasteAt(*dialog, 6, kStreckColumn, "60 30 20");
  EXPECT_EQ(Shown(*dialog, 1, kChanceSumColumn), QStringLiteral("90"));
  EXPECT_EQ(Shown(*dialog, 2, kChanceSumColumn), QStringLiteral("100"));
  EXPECT_EQ(Shown(*dialog, 6, kStreckSumColumn), QStringLiteral("110"));
  const QLabel* note = dialog->findChild<QLabel*>(QStringLiteral("Omraknade"));
  EXPECT_TRUE(note->isVisible());
  EXPECT_EQ(note->text(), QStringLiteral("Summan är inte 100 %, räknas om till 100 %: chans i "
                                         "match 2; streck i match 7."));
  EXPECT_NE(dialog->Table()->item(1, kChanceSumColumn)->background(),
            dialog->Table()->item(2, kChanceSumColumn)->background());
}

TEST_F(MatchTableTest, ARefusedPasteSaysWhyAndWritesNothing) {
  const auto dialog = Open();
  PasteAt(*dialog, 0, kChanceColumn, "45\t30\t25\nx\t1\t2\n");
  EXPECT_TRUE(Error(*dialog)->isVisible());
  EXPECT_EQ(Error(*dialog)->text(), QStringLiteral("Rad 2, fält 1: \"x\" är inget tal"));
  EXPECT_TRUE(std::isnan(dialog->Values().match[0].chance[0]));
  EXPECT_TRUE(Shown(*dialog, 0, kChanceColumn).isEmpty());
  // The next good paste takes the message away.
  PasteAt(*dialog, 0, kChanceColumn, "45\t30\t25");
  EXPECT_FALSE(Error(*dialog)->isVisible());
}

TEST_F(MatchTableTest, KeysWorkAsInASpreadsheet) {
  const auto dialog = Open();
  tools::MatchTable* table = dialog->Table();
  table->setCurrentCell(0, kChanceColumn);
  Type(table, QStringLiteral("45,5"));
  EXPECT_EQ(dialog->Values().match[0].chance[0], 45.5);
  EXPECT_EQ(table->currentRow(), 1);
  EXPECT_EQ(table->currentColumn(), kChanceColumn);
  QTest::keyClick(table, Qt::Key_Return);  // not editing: down as well
  EXPECT_EQ(table->currentRow(), 2);
  QTest::keyClick(table, Qt::Key_Tab);
  EXPECT_EQ(table->currentColumn(), kChanceColumn + 1);
  QTest::keyClick(table, Qt::Key_Up);
  QTest::keyClick(table, Qt::Key_Up);
  QTest::keyClick(table, Qt::Key_Left);
  EXPECT_EQ(table->currentRow(), 0);
  EXPECT_EQ(table->currentColumn(), kChanceColumn);
  QTest::keyClick(table, Qt::Key_Delete);
  EXPECT_TRUE(std::isnan(dialog->Values().match[0].chance[0]));

  // A typed word is no number: the cell keeps its value and the reason is shown.
  PasteAt(*dialog, 0, kChanceColumn, "45");
  Type(table, QStringLiteral("mycket"));
  EXPECT_EQ(dialog->Values().match[0].chance[0], 45.0);
  EXPECT_EQ(Shown(*dialog, 0, kChanceColumn), QStringLiteral("45"));
  EXPECT_EQ(Error(*dialog)->text(),
            QStringLiteral("Match 1, Chans 1: \"mycket\" är inget tal som kan stå här"));
}

TEST_F(MatchTableTest, OddsToChancesFollowsTheFormula) {
  const auto dialog = Open();
  std::mt19937 random(11);
  std::uniform_real_distribution<double> odds(1.05, 15.0);
  QStringList lines;
  std::vector<SignValues> given;
  for (int match = 0; match < 13; ++match) {
    SignValues three{};
    QStringList fields;
    for (int sign = 0; sign < 3; ++sign) {
      three[sign] = std::round(odds(random) * 100) / 100;
      fields << QString::number(three[sign], 'f', 2);
    }
    given.push_back(three);
    lines << fields.join(QLatin1Char(';'));
  }
  PasteAt(*dialog, 0, kOddsColumn, lines.join(QLatin1Char('\n')));
  ASSERT_FALSE(Error(*dialog)->isVisible()) << Error(*dialog)->text().toStdString();
  Press(*dialog, "OddsTillChans");
  for (int match = 0; match < 13; ++match) {
    const double total = 1 / given[match][0] + 1 / given[match][1] + 1 / given[match][2];
    for (int sign = 0; sign < 3; ++sign) {
      const double expected = (1 / given[match][sign]) / total * 100;
      EXPECT_NEAR(dialog->Values().match[match].chance[sign], expected, 1e-9 * expected)
          << "seed 11, match " << match + 1;
    }
  }
  EXPECT_EQ(Shown(*dialog, 0, kChanceSumColumn), QStringLiteral("100"));
}

TEST_F(MatchTableTest, OddsToChancesWithoutOddsSaysWhichAreMissing) {
  const auto dialog = Open();
  PasteAt(*dialog, 0, kOddsColumn, "2;3;4");
  Press(*dialog, "OddsTillChans");
  EXPECT_EQ(Error(*dialog)->text(), QStringLiteral("Odds: match 2 saknar odds för 1"));
  EXPECT_TRUE(std::isnan(dialog->Values().match[0].chance[0]));
}

TEST_F(MatchTableTest, ImportReadsATextFileAtTheSelectedCell) {
  testing::TempFolder folder("spelkub_match_table");
  const auto dialog = Open();
  testing::WriteFile(folder.Path("streck.csv"), "52;26;22\n61,5;22;16,5\n");
  platform.openAnswer = QString::fromStdString(folder.Path("streck.csv").string());
  dialog->Table()->setCurrentCell(0, kStreckColumn);
  Press(*dialog, "Importera");
  EXPECT_EQ(dialog->Values().match[1].streck, (SignValues{61.5, 22, 16.5}));
  EXPECT_EQ(platform.openFilters, std::vector<QString>{QStringLiteral("Tabell (*.csv *.txt)")});

  platform.openAnswer = QString::fromStdString(folder.Path("saknas.csv").string());
  Press(*dialog, "Importera");
  EXPECT_TRUE(Error(*dialog)->text().startsWith(QStringLiteral("Kan inte läsa")));
  EXPECT_EQ(dialog->Values().match[1].streck, (SignValues{61.5, 22, 16.5}));
}

// A CSV file with a header row, 14 lines for 13 matches: the header is left
// out, the rest lands from the selected cell.
TEST_F(MatchTableTest, AHeaderRowIsLeftOut) {
  const auto dialog = Open();
  QString csv = QStringLiteral("Hemma;Borta;1;X;2\n");
  for (int match = 1; match <= 13; ++match)
    csv += QStringLiteral("Lag %1;Lag %2;45;30,5;24,5\n").arg(2 * match - 1).arg(2 * match);
  PasteAt(*dialog, 0, kHomeColumn, csv);
  ASSERT_FALSE(Error(*dialog)->isVisible()) << Error(*dialog)->text().toStdString();
  EXPECT_EQ(dialog->Values().match[0].home, "Lag 1");
  EXPECT_EQ(dialog->Values().match[12].away, "Lag 26");
  EXPECT_EQ(dialog->Values().match[12].odds, (SignValues{45, 30.5, 24.5}));
  // Words where numbers go, and no numbers below them: no header, refused.
  PasteAt(*dialog, 0, kOddsColumn, "a;b;c\nd;e;f\n");
  EXPECT_EQ(Error(*dialog)->text(), QStringLiteral("Rad 1, fält 1: \"a\" är inget tal"));
}

// Chances made from the odds follow the odds when new ones come in by paste
// or import; chances the player typed stay his.
TEST_F(MatchTableTest, ChancesFromOddsFollowNewOdds) {
  const auto dialog = Open();
  QStringList lines;
  for (int match = 0; match < 13; ++match) lines << QStringLiteral("2;3;4");
  PasteAt(*dialog, 0, kOddsColumn, lines.join(QLatin1Char('\n')));
  Press(*dialog, "OddsTillChans");
  const double share = (1 / 2.0) / (1 / 2.0 + 1 / 3.0 + 1 / 4.0) * 100;
  EXPECT_NEAR(dialog->Values().match[4].chance[0], share, 1e-9);
  // Match 2's chances typed by hand, then new odds for every match.
  PasteAt(*dialog, 1, kChanceColumn, "50;25;25");
  lines.clear();
  for (int match = 0; match < 13; ++match) lines << QStringLiteral("1,5;4;6");
  PasteAt(*dialog, 0, kOddsColumn, lines.join(QLatin1Char('\n')));
  const double fresh = (1 / 1.5) / (1 / 1.5 + 1 / 4.0 + 1 / 6.0) * 100;
  EXPECT_NEAR(dialog->Values().match[4].chance[0], fresh, 1e-9);
  EXPECT_EQ(dialog->Values().match[1].chance, (SignValues{50, 25, 25}));
  // Odds taken away: the chances they gave go too, and the table says so.
  dialog->Table()->setCurrentCell(6, kOddsColumn);
  QTest::keyClick(dialog->Table(), Qt::Key_Delete);
  EXPECT_TRUE(std::isnan(dialog->Values().match[6].chance[0]));
  EXPECT_EQ(Error(*dialog)->text(),
            QStringLiteral("Chansen i match 7 kom från oddsen och är tömd: oddsen är inte "
                           "kompletta"));
}

// Tab walks the cells that take input, row after row, and after the last
// one goes on left to right: the two buttons, the turnover, OK, Avbryt.
TEST_F(MatchTableTest, TabWalksTheInputCellsThenTheRestInOrder) {
  const auto dialog = Open();
  tools::MatchTable* table = dialog->Table();
  table->setFocus();
  table->setCurrentCell(0, kValueColumn - 1);
  QTest::keyClick(table, Qt::Key_Tab);
  EXPECT_EQ(table->currentRow(), 1);
  EXPECT_EQ(table->currentColumn(), kHomeColumn);
  QTest::keyClick(table, Qt::Key_Backtab);
  EXPECT_EQ(table->currentRow(), 0);
  EXPECT_EQ(table->currentColumn(), kValueColumn - 1);
  table->setCurrentCell(12, kValueColumn - 1);
  QWidget* focused = table;
  std::vector<QString> walked;
  for (int step = 0; step < 7; ++step) {
    QTest::keyClick(focused, Qt::Key_Tab);
    focused = dialog->focusWidget();
    ASSERT_NE(focused, nullptr);
    walked.push_back(focused->objectName());
  }
  // "Underlag" has no snapshot to offer here and is passed over.
  EXPECT_EQ(walked, (std::vector<QString>{QStringLiteral("OddsTillChans"),
                                          QStringLiteral("Importera"), QStringLiteral("Omsattning"),
                                          QStringLiteral("Oddsmetod"), QStringLiteral("Omgang"),
                                          QStringLiteral("OK"), QStringLiteral("Avbryt")}));
}

TEST_F(MatchTableTest, OkWritesTheDocumentAndAvbrytDoesNot) {
  document.values.match[12].home = "Kvar";
  tools::SetMatchTableRunner([](MatchTableDialog& dialog) {
    PasteAt(dialog, 0, kChanceColumn, "45\t30\t25");
    dialog.findChild<QLineEdit*>(QStringLiteral("Omsattning"))->setText("25 000 000");
    Press(dialog, "OK");
  });
  ASSERT_TRUE(tools::EditMatchValues(document, platform, nullptr));
  EXPECT_EQ(document.values.match[0].chance, (SignValues{45, 30, 25}));
  EXPECT_EQ(document.values.match[12].home, "Kvar");
  EXPECT_EQ(document.pool.turnover, 25000000.0);

  tools::SetMatchTableRunner([](MatchTableDialog& dialog) {
    PasteAt(dialog, 0, kChanceColumn, "10\t10\t80");
    Press(dialog, "Avbryt");
  });
  EXPECT_FALSE(tools::EditMatchValues(document, platform, nullptr));
  EXPECT_EQ(document.values.match[0].chance, (SignValues{45, 30, 25}));
}

TEST_F(MatchTableTest, OkIsRefusedWhileAMatchHasPartOfItsNumbers) {
  tools::SetMatchTableRunner([](MatchTableDialog& dialog) {
    PasteAt(dialog, 2, kStreckColumn, "52\t26");
    Press(dialog, "OK");
    EXPECT_TRUE(Error(dialog)->isVisibleTo(&dialog));
    EXPECT_TRUE(Error(dialog)->text().startsWith(QStringLiteral("Match 3")))
        << Error(dialog)->text().toStdString();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
  });
  EXPECT_FALSE(tools::EditMatchValues(document, platform, nullptr));
  EXPECT_TRUE(std::isnan(document.values.match[2].streck[0]));
}

// "Underlag" chooses among the draw service's snapshots: the older one's odds
// and streck come back, with the chances its odds give by the method chosen,
// and "Oddsmetod" turns those chances over to the other method.
TEST_F(MatchTableTest, ChoosesASnapshotAndTheOddsMethod) {
  for (int fetch = 0; fetch < 2; ++fetch) {
    DrawSnapshot snapshot;
    snapshot.time = fetch == 0 ? "2026-12-07T10:00:00Z" : "2026-12-08T10:00:00Z";
    snapshot.source = "stryktipset omgång 4929";
    snapshot.draw = 4929;
    snapshot.turnover = fetch == 0 ? 1e6 : 2e6;
    for (int m = 0; m < 13; ++m) {
      snapshot.odds[m] = {1.5 + fetch + m * 0.1, 3.5, 6.0};
      snapshot.streck[m] = {50.0 + fetch, 30, 20.0 - fetch};
    }
    document.snapshots.push_back(snapshot);
  }
  ChooseSnapshot(document, 1);
  auto dialog = Open();
  auto* chooser = dialog->findChild<QComboBox*>(QStringLiteral("Underlag"));
  ASSERT_EQ(chooser->count(), 3);
  EXPECT_EQ(chooser->currentIndex(), 2);
  EXPECT_EQ(chooser->itemText(1), "2026-12-07T10:00:00Z, stryktipset omgång 4929");
  EXPECT_EQ(dialog->findChild<QLineEdit*>(QStringLiteral("Omgang"))->text(), "4929");

  chooser->setCurrentIndex(1);
  emit chooser->activated(1);
  CouponDocument expected = document;
  ChooseSnapshot(expected, 0);
  CouponDocument edited = dialog->Edited();
  EXPECT_EQ(edited.chosenSnapshot, 0);
  EXPECT_EQ(edited.pool.turnover, 1e6);
  EXPECT_EQ(edited.draw, 0);  // the snapshot's, not written as the coupon's own
  EXPECT_EQ(CouponDraw(edited), 4929);
  for (int m = 0; m < 13; ++m) {
    EXPECT_EQ(edited.values.match[m].streck, expected.values.match[m].streck) << m;
    EXPECT_EQ(edited.values.match[m].chance, expected.values.match[m].chance) << m;
  }
  EXPECT_EQ(Shown(*dialog, 0, kStreckColumn), "50");

  const double proportionalFavourite = edited.values.match[0].chance[0];
  auto* method = dialog->findChild<QComboBox*>(QStringLiteral("Oddsmetod"));
  method->setCurrentIndex(1);
  emit method->activated(1);
  expected.oddsMethod = OddsMethod::kPower;
  ChooseSnapshot(expected, 0);
  edited = dialog->Edited();
  EXPECT_EQ(edited.oddsMethod, OddsMethod::kPower);
  for (int m = 0; m < 13; ++m) {
    for (int sign = 0; sign < 3; ++sign) {
      EXPECT_NEAR(edited.values.match[m].chance[sign], expected.values.match[m].chance[sign], 1e-12)
          << m;
    }
  }
  // The power method leans more towards the favourite than the proportional.
  EXPECT_GT(edited.values.match[0].chance[0], proportionalFavourite);

  // Back to the values as typed: no snapshot chosen, nothing else changed.
  chooser->setCurrentIndex(0);
  emit chooser->activated(0);
  EXPECT_EQ(dialog->Edited().chosenSnapshot, -1);
  EXPECT_EQ(dialog->Edited().values.match[0].streck, expected.values.match[0].streck);
}

}  // namespace
}  // namespace spelkub
