// "Värdereducering..." offscreen through the fake platform: the refusal that
// points to "Matchvärdering...", a run that replaces the row list with the
// companion's rows and shows the same report, a refusal inside the dialog,
// and "Avbryt", which leaves the row list alone.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <string>
#include <vector>

#include "app/tools/select_dialog.h"
#include "cli/rader.h"
#include "commands/value_command.h"
#include "coupon/games.h"
#include "support/companion_run.h"
#include "support/coupon_builder.h"
#include "support/tools_host.h"
#include "support/value_inputs.h"
#include "text/coupon_reader.h"

namespace spelkub {
namespace {

class SelectToolsTest : public testing::ToolsTest {
 protected:
  void Prepare(uint32_t seed) {
    state = testing::MakeCoupon(kStryktipset, {"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1", "1",
                                               "1", "1", "1", "1", "1"});
    document = NewCouponDocument(kStryktipset);
    const ValueInput input = testing::RandomValueInput(seed, kStryktipset);
    document.values = input.values;
    document.pool = input.pool;
  }
  static void Click(QDialog& dialog, const char* name) {
    QPushButton* button = dialog.findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    QTest::mouseClick(button, Qt::LeftButton);
  }
  static tools::SelectDialog& AsSelect(QDialog& dialog) {
    return dynamic_cast<tools::SelectDialog&>(dialog);
  }
  // Sets the controls, starts, and runs the worker's job here.
  void Run(QDialog& dialog, int budget, int objectiveIndex, int guaranteeIndex) {
    dialog.findChild<QSpinBox*>("Budget")->setValue(budget);
    dialog.findChild<QComboBox*>("Mal")->setCurrentIndex(objectiveIndex);
    dialog.findChild<QComboBox*>("Garanti")->setCurrentIndex(guaranteeIndex);
    tools::Worker& worker = AsSelect(dialog).SelectWorker();
    worker.SetMode(tools::Worker::Mode::kManual);
    Click(dialog, "Starta");
    worker.RunPending();
    QCoreApplication::sendPostedEvents(&worker);
  }
  std::string Numbers(bool chances) const {
    std::string text;
    for (int m = 0; m < 13; ++m) {
      const SignValues& values =
          chances ? document.values.match[m].chance : document.values.match[m].streck;
      for (const double value : values) text += MachineNumber(value) + " ";
    }
    return text;
  }
};

TEST_F(SelectToolsTest, MissingValuesPointToMatchvardering) {
  Prepare(1);
  document.pool.turnover = kNoValue;
  tools::SelectCommand(Host());
  ASSERT_EQ(platform.messages.size(), 1u);
  EXPECT_TRUE(platform.messages[0].text.contains(QStringLiteral("\"Matchvärdering...\"")));
  EXPECT_EQ(platform.messages[0].caption, QStringLiteral("Värdereducering"));
  EXPECT_EQ(dialogsRun, 0);
}

TEST_F(SelectToolsTest, ARunReplacesTheRowListWithTheCompanionsRowsAndReport) {
  Prepare(2);
  int result = -1;
  QString guaranteeLine;
  int tableRows = 0;
  onDialog = [&](QDialog& dialog) {
    Run(dialog, 30, 3, 0);  // P(≥11), no guarantee
    tableRows = dialog.findChild<QTableWidget*>("Rapport")->rowCount();
    guaranteeLine = dialog.findChild<QLabel*>("Garantirad")->text();
    EXPECT_EQ(dialog.findChild<QPushButton*>("Avbryt")->text(), QStringLiteral("Stäng"));
    Click(dialog, "Avbryt");
    result = dialog.result();
  };
  tools::SelectCommand(Host());
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rows, 30);
  EXPECT_EQ(status, std::vector<QString>{QStringLiteral("Värdereducering klar!")});
  EXPECT_EQ(result, QDialog::Rejected);  // "Stäng" closes; the rows stay replaced
  EXPECT_EQ(tableRows, 7);               // rows, return, öre per row, four levels
  EXPECT_TRUE(guaranteeLine.startsWith(QStringLiteral("Garanti: "))) << guaranteeLine.toStdString();

  const auto companion = testing::RunCompanion({"--select",   "p11",
                                                "--budget",   "30",
                                                "--chances",  Numbers(true),
                                                "--streck",   Numbers(false),
                                                "--turnover", MachineNumber(document.pool.turnover),
                                                "1X2",        "1X2",
                                                "1X2",        "1X2",
                                                "1X2",        "1X2",
                                                "1",          "1",
                                                "1",          "1",
                                                "1",          "1",
                                                "1"});
  ASSERT_EQ(companion.status, 0) << companion.err;
  EXPECT_EQ(ReadCouponText(rowList).coupon->rows, ReadCouponText(companion.out).coupon->rows);
}

TEST_F(SelectToolsTest, ABudgetWithoutRoomForTheGuaranteeIsToldInTheDialog) {
  Prepare(3);
  QString error;
  onDialog = [&](QDialog& dialog) {
    Run(dialog, 3, 0, 9);  // 12 right needs more than three rows
    error = dialog.findChild<QLabel*>("Fel")->text();
    Click(dialog, "Avbryt");
  };
  tools::SelectCommand(Host());
  EXPECT_TRUE(error.startsWith(QStringLiteral("Budgeten räcker inte till garantin 12 rätt")))
      << error.toStdString();
  EXPECT_TRUE(shown.empty());
}

TEST_F(SelectToolsTest, AvbrytDuringTheRunLeavesTheRowListAsItWas) {
  Prepare(4);
  const std::string before = rowList;
  int result = -1;
  onDialog = [&](QDialog& dialog) {
    tools::Worker& worker = AsSelect(dialog).SelectWorker();
    worker.SetMode(tools::Worker::Mode::kManual);
    Click(dialog, "Starta");
    Click(dialog, "Avbryt");
    worker.RunPending();
    QCoreApplication::sendPostedEvents(&worker);
    result = dialog.result();
  };
  tools::SelectCommand(Host());
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(status.empty());
  EXPECT_EQ(rowList, before);
}

}  // namespace
}  // namespace spelkub
