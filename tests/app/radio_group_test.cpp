// The radio group: a click when the selected item changes, by the user or by
// the program, and none when the selected item is chosen again.
#include "app/radio_group.h"

#include <gtest/gtest.h>
#include <QRadioButton>
#include <QTest>

#include "support/fake_platform.h"

namespace spelkub {
namespace {

class RadioGroupTest : public ::testing::Test, testing::WithApplication {
 protected:
  RadioGroupTest() {
    group.setGeometry(0, 0, 105, 75);
    group.show();
    QObject::connect(&group, &RadioGroup::Click, [this] { clicks.push_back(group.ItemIndex()); });
  }

  RadioGroup group{"Välj spel", {"Stryktipset", "Europatipset", "Supertoto"}, 1, nullptr};
  std::vector<int> clicks;  // the selected index seen by each click
};

TEST_F(RadioGroupTest, StartsWithNothingSelected) {
  EXPECT_EQ(group.ItemIndex(), -1);
  for (int i = 0; i < group.Count(); ++i) EXPECT_FALSE(group.Button(i)->isChecked());
}

TEST_F(RadioGroupTest, ProgramSelectionRaisesClickWithTheNewIndex) {
  group.SetItemIndex(0);
  group.SetItemIndex(2);
  EXPECT_EQ(clicks, std::vector<int>({0, 2}));
  EXPECT_TRUE(group.Button(2)->isChecked());
  EXPECT_FALSE(group.Button(0)->isChecked());
}

TEST_F(RadioGroupTest, UserSelectionRaisesClick) {
  QTest::mouseClick(group.Button(1), Qt::LeftButton);
  EXPECT_EQ(group.ItemIndex(), 1);
  EXPECT_EQ(clicks, std::vector<int>({1}));
}

TEST_F(RadioGroupTest, ChoosingTheSelectedItemAgainRaisesNothing) {
  group.SetItemIndex(1);
  clicks.clear();
  group.SetItemIndex(1);
  QTest::mouseClick(group.Button(1), Qt::LeftButton);
  EXPECT_TRUE(clicks.empty());
  EXPECT_EQ(group.ItemIndex(), 1);
}

TEST_F(RadioGroupTest, ClearingTheSelectionRaisesNothing) {
  group.SetItemIndex(1);
  clicks.clear();
  group.SetItemIndex(-1);
  EXPECT_EQ(group.ItemIndex(), -1);
  for (int i = 0; i < group.Count(); ++i) EXPECT_FALSE(group.Button(i)->isChecked());
  EXPECT_TRUE(clicks.empty());
  group.SetItemIndex(1);
  EXPECT_EQ(clicks, std::vector<int>({1}));
}

TEST_F(RadioGroupTest, ItemsFillOneColumnUnderTheTitle) {
  const QRect first = group.Button(0)->geometry();
  const QRect second = group.Button(1)->geometry();
  const QRect third = group.Button(2)->geometry();
  EXPECT_EQ(first.left(), 8);
  EXPECT_EQ(second.left(), 8);
  EXPECT_EQ(second.top() - first.top(), third.top() - second.top());
  EXPECT_GE(first.top(), QFontMetrics(group.font()).height());
  EXPECT_LE(third.bottom(), group.height());
}

TEST(RadioGroupColumns, TwoColumnsSitSideBySide) {
  testing::TestApplication();
  RadioGroup group("Dubbelvinsten?", {"Ja", "Nej"}, 2, nullptr);
  group.setGeometry(0, 0, 105, 31);
  group.show();
  const QRect yes = group.Button(0)->geometry();
  const QRect no = group.Button(1)->geometry();
  EXPECT_EQ(yes.top(), no.top());
  EXPECT_EQ(yes.left(), 8);
  EXPECT_GT(no.left(), yes.right());
  EXPECT_LE(no.right(), group.width());
}

}  // namespace
}  // namespace spelkub
