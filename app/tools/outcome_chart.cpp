#include "app/tools/outcome_chart.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>

namespace spelkub::tools {

namespace {

const QColor kBarColor(52, 112, 184);
const QColor kGridColor(222, 226, 232);
const QColor kAxisColor(90, 90, 90);

// Axis ticks of a linear scale: a step of 1, 2 or 5 times a power of ten that
// gives about four intervals.
std::vector<int64_t> LinearTicks(int64_t largest) {
  int64_t step = 1;
  for (int64_t power = 1;; power *= 10) {
    for (int64_t factor : {1, 2, 5}) {
      step = factor * power;
      if (largest <= 4 * step) {
        std::vector<int64_t> ticks;
        for (int64_t tick = 0; tick < largest + step; tick += step) ticks.push_back(tick);
        return ticks;
      }
    }
  }
}

// Powers of ten from 1 up to the first at or above `largest`.
std::vector<int64_t> LogTicks(int64_t largest) {
  std::vector<int64_t> ticks{1};
  while (ticks.back() < largest) ticks.push_back(ticks.back() * 10);
  if (ticks.size() < 2) ticks.push_back(10);
  return ticks;
}

// The count axis: its ticks, linear or log, up to the top tick.
struct Scale {
  std::vector<int64_t> ticks;
  bool log;

  // Height of a count in pixels above the bottom of a plot `plotHeight` high.
  double HeightOf(int64_t count, int plotHeight) const {
    if (count <= 0) return 0;
    const auto top = static_cast<double>(ticks.back());
    if (log) return std::log10(static_cast<double>(count)) / std::log10(top) * plotHeight;
    return static_cast<double>(count) / top * plotHeight;
  }
};

// The chart's small texts: tick numbers, counts and the outcomes under the bars.
struct Lettering {
  QFontMetrics metrics;
  int lineHeight;
  int tickWidth;  // the widest tick number
};

// The grid line and number of each tick, and the two axis titles.
void DrawAxisTexts(QPainter& painter, const QRect& plot, const Scale& scale,
                   const Lettering& lettering, int chartHeight) {
  const int lineHeight = lettering.lineHeight;
  for (int64_t tick : scale.ticks) {
    const int y =
        plot.bottom() - static_cast<int>(std::lround(scale.HeightOf(tick, plot.height())));
    painter.setPen(kGridColor);
    painter.drawLine(plot.left(), y, plot.right(), y);
    painter.setPen(kAxisColor);
    painter.drawText(QRect(lineHeight + 2, y - lineHeight / 2, lettering.tickWidth + 4, lineHeight),
                     Qt::AlignRight | Qt::AlignVCenter, QString::number(tick));
  }

  painter.save();
  painter.translate(2, plot.center().y());
  painter.rotate(-90);
  painter.drawText(QRect(-plot.height() / 2, 0, plot.height(), lineHeight), Qt::AlignCenter,
                   scale.log ? QStringLiteral("Utfall (log-skala)") : QStringLiteral("Utfall"));
  painter.restore();
  painter.drawText(QRect(plot.left(), chartHeight - lineHeight - 4, plot.width(), lineHeight),
                   Qt::AlignCenter, QStringLiteral("Antal rätt"));
}

// A bar's count above it, or written upwards where it is too wide for its
// slot: inside the bar where it fits.
void DrawCount(QPainter& painter, const QRect& bar, int64_t count, int slot,
               const Lettering& lettering) {
  const QString text = QString::number(count);
  const int textWidth = lettering.metrics.horizontalAdvance(text);
  const int centre = bar.left() + bar.width() / 2;
  const int lineHeight = lettering.lineHeight;
  painter.setPen(Qt::black);
  if (textWidth <= slot - 2) {
    painter.drawText(QRect(centre - slot / 2, bar.top() - lineHeight - 1, slot, lineHeight),
                     Qt::AlignCenter, text);
    return;
  }
  const bool inside = bar.height() >= textWidth + 6;
  painter.save();
  painter.translate(centre + lineHeight / 2 - 1,
                    inside ? bar.top() + textWidth + 3 : bar.top() - 3);
  painter.rotate(-90);
  painter.setPen(inside ? Qt::white : Qt::black);
  painter.drawText(0, 0, text);
  painter.restore();
}

// Each bar in its slot, with its count and its number of right below.
void DrawBars(QPainter& painter, const QRect& plot, const Scale& scale,
              const std::vector<OutcomeChart::Bar>& bars, const Lettering& lettering) {
  if (bars.empty()) return;
  const double slot = static_cast<double>(plot.width()) / static_cast<double>(bars.size());
  // Few bars stay bars, not blocks.
  const int barWidth = std::clamp(static_cast<int>(slot * 0.7), 2, 6 * lettering.lineHeight);
  for (size_t i = 0; i < bars.size(); ++i) {
    const OutcomeChart::Bar& bar = bars[i];
    const int centre = plot.left() + static_cast<int>(slot * (static_cast<double>(i) + 0.5));
    // A count of 1 on a log scale has no height; every count above 0 shows.
    int barHeight = static_cast<int>(std::lround(scale.HeightOf(bar.count, plot.height())));
    if (bar.count > 0) barHeight = std::max(barHeight, 2);
    const QRect rectangle(centre - barWidth / 2, plot.bottom() - barHeight, barWidth, barHeight);
    painter.fillRect(rectangle, kBarColor);
    DrawCount(painter, rectangle, bar.count, static_cast<int>(slot), lettering);
    painter.setPen(kAxisColor);
    painter.drawText(QRect(centre - static_cast<int>(slot) / 2, plot.bottom() + 3,
                           static_cast<int>(slot), lettering.lineHeight),
                     Qt::AlignCenter, QString::number(bar.right));
  }
}

}  // namespace

OutcomeChart::OutcomeChart(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Diagram"));
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void OutcomeChart::SetBars(std::vector<Bar> bars) {
  bars_ = std::move(bars);
  update();
}

bool OutcomeChart::LogScale() const {
  int64_t largest = 0;
  int64_t smallest = 0;
  for (const Bar& bar : bars_) {
    largest = std::max(largest, bar.count);
    if (bar.count > 0 && (smallest == 0 || bar.count < smallest)) smallest = bar.count;
  }
  return smallest > 0 && largest / smallest >= kLogSpan;
}

QSize OutcomeChart::sizeHint() const {
  return {460, 260};
}

QSize OutcomeChart::minimumSizeHint() const {
  return {300, 180};
}

void OutcomeChart::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(rect(), Qt::white);

  int64_t largest = 1;
  for (const Bar& bar : bars_) largest = std::max(largest, bar.count);
  const bool log = LogScale();
  const Scale scale{log ? LogTicks(largest) : LinearTicks(largest), log};

  QFont small = font();
  small.setPixelSize(std::max(9, font().pixelSize() > 0 ? font().pixelSize() - 1 : 10));
  painter.setFont(small);
  const QFontMetrics metrics(small);
  int tickWidth = 0;
  for (int64_t tick : scale.ticks) {
    tickWidth = std::max(tickWidth, metrics.horizontalAdvance(QString::number(tick)));
  }
  const Lettering lettering{metrics, metrics.height(), tickWidth};

  const int lineHeight = lettering.lineHeight;
  const QRect plot(QPoint(lineHeight + tickWidth + 10, lineHeight + 8),
                   QPoint(width() - 12, height() - 2 * lineHeight - 10));
  if (plot.width() < 20 || plot.height() < 20) return;

  DrawAxisTexts(painter, plot, scale, lettering, height());
  DrawBars(painter, plot, scale, bars_, lettering);
  painter.setPen(kAxisColor);
  painter.drawLine(plot.bottomLeft(), plot.bottomRight());
  painter.drawLine(plot.bottomLeft(), plot.topLeft());
}

}  // namespace spelkub::tools
