// The history in the window: the offer after "Spara för inlämning", its
// remembered choice, and "Mina omgångar", on a real database file.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <string>

#include "app/tools/history_dialogs.h"
#include "history/history_database.h"
#include "support/temp_folder.h"
#include "support/tools_host.h"

namespace spelkub::testing {
namespace {

class HistoryToolsTest : public ToolsTest {
 protected:
  HistoryToolsTest() : folder("tools_history") {
    platform.saveAnswer = QStringLiteral("/spel/rader.txt");
    platform.historyPath = QString::fromStdString(folder.Path("h.sqlite").string());
    rowList =
        "Stryktipset,13plus=Nej\r\nE,1,1,1,1,1,1,1,1,1,1,1,1,1\r\nE,X,1,1,1,1,1,1,1,1,1,1,1,1\r\n";
  }
  history::Database Database() { return history::Database(folder.Path("h.sqlite").string()); }

  TempFolder folder;
};

TEST_F(HistoryToolsTest, RecordsTheSavedCouponWhenTheDrawIsGiven) {
  onDialog = [](QDialog& dialog) {
    auto& record = dynamic_cast<tools::RecordDialog&>(dialog);
    dialog.findChild<QSpinBox*>(QStringLiteral("Omgång"))->setValue(4711);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("Bokför")), Qt::LeftButton);
    ASSERT_TRUE(WaitFor(record.RecordWorker()));
  };
  tools::HandInCommand(Host());
  EXPECT_EQ(dialogsRun, 1);
  const std::vector<history::PlayedSummary> list = Database().List();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].draw, 4711);
  EXPECT_EQ(list[0].rows, 2);
  EXPECT_EQ(list[0].source, history::kSourceHandIn);
  const auto coupon = Database().Played(list[0].id);
  ASSERT_EQ(coupon->files.size(), 1u);
  EXPECT_EQ(coupon->files[0].name, "/spel/rader.txt");
  EXPECT_EQ(coupon->files[0].sha256, history::Sha256Hex(platform.writes[0].bytes.toStdString()));
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[1].text,
            QStringLiteral("Bokförd: Stryktipset omgång 4711, 2 rader, 2,00 kr."));
}

TEST_F(HistoryToolsTest, ARememberedNoAsksNoMore) {
  onDialog = [](QDialog& dialog) {
    dialog.findChild<QCheckBox*>(QStringLiteral("Kom ihåg mitt val"))->setChecked(true);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("Bokför inte")),
                      Qt::LeftButton);
  };
  tools::HandInCommand(Host());
  tools::HandInCommand(Host());
  EXPECT_EQ(dialogsRun, 1);
  EXPECT_TRUE(Database().List().empty());
  EXPECT_EQ(Database().Setting(tools::kRecordChoiceKey), "nej");
}

// A remembered "Bokför" records the next saved coupon without asking when
// its draw is known (here the coupon's own draw): the dialog only shows the
// recording, with "Avbryt", and closes by itself.
TEST_F(HistoryToolsTest, ARememberedYesRecordsWithoutAsking) {
  document = NewCouponDocument(kStryktipset);
  onDialog = [](QDialog& dialog) {
    auto& record = dynamic_cast<tools::RecordDialog&>(dialog);
    dialog.findChild<QCheckBox*>(QStringLiteral("Kom ihåg mitt val"))->setChecked(true);
    dialog.findChild<QSpinBox*>(QStringLiteral("Omgång"))->setValue(4711);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("Bokför")), Qt::LeftButton);
    ASSERT_TRUE(WaitFor(record.RecordWorker()));
  };
  tools::HandInCommand(Host());
  EXPECT_EQ(Database().Setting(tools::kRecordChoiceKey), "ja");

  document.draw = 4712;
  int asked = 0;
  onDialog = [&asked](QDialog& dialog) {
    auto& record = dynamic_cast<tools::RecordDialog&>(dialog);
    // No question: no "Kom ihåg mitt val", and the recording already runs.
    EXPECT_EQ(dialog.findChild<QCheckBox*>(QStringLiteral("Kom ihåg mitt val")), nullptr);
    EXPECT_EQ(dialog.findChild<QSpinBox*>(QStringLiteral("Omgång"))->value(), 4712);
    asked += record.RecordWorker().Running() ? 0 : 1;
    ASSERT_TRUE(WaitFor(record.RecordWorker()));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  };
  platform.messages.clear();
  tools::HandInCommand(Host());
  EXPECT_EQ(asked, 0);
  const std::vector<history::PlayedSummary> list = Database().List();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].draw + list[1].draw, 4711 + 4712);
  ASSERT_EQ(platform.messages.size(), 2u);
  EXPECT_EQ(platform.messages[1].text,
            QStringLiteral("Bokförd: Stryktipset omgång 4712, 2 rader, 2,00 kr."));

  // Without a known draw the remembered choice cannot record: it asks.
  document.draw = 0;
  bool offered = false;
  onDialog = [&offered](QDialog& dialog) {
    offered = dialog.findChild<QCheckBox*>(QStringLiteral("Kom ihåg mitt val")) != nullptr &&
              !dynamic_cast<tools::RecordDialog&>(dialog).RecordWorker().Running();
    dialog.reject();
  };
  tools::HandInCommand(Host());
  EXPECT_TRUE(offered);
  EXPECT_EQ(Database().List().size(), 2u);
}

// A coupon handed in at a dearer stake is recorded at what its rows cost.
TEST_F(HistoryToolsTest, TheStakeOfTheHandInIsWhatIsRecorded) {
  state.Game = kTopptipset;
  document = NewCouponDocument(kTopptipset);
  document.draw = 2841;
  document.stake = 5;
  rowList = "Topptipset,Omg=2841,Insats=5\r\nE,1,1,1,1,1,1,1,2\r\nE,X,1,1,1,1,1,1,2\r\n";
  onDialog = [](QDialog& dialog) {
    auto& record = dynamic_cast<tools::RecordDialog&>(dialog);
    EXPECT_EQ(dialog.findChild<QSpinBox*>(QStringLiteral("Omgång"))->value(), 2841);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("Bokför")), Qt::LeftButton);
    ASSERT_TRUE(WaitFor(record.RecordWorker()));
  };
  tools::HandInCommand(Host());
  ASSERT_EQ(platform.writes.size(), 1u);
  const std::vector<history::PlayedSummary> list = Database().List();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].draw, 2841);
  EXPECT_EQ(list[0].stakeOre, 2 * 500);
}

TEST_F(HistoryToolsTest, WithoutADrawNothingIsRecorded) {
  onDialog = [](QDialog& dialog) {
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("Bokför")), Qt::LeftButton);
    EXPECT_TRUE(dialog.findChild<QLabel*>(QStringLiteral("Fel"))->isVisibleTo(&dialog));
  };
  tools::HandInCommand(Host());
  EXPECT_TRUE(Database().List().empty());
}

TEST_F(HistoryToolsTest, MinaOmgangarListsAndFiltersByGame) {
  {
    history::Database database = Database();
    history::PlayedCoupon coupon;
    coupon.game = kStryktipset;
    coupon.draw = 12;
    coupon.rows = {0, 1, 2};
    coupon.stakeOre = 300;
    database.Record(coupon);
    coupon.game = kEuropatipset;
    database.Record(coupon);
    history::DrawOutcome outcome{kStryktipset, 12, std::vector<int>(13, 0), {{13, 1, 5000}}, "t"};
    database.Settle(outcome);
  }
  tools::HistoryDialog dialog(folder.Path("h.sqlite").string(), platform);
  EXPECT_EQ(dialog.Table()->rowCount(), 2);
  dialog.findChild<QComboBox*>(QStringLiteral("Spel"))->setCurrentIndex(1);  // Stryktipset
  ASSERT_EQ(dialog.Table()->rowCount(), 1);
  EXPECT_EQ(dialog.Table()->item(0, 5)->text(), QStringLiteral("50,00 kr"));
  EXPECT_EQ(dialog.Table()->item(0, 6)->text(), QStringLiteral("47,00 kr"));
}

}  // namespace
}  // namespace spelkub::testing
