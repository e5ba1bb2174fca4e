// "Optimerad garanti..." offscreen through the fake platform: the coupon's
// refusals, the dialog's choices, a run that fills the row list, Label18's
// count and the status text with rows whose guarantee a brute force confirms,
// "Avbryt", which changes nothing, and "Stoppa och använd bästa".
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/tools/optimize_dialog.h"
#include "coupon/messages.h"
#include "reduce/reduction.h"
#include "support/coupon_builder.h"
#include "support/tools_host.h"
#include "text/coupon_reader.h"
#include "text/coupon_text.h"

namespace spelkub {
namespace {

using testing::Box;
using testing::MakeCoupon;

Box BoxOf(const Message& message) {
  return {
      QString::fromUtf8(message.text.data(), static_cast<qsizetype>(message.text.size())),
      QString::fromUtf8(message.caption.data(), static_cast<qsizetype>(message.caption.size()))};
}

// The least right that the best of `rows` gets over every outcome of the
// coupon's system: every outcome against every row.
int BruteForceGuarantee(const SystemShape& shape, const std::vector<PackedRow>& rows) {
  int least = shape.matches;
  for (int64_t index = 0; index < shape.size(); ++index) {
    const PackedRow outcome = shape.RowAt(index);
    int best = 0;
    for (PackedRow row : rows) {
      int right = 0;
      for (int match = 1; match <= shape.matches; ++match) {
        right += PackedOutcome(row, match) == PackedOutcome(outcome, match) ? 1 : 0;
      }
      best = std::max(best, right);
    }
    least = std::min(least, best);
  }
  return least;
}

int64_t GreedyRows(const CouponState& state, Plus13Choice plus13, int level) {
  const RowSet full = GenerateFullSystem(state, plus13);
  return static_cast<int64_t>(ReduceToGuarantee(full, level, false)->kept.size());
}

class OptimizeCommandTest : public testing::ToolsTest {
 protected:
  static tools::OptimizeDialog& AsOptimize(QDialog& dialog) {
    return dynamic_cast<tools::OptimizeDialog&>(dialog);
  }
  static QComboBox* Guarantee(QDialog& dialog) { return dialog.findChild<QComboBox*>("Garanti"); }
  static QComboBox* Effort(QDialog& dialog) { return dialog.findChild<QComboBox*>("Insats"); }
  static void Click(QDialog& dialog, const char* name) {
    QTest::mouseClick(dialog.findChild<QPushButton*>(name), Qt::LeftButton);
  }
  // Picks the guarantee and effort, starts, and waits for the search to end.
  void RunTo(int level, int effort) {
    onDialog = [this, level, effort](QDialog& dialog) {
      Guarantee(dialog)->setCurrentIndex(level - 4);
      Effort(dialog)->setCurrentIndex(effort);
      Click(dialog, "Starta");
      ASSERT_TRUE(WaitFor(AsOptimize(dialog).SearchWorker()));
      dialogResult = dialog.result();
    };
    tools::OptimizeCommand(Host());
  }
  std::vector<PackedRow> RowListRows() {
    const ReadResult read = ReadCouponText(rowList);
    EXPECT_TRUE(read.coupon) << read.error;
    return read.coupon ? read.coupon->rows : std::vector<PackedRow>{};
  }
  void MarkNineRows() {
    state = MakeCoupon(kStryktipset,
                       {"1X2", "1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  }

  // Four full and four half matches at 12 right with "Grundlig": the search
  // polishes far longer than the first verified cover takes. `press` runs at
  // the first report of a verified size; then waits for the search to end.
  void StartLongSearch(const std::function<void(QDialog&)>& press) {
    state = MakeCoupon(kStryktipset, {"1X2", "1X2", "1X2", "1X2", "1X", "1X", "1X", "1X", "1", "1",
                                      "1", "1", "1"});
    rowList = kRowListBefore;
    onDialog = [this, press](QDialog& dialog) {
      tools::Worker& worker = AsOptimize(dialog).SearchWorker();
      QObject::connect(&worker, &tools::Worker::Progress, &dialog, [&, press](double, qint64 best) {
        if (best < 0 || bestShown >= 0) return;
        bestShown = best;
        bestText = dialog.findChild<QLabel*>("BastaHittills")->text();
        auto* useBest = dialog.findChild<QPushButton*>("StoppaOchAnvandBasta");
        useBestEnabled = useBest != nullptr && useBest->isEnabled();
        press(dialog);
      });
      Guarantee(dialog)->setCurrentIndex(12 - 4);
      Effort(dialog)->setCurrentIndex(2);
      Click(dialog, "Starta");
      ASSERT_TRUE(WaitFor(worker));
      dialogResult = dialog.result();
    };
    tools::OptimizeCommand(Host());
  }

  // A row list the user already had.
  static constexpr const char* kRowListBefore =
      "Stryktipset,13plus=Nej\r\nE,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n";

  int dialogResult = -1;
  qint64 bestShown = -1;
  QString bestText;
  bool useBestEnabled = false;
};

TEST_F(OptimizeCommandTest, RefusesAnUnmarkedMatchWithTheGenerateMessage) {
  state = MakeCoupon(kStryktipset, {"1X2", "1", "1"});
  tools::OptimizeCommand(Host());
  EXPECT_EQ(platform.messages, std::vector<Box>{BoxOf(kInvalidSystemMessage)});
  EXPECT_EQ(dialogsRun, 0);
  EXPECT_TRUE(shown.empty());
}

TEST_F(OptimizeCommandTest, RefusesAnUnmarkedSupertotoMatch14) {
  state = MakeCoupon(kSupertoto, {"1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  tools::OptimizeCommand(Host());
  EXPECT_EQ(platform.messages, std::vector<Box>{BoxOf(kInvalidSystemMessage)});
  EXPECT_EQ(dialogsRun, 0);
}

TEST_F(OptimizeCommandTest, RefusesThirteenPlusWithoutGoals) {
  MarkNineRows();
  plus13 = kPlus13Yes;
  tools::OptimizeCommand(Host());
  EXPECT_EQ(platform.messages, std::vector<Box>{BoxOf(kPlus13Message)});
  EXPECT_EQ(dialogsRun, 0);
}

TEST_F(OptimizeCommandTest, IgnoresTheReductionSettingsItDoesNotUse) {
  MarkNineRows();
  state.Reduction = kReductionGuarantee;  // no level chosen
  tools::OptimizeCommand(Host());
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(dialogsRun, 1);
}

TEST_F(OptimizeCommandTest, OffersTheLevelsOfTheGameAndNormalEffort) {
  MarkNineRows();
  QStringList levels;
  QStringList efforts;
  int effort = -1;
  onDialog = [&](QDialog& dialog) {
    for (int i = 0; i < Guarantee(dialog)->count(); ++i) levels << Guarantee(dialog)->itemText(i);
    for (int i = 0; i < Effort(dialog)->count(); ++i) efforts << Effort(dialog)->itemText(i);
    effort = Effort(dialog)->currentIndex();
  };
  tools::OptimizeCommand(Host());
  QStringList expected;
  for (int level = 4; level <= 13; ++level) expected << QStringLiteral("%1 Rätt").arg(level);
  EXPECT_EQ(levels, expected);
  EXPECT_EQ(efforts, (QStringList{"Snabb", "Normal", "Grundlig"}));
  EXPECT_EQ(effort, 1);

  state.Game = kSupertoto;
  testing::MarkMatch(state, 14, "1");
  levels.clear();
  tools::OptimizeCommand(Host());
  ASSERT_FALSE(levels.isEmpty());
  EXPECT_EQ(levels.back(), QStringLiteral("14 Rätt"));
  EXPECT_EQ(levels.size(), 11);
}

TEST_F(OptimizeCommandTest, TheSizeLineGroupsThousandsAndNoButtonIsCut) {
  state = MakeCoupon(kStryktipset, {"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1",
                                    "1", "1", "1", "1"});
  QString size;
  int stopWidth = 0;
  int stopTextWidth = 0;
  onDialog = [&](QDialog& dialog) {
    dialog.show();
    size = dialog.findChild<QLabel*>(QStringLiteral("System"))->text();
    auto* stop = dialog.findChild<QPushButton*>(QStringLiteral("StoppaOchAnvandBasta"));
    stopWidth = stop->width();
    QFont bold = stop->font();
    bold.setBold(true);
    stopTextWidth = QFontMetrics(bold).horizontalAdvance(stop->text());
  };
  tools::OptimizeCommand(Host());
  // The thousands apart, as the other tools write them.
  const QLocale swedish(QLocale::Swedish, QLocale::Sweden);
  EXPECT_EQ(size, QStringLiteral("Systemet har %1 rader.").arg(swedish.toString(6561)));
  EXPECT_FALSE(size.contains(QStringLiteral("6561")));
  EXPECT_GT(stopWidth, stopTextWidth);
}

TEST_F(OptimizeCommandTest, ProposesTheWindowsGuaranteeLevel) {
  MarkNineRows();
  state.GuaranteeLevel = 11;
  QString proposed;
  onDialog = [&](QDialog& dialog) { proposed = Guarantee(dialog)->currentText(); };
  tools::OptimizeCommand(Host());
  EXPECT_EQ(proposed, QStringLiteral("11 Rätt"));
}

TEST_F(OptimizeCommandTest, FillsTheRowListWithVerifiedRowsAndReportsThem) {
  MarkNineRows();
  RunTo(12, 0);
  EXPECT_EQ(dialogResult, QDialog::Accepted);
  ASSERT_EQ(shown.size(), 1u);
  const std::vector<PackedRow> rows = RowListRows();
  // Three rows are the fewest: two cover at most 8 of the 9 outcomes.
  EXPECT_EQ(rows.size(), 3u);
  EXPECT_EQ(shown[0].rows, static_cast<int64_t>(rows.size()));
  EXPECT_EQ(rowList.substr(0, 24), "Stryktipset,13plus=Nej\r\n");
  EXPECT_GE(BruteForceGuarantee(ShapeOf(state), rows), 12);
  const Box report{QStringLiteral("Optimerad garanti: 3 rader med 12 rätts garanti (Garanti ger %1 "
                                  "rader).\nBevisat minsta: färre rader kan inte ge den garantin.")
                       .arg(GreedyRows(state, plus13, 12)),
                   QStringLiteral("Reducering")};
  EXPECT_EQ(platform.messages, std::vector<Box>{report});
  EXPECT_EQ(status, std::vector<QString>{QStringLiteral("Optimerad garanti klar!")});
}

TEST_F(OptimizeCommandTest, WritesRowsInGenerationOrderUnderTheCouponsHeader) {
  state = MakeCoupon(kEuropatipset,
                     {"1X2", "1X", "X2", "1X2", "1", "2", "X", "1", "1", "1", "1X2", "1", "2"});
  state.Goals = kGoals2;
  plus13 = kPlus13Yes;
  RunTo(11, 0);
  ASSERT_EQ(shown.size(), 1u);
  const std::string header = HeaderLine(state, plus13);
  EXPECT_EQ(rowList.substr(0, header.size()), header);
  const std::vector<PackedRow> rows = RowListRows();
  const SystemShape shape = ShapeOf(state);
  std::vector<int64_t> indices;
  for (PackedRow row : rows) indices.push_back(shape.IndexOf(row).value_or(-1));
  EXPECT_TRUE(std::is_sorted(indices.begin(), indices.end()));
  EXPECT_EQ(std::count(indices.begin(), indices.end(), -1), 0);
  EXPECT_GE(BruteForceGuarantee(shape, rows), 11);
  EXPECT_LE(static_cast<int64_t>(rows.size()), GreedyRows(state, plus13, 11));
  EXPECT_EQ(shown[0].rows, static_cast<int64_t>(rows.size()));
}

TEST_F(OptimizeCommandTest, SupertotoRowsHaveNoHeader) {
  state = MakeCoupon(kSupertoto,
                     {"1X2", "1X2", "1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1X"});
  RunTo(13, 0);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(rowList.substr(0, 2), "1,");
  const std::vector<PackedRow> rows = RowListRows();
  EXPECT_GE(BruteForceGuarantee(ShapeOf(state), rows), 13);
}

TEST_F(OptimizeCommandTest, AvbrytBeforeStartaClosesAndChangesNothing) {
  MarkNineRows();
  onDialog = [&](QDialog& dialog) {
    Click(dialog, "Avbryt");
    dialogResult = dialog.result();
  };
  tools::OptimizeCommand(Host());
  EXPECT_EQ(dialogResult, QDialog::Rejected);
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_TRUE(status.empty());
  EXPECT_EQ(rowList, "Dina Rader:\r\n");
}

TEST_F(OptimizeCommandTest, AvbrytBeforeAnythingIsVerifiedKeepsTheRowList) {
  state = MakeCoupon(kStryktipset, {"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2",
                                    "1X2", "1X2", "1X2", "1X2"});
  QString during;
  onDialog = [&](QDialog& dialog) {
    tools::Worker& worker = AsOptimize(dialog).SearchWorker();
    worker.SetMode(tools::Worker::Mode::kManual);
    Click(dialog, "Starta");
    Click(dialog, "Avbryt");
    during = dialog.findChild<QLabel*>("BastaHittills")->text();
    worker.RunPending();
    QCoreApplication::sendPostedEvents(&worker);
    dialogResult = dialog.result();
  };
  tools::OptimizeCommand(Host());
  EXPECT_EQ(during, QStringLiteral("Avbryter..."));
  EXPECT_EQ(dialogResult, QDialog::Rejected);
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_TRUE(status.empty());
  EXPECT_EQ(rowList, "Dina Rader:\r\n");
}

// Avbryt during the search: whatever it has verified so far is dropped.
TEST_F(OptimizeCommandTest, AvbrytDuringTheSearchLeavesTheRowListAsItWas) {
  StartLongSearch([](QDialog& dialog) { Click(dialog, "Avbryt"); });
  ASSERT_GE(bestShown, 0);
  EXPECT_EQ(bestText, QStringLiteral("Bästa hittills: %1 rader").arg(bestShown));
  EXPECT_EQ(dialogResult, QDialog::Rejected);
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_TRUE(status.empty());
  EXPECT_EQ(rowList, kRowListBefore);
}

TEST_F(OptimizeCommandTest, StoppaOchAnvandBastaUsesTheVerifiedRowsAndSaysSo) {
  StartLongSearch([](QDialog& dialog) { Click(dialog, "StoppaOchAnvandBasta"); });
  ASSERT_GE(bestShown, 0);
  EXPECT_TRUE(useBestEnabled);
  EXPECT_EQ(dialogResult, QDialog::Accepted);
  ASSERT_EQ(shown.size(), 1u);
  const std::vector<PackedRow> rows = RowListRows();
  EXPECT_EQ(shown[0].rows, static_cast<int64_t>(rows.size()));
  EXPECT_LE(static_cast<int64_t>(rows.size()), bestShown);
  const SystemShape shape = ShapeOf(state);
  const int guarantee = BruteForceGuarantee(shape, rows);
  EXPECT_GE(guarantee, 12);
  ASSERT_EQ(platform.messages.size(), 1u);
  // The reported guarantee is the one the rows have, not only the one asked for.
  const QString stopped = QStringLiteral(
                              "Sökningen stoppades. Bästa hittills: %1 rader med %2 "
                              "rätts garanti")
                              .arg(rows.size())
                              .arg(guarantee);
  EXPECT_TRUE(platform.messages[0].text.startsWith(stopped))
      << platform.messages[0].text.toStdString();
  EXPECT_TRUE(platform.messages[0].text.endsWith(QStringLiteral(".")))
      << platform.messages[0].text.toStdString();
  EXPECT_EQ(platform.messages[0].caption, QStringLiteral("Reducering"));
  EXPECT_EQ(status, std::vector<QString>{QStringLiteral("Optimerad garanti stoppad!")});
}

// "Avbryt" after "Stoppa och använd bästa", before the search has ended, is
// the user's last word.
TEST_F(OptimizeCommandTest, AvbrytAfterStoppaStillChangesNothing) {
  StartLongSearch([](QDialog& dialog) {
    Click(dialog, "StoppaOchAnvandBasta");
    Click(dialog, "Avbryt");
  });
  ASSERT_GE(bestShown, 0);
  EXPECT_EQ(dialogResult, QDialog::Rejected);
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_TRUE(status.empty());
  EXPECT_EQ(rowList, kRowListBefore);
}

// Only a verified cover can be offered: before the search has one, and
// after "Avbryt", the button is disabled.
TEST_F(OptimizeCommandTest, StoppaOchAnvandBastaWaitsForAVerifiedCover) {
  state = MakeCoupon(kStryktipset, {"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2",
                                    "1X2", "1X2", "1X2", "1X2"});
  std::vector<bool> enabled;
  bool stoppedEarly = true;
  onDialog = [&](QDialog& dialog) {
    auto* useBest = dialog.findChild<QPushButton*>("StoppaOchAnvandBasta");
    ASSERT_NE(useBest, nullptr);
    EXPECT_EQ(useBest->text(), QStringLiteral("Stoppa och använd bästa"));
    tools::Worker& worker = AsOptimize(dialog).SearchWorker();
    worker.SetMode(tools::Worker::Mode::kManual);
    enabled.push_back(useBest->isEnabled());
    Click(dialog, "Starta");
    enabled.push_back(useBest->isEnabled());
    Click(dialog, "StoppaOchAnvandBasta");  // disabled: not heard
    stoppedEarly = worker.Cancelled();
    Click(dialog, "Avbryt");
    enabled.push_back(useBest->isEnabled());
    worker.RunPending();
    QCoreApplication::sendPostedEvents(&worker);
    dialogResult = dialog.result();
  };
  tools::OptimizeCommand(Host());
  EXPECT_EQ(enabled, (std::vector<bool>{false, false, false}));
  EXPECT_FALSE(stoppedEarly);
  EXPECT_EQ(dialogResult, QDialog::Rejected);
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(platform.messages.empty());
}

// One row is "1 rad", in the result and in the greedy comparison.
TEST_F(OptimizeCommandTest, ReportsOneRowAsOneRad) {
  MarkNineRows();
  ASSERT_EQ(GreedyRows(state, plus13, 11), 1);
  RunTo(11, 0);
  ASSERT_EQ(RowListRows().size(), 1u);
  EXPECT_EQ(platform.messages,
            OneBox(QStringLiteral("Optimerad garanti: 1 rad med 11 rätts garanti (Garanti ger 1 "
                                  "rad).\nBevisat minsta: färre rader kan inte ge den garantin."),
                   QStringLiteral("Reducering")));
}

}  // namespace
}  // namespace spelkub
