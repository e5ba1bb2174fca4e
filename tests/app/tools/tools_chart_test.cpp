// The outcome chart as drawn: one bar per count above zero, in order, with
// heights in proportion to the counts, or to their logarithms when the counts
// span two orders of magnitude. Read back from the painted pixels.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <vector>

#include "app/tools/outcome_chart.h"
#include "support/fake_platform.h"

namespace spelkub::tools {
namespace {

const QRgb kBar = QColor(52, 112, 184).rgb();

struct DrawnBar {
  int left;
  int right;
  int height;
};

class OutcomeChartTest : public ::testing::Test, protected testing::WithApplication {
 protected:
  // Paints the chart at 460 x 260 and finds its bars: runs of the bar colour
  // on the row just above the axis, each measured up its middle column.
  std::vector<DrawnBar> Draw(std::vector<OutcomeChart::Bar> bars) {
    OutcomeChart chart;
    chart.resize(460, 260);
    chart.SetBars(std::move(bars));
    QImage image(chart.size(), QImage::Format_RGB32);
    chart.render(&image);

    int base = -1;
    int most = 0;
    for (int y = 0; y < image.height(); ++y) {
      int count = 0;
      for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == kBar ? 1 : 0;
      if (count >= most && count > 0) {
        most = count;
        base = y;
      }
    }
    std::vector<DrawnBar> drawn;
    if (base < 0) return drawn;
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, base) != kBar) continue;
      DrawnBar bar{x, x, 0};
      while (bar.right + 1 < image.width() && image.pixel(bar.right + 1, base) == kBar) ++bar.right;
      const int middle = (bar.left + bar.right) / 2;
      int y = base;
      while (y >= 0 && image.pixel(middle, y) == kBar) --y;
      bar.height = base - y;
      drawn.push_back(bar);
      x = bar.right;
    }
    return drawn;
  }
};

TEST_F(OutcomeChartTest, DrawsOneBarPerCountWithHeightsInProportion) {
  const std::vector<DrawnBar> drawn = Draw({{12, 6}, {13, 3}});
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_LT(drawn[0].right, drawn[1].left);
  EXPECT_NEAR(static_cast<double>(drawn[0].height) / drawn[1].height, 2.0, 0.05);
}

TEST_F(OutcomeChartTest, UsesALogScaleWhenCountsSpanTwoOrdersOfMagnitude) {
  OutcomeChart chart;
  chart.SetBars({{11, 10}, {12, 100}, {13, 1000}});
  EXPECT_TRUE(chart.LogScale());
  chart.SetBars({{11, 10}, {12, 999}});
  EXPECT_FALSE(chart.LogScale());

  const std::vector<DrawnBar> drawn = Draw({{11, 10}, {12, 100}, {13, 1000}});
  ASSERT_EQ(drawn.size(), 3u);
  // Equal steps on a log scale: 10, 100, 1000 on an axis from 1 to 1000.
  EXPECT_NEAR(static_cast<double>(drawn[1].height) / drawn[0].height, 2.0, 0.05);
  EXPECT_NEAR(static_cast<double>(drawn[2].height) / drawn[0].height, 3.0, 0.05);
}

TEST_F(OutcomeChartTest, ACountOfZeroHasNoBarAndOneStillShows) {
  const std::vector<DrawnBar> drawn = Draw({{11, 1}, {12, 0}, {13, 5000}});
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_GE(drawn[0].height, 2);
  EXPECT_GT(drawn[1].height, drawn[0].height);
  // The empty slot between them.
  EXPECT_GT(drawn[1].left - drawn[0].right, drawn[0].right - drawn[0].left);
}

TEST_F(OutcomeChartTest, NoBarsDrawsNone) {
  EXPECT_TRUE(Draw({}).empty());
}

}  // namespace
}  // namespace spelkub::tools
