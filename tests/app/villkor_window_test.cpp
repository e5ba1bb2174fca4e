// The window with conditions: "Villkor..." in the menu "Kupong" edits the
// window's document, and Label20 tells how many system rows the conditions
// keep, only while they are in use, following the marks; the specified
// controls stay where they are.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/tools/tools.h"
#include "app/tools/villkor_dialog.h"
#include "coupon/system_shape.h"
#include "support/condition_counts.h"
#include "support/window_fixture.h"

namespace spelkub {
namespace {

using testing::BruteForceKept;
using testing::Settle;
using testing::SignCount;

class VillkorWindowTest : public testing::WindowTest<> {
 protected:
  VillkorWindowTest() {
    counter = form->findChild<tools::ConditionCounter*>(QStringLiteral("Villkorsraknare"));
    if (counter != nullptr) counter->worker().SetMode(tools::Worker::Mode::kManual);
  }
  ~VillkorWindowTest() override { tools::SetModalRunner(nullptr); }

  // Runs "Villkor..." with `edit` working the dialog.
  void RunVillkor(const std::function<void(tools::VillkorDialog&)>& edit) {
    tools::SetModalRunner([&edit](QDialog& dialog) {
      auto& villkor = dynamic_cast<tools::VillkorDialog&>(dialog);
      villkor.Counter().worker().SetMode(tools::Worker::Mode::kManual);
      dialog.show();
      edit(villkor);
    });
    form->Villkor1->trigger();
    tools::SetModalRunner(nullptr);
  }
  // Lists the conditions, sets the switch, OK.
  void SetConditions(const std::vector<std::string>& conditions, bool use) {
    RunVillkor([&](tools::VillkorDialog& dialog) {
      auto* list = dialog.findChild<QListWidget*>(QStringLiteral("Villkorslista"));
      list->clear();
      for (const std::string& text : conditions) list->addItem(QString::fromStdString(text));
      dialog.findChild<QCheckBox*>(QStringLiteral("AnvandVillkoren"))->setChecked(use);
      dialog.accept();
    });
  }
  // Label20 once the counts asked for are done.
  QLabel* Counted() const {
    Settle(*counter);
    return form->Label20;
  }
  static QString Line(int64_t kept, int64_t total) {
    const QLocale swedish(QLocale::Swedish, QLocale::Sweden);
    return QStringLiteral("Villkor: %1 av %2")
        .arg(swedish.toString(static_cast<qlonglong>(kept)),
             swedish.toString(static_cast<qlonglong>(total)));
  }
  // Where every control of the client area is, by name; labels size
  // themselves to their captions, so only the corners count.
  std::map<QString, QPoint> Places() const {
    std::map<QString, QPoint> places;
    for (const QWidget* widget : form->centralWidget()->findChildren<QWidget*>()) {
      if (widget->parentWidget() == form->centralWidget() && widget != form->Label20) {
        places[widget->objectName()] = widget->geometry().topLeft();
      }
    }
    return places;
  }

  tools::ConditionCounter* counter = nullptr;
};

TEST_F(VillkorWindowTest, VillkorComesAfterMatchvarderingInKupong) {
  const QList<QAction*> actions = form->Kupong1->actions();
  const qsizetype villkor = actions.indexOf(form->Villkor1);
  ASSERT_GE(villkor, 1);
  EXPECT_EQ(actions[villkor - 1], form->Matchvrdering1);
  EXPECT_EQ(form->Villkor1->text(), QStringLiteral("Villkor..."));
  EXPECT_EQ(form->Villkor1->objectName(), QStringLiteral("Villkor1"));
  ASSERT_NE(counter, nullptr);
  ASSERT_NE(form->Label20, nullptr);
  EXPECT_TRUE(form->Label20->isHidden());
}

TEST_F(VillkorWindowTest, TheLineShowsOnlyWhileConditionsAreInUseAndFollowsTheMarks) {
  ASSERT_NE(counter, nullptr);
  MarkAll(13);
  const std::map<QString, QPoint> specified = Places();
  SystemShape shape = ShapeOf(state);
  const std::vector<SignCount> conditions{{1, 3, 5, 0, "kryss 3-5"},
                                          {2, 0, 1, 0b111100, "tvåor -1 i 3-6"}};

  // Listed but not in use: the window is as it was.
  SetConditions({"kryss 3-5", "tvåor -1 i 3-6"}, false);
  EXPECT_TRUE(Counted()->isHidden());

  SetConditions({"kryss 3-5", "tvåor -1 i 3-6"}, true);
  ASSERT_FALSE(Counted()->isHidden());
  EXPECT_EQ(form->Label20->text(), Line(BruteForceKept(shape, conditions, 0), shape.size()));
  EXPECT_EQ(Places(), specified);

  // A click on a cell counts the new system.
  ClickCell(1, 2);
  ClickCell(2, 0);
  shape = ShapeOf(state);
  ASSERT_EQ(shape.size(), 1594323 / 9 * 4);
  EXPECT_EQ(Counted()->text(), Line(BruteForceKept(shape, conditions, 0), shape.size()));
  // The specified count is untouched.
  EXPECT_EQ(form->Label16->text(), QString::number(shape.size()));

  // The allowed broken conditions count too.
  RunVillkor([](tools::VillkorDialog& dialog) {
    dialog.findChild<QSpinBox*>(QStringLiteral("TillatnaFel"))->setValue(1);
    dialog.accept();
  });
  EXPECT_EQ(Counted()->text(), Line(BruteForceKept(shape, conditions, 1), shape.size()));

  // Avbryt changes nothing.
  RunVillkor([](tools::VillkorDialog& dialog) {
    dialog.findChild<QCheckBox*>(QStringLiteral("AnvandVillkoren"))->setChecked(false);
    dialog.reject();
  });
  EXPECT_FALSE(Counted()->isHidden());

  // In use with no conditions, or switched off: hidden again.
  SetConditions({}, true);
  EXPECT_TRUE(Counted()->isHidden());
  SetConditions({"kryss 3-5"}, true);
  EXPECT_FALSE(Counted()->isHidden());
  SetConditions({"kryss 3-5"}, false);
  EXPECT_TRUE(Counted()->isHidden());
  ClickCell(1, 2);
  EXPECT_TRUE(Counted()->isHidden());
  EXPECT_EQ(Places(), specified);
}

TEST_F(VillkorWindowTest, TheLineLiesInFreeSpaceAndSaysWhenItCannotCount) {
  ASSERT_NE(counter, nullptr);
  // The widest line there is: a full Supertoto system, no row left out.
  Choose(form->RadioGroup1, 2);
  MarkAll(14);
  SetConditions({"ettor 0-"}, true);
  ASSERT_EQ(Counted()->text(), Line(4782969, 4782969));
  const QRect line = form->Label20->geometry();
  for (const QWidget* widget : form->centralWidget()->findChildren<QWidget*>()) {
    if (widget->parentWidget() != form->centralWidget() || widget == form->Label20 ||
        widget == form->Image1 || widget->isHidden()) {
      continue;
    }
    EXPECT_FALSE(line.intersects(widget->geometry())) << widget->objectName().toStdString();
  }
  EXPECT_TRUE(form->centralWidget()->rect().contains(line));

  // Streck are missing: the line says the conditions cannot be counted, and
  // the tip names why.
  SetConditions({"skrällar 1-3"}, true);
  EXPECT_EQ(Counted()->text(), QStringLiteral("Villkor: kan inte räknas"));
  EXPECT_TRUE(form->Label20->toolTip().contains(QStringLiteral("behöver streck")));
}

// Generera Rader with conditions in use writes only the rows that meet them,
// and "Garanti" keeps rows from those alone with the guarantee holding for
// every one of them (checked here over the rows themselves), and says so in a
// second line of its report. Switched off, the window generates as specified.
TEST_F(VillkorWindowTest, GeneraRaderWritesAndReducesTheRowsThatMeetTheConditions) {
  // Matches 1..4 all three signs, the rest "1": 81 rows, 16 without a draw.
  Mark({"1X2", "1X2", "1X2", "1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  const auto rowsOfText = [](std::string_view text) {
    std::vector<std::string> rows;
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.starts_with("E,")) rows.push_back(line.substr(2));
    }
    return rows;
  };
  const auto draws = [](const std::string& row) {
    return static_cast<int>(std::count(row.begin(), row.end(), 'X'));
  };

  SetConditions({"kryss 0"}, true);
  QTest::mouseClick(form->Button2, Qt::LeftButton);
  const std::vector<std::string> all = rowsOfText(form->Memo1->Text());
  ASSERT_EQ(all.size(), 16u);
  for (const std::string& row : all) EXPECT_EQ(draws(row), 0) << row;

  // "Garanti", 12 right: every allowed row within one sign of a kept row.
  Choose(form->RadioGroup3, 1);
  auto* levels = form->findChild<QComboBox*>(QStringLiteral("ComboBox2"));
  ASSERT_NE(levels, nullptr);
  levels->setCurrentIndex(12 - 4);
  platform.messages.clear();
  QTest::mouseClick(form->Button2, Qt::LeftButton);
  const std::vector<std::string> kept = rowsOfText(form->Memo1->Text());
  ASSERT_FALSE(kept.empty());
  ASSERT_LT(kept.size(), all.size());
  for (const std::string& row : kept) EXPECT_EQ(draws(row), 0) << row;
  for (const std::string& row : all) {
    int nearest = 99;
    for (const std::string& other : kept) {
      int differing = 0;
      for (size_t i = 0; i < row.size(); ++i) differing += row[i] != other[i];
      nearest = std::min(nearest, differing);
    }
    EXPECT_LE(nearest, 1) << row;
  }
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_TRUE(
      platform.messages[0].text.startsWith(QStringLiteral("Dina rader är nu reducerade!!")));
  EXPECT_TRUE(platform.messages[0].text.contains(QStringLiteral("Villkor: 16 av 81 rader")))
      << platform.messages[0].text.toStdString();

  // Switched off: the full system again, and the report as specified.
  SetConditions({"kryss 0"}, false);
  Choose(form->RadioGroup3, 0);
  QTest::mouseClick(form->Button2, Qt::LeftButton);
  EXPECT_EQ(rowsOfText(form->Memo1->Text()).size(), 81u);
}

}  // namespace
}  // namespace spelkub
