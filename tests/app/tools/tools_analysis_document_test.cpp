// "Garantianalys..." with the coupon document's streck: taken without the
// line of numbers when every match has them, and giving the same
// probabilities as the same numbers typed into the line; without them, or
// with a match missing, the analysis counts outcomes only.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "app/tools/analysis_dialog.h"
#include "support/coupon_builder.h"
#include "support/tools_host.h"
#include "text/coupon_text.h"

namespace spelkub {
namespace {

class AnalysisDocumentTest : public testing::ToolsTest {
 protected:
  AnalysisDocumentTest() {
    state = testing::MakeCoupon(
        kStryktipset, {"1X2", "1X2", "1X", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
    const RowSet rows = GenerateFullSystem(state, kPlus13No);
    const std::vector<uint32_t> kept{0, 4, 8, 10, 15};
    rowList = CouponText(rows, kept);
    // Match 2's streck add up to 90 and are scaled.
    const std::array<SignValues, 3> first{{{45, 30, 25}, {40, 30, 20}, {70, 20, 10}}};
    for (int m = 0; m < 13; ++m) {
      document.values.match[m].streck = m < 3 ? first[m] : SignValues{60, 25, 15};
    }
  }

  // The probabilities the dialog shows when it has finished.
  std::optional<std::array<double, kMaxMatches + 1>> Analyse(const QString& line = QString()) {
    std::optional<std::array<double, kMaxMatches + 1>> shown;
    onDialog = [&](QDialog& dialog) {
      auto& analysis = dynamic_cast<tools::AnalysisDialog&>(dialog);
      ASSERT_TRUE(WaitFor(analysis.AnalysisWorker()));
      if (!line.isEmpty()) {
        dialog.findChild<QLineEdit*>("Streck")->setText(line);
        QTest::mouseClick(dialog.findChild<QPushButton*>("Rakna"), Qt::LeftButton);
        ASSERT_TRUE(WaitFor(analysis.AnalysisWorker()));
      }
      shown = analysis.Report().probabilityByRight;
      scaledNote = dialog.findChild<QLabel*>("StreckOmraknade")->text();
    };
    tools::AnalysisCommand(Host());
    return shown;
  }

  QString scaledNote;
};

TEST_F(AnalysisDocumentTest, TheDocumentsStreckWeighTheOutcomesAsTheSameLineWould) {
  const auto fromDocument = Analyse();
  const QString documentNote = scaledNote;
  ASSERT_TRUE(fromDocument);
  EXPECT_EQ(documentNote,
            QStringLiteral("Streck som inte summerade till 100 har räknats om: match 2."));

  QStringList numbers;
  for (int m = 0; m < 13; ++m) {
    for (const double value : document.values.match[m].streck) numbers << QString::number(value);
  }
  document = NewCouponDocument(kStryktipset);
  const auto fromLine = Analyse(numbers.join(' '));
  ASSERT_TRUE(fromLine);
  for (int right = 0; right <= 13; ++right) {
    EXPECT_NEAR((*fromDocument)[right], (*fromLine)[right], 1e-12) << right << " right";
  }
  EXPECT_EQ(scaledNote, documentNote);
}

TEST_F(AnalysisDocumentTest, WithoutStreckForEveryMatchOnlyOutcomesAreCounted) {
  document.values.match[12].streck = kNoSignValues;
  EXPECT_FALSE(Analyse());
  document = NewCouponDocument(kStryktipset);
  EXPECT_FALSE(Analyse());
}

}  // namespace
}  // namespace spelkub
