// The window over its session: every command that changes the rows hands them
// to the session with their origin, the rows there read as the row list does,
// and a hand edit makes the row list the source until a tool reads it once.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <string>
#include <vector>

#include "app/tools/grade_dialog.h"
#include "app/tools/optimize_dialog.h"
#include "app/tools/tools.h"
#include "app/tools/worker.h"
#include "session/session.h"
#include "support/window_fixture.h"
#include "text/coupon_reader.h"

namespace spelkub {
namespace {

class SessionWindowTest : public testing::WindowTest<> {
 protected:
  SessionWindowTest() {
    tools::SetModalRunner([this](QDialog& dialog) {
      if (onDialog) onDialog(dialog);
    });
  }
  ~SessionWindowTest() override { tools::SetModalRunner(nullptr); }

  const Session& session() const { return form->Session(); }

  // The session's rows are those the strict reader finds in the row list.
  void ExpectSessionIsTheRowList(RowsOrigin origin) const {
    ASSERT_NE(session().Rows(), nullptr);
    EXPECT_EQ(session().Rows()->origin, origin);
    const ReadResult read = ReadCouponText(form->Memo1->Text());
    ASSERT_TRUE(read.coupon) << read.error;
    const CouponRows& given = session().Rows()->coupon;
    EXPECT_EQ(given.rows, read.coupon->rows);
    EXPECT_EQ(given.lines, read.coupon->lines);
    EXPECT_EQ(given.header, read.coupon->header);
    EXPECT_EQ(given.game, read.coupon->game);
  }

  std::function<void(QDialog&)> onDialog;
};

const std::vector<std::string> kNine = {"1X2", "1X2", "1", "1", "1", "1", "1",
                                        "1",   "1",   "1", "1", "1", "1"};

TEST_F(SessionWindowTest, GeneratedAndReducedRowsReachTheSessionWithTheirOrigin) {
  EXPECT_FALSE(session().HasRows());
  Mark(kNine);
  Click(form->Button2);  // "Ingen": the full system
  ExpectSessionIsTheRowList(RowsOrigin::kGenerated);
  EXPECT_EQ(session().Rows()->coupon.rows.size(), 9u);
  EXPECT_EQ(session().Rows()->radix[0], 3);
  EXPECT_EQ(session().Rows()->radix[2], 1);

  Choose(form->RadioGroup3, 2);  // "Antal Rader"
  Pick(form->ComboBox3, 3);      // 4 rows
  Click(form->Button2);
  ExpectSessionIsTheRowList(RowsOrigin::kReduced);
  EXPECT_EQ(session().Rows()->coupon.rows.size(), 4u);

  Choose(form->RadioGroup3, 1);  // "Garanti"
  Pick(form->ComboBox2, 12 - 4);
  Click(form->Button2);
  ExpectSessionIsTheRowList(RowsOrigin::kReduced);
  ASSERT_EQ(platform.messages.size(), 2u);  // each reduction's own box
}

TEST_F(SessionWindowTest, ARefusedCouponLeavesNoRows) {
  Mark(kNine);
  Click(form->Button2);
  ASSERT_TRUE(session().HasRows());
  ClickCell(1, 0);  // match 1 loses "1"
  ClickCell(1, 1);
  ClickCell(1, 2);  // and every sign: refused
  Click(form->Button2);
  EXPECT_FALSE(session().HasRows());
  EXPECT_EQ(form->Memo1->LineCount(), 0);
}

TEST_F(SessionWindowTest, AHandEditIsReadBackOnceByTheNextTool) {
  Mark(kNine);
  Click(form->Button2);
  // The player deletes the last row by hand: select it and cut.
  const int lines = form->Memo1->lines();
  form->Memo1->setSelection(lines - 2, 0, lines - 1, 0);
  form->Memo1->removeSelectedText();
  EXPECT_TRUE(session().RowsEdited());
  EXPECT_EQ(session().Rows(), nullptr);

  int64_t graded = -1;
  onDialog = [&](QDialog& dialog) {
    if (auto* grade = dynamic_cast<tools::GradeDialog*>(&dialog))
      graded = grade->Report().rowsByRight[0];
  };
  form->Rttarader1->trigger();
  EXPECT_EQ(graded, 8);  // the eight rows the player left
  ExpectSessionIsTheRowList(RowsOrigin::kRowList);
  EXPECT_EQ(session().Rows()->coupon.rows.size(), 8u);
  EXPECT_TRUE(platform.errors.empty());
}

TEST_F(SessionWindowTest, OptimeradGarantiHandsItsRowsToTheSession) {
  Mark(kNine);
  onDialog = [](QDialog& dialog) {
    dialog.findChild<QComboBox*>("Garanti")->setCurrentIndex(12 - 4);
    dialog.findChild<QComboBox*>("Insats")->setCurrentIndex(0);
    QTest::mouseClick(dialog.findChild<QPushButton*>("Starta"), Qt::LeftButton);
    tools::Worker& worker = dynamic_cast<tools::OptimizeDialog&>(dialog).SearchWorker();
    QSignalSpy finished(&worker, &tools::Worker::Finished);
    ASSERT_TRUE(worker.Running() ? finished.wait(60000) : true);
  };
  form->Optimeradgaranti1->trigger();
  ExpectSessionIsTheRowList(RowsOrigin::kTool);
  EXPECT_EQ(session().Rows()->coupon.rows.size(), 3u);
  EXPECT_EQ(session().Rows()->how, "Optimerad garanti");
}

}  // namespace
}  // namespace spelkub
