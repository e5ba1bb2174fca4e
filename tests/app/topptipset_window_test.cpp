// Topptipset in the window: chosen under "Kupong", it shows its 8 match rows
// and generates its rows; "Välj spel:" takes the window back to its own games.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "app/tools/match_table_dialog.h"
#include "session/session.h"

#include "support/window_fixture.h"

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

// The draw and the stake are set in "Matchvärdering..." and go into the
// hand-in header; without a draw the hand-in says where to give it.
TEST_F(TopptipsetWindow, TheHandInTakesTheDrawAndStakeOfTheMatchTable) {
  Item("TopptipsetStryk1")->trigger();
  Mark({"1X2", "1", "1", "1", "1", "1", "1", "2"});
  Click(form->Button2);
  platform.saveAnswer = QStringLiteral("/spel/topp.txt");
  form->Sparafrinlmning1->trigger();
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(platform.messages[0].text,
            "Ange omgången för Topptipset Stryk i \"Matchvärdering...\" under Kupong.");
  EXPECT_TRUE(platform.writes.empty());

  tools::SetMatchTableRunner([](tools::MatchTableDialog& dialog) {
    // One item per stake the game takes, and no snapshot to choose.
    auto* stake = dialog.findChild<QComboBox*>(QStringLiteral("Insats"));
    ASSERT_NE(stake, nullptr);
    ASSERT_EQ(stake->count(), 4);
    EXPECT_EQ(stake->itemText(2), "5 kr");
    stake->setCurrentIndex(2);
    EXPECT_FALSE(dialog.findChild<QComboBox*>(QStringLiteral("Underlag"))->isEnabled());
    auto* draw = dialog.findChild<QLineEdit*>(QStringLiteral("Omgang"));
    draw->setText(QStringLiteral("0"));
    dialog.accept();  // refused: stays open
    EXPECT_EQ(dialog.result(), 0);
    draw->setText(QStringLiteral("2841"));
    dialog.accept();
  });
  form->Matchvrdering1->trigger();
  tools::SetMatchTableRunner(nullptr);
  EXPECT_EQ(form->Session().document().draw, 2841);
  EXPECT_EQ(form->Session().document().stake, 5);

  platform.messages.clear();
  form->Sparafrinlmning1->trigger();
  ASSERT_EQ(platform.writes.size(), 1u);
  EXPECT_EQ(platform.writes[0].bytes.toStdString(),
            "Topptipset,Stryk,Omg=2841,Insats=5\r\n"
            "E,1,1,1,1,1,1,1,2\r\nE,X,1,1,1,1,1,1,2\r\nE,2,1,1,1,1,1,1,2\r\n");
}

// A game without stakes has no stake to choose; back on Stryktipset the
// stake is 1 again.
TEST_F(TopptipsetWindow, OnlyAGameWithStakesOffersThem) {
  tools::SetMatchTableRunner([](tools::MatchTableDialog& dialog) {
    EXPECT_EQ(dialog.findChild<QComboBox*>(QStringLiteral("Insats")), nullptr);
    dialog.reject();
  });
  form->Matchvrdering1->trigger();
  tools::SetMatchTableRunner(nullptr);
}

}  // namespace
}  // namespace spelkub
