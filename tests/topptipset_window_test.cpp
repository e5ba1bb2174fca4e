// Topptipset in the window: chosen under "Kupong", it shows its 8 match rows
// and generates its rows; "Välj spel:" takes the window back to its own games.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include "window_fixture.h"

namespace spelkub {
namespace {

class TopptipsetWindow : public testing::WindowTest<> {
 protected:
  QAction* Item(const char* name) const { return form->findChild<QAction*>(name); }
  // Whether the label and the three cells of match m are shown.
  bool MatchShown(int match) const {
    bool shown = form->Label[match - 1]->isVisible();
    for (int outcome = 0; outcome < 3; ++outcome) {
      EXPECT_EQ(Cell(match, outcome)->isVisible(), shown) << "match " << match;
    }
    return shown;
  }
};

TEST_F(TopptipsetWindow, TheMenuOffersEveryGameOutsideTheSelector) {
  ASSERT_NE(form->Spel1, nullptr);
  EXPECT_EQ(form->Spel1->title(), "Spel");
  const char* names[] = {"Topptipset1", "TopptipsetStryk1", "TopptipsetExtra1",
                         "TopptipsetEuropa1"};
  const char* captions[] = {"Topptipset", "Topptipset Stryk", "Topptipset Extra",
                            "Topptipset Europa"};
  ASSERT_EQ(form->GameItems.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    QAction* item = Item(names[i]);
    ASSERT_NE(item, nullptr) << names[i];
    EXPECT_EQ(item->text(), captions[i]);
    EXPECT_TRUE(item->isCheckable());
    EXPECT_FALSE(item->isChecked());
  }
  // "Välj spel:" keeps its three items.
  EXPECT_EQ(form->RadioGroup1->Count(), 3);
}

TEST_F(TopptipsetWindow, ChoosingItShowsEightMatchesAndGeneratesItsRows) {
  Choose(form->RadioGroup1, 2);  // Supertoto: 14 rows first
  EXPECT_TRUE(MatchShown(14));
  Item("TopptipsetStryk1")->trigger();
  EXPECT_EQ(state.Game, kTopptipsetStryk);
  EXPECT_EQ(form->RadioGroup1->ItemIndex(), -1);
  EXPECT_TRUE(Item("TopptipsetStryk1")->isChecked());
  for (int match = 1; match <= kMaxMatches; ++match) {
    EXPECT_EQ(MatchShown(match), match <= 8) << "match " << match;
  }
  EXPECT_FALSE(form->RadioGroup2->isVisible());

  Mark({"1X2", "1", "1", "1", "1", "1", "1", "2"});
  EXPECT_EQ(form->Label16->text(), "3");
  Click(form->Button2);
  EXPECT_EQ(form->Memo1->Text(),
            "Topptipset Stryk\r\n"
            "E,1,1,1,1,1,1,1,2\r\nE,X,1,1,1,1,1,1,2\r\nE,2,1,1,1,1,1,1,2\r\n");
  EXPECT_EQ(form->Label18->text(), "3");
}

TEST_F(TopptipsetWindow, ChoosingAGameOfTheSelectorAgainRestoresIt) {
  Item("Topptipset1")->trigger();
  ASSERT_EQ(state.Game, kTopptipset);
  Choose(form->RadioGroup1, 0);  // "Stryktipset", the item selected before
  EXPECT_EQ(state.Game, kStryktipset);
  EXPECT_FALSE(Item("Topptipset1")->isChecked());
  for (int match = 1; match <= kMaxMatches; ++match) {
    EXPECT_EQ(MatchShown(match), match <= 13) << "match " << match;
  }
  EXPECT_TRUE(form->RadioGroup2->isVisible());
}

}  // namespace
}  // namespace spelkub
