// "Följ kupongen..." offscreen through the fake platform: the refusals, the
// clicks that set a match's state and recompute on the worker, the figures
// against the companion's (both run the follow command), "Avbryt", and the
// decided results kept in the coupon document.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <string>
#include <vector>

#include "app/tools/follow_dialog.h"
#include "app/tools/worker.h"
#include "coupon/games.h"
#include "support/tools_host.h"
#include "support/value_inputs.h"

namespace spelkub {
namespace {

using testing::RandomRows;
using testing::RandomValueInput;
using testing::RowsText;

QString Utf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

class FollowToolsTest : public testing::ToolsTest {
 protected:
  void Prepare(uint32_t seed, size_t rowCount) {
    state.Game = kStryktipset;
    document = NewCouponDocument(kStryktipset);
    input = RandomValueInput(seed, kStryktipset);
    document.values = input.values;
    document.pool = input.pool;
    rows = RandomRows(seed, 13, rowCount);
    rowList = RowsText(kStryktipset, rows);
  }
  // Until the dialog's computations, restarted by changes, have all ended.
  static void Settle(tools::FollowDialog& dialog) {
    while (dialog.FollowWorker().Running()) ASSERT_TRUE(WaitFor(dialog.FollowWorker()));
  }
  static FollowResults Parsed(std::string_view text) {
    std::string error;
    const auto results = ParseFollowResults(text, 13, &error);
    EXPECT_TRUE(results) << error;
    return *results;
  }

  ValueInput input;
  std::vector<PackedRow> rows;
};

TEST_F(FollowToolsTest, MissingValuesAreRefusedWithoutADialog) {
  state.Game = kStryktipset;
  rowList = RowsText(kStryktipset, RandomRows(1, 13, 5));
  tools::FollowCommand(Host());
  EXPECT_EQ(platform.messages,
            OneBox(QStringLiteral("Kupongen saknar egna chanser.\nAnge egna chanser, folkets "
                                  "streck och omsättningen i \"Matchvärdering...\" under Kupong."),
                   QStringLiteral("Följ kupongen")));
  EXPECT_EQ(dialogsRun, 0);
  rowList = "E,1\r\n";
  platform.messages.clear();
  tools::FollowCommand(Host());
  EXPECT_EQ(platform.messages.size(), 1u);
  EXPECT_EQ(dialogsRun, 0);
}

TEST_F(FollowToolsTest, ClicksSetTheStateAndTheFiguresAreTheCommands) {
  Prepare(21, 300);
  // Matches 1 and 6-12 decided in the coupon.
  for (const int m : {0, 5, 6, 7, 8, 9, 10, 11}) document.results[m] = 0;
  bool checked = false;
  onDialog = [&](QDialog& shown) {
    auto& dialog = dynamic_cast<tools::FollowDialog&>(shown);
    Settle(dialog);
    EXPECT_EQ(dialog.Results().match[0], (MatchStatus{MatchState::kDecided, 0}));
    EXPECT_TRUE(dialog.MatchButton(1, 0)->isChecked());
    // Match 2: X decided, then standing at X, then open again.
    QTest::mouseClick(dialog.MatchButton(2, 1), Qt::LeftButton);
    EXPECT_EQ(dialog.Results().match[1], (MatchStatus{MatchState::kDecided, 1}));
    QTest::mouseClick(dialog.MatchButton(2, 1), Qt::LeftButton);
    EXPECT_EQ(dialog.Results().match[1], (MatchStatus{MatchState::kPlaying, 1}));
    EXPECT_TRUE(dialog.MatchButton(2, 1)->property("standing").toBool());
    QTest::mouseClick(dialog.MatchButton(2, 1), Qt::LeftButton);
    EXPECT_EQ(dialog.Results().match[1], MatchStatus{});
    EXPECT_FALSE(dialog.MatchButton(2, 1)->isChecked());
    // Decided 2 in match 3, standing at 1 in match 4, match 5 cancelled.
    QTest::mouseClick(dialog.MatchButton(3, 2), Qt::LeftButton);
    QTest::mouseClick(dialog.MatchButton(4, 0), Qt::LeftButton);
    QTest::mouseClick(dialog.MatchButton(4, 0), Qt::LeftButton);
    QTest::mouseClick(dialog.MatchButton(5, 3), Qt::LeftButton);
    // The rest by the typed line, keeping matches 1-5.
    auto* field = dialog.findChild<QLineEdit*>("ResultatRad");
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->text(), QStringLiteral("1 ? 2 1? L 1 1 1 1 1 1 1 ?"));
    field->setText(QStringLiteral("1 ? 2 1? L X 1 1 ? ? 2 ? 1"));
    QTest::keyClick(field, Qt::Key_Return);
    Settle(dialog);

    const FollowResults expected = Parsed("1 ? 2 1? L X 1 1 ? ? 2 ? 1");
    EXPECT_EQ(dialog.Results(), expected);
    const FollowOutcome& seen = dialog.Outcome();
    ASSERT_TRUE(seen.report);
    const FollowOutcome command = RunFollowCommand(input, rows, expected);
    ASSERT_TRUE(command.report);
    EXPECT_EQ(seen.reportText, command.reportText);

    // What the tables show is the report's.
    auto* matches = dialog.findChild<QTableWidget*>("Matcher");
    ASSERT_NE(matches, nullptr);
    const FollowReport& report = *command.report;
    EXPECT_EQ(matches->item(3, 5)->text(), QStringLiteral("pågår, 1 nu"));
    EXPECT_EQ(matches->item(4, 5)->text(), QStringLiteral("inställd, lottas"));
    EXPECT_EQ(matches->item(1, 10)->text(), Utf8(RootForText(report.match[1].rootFor)));
    EXPECT_EQ(matches->item(1, 7)->text(), Utf8(KronorText(report.match[1].sign[0].expectedWin)));
    EXPECT_EQ(matches->item(0, 7), nullptr);  // decided: no worth per sign
    auto* levels = dialog.findChild<QTableWidget*>("Vinstgrader");
    ASSERT_NE(levels, nullptr);
    EXPECT_EQ(levels->item(0, 3)->text(), Utf8(KronorText(report.levels[0].expectedWin)));
    auto* caption = dialog.findChild<QLabel*>("LevandeRubrik");
    EXPECT_EQ(caption->text(),
              QStringLiteral("Levande rader för %1 rätt (%2), med tecknen de behöver:")
                  .arg(report.aliveLevel)
                  .arg(Utf8(ShownOfText(report.alive.size(), report.aliveTotal))));
    auto* alive = dialog.findChild<QPlainTextEdit*>("LevandeRader");
    EXPECT_EQ(alive->toPlainText().count(QLatin1Char('\n')),
              static_cast<qsizetype>(report.alive.size()));
    checked = true;
    dialog.reject();
  };
  tools::FollowCommand(Host());
  EXPECT_TRUE(checked);
  EXPECT_EQ(dialogsRun, 1);
  // The decided results are in the document; the others are not results.
  EXPECT_EQ(document.results[0], 0);
  EXPECT_EQ(document.results[1], kNoResult);
  EXPECT_EQ(document.results[2], 2);
  EXPECT_EQ(document.results[3], kNoResult);
  EXPECT_EQ(document.results[4], kNoResult);
  EXPECT_EQ(document.results[5], 1);
}

TEST_F(FollowToolsTest, AvbrytStopsAndAChangeStartsAgain) {
  Prepare(5, 2000);
  // Matches 3-10 decided.
  const FollowResults results = Parsed("? ? 1 X 2 1 X 2 1 X ? ? ?");
  tools::FollowDialog dialog(input, rows, results);
  dialog.FollowWorker().SetMode(tools::Worker::Mode::kManual);
  dialog.Recompute();
  ASSERT_TRUE(dialog.FollowWorker().Running());
  QTest::mouseClick(dialog.findChild<QPushButton*>("Avbryt"), Qt::LeftButton);
  dialog.FollowWorker().RunPending();
  ASSERT_TRUE(WaitFor(dialog.FollowWorker()));
  EXPECT_FALSE(dialog.Outcome().report);
  EXPECT_TRUE(dialog.findChild<QLabel*>("Status")->text().startsWith(QStringLiteral("Avbrutet")));

  // A click while one runs: that one is dropped, the new results computed.
  QTest::mouseClick(dialog.MatchButton(1, 0), Qt::LeftButton);
  QTest::mouseClick(dialog.MatchButton(2, 0), Qt::LeftButton);
  dialog.FollowWorker().RunPending();
  ASSERT_TRUE(WaitFor(dialog.FollowWorker()));
  ASSERT_TRUE(dialog.FollowWorker().Running());  // started again for both clicks
  dialog.FollowWorker().RunPending();
  ASSERT_TRUE(WaitFor(dialog.FollowWorker()));
  ASSERT_TRUE(dialog.Outcome().report);
  EXPECT_EQ(dialog.Outcome().report->decided, 10);
}

}  // namespace
}  // namespace spelkub
