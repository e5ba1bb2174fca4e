// "Systemvärde..." and "Radvärden..." offscreen through the fake platform:
// the refusals that point to "Matchvärdering...", the dialogs' numbers against
// the companion's (both run the value command), the chart's distributions,
// "Om värdemodellen", the table's sort and "Behåll de N bästa" against plain
// sorts, and "Avbryt", which leaves the row list alone.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <fstream>
#include <map>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "app/tools/row_values_dialog.h"
#include "app/tools/value_chart.h"
#include "app/tools/value_dialog.h"
#include "cli/rader.h"
#include "coupon/games.h"
#include "support/companion_run.h"
#include "support/temp_folder.h"
#include "support/tools_host.h"
#include "support/value_inputs.h"

namespace spelkub {
namespace {

using testing::RandomRows;
using testing::RandomValueInput;
using testing::RowsText;

using Captured = testing::CapturedOutput;

QString Utf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

class ValueToolsTest : public testing::ToolsTest {
 protected:
  // The window's game, the document's values and the row list's rows.
  void Prepare(uint32_t seed, int32_t game, size_t rowCount) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    state.Game = game;
    document = NewCouponDocument(game);
    const ValueInput input = RandomValueInput(seed, game);
    document.values = input.values;
    document.pool = input.pool;
    rows = RandomRows(seed, Rules(game).matches, rowCount);
    rowList = RowsText(game, rows);
  }
  static void Click(QDialog& dialog, const char* name) {
    QPushButton* button = dialog.findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    QTest::mouseClick(button, Qt::LeftButton);
  }

  std::vector<PackedRow> rows;
};

TEST_F(ValueToolsTest, MissingValuesPointToMatchvardering) {
  state.Game = kStryktipset;
  rowList = RowsText(kStryktipset, RandomRows(1, 13, 5));
  const QString pointer = QStringLiteral(
      "Ange egna chanser, folkets streck och omsättningen i \"Matchvärdering...\" under Kupong.");
  tools::SystemValueCommand(Host());
  EXPECT_EQ(platform.messages, OneBox(QStringLiteral("Kupongen saknar egna chanser.\n") + pointer,
                                      QStringLiteral("Systemvärde")));
  Prepare(2, kStryktipset, 5);
  document.pool.turnover = kNoValue;
  platform.messages.clear();
  tools::RowValuesCommand(Host());
  EXPECT_EQ(platform.messages, OneBox(QStringLiteral("Kupongen saknar omsättning.\n") + pointer,
                                      QStringLiteral("Radvärden")));
  rowList = "Dina Rader:\r\n";
  platform.messages.clear();
  tools::SystemValueCommand(Host());
  EXPECT_EQ(platform.messages, OneBox(QStringLiteral("Det finns inga rader att värdera"),
                                      QStringLiteral("Systemvärde")));
  EXPECT_EQ(dialogsRun, 0);
  EXPECT_TRUE(shown.empty());
}

TEST_F(ValueToolsTest, SystemvardeShowsTheCompanionsNumbersAndTheChart) {
  for (const int32_t game : {kStryktipset, kSupertoto}) {
    Prepare(60 + static_cast<uint32_t>(game), game, 400);
    testing::TempFolder folder("tools_value");
    const std::string coupon = (folder.path() / "kupong.spelkub").string();
    const std::string rowsPath = (folder.path() / "rader.txt").string();
    SaveCouponDocument(coupon, document);
    { std::ofstream(rowsPath, std::ios::binary) << rowList; }
    Captured companion;
    const std::vector<std::string_view> args{"--coupon", coupon, "--value", rowsPath};
    ASSERT_EQ(cli::Run(args, companion), 0) << companion.err;
    std::map<std::string, std::string> printed;
    std::istringstream lines(companion.out);
    for (std::string line; std::getline(lines, line);) {
      const size_t colon = line.find(": ");
      if (colon != std::string::npos) printed[line.substr(0, colon)] = line.substr(colon + 2);
    }

    bool ran = false;
    onDialog = [&](QDialog& dialog) {
      auto& value = dynamic_cast<tools::SystemValueDialog&>(dialog);
      ASSERT_TRUE(WaitFor(value.ValueWorker()));
      const SystemValueOutcome& outcome = value.Outcome();
      ASSERT_TRUE(outcome.value);
      ASSERT_EQ(outcome.figures.size(), 13u);
      for (const ValueFigure& figure : outcome.figures) {
        QLabel* label = dialog.findChild<QLabel*>(Utf8(figure.key));
        ASSERT_NE(label, nullptr) << figure.key;
        EXPECT_EQ(label->text(), Utf8(printed[figure.label])) << figure.label;
      }
      const std::string top = std::to_string(Rules(game).matches);
      EXPECT_NE(printed.find("P(" + top + ")"), printed.end());

      const tools::ValueChart::Series& chart = dialog.findChild<tools::ValueChart*>()->Shown();
      const SystemValue& exact = *outcome.value;
      // The chart leaves out empty intervals at the ends and keeps the rest.
      const double chanceSum = std::accumulate(chart.chance.begin(), chart.chance.end(), 0.0);
      const double publicSum =
          std::accumulate(chart.publicShare.begin(), chart.publicShare.end(), 0.0);
      const double rowsSum = std::accumulate(chart.rows.begin(), chart.rows.end(), 0.0);
      EXPECT_NEAR(chanceSum, 1, 1e-6);
      EXPECT_NEAR(publicSum, 1, 1e-6);
      EXPECT_NEAR(rowsSum, 1, 1e-12);
      EXPECT_EQ(chart.edges.size(), chart.chance.size() + 1);
      const std::vector<double> edges = PayoutEdges(*outcome.model.model);
      const size_t first =
          std::find(edges.begin(), edges.end(), chart.edges.front()) - edges.begin();
      for (size_t bin = 0; bin < chart.rows.size(); ++bin) {
        EXPECT_EQ(chart.rows[bin], static_cast<double>(exact.rowsByPayout[first + bin]) / 400);
        EXPECT_EQ(chart.chance[bin], exact.chanceByPayout[first + bin]);
      }

      EXPECT_EQ(value.ModelHelp(), nullptr);
      Click(dialog, "OmVardemodellen");
      ASSERT_NE(value.ModelHelp(), nullptr);
      EXPECT_TRUE(value.ModelHelp()->isVisible());
      EXPECT_EQ(value.ModelHelp()->findChild<QPlainTextEdit*>("Text")->toPlainText(),
                Utf8(std::string(ValueModelHelpText())));
      ran = true;
    };
    const std::string before = rowList;
    tools::SystemValueCommand(Host());
    EXPECT_TRUE(ran);
    EXPECT_EQ(rowList, before);
    EXPECT_TRUE(platform.messages.empty());
  }
}

TEST_F(ValueToolsTest, AvbrytInSystemvardeClosesWithNothingShown) {
  Prepare(9, kSupertoto, 3000);
  const std::string before = rowList;
  onDialog = [&](QDialog& dialog) {
    auto& value = dynamic_cast<tools::SystemValueDialog&>(dialog);
    Click(dialog, "Avbryt");
    ASSERT_TRUE(WaitFor(value.ValueWorker()));
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(value.Outcome().value);
    EXPECT_EQ(value.FigureLabel("p14"), nullptr);
  };
  tools::SystemValueCommand(Host());
  EXPECT_EQ(dialogsRun, 1);
  EXPECT_EQ(rowList, before);
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(ValueToolsTest, RadvardenSortsByAClickedColumn) {
  Prepare(21, kStryktipset, 800);
  onDialog = [&](QDialog& dialog) {
    auto& values = dynamic_cast<tools::RowValuesDialog&>(dialog);
    ASSERT_TRUE(WaitFor(values.ValueWorker()));
    const RowValueTable& table = *values.Table();
    QTableView* view = dialog.findChild<QTableView*>("Tabell");
    ASSERT_EQ(view->model()->rowCount(), 800);
    // Unsorted, the rows come in the row list's order.
    for (int row = 0; row < 800; row += 97) {
      EXPECT_EQ(view->model()->index(row, 0).data().toString(), Utf8(RowSignsText(rows[row], 13)));
      EXPECT_EQ(view->model()->index(row, 3).data().toString(),
                Utf8(SpelvardeText(table.value[row])));
    }
    QHeaderView* header = view->horizontalHeader();
    for (const int column : {3, 3, 1, 4}) {
      QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                        QPoint(header->sectionViewportPosition(column) + 4, header->height() / 2));
      ASSERT_EQ(header->sortIndicatorSection(), column);
      const bool descending = header->sortIndicatorOrder() == Qt::DescendingOrder;
      const std::vector<double>& keys = column == 3   ? table.value
                                        : column == 1 ? table.chance
                                                      : table.payout;
      std::vector<uint32_t> expected(800);
      std::iota(expected.begin(), expected.end(), 0u);
      std::stable_sort(expected.begin(), expected.end(), [&](uint32_t a, uint32_t b) {
        return descending ? keys[a] > keys[b] : keys[a] < keys[b];
      });
      for (int row = 0; row < 800; ++row)
        ASSERT_EQ(values.Model().PositionAt(row), expected[row]) << "column " << column;
      EXPECT_EQ(view->model()->index(0, 0).data().toString(),
                Utf8(RowSignsText(rows[expected[0]], 13)));
    }
  };
  tools::RowValuesCommand(Host());
  EXPECT_EQ(dialogsRun, 1);
  EXPECT_TRUE(shown.empty());
}

// Whichever column is clicked first, the best rows come first: the
// likeliest, the least played, the highest spelvärde and payout.
TEST_F(ValueToolsTest, RadvardenFirstClickPutsTheBestRowsFirst) {
  for (const int column : {1, 2, 3, 4}) {
    Prepare(30 + column, kStryktipset, 300);
    onDialog = [&](QDialog& dialog) {
      auto& values = dynamic_cast<tools::RowValuesDialog&>(dialog);
      ASSERT_TRUE(WaitFor(values.ValueWorker()));
      const RowValueTable& table = *values.Table();
      QHeaderView* header = dialog.findChild<QTableView*>("Tabell")->horizontalHeader();
      QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                        QPoint(header->sectionViewportPosition(column) + 4, header->height() / 2));
      const std::vector<double>& keys = column == 1   ? table.chance
                                        : column == 2 ? table.publicShare
                                        : column == 3 ? table.value
                                                      : table.payout;
      const double best = column == 2 ? *std::min_element(keys.begin(), keys.end())
                                      : *std::max_element(keys.begin(), keys.end());
      EXPECT_EQ(keys[values.Model().PositionAt(0)], best) << "column " << column;
    };
    tools::RowValuesCommand(Host());
  }
}

TEST_F(ValueToolsTest, BehallDeNBastaReplacesTheRowList) {
  for (const int by : {0, 1}) {
    Prepare(40 + by, kStryktipset, 500);
    plus13 = kPlus13No;
    shown.clear();
    status.clear();
    platform.messages.clear();
    std::vector<double> keys;
    onDialog = [&](QDialog& dialog) {
      auto& values = dynamic_cast<tools::RowValuesDialog&>(dialog);
      ASSERT_TRUE(WaitFor(values.ValueWorker()));
      keys = by == 0 ? values.Table()->value : values.Table()->chance;
      dialog.findChild<QSpinBox*>("Antal")->setValue(37);
      dialog.findChild<QComboBox*>("Efter")->setCurrentIndex(by);
      Click(dialog, "Behall");
      EXPECT_EQ(dialog.result(), QDialog::Accepted);
    };
    tools::RowValuesCommand(Host());
    ASSERT_EQ(keys.size(), 500u);
    std::vector<uint32_t> order(500);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return keys[a] > keys[b]; });
    order.resize(37);
    std::sort(order.begin(), order.end());
    std::vector<PackedRow> expected;
    for (const uint32_t i : order) expected.push_back(rows[i]);

    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rows, 37);
    EXPECT_EQ(shown[0].text, RowsText(kStryktipset, expected));
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].caption, QStringLiteral("Reducering"));
    EXPECT_TRUE(platform.messages[0].text.startsWith(
        by == 0 ? QStringLiteral("Behöll de 37 rader av 500 som har högst spelvärde (minst ")
                : QStringLiteral("Behöll de 37 rader av 500 som har störst chans (minst ")));
    EXPECT_EQ(status, std::vector<QString>{QStringLiteral("Behåll de 37 bästa klar!")});
  }
}

TEST_F(ValueToolsTest, BehallAllRowsIsRefusedInTheDialog) {
  Prepare(50, kStryktipset, 60);
  const std::string before = rowList;
  onDialog = [&](QDialog& dialog) {
    auto& values = dynamic_cast<tools::RowValuesDialog&>(dialog);
    ASSERT_TRUE(WaitFor(values.ValueWorker()));
    QSpinBox* count = dialog.findChild<QSpinBox*>("Antal");
    EXPECT_EQ(count->maximum(), 60);
    count->setValue(60);
    Click(dialog, "Behall");
    QLabel* error = dialog.findChild<QLabel*>("BehallFel");
    EXPECT_FALSE(error->isHidden());
    EXPECT_EQ(error->text(), QStringLiteral("Det finns bara 60 rader: välj färre att behålla."));
    EXPECT_FALSE(values.Kept());
  };
  tools::RowValuesCommand(Host());
  EXPECT_EQ(rowList, before);
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(platform.messages.empty());
}

TEST_F(ValueToolsTest, AvbrytInRadvardenLeavesTheRows) {
  Prepare(70, kSupertoto, 200000);
  const std::string before = rowList;
  onDialog = [&](QDialog& dialog) {
    auto& values = dynamic_cast<tools::RowValuesDialog&>(dialog);
    Click(dialog, "Avbryt");
    ASSERT_TRUE(WaitFor(values.ValueWorker()));
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(values.Table(), nullptr);
    EXPECT_FALSE(dialog.findChild<QPushButton*>("Behall")->isEnabled());
  };
  tools::RowValuesCommand(Host());
  EXPECT_EQ(dialogsRun, 1);
  EXPECT_EQ(rowList, before);
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(status.empty());
}

}  // namespace
}  // namespace spelkub
