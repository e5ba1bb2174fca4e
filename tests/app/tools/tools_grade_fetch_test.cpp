// "Rätta rader" with "Hämta resultat" against a local server: the fetched
// result grades the rows as the same result typed does (a cancelled match
// waiting for its drawn sign stays undecided), and a failed fetch is one line
// that changes nothing.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <cstdlib>
#include <string>

#include "app/tools/grade_dialog.h"
#include "app/tools/worker.h"
#include "coupon/games.h"
#include "support/draw_answers.h"
#include "support/served_service.h"
#include "support/tools_host.h"
#include "support/value_inputs.h"

namespace spelkub {
namespace {

const std::string kDraws = "/draw/1/stryktipset/draws";

class GradeFetchTest : public testing::ToolsTest {
 protected:
  GradeFetchTest() : served(test::StryktipsetResult(4929)) {
    state.Game = kStryktipset;
    document = NewCouponDocument(kStryktipset);
    document.draw = 4929;
    rowList = testing::RowsText(kStryktipset, testing::RandomRows(9, 13, 200));
  }
  test::ServedService served;
  test::LocalServer& server = served.server;
};

TEST_F(GradeFetchTest, AFetchedResultGradesAsTypingIt) {
  MatchResults typed;
  GradeReport typedReport;
  onDialog = [&](QDialog& dialog) {
    auto& grade = dynamic_cast<tools::GradeDialog&>(dialog);
    auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("ResultatRad"));
    // Match 5 is cancelled and its sign not drawn yet.
    field->setText(QStringLiteral("1XX1-21X21X21"));
    QTest::keyClick(field, Qt::Key_Return);
    typed = grade.Results();
    typedReport = grade.Report();
    dialog.reject();
  };
  tools::GradeCommand(Host());
  ASSERT_EQ(dialogsRun, 1);

  onDialog = [&](QDialog& dialog) {
    auto& grade = dynamic_cast<tools::GradeDialog&>(dialog);
    // The coupon's draw is offered.
    EXPECT_EQ(dialog.findChild<QSpinBox*>(QStringLiteral("Omgang"))->value(), 4929);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("HamtaResultat")),
                      Qt::LeftButton);
    ASSERT_TRUE(WaitFor(grade.FetchWorker()));
    EXPECT_EQ(grade.Results().outcome, typed.outcome);
    EXPECT_EQ(grade.Report().rowsByRight, typedReport.rowsByRight);
    EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("ResultatRad"))->text(),
              QStringLiteral("1XX1-21X21X21"));
    EXPECT_FALSE(dialog.findChild<QLabel*>(QStringLiteral("ResultatFel"))->isVisibleTo(&dialog));
    dialog.reject();
  };
  tools::GradeCommand(Host());
  EXPECT_EQ(server.Requests(kDraws + "/4929/result"), 1);
}

TEST_F(GradeFetchTest, AFailedFetchIsOneLineAndChangesNothing) {
  onDialog = [&](QDialog& dialog) {
    auto& grade = dynamic_cast<tools::GradeDialog&>(dialog);
    auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("ResultatRad"));
    field->setText(QStringLiteral("1X2"));
    QTest::keyClick(field, Qt::Key_Return);
    const MatchResults before = grade.Results();
    dialog.findChild<QSpinBox*>(QStringLiteral("Omgang"))->setValue(4930);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("HamtaResultat")),
                      Qt::LeftButton);
    ASSERT_TRUE(WaitFor(grade.FetchWorker()));
    auto* error = dialog.findChild<QLabel*>(QStringLiteral("ResultatFel"));
    EXPECT_TRUE(error->isVisibleTo(&dialog));
    EXPECT_EQ(error->text(), QStringLiteral("Omgång 4930 har inget resultat ännu"));
    EXPECT_EQ(grade.Results().outcome, before.outcome);
    EXPECT_EQ(field->text(), QStringLiteral("1X2"));
    dialog.reject();
  };
  tools::GradeCommand(Host());
  EXPECT_EQ(dialogsRun, 1);
}

// A game the draw service does not have offers no fetch.
TEST_F(GradeFetchTest, SupertotoOffersNoFetch) {
  state.Game = kSupertoto;
  rowList = testing::RowsText(kSupertoto, testing::RandomRows(9, 14, 20));
  onDialog = [&](QDialog& dialog) {
    EXPECT_FALSE(
        dialog.findChild<QPushButton*>(QStringLiteral("HamtaResultat"))->isVisibleTo(&dialog));
    dialog.reject();
  };
  tools::GradeCommand(Host());
  EXPECT_EQ(dialogsRun, 1);
}

}  // namespace
}  // namespace spelkub
