// Base of the window tests: a fresh, shown window over its own coupon state
// and a recording platform, and what a user does to its controls.
#pragma once

#include <gtest/gtest.h>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "support/fake_platform.h"

namespace spelkub::testing {

template <typename PlatformType = FakePlatform>
class WindowTest : public ::testing::Test, WithApplication {
 protected:
  WindowTest() {
    form = std::make_unique<TForm1>(state, platform);
    form->show();
  }

  QLineEdit* Cell(int match, int outcome) const { return form->Edit[CellIndex(match, outcome)]; }
  static void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }
  void ClickCell(int match, int outcome) const { Click(Cell(match, outcome)); }
  // Marks the signs of each match by clicking its cells, e.g. {"1X", "2", ...}.
  void Mark(const std::vector<std::string>& matches) const {
    int match = 1;
    for (const std::string& signs : matches) {
      for (char sign : signs) ClickCell(match, sign == '1' ? 0 : sign == 'X' ? 1 : 2);
      ++match;
    }
  }
  // Marks every sign of matches 1..matches.
  void MarkAll(int matches) const { Mark(std::vector<std::string>(matches, "1X2")); }
  static void Choose(RadioGroup* group, int item) { Click(group->Button(item)); }
  // Picks an item of a drop-down list with the keyboard, as a user can.
  static void Pick(DropDownList* list, int item) {
    if (list->currentIndex() < 0) QTest::keyClick(list, Qt::Key_Down);
    while (list->currentIndex() < item) QTest::keyClick(list, Qt::Key_Down);
    while (list->currentIndex() > item) QTest::keyClick(list, Qt::Key_Up);
  }

  CouponState state;
  PlatformType platform;
  std::unique_ptr<TForm1> form;
};

}  // namespace spelkub::testing
