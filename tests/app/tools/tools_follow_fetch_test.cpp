// "Följ kupongen..." with "Hämta resultat" against a local server: the
// fetched result sets the matches as the same result typed does (a cancelled
// match waiting for its drawn sign stays open), and a failed fetch is one
// line that changes nothing.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <string>

#include "app/tools/follow_dialog.h"
#include "app/tools/worker.h"
#include "coupon/games.h"
#include "draw/draw_coupon.h"
#include "support/draw_answers.h"
#include "support/served_service.h"
#include "support/tools_host.h"
#include "support/value_inputs.h"

namespace spelkub {
namespace {

using Json = nlohmann::json;

const std::string kDraws = "/draw/1/stryktipset/draws";

class FollowFetchTest : public testing::ToolsTest {
 protected:
  FollowFetchTest() : served(test::StryktipsetResult(4929)) {
    // The coupon of draw 4929 as fetched: its chances, streck and turnover.
    state.Game = kStryktipset;
    document = NewCouponDocument(kStryktipset);
    const Draw draw =
        ParseDraw(Json{{"draw", test::DrawBody(4929)}}.dump(), 4929, 13).value.value();
    EXPECT_EQ(
        PutDrawInDocument(draw, SnapshotOfDraw(draw, "2026-12-08T10:00:00Z", "test"), document),
        "");
    rowList = testing::RowsText(kStryktipset, testing::RandomRows(7, 13, 300));
  }
  static void Settle(tools::FollowDialog& dialog) {
    while (dialog.FollowWorker().Running()) ASSERT_TRUE(WaitFor(dialog.FollowWorker()));
  }

  test::ServedService served;
  test::LocalServer& server = served.server;
};

TEST_F(FollowFetchTest, AFetchedResultSetsTheMatchesAsTypingIt) {
  FollowResults typed;
  FollowOutcome typedOutcome;
  onDialog = [&](QDialog& dialog) {
    auto& follow = dynamic_cast<tools::FollowDialog&>(dialog);
    Settle(follow);
    auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("ResultatRad"));
    field->setText(QStringLiteral("1 X X 1 L 2 1 X 2 1 X 2 1"));
    QTest::keyClick(field, Qt::Key_Return);
    Settle(follow);
    typed = follow.Results();
    typedOutcome = follow.Outcome();
    dialog.reject();
  };
  tools::FollowCommand(Host());
  ASSERT_EQ(typed.Decided(), 12);

  document.results.fill(kNoResult);
  onDialog = [&](QDialog& dialog) {
    auto& follow = dynamic_cast<tools::FollowDialog&>(dialog);
    Settle(follow);
    // The coupon's draw is offered.
    EXPECT_EQ(dialog.findChild<QSpinBox*>(QStringLiteral("Omgang"))->value(), 4929);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("HamtaResultat")),
                      Qt::LeftButton);
    ASSERT_TRUE(WaitFor(follow.FetchWorker()));
    Settle(follow);
    EXPECT_EQ(follow.Results(), typed);
    EXPECT_EQ(follow.Outcome().reportText, typedOutcome.reportText);
    EXPECT_FALSE(dialog.findChild<QLabel*>(QStringLiteral("ResultatFel"))->isVisibleTo(&dialog));
    dialog.reject();
  };
  EXPECT_TRUE(tools::FollowCommand(Host()));
  EXPECT_EQ(server.Requests(kDraws + "/4929/result"), 1);
  // The decided results are kept; the cancelled match not drawn yet is not.
  EXPECT_EQ(document.results[2], 1);
  EXPECT_EQ(document.results[4], kNoResult);
  EXPECT_EQ(document.results[12], 0);
}

TEST_F(FollowFetchTest, AFailedFetchIsOneLineAndChangesNothing) {
  onDialog = [&](QDialog& dialog) {
    auto& follow = dynamic_cast<tools::FollowDialog&>(dialog);
    Settle(follow);
    const FollowResults before = follow.Results();
    dialog.findChild<QSpinBox*>(QStringLiteral("Omgang"))->setValue(4930);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("HamtaResultat")),
                      Qt::LeftButton);
    ASSERT_TRUE(WaitFor(follow.FetchWorker()));
    auto* error = dialog.findChild<QLabel*>(QStringLiteral("ResultatFel"));
    EXPECT_TRUE(error->isVisibleTo(&dialog));
    EXPECT_EQ(error->text(), QStringLiteral("Omgång 4930 har inget resultat ännu"));
    EXPECT_EQ(follow.Results(), before);
    EXPECT_FALSE(follow.FollowWorker().Running());
    dialog.reject();
  };
  EXPECT_FALSE(tools::FollowCommand(Host()));
  EXPECT_EQ(dialogsRun, 1);
}

}  // namespace
}  // namespace spelkub
