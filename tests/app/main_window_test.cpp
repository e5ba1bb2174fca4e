// The main window, driven through its controls offscreen: first display,
// start-up order, the mark cells, the selectors, resizing and the error box.
#include "app/main_window.h"

#include <gtest/gtest.h>
#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/handler_trace.h"
#include "support/row_list_lines.h"
#include "support/window_fixture.h"

namespace spelkub {
namespace {

// Names of every control the window shows or hides.
std::vector<QString> ControlNames() {
  std::vector<QString> names = {
      "Image1",  "RadioGroup1",  "RadioGroup2", "ComboBox1",   "Label15",   "Label16",   "Memo1",
      "Button1", "ComboBox2",    "CheckBox1",   "RadioGroup3", "ComboBox3", "CheckBox2", "Button2",
      "Label17", "ProgressBar1", "StatusBar1",  "Label18",     "Memo2",     "Label19"};
  for (int k = 1; k <= 42; ++k) names.push_back(QStringLiteral("Edit%1").arg(k));
  for (int m = 1; m <= 14; ++m) names.push_back(QStringLiteral("Label%1").arg(m));
  return names;
}

class MainWindowTest : public testing::WindowTest<> {
 protected:
  template <typename T = QWidget>
  T* Find(const QString& name) const {
    T* widget = form->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name.toStdString();
    return widget;
  }
  QString Size() const { return form->Label16->text(); }
};

// --- First display ---------------------------------------------------------

TEST_F(MainWindowTest, WindowCaptionAndClientArea) {
  EXPECT_EQ(form->windowTitle(), "Spelkub_lite, en mindre variant av Spelkub");
  EXPECT_EQ(form->centralWidget()->size(), QSize(531, 484));
  EXPECT_FALSE(form->windowIcon().isNull());
}

TEST_F(MainWindowTest, OnlyMatch14TheListsAndCheckBoxesAreHiddenAtStart) {
  const std::vector<QString> hidden = {"Edit40",    "Edit41",    "Edit42",
                                       "Label14",   "ComboBox1", "ComboBox2",
                                       "ComboBox3", "CheckBox1", "CheckBox2"};
  for (const QString& name : ControlNames()) {
    const bool shouldHide = std::find(hidden.begin(), hidden.end(), name) != hidden.end();
    EXPECT_EQ(Find(name)->isVisible(), !shouldHide) << name.toStdString();
  }
}

TEST_F(MainWindowTest, DefaultSelectionsAndCouponAtStart) {
  EXPECT_EQ(form->RadioGroup1->ItemIndex(), 0);
  EXPECT_EQ(form->RadioGroup2->ItemIndex(), 1);
  EXPECT_EQ(form->RadioGroup3->ItemIndex(), 0);
  EXPECT_TRUE(form->RadioGroup1->Button(0)->isChecked());
  EXPECT_TRUE(form->RadioGroup2->Button(1)->isChecked());
  EXPECT_TRUE(form->RadioGroup3->Button(0)->isChecked());
  EXPECT_EQ(state.Game, kStryktipset);
  EXPECT_EQ(state.Reduction, kReductionNone);
  EXPECT_EQ(state.Goals, 0);
  EXPECT_EQ(state.GuaranteeLevel, 0);
  EXPECT_EQ(state.TargetRows, 0);
  for (int cell = 0; cell < kCellCount; ++cell) {
    EXPECT_EQ(state.Marks[cell], 0);
    EXPECT_EQ(form->Edit[cell]->text(), "");
  }
  for (DropDownList* list : {form->ComboBox1, form->ComboBox2, form->ComboBox3}) {
    EXPECT_EQ(list->ItemIndex(), -1);
  }
  EXPECT_FALSE(form->CheckBox1->isChecked());
  EXPECT_FALSE(form->CheckBox2->isChecked());
}

TEST_F(MainWindowTest, CountsStatusProgressAndListsAtStart) {
  EXPECT_EQ(form->Label16->text(), "0");
  EXPECT_EQ(form->Label18->text(), "0");
  EXPECT_EQ(form->StatusText(), "");
  EXPECT_EQ(form->ProgressBar1->minimum(), 0);
  EXPECT_EQ(form->ProgressBar1->maximum(), 100);
  EXPECT_EQ(form->ProgressBar1->value(), 0);
  EXPECT_EQ(form->Memo1->LineCount(), 1);
  EXPECT_EQ(detail::Line(*form->Memo1, 0), "Dina Rader:");
  EXPECT_EQ(form->Memo2->LineCount(), 0);
  EXPECT_FALSE(form->Memo1->isReadOnly());
  EXPECT_FALSE(form->Edit[0]->isReadOnly());
}

TEST_F(MainWindowTest, CaptionsAndItems) {
  const auto items = [](RadioGroup* group) {
    QStringList texts;
    for (int i = 0; i < group->Count(); ++i) texts << group->Button(i)->text();
    return texts;
  };
  EXPECT_EQ(form->RadioGroup1->title(), "Välj spel");
  EXPECT_EQ(items(form->RadioGroup1), QStringList({"Stryktipset", "Europatipset", "Supertoto"}));
  EXPECT_EQ(form->RadioGroup2->title(), "Dubbelvinsten?");
  EXPECT_EQ(items(form->RadioGroup2), QStringList({"Ja", "Nej"}));
  EXPECT_EQ(form->RadioGroup3->title(), "Välj reducering:");
  EXPECT_EQ(items(form->RadioGroup3), QStringList({"Ingen", "Garanti", "Antal Rader"}));

  const auto entries = [](DropDownList* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->itemText(i);
    return texts;
  };
  EXPECT_EQ(form->ComboBox1->currentText(), "Välj antal mål:");
  EXPECT_EQ(entries(form->ComboBox1), QStringList({"0-1", "2", "3", "F"}));
  EXPECT_EQ(form->ComboBox2->currentText(), "Välj Garanti:");
  EXPECT_EQ(entries(form->ComboBox2),
            QStringList({"4 Rätt", "5 Rätt", "6 Rätt", "7 Rätt", "8 Rätt", "9 Rätt", "10 Rätt",
                         "11 Rätt", "12 Rätt", "13 Rätt"}));
  EXPECT_EQ(form->ComboBox3->currentText(), "Välj Antal Rader:");
  QStringList rowCounts;
  for (int n = 1; n <= 130; ++n) rowCounts << QString::number(n);
  rowCounts << "150"
            << "250"
            << "500"
            << "750"
            << "1000"
            << "2000";
  EXPECT_EQ(entries(form->ComboBox3), rowCounts);
  for (DropDownList* list : {form->ComboBox1, form->ComboBox2, form->ComboBox3}) {
    EXPECT_TRUE(list->isEditable());
  }

  EXPECT_EQ(form->CheckBox1->text(), "Reverserad?");
  EXPECT_EQ(form->CheckBox2->text(), "Reverserad?");
  EXPECT_EQ(form->Button1->text(), "Spara Raderna");
  EXPECT_EQ(form->Button2->text(), "Generera Rader");
  EXPECT_EQ(form->Label15->text(), "Antal FärdigaRader:");
  EXPECT_EQ(form->Label17->text(), "Antal systemrader:");
  EXPECT_EQ(form->Label19->text(), "Spelkub_lite v1.02 2008-09-18");
  for (int m = 1; m <= 14; ++m) {
    EXPECT_EQ(form->Label[m - 1]->text(), QStringLiteral("Match %1:").arg(m));
  }
}

TEST_F(MainWindowTest, MenuTree) {
  const QList<QAction*> top = form->MainMenu1->actions();
  ASSERT_EQ(top.size(), 5);  // "Verktyg" in tools_menu_test, "Kupong" in document_window_test
  EXPECT_EQ(top[0]->text(), "Kontakt");
  EXPECT_EQ(top[0]->menu(), form->jhjhg1);
  EXPECT_EQ(top[1]->text(), "Info");
  EXPECT_EQ(top[1]->menu(), form->bjkjkkj1);
  EXPECT_EQ(top[2]->text(), "Lämna in rader");
  EXPECT_EQ(top[2]->menu(), form->Lmnainrader1);

  const auto items = [](QMenu* menu) {
    std::vector<std::pair<QString, QString>> named;
    for (QAction* action : menu->actions()) {
      named.emplace_back(action->objectName(), action->text());
      EXPECT_TRUE(action->shortcut().isEmpty());
    }
    return named;
  };
  using Items = std::vector<std::pair<QString, QString>>;
  EXPECT_EQ(items(form->jhjhg1), Items({{"Skickaettmail1", "Skicka ett mail"}}));
  EXPECT_EQ(items(form->bjkjkkj1), Items({{"GtillSpelkubsidan1", "Gå till Spelkub sidan"},
                                          {"GtillSpelkubFORUM1", "Gå till Spelkub FORUM"}}));
  EXPECT_EQ(items(form->Lmnainrader1), Items({{"GtillSvenskaSpel1", "Gå till Svenska Spel"},
                                              {"GtillUnibet1", "Gå till Unibet"}}));
  for (QAction* action : top) EXPECT_FALSE(action->text().contains('&'));
}

TEST_F(MainWindowTest, GridFollowsItsRule) {
  for (int k = 1; k <= 42; ++k) {
    const int m = (k - 1) / 3 + 1;
    const int c = (k - 1) % 3;
    EXPECT_EQ(Find(QStringLiteral("Edit%1").arg(k))->geometry(),
              QRect(200 + 23 * c, 32 + 27 * (m - 1), 17, 21))
        << k;
  }
  const int tops[] = {35, 59, 86, 113, 140, 167, 194, 221, 248, 275, 302, 329, 359, 386};
  for (int m = 1; m <= 14; ++m) {
    EXPECT_EQ(Find(QStringLiteral("Label%1").arg(m))->pos(), QPoint(152, tops[m - 1])) << m;
  }
}

TEST_F(MainWindowTest, ControlsInTheirPlaces) {
  const std::map<QString, QRect> places = {
      {"Image1", {0, 0, 531, 448}},        {"RadioGroup1", {24, 32, 105, 75}},
      {"RadioGroup2", {24, 113, 105, 31}}, {"ComboBox1", {24, 150, 105, 21}},
      {"Memo1", {285, 32, 238, 345}},      {"Button1", {417, 398, 97, 25}},
      {"ComboBox2", {24, 247, 105, 21}},   {"CheckBox1", {24, 274, 105, 17}},
      {"RadioGroup3", {24, 177, 105, 65}}, {"ComboBox3", {24, 297, 105, 21}},
      {"CheckBox2", {24, 328, 105, 17}},   {"Button2", {24, 374, 105, 25}},
      {"ProgressBar1", {0, 467, 531, 17}}, {"StatusBar1", {0, 448, 531, 19}},
      {"Memo2", {520, 442, 3, 2}}};
  for (const auto& [name, rect] : places) {
    EXPECT_EQ(Find(name)->geometry(), rect) << name.toStdString();
  }
  const std::map<QString, QPoint> labels = {{"Label15", {285, 391}},
                                            {"Label16", {230, 410}},
                                            {"Label17", {115, 410}},
                                            {"Label18", {328, 410}},
                                            {"Label19", {8, 8}}};
  for (const auto& [name, pos] : labels) EXPECT_EQ(Find(name)->pos(), pos) << name.toStdString();
}

TEST_F(MainWindowTest, LabelsSizeThemselvesToTheirCaption) {
  for (QLabel* label : {form->Label15, form->Label16, form->Label17, form->Label19, form->Label[0],
                        form->Label[13]}) {
    const QFontMetrics metrics(label->font());
    EXPECT_GE(label->width(), metrics.horizontalAdvance(label->text()))
        << label->objectName().toStdString();
    EXPECT_LE(label->width(), metrics.horizontalAdvance(label->text()) + 4)
        << label->objectName().toStdString();
    EXPECT_FALSE(label->autoFillBackground());
  }
  const int narrow = form->Label16->width();
  MarkAll(13);
  EXPECT_GT(form->Label16->width(), narrow);
}

TEST_F(MainWindowTest, PictureLiesUnderEveryControl) {
  EXPECT_EQ(form->centralWidget()->children().first(), form->Image1);
  ASSERT_NE(form->Image1->pixmap().isNull(), true);
  EXPECT_TRUE(form->Image1->hasScaledContents());
}

TEST_F(MainWindowTest, FontsWeightsAndColours) {
  const QColor aqua(0, 255, 255);
  EXPECT_TRUE(form->Label16->font().bold());
  EXPECT_EQ(form->Label16->palette().color(QPalette::WindowText), aqua);
  EXPECT_FALSE(form->Label18->font().bold());
  EXPECT_EQ(form->Label18->palette().color(QPalette::WindowText), aqua);
  for (QWidget* bold : std::initializer_list<QWidget*>{form->Label15, form->Label17, form->Button1,
                                                       form->Button2}) {
    EXPECT_TRUE(bold->font().bold()) << bold->objectName().toStdString();
  }
  for (QWidget* plain : std::initializer_list<QWidget*>{form->Label[0], form->Edit[0],
                                                        form->RadioGroup1, form->CheckBox1}) {
    EXPECT_FALSE(plain->font().bold()) << plain->objectName().toStdString();
  }
  for (QWidget* bold : std::initializer_list<QWidget*>{form->Label15, form->Label16}) {
    EXPECT_TRUE(QFontInfo(bold->font()).bold()) << bold->objectName().toStdString();
  }
  EXPECT_TRUE(form->Label19->font().underline());
  EXPECT_FALSE(form->Label15->font().underline());
  // 8 points at 96 dpi: 11-pixel characters everywhere.
  for (QWidget* widget : std::initializer_list<QWidget*>{form->Edit[0], form->Label16,
                                                         form->ComboBox3, form->Button2}) {
    EXPECT_EQ(QFontInfo(widget->font()).pixelSize(), 11) << widget->objectName().toStdString();
  }
  if (QFile::exists("/usr/share/wine/fonts/tahoma.ttf")) {
    EXPECT_EQ(QFontInfo(form->Edit[0]->font()).family(), "Tahoma");
  }
}

TEST_F(MainWindowTest, RowListsWriteInTheWindowFont) {
  for (RowList* list : {form->Memo1, form->Memo2}) {
    char family[128] = {};
    list->SendScintilla(QsciScintillaBase::SCI_STYLEGETFONT,
                        static_cast<unsigned long>(QsciScintillaBase::STYLE_DEFAULT),
                        static_cast<void*>(family));
    EXPECT_EQ(QString::fromUtf8(family), form->font().family());
    const long hundredthsOfPoints =
        list->SendScintilla(QsciScintillaBase::SCI_STYLEGETSIZEFRACTIONAL,
                            static_cast<unsigned long>(QsciScintillaBase::STYLE_DEFAULT));
    EXPECT_NEAR(hundredthsOfPoints / 100.0 * list->logicalDpiY() / 72.0, 11.0, 0.01);
  }
}

TEST_F(MainWindowTest, PointerOverACellIsTheUpArrow) {
  for (QLineEdit* cell : form->Edit) EXPECT_EQ(cell->cursor().shape(), Qt::UpArrowCursor);
}

TEST_F(MainWindowTest, TabOrderFollowsTheNumbers) {
  // The owner of a focus stop: a radio group for its buttons, else the control.
  const auto owner = [this](QWidget* widget) -> QString {
    for (QWidget* w = widget; w && w != form.get(); w = w->parentWidget()) {
      if (!w->objectName().isEmpty() && w->objectName() != "ClientArea") return w->objectName();
    }
    return QString();
  };
  QStringList expected = {"RadioGroup1"};
  for (int k = 1; k <= 42; ++k) expected << QStringLiteral("Edit%1").arg(k);
  expected << "RadioGroup2"
           << "ComboBox1"
           << "Memo1"
           << "Button1"
           << "ComboBox2"
           << "CheckBox1"
           << "RadioGroup3"
           << "ComboBox3"
           << "CheckBox2"
           << "Button2"
           << "Memo2";

  QStringList order;
  QWidget* start = form->RadioGroup1->Button(0);
  QWidget* widget = start;
  do {
    if (widget->focusPolicy() & Qt::TabFocus) {
      const QString name = owner(widget);
      if (!name.isEmpty() && (order.isEmpty() || order.last() != name)) order << name;
    }
    widget = widget->nextInFocusChain();
  } while (widget != start);
  // The chain wraps through the window and its menu; compare our part.
  ASSERT_GE(order.size(), expected.size());
  EXPECT_EQ(order.mid(0, expected.size()), expected);
}

TEST_F(MainWindowTest, TabInTheRowListMovesOnInsteadOfTyping) {
  const std::string before(form->Memo1->Text());
  QTest::keyClick(form->Memo1, Qt::Key_Tab);
  EXPECT_EQ(form->Memo1->Text(), before);
  QTest::keyClick(form->Memo1, Qt::Key_A);
  EXPECT_NE(form->Memo1->Text(), before);  // the list does take typing
}

// --- Start-up ----------------------------------------------------------------

TEST_F(MainWindowTest, StartupRunsTheThreeClickHandlersOnceEachInOrder) {
  std::vector<std::string> calls;
  std::vector<const TForm1*> windows;
  std::vector<bool> shown;
  detail::SetHandlerTrace([&](const TForm1& running, std::string_view handler) {
    calls.emplace_back(handler);
    windows.push_back(&running);
    shown.push_back(running.isVisible());
  });
  CouponState fresh;
  fresh.Game = 0;  // shows that the start-up writes it
  fresh.Reduction = 0;
  TForm1 window(fresh, platform);
  detail::SetHandlerTrace(nullptr);
  EXPECT_EQ(calls,
            std::vector<std::string>({"RadioGroup1Click", "RadioGroup2Click", "RadioGroup3Click"}));
  EXPECT_EQ(windows, std::vector<const TForm1*>(3, &window));
  EXPECT_EQ(shown, std::vector<bool>({false, false, false}));
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(fresh.Game, kStryktipset);
  EXPECT_EQ(fresh.Reduction, kReductionNone);
}

// --- Mark cells ----------------------------------------------------------------

TEST_F(MainWindowTest, FirstClickShowsTheSignWhileSizeStaysZero) {
  Click(form->Edit[0]);
  EXPECT_EQ(form->Edit[0]->text(), "1");
  EXPECT_EQ(state.Marks[0], 1);
  EXPECT_EQ(Size(), "0");
  ClickCell(1, 1);
  ClickCell(1, 2);
  EXPECT_EQ(Cell(1, 1)->text(), "X");
  EXPECT_EQ(Cell(1, 2)->text(), "2");
}

TEST_F(MainWindowTest, SizeIsTheProductOfMarksPerMatch) {
  for (int match = 1; match <= 13; ++match) ClickCell(match, 0);
  EXPECT_EQ(Size(), "1");
  ClickCell(1, 2);  // two marks in match 1
  ClickCell(2, 1);
  ClickCell(2, 2);  // three in match 2
  EXPECT_EQ(Size(), "6");
  EXPECT_EQ(state.SizeProduct, 1);
}

TEST_F(MainWindowTest, EuropatipsetCountsThirteenMatchesToo) {
  Choose(form->RadioGroup1, 1);
  for (int match = 1; match <= 13; ++match) ClickCell(match, 1);
  EXPECT_EQ(Size(), "1");
}

TEST_F(MainWindowTest, FullSystems) {
  MarkAll(13);
  EXPECT_EQ(Size(), "1594323");
  Choose(form->RadioGroup1, 2);
  ClickCell(14, 0);
  ClickCell(14, 1);
  ClickCell(14, 2);
  EXPECT_EQ(Size(), "4782969");
}

TEST_F(MainWindowTest, SupertotoNeedsMatch14) {
  Choose(form->RadioGroup1, 2);
  MarkAll(13);
  EXPECT_EQ(Size(), "0");
  Click(form->Edit[40]);
  EXPECT_EQ(form->Edit[40]->text(), "X");
  EXPECT_EQ(Size(), "1594323");
}

TEST_F(MainWindowTest, UnmarkingEmptiesTheCellAndLowersTheSize) {
  MarkAll(2);
  for (int match = 3; match <= 13; ++match) ClickCell(match, 0);
  EXPECT_EQ(Size(), "9");
  ClickCell(1, 1);
  EXPECT_EQ(Cell(1, 1)->text(), "");
  EXPECT_EQ(state.Marks[CellIndex(1, 1)], 0);
  EXPECT_EQ(Size(), "6");
  ClickCell(5, 0);  // the last mark of match 5
  EXPECT_EQ(Size(), "0");
}

TEST_F(MainWindowTest, GameChangeLeavesTheSizeUntilTheNextClick) {
  Choose(form->RadioGroup1, 2);
  MarkAll(14);
  EXPECT_EQ(Size(), "4782969");
  Choose(form->RadioGroup1, 0);
  EXPECT_EQ(Size(), "4782969");
  ClickCell(1, 0);
  EXPECT_EQ(Size(), "1062882");  // 2 * 3^12
  // Match 14 kept its marks while hidden; they count from the next click on.
  Choose(form->RadioGroup1, 2);
  EXPECT_EQ(Size(), "1062882");
  EXPECT_EQ(Cell(14, 0)->text(), "1");
  EXPECT_EQ(Cell(14, 1)->text(), "X");
  EXPECT_EQ(Cell(14, 2)->text(), "2");
  ClickCell(1, 0);
  EXPECT_EQ(Size(), "4782969");
}

TEST_F(MainWindowTest, TypingIntoACellChangesOnlyItsText) {
  for (int match = 1; match <= 13; ++match) ClickCell(match, 0);
  ASSERT_EQ(Size(), "1");
  QLineEdit* cell = Cell(2, 1);
  QTest::keyClicks(cell, "ab");
  EXPECT_EQ(cell->text(), "ab");
  EXPECT_EQ(state.Marks[CellIndex(2, 1)], 0);
  EXPECT_EQ(Size(), "1");
  Click(cell);  // the click sets the text again from the toggled mark
  EXPECT_EQ(cell->text(), "X");
  EXPECT_EQ(Size(), "2");

  QLineEdit* marked = Cell(3, 0);
  marked->selectAll();
  QTest::keyClick(marked, Qt::Key_Delete);
  EXPECT_EQ(marked->text(), "");
  EXPECT_EQ(state.Marks[CellIndex(3, 0)], 1);
  Click(marked);
  EXPECT_EQ(marked->text(), "");
  EXPECT_EQ(state.Marks[CellIndex(3, 0)], 0);
}

TEST_F(MainWindowTest, DoubleClickTogglesOnce) {
  // What a double click delivers: press, release, double-click press, release.
  QTest::mouseClick(form->Edit[3], Qt::LeftButton);
  QTest::mouseDClick(form->Edit[3], Qt::LeftButton);
  QTest::mouseRelease(form->Edit[3], Qt::LeftButton);
  EXPECT_EQ(state.Marks[3], 1);
  EXPECT_EQ(form->Edit[3]->text(), "1");
}

TEST_F(MainWindowTest, RightClickAndDragOutsideDoNotToggle) {
  QTest::mouseClick(form->Edit[5], Qt::RightButton);
  EXPECT_EQ(state.Marks[5], 0);
  QTest::mousePress(form->Edit[5], Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseRelease(form->Edit[5], Qt::LeftButton, {}, QPoint(40, 5));
  EXPECT_EQ(state.Marks[5], 0);
}

// --- Selectors -----------------------------------------------------------------

TEST_F(MainWindowTest, SupertotoShowsMatch14AndHidesThe13plusChoice) {
  Choose(form->RadioGroup2, 0);  // "Ja"
  Pick(form->ComboBox1, 2);
  ASSERT_TRUE(form->ComboBox1->isVisible());
  Choose(form->RadioGroup1, 2);
  EXPECT_EQ(state.Game, kSupertoto);
  EXPECT_TRUE(form->Label[13]->isVisible());
  EXPECT_EQ(form->Label[13]->pos(), QPoint(152, 386));
  for (int outcome = 0; outcome < 3; ++outcome) {
    EXPECT_TRUE(Cell(14, outcome)->isVisible());
    EXPECT_EQ(Cell(14, outcome)->y(), 383);
  }
  EXPECT_FALSE(form->RadioGroup2->isVisible());
  EXPECT_FALSE(form->ComboBox1->isVisible());
  EXPECT_EQ(form->RadioGroup2->ItemIndex(), 0);
  EXPECT_EQ(state.Goals, kGoals3);
}

TEST_F(MainWindowTest, JaShowsTheGoalsListAndPicksSetGoals) {
  Choose(form->RadioGroup2, 0);
  EXPECT_TRUE(form->ComboBox1->isVisible());
  EXPECT_EQ(form->ComboBox1->currentText(), "Välj antal mål:");
  EXPECT_EQ(state.Goals, 0);
  Pick(form->ComboBox1, 3);
  EXPECT_EQ(state.Goals, kGoalsF);
  Pick(form->ComboBox1, 0);
  EXPECT_EQ(state.Goals, kGoals0To1);
  Pick(form->ComboBox1, 1);
  EXPECT_EQ(state.Goals, kGoals2);
  Choose(form->RadioGroup2, 1);
  EXPECT_FALSE(form->ComboBox1->isVisible());
  EXPECT_EQ(state.Goals, kGoals2);
}

TEST_F(MainWindowTest, BackFromSupertotoWithJaKeepsTheGoalsListHidden) {
  Choose(form->RadioGroup2, 0);
  Pick(form->ComboBox1, 0);
  Choose(form->RadioGroup1, 2);
  Choose(form->RadioGroup1, 0);
  EXPECT_TRUE(form->RadioGroup2->isVisible());
  EXPECT_EQ(form->RadioGroup2->ItemIndex(), 0);
  EXPECT_FALSE(form->ComboBox1->isVisible());
  EXPECT_FALSE(form->Label[13]->isVisible());
  Choose(form->RadioGroup2, 1);
  Choose(form->RadioGroup2, 0);
  EXPECT_TRUE(form->ComboBox1->isVisible());
  EXPECT_EQ(form->ComboBox1->currentText(), "0-1");
  EXPECT_EQ(state.Goals, kGoals0To1);
}

TEST_F(MainWindowTest, EuropatipsetBehavesLikeStryktipset) {
  Choose(form->RadioGroup1, 2);
  Choose(form->RadioGroup1, 1);
  EXPECT_EQ(state.Game, kEuropatipset);
  EXPECT_TRUE(form->RadioGroup2->isVisible());
  EXPECT_FALSE(form->Label[13]->isVisible());
  for (int outcome = 0; outcome < 3; ++outcome) EXPECT_FALSE(Cell(14, outcome)->isVisible());
  Choose(form->RadioGroup1, 0);
  EXPECT_EQ(state.Game, kStryktipset);
}

TEST_F(MainWindowTest, ReductionModesShowTheirOwnChoicesAndKeepTheOthers) {
  Choose(form->RadioGroup3, 1);  // "Garanti"
  EXPECT_EQ(state.Reduction, kReductionGuarantee);
  EXPECT_TRUE(form->ComboBox2->isVisible());
  EXPECT_TRUE(form->CheckBox1->isVisible());
  EXPECT_FALSE(form->ComboBox3->isVisible());
  EXPECT_FALSE(form->CheckBox2->isVisible());
  Pick(form->ComboBox2, 6);
  Click(form->CheckBox1);
  ASSERT_EQ(state.GuaranteeLevel, 10);

  Choose(form->RadioGroup3, 2);  // "Antal Rader"
  EXPECT_EQ(state.Reduction, kReductionRowCount);
  EXPECT_FALSE(form->ComboBox2->isVisible());
  EXPECT_FALSE(form->CheckBox1->isVisible());
  EXPECT_TRUE(form->ComboBox3->isVisible());
  EXPECT_TRUE(form->CheckBox2->isVisible());
  Pick(form->ComboBox3, 130);
  EXPECT_EQ(state.TargetRows, 150);
  EXPECT_EQ(state.GuaranteeLevel, 10);

  Choose(form->RadioGroup3, 1);
  EXPECT_EQ(form->ComboBox2->currentText(), "10 Rätt");
  EXPECT_TRUE(form->CheckBox1->isChecked());
  EXPECT_EQ(state.GuaranteeLevel, 10);
  EXPECT_EQ(state.TargetRows, 150);

  Choose(form->RadioGroup3, 0);  // "Ingen"
  EXPECT_EQ(state.Reduction, kReductionNone);
  for (QWidget* hidden : std::initializer_list<QWidget*>{form->ComboBox2, form->CheckBox1,
                                                         form->ComboBox3, form->CheckBox2}) {
    EXPECT_FALSE(hidden->isVisible());
  }
  EXPECT_EQ(state.GuaranteeLevel, 10);
  EXPECT_EQ(state.TargetRows, 150);
  Choose(form->RadioGroup3, 2);
  EXPECT_EQ(form->ComboBox3->currentText(), "150");
  EXPECT_FALSE(form->CheckBox2->isChecked());
}

TEST_F(MainWindowTest, EveryRowCountItemSetsItsNumber) {
  Choose(form->RadioGroup3, 2);
  for (int index = 0; index < form->ComboBox3->count(); ++index) {
    Pick(form->ComboBox3, index);
    EXPECT_EQ(state.TargetRows, form->ComboBox3->itemText(index).toInt()) << index;
  }
  EXPECT_EQ(form->ComboBox3->count(), 136);
  Pick(form->ComboBox3, 129);
  EXPECT_EQ(state.TargetRows, 130);
  Pick(form->ComboBox3, 130);
  EXPECT_EQ(state.TargetRows, 150);
  Pick(form->ComboBox3, 135);
  EXPECT_EQ(state.TargetRows, 2000);
}

TEST_F(MainWindowTest, EveryGuaranteeItemSetsItsLevel) {
  Choose(form->RadioGroup3, 1);
  for (int index = 0; index < 10; ++index) {
    Pick(form->ComboBox2, index);
    EXPECT_EQ(state.GuaranteeLevel, index + 4);
    EXPECT_EQ(form->ComboBox2->currentText(), QStringLiteral("%1 Rätt").arg(index + 4));
  }
}

TEST_F(MainWindowTest, PickingFromThePopupSetsTheField) {
  Choose(form->RadioGroup3, 2);
  form->ComboBox3->showPopup();
  QAbstractItemView* view = form->ComboBox3->view();
  const QModelIndex item = view->model()->index(132, 0);
  view->scrollTo(item);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
  EXPECT_EQ(form->ComboBox3->ItemIndex(), 132);
  EXPECT_EQ(state.TargetRows, 500);
}

TEST_F(MainWindowTest, TypedTextSetsNothing) {
  Choose(form->RadioGroup3, 2);
  DropDownList* list = form->ComboBox3;
  list->setFocus();
  list->lineEdit()->selectAll();
  QTest::keyClicks(list->lineEdit(), "150");
  QTest::keyClick(list->lineEdit(), Qt::Key_Return);
  list->clearFocus();
  EXPECT_EQ(list->currentText(), "150");
  EXPECT_EQ(list->ItemIndex(), -1);
  EXPECT_EQ(state.TargetRows, 0);
  EXPECT_EQ(list->count(), 136);

  Pick(list, 4);
  ASSERT_EQ(state.TargetRows, 5);
  list->lineEdit()->selectAll();
  QTest::keyClicks(list->lineEdit(), "2000");
  QTest::keyClick(list->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(state.TargetRows, 5);
  EXPECT_EQ(list->count(), 136);
}

TEST_F(MainWindowTest, ChoosingTheSelectedItemAgainRunsNothing) {
  std::vector<std::string> calls;
  detail::SetHandlerTrace(
      [&](const TForm1&, std::string_view handler) { calls.emplace_back(handler); });
  Choose(form->RadioGroup1, 0);
  Choose(form->RadioGroup2, 1);
  Choose(form->RadioGroup3, 0);
  form->RadioGroup1->SetItemIndex(0);
  EXPECT_TRUE(calls.empty());
  Choose(form->RadioGroup1, 1);
  form->RadioGroup3->SetItemIndex(2);
  detail::SetHandlerTrace(nullptr);
  EXPECT_EQ(calls, std::vector<std::string>({"RadioGroup1Click", "RadioGroup3Click"}));
}

TEST_F(MainWindowTest, SelectorsLeaveMarksCellsAndSizeAlone) {
  MarkAll(13);
  ClickCell(7, 1);
  const QString size = Size();
  std::vector<QString> texts;
  for (QLineEdit* cell : form->Edit) texts.push_back(cell->text());
  Choose(form->RadioGroup1, 1);
  Choose(form->RadioGroup2, 0);
  Pick(form->ComboBox1, 3);
  Choose(form->RadioGroup3, 1);
  Pick(form->ComboBox2, 9);
  Choose(form->RadioGroup3, 2);
  Pick(form->ComboBox3, 50);
  Choose(form->RadioGroup1, 2);
  EXPECT_EQ(Size(), size);
  for (int cell = 0; cell < kCellCount; ++cell) {
    EXPECT_EQ(form->Edit[cell]->text(), texts[cell]);
    EXPECT_EQ(state.Marks[cell], cell < 39 && cell != CellIndex(7, 1) ? 1 : 0);
  }
}

// --- Resizing ------------------------------------------------------------------

TEST_F(MainWindowTest, GrowingStretchesOnlyThePictureAndTheBars) {
  std::map<QString, QRect> before;
  for (const QString& name : ControlNames()) before[name] = Find(name)->geometry();
  form->resize(form->width() + 200, form->height() + 100);
  ASSERT_EQ(form->centralWidget()->size(), QSize(731, 584));
  EXPECT_EQ(form->Image1->geometry(), QRect(0, 0, 731, 548));
  EXPECT_EQ(form->StatusBar1->geometry(), QRect(0, 548, 731, 19));
  EXPECT_EQ(form->ProgressBar1->geometry(), QRect(0, 567, 731, 17));
  for (const auto& [name, rect] : before) {
    if (name == "Image1" || name == "StatusBar1" || name == "ProgressBar1") continue;
    EXPECT_EQ(Find(name)->geometry(), rect) << name.toStdString();
  }
  form->resize(form->width() - 200, form->height() - 100);
  EXPECT_EQ(form->Image1->geometry(), QRect(0, 0, 531, 448));
  EXPECT_EQ(form->ProgressBar1->geometry(), QRect(0, 467, 531, 17));
}

// --- Errors --------------------------------------------------------------------

TEST_F(MainWindowTest, AnEscapingErrorIsShownAndTheProgramGoesOn) {
  form->Guard("Button1Click", [] { throw std::runtime_error("Stream write error"); });
  ASSERT_EQ(platform.errors.size(), 1u);
  EXPECT_EQ(platform.errors[0].text, "Stream write error");
  EXPECT_EQ(platform.errors[0].caption, "main_window_test");
  EXPECT_TRUE(platform.messages.empty());

  form->Guard("Button1Click", [] { throw 42; });
  ASSERT_EQ(platform.errors.size(), 2u);
  EXPECT_EQ(platform.errors[1].text, "");
  EXPECT_EQ(platform.errors[1].caption, "main_window_test");

  ClickCell(1, 0);
  EXPECT_EQ(Cell(1, 0)->text(), "1");
}

}  // namespace
}  // namespace spelkub
