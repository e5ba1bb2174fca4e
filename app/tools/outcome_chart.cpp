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
  const std::vector<int64_t> ticks = log ? LogTicks(largest) : LinearTicks(largest);
  const int64_t top = ticks.back();

  QFont small = font();
  small.setPixelSize(std::max(9, font().pixelSize() > 0 ? font().pixelSize() - 1 : 10));
  painter.setFont(small);
  const QFontMetrics metrics(small);
  int tickWidth = 0;
  for (int64_t tick : ticks) {
    tickWidth = std::max(tickWidth, metrics.horizontalAdvance(QString::number(tick)));
  }

  const int lineHeight = metrics.height();
  const QRect plot(QPoint(lineHeight + tickWidth + 10, lineHeight + 8),
                   QPoint(width() - 12, height() - 2 * lineHeight - 10));
  if (plot.width() < 20 || plot.height() < 20) return;

  // Height of a count in pixels above the plot's bottom.
  const auto heightOf = [&](int64_t count) -> double {
    if (count <= 0) return 0;
    if (log)
      return std::log10(static_cast<double>(count)) / std::log10(static_cast<double>(top)) *
             plot.height();
    return static_cast<double>(count) / static_cast<double>(top) * plot.height();
  };

  for (int64_t tick : ticks) {
    const int y = plot.bottom() - static_cast<int>(std::lround(heightOf(tick)));
    painter.setPen(kGridColor);
    painter.drawLine(plot.left(), y, plot.right(), y);
    painter.setPen(kAxisColor);
    painter.drawText(QRect(lineHeight + 2, y - lineHeight / 2, tickWidth + 4, lineHeight),
                     Qt::AlignRight | Qt::AlignVCenter, QString::number(tick));
  }

  painter.save();
  painter.translate(2, plot.center().y());
  painter.rotate(-90);
  painter.drawText(QRect(-plot.height() / 2, 0, plot.height(), lineHeight), Qt::AlignCenter,
                   log ? QStringLiteral("Utfall (log-skala)") : QStringLiteral("Utfall"));
  painter.restore();
  painter.drawText(QRect(plot.left(), height() - lineHeight - 4, plot.width(), lineHeight),
                   Qt::AlignCenter, QStringLiteral("Antal rätt"));

  if (!bars_.empty()) {
    const double slot = static_cast<double>(plot.width()) / static_cast<double>(bars_.size());
    // Few bars stay bars, not blocks.
    const int barWidth = std::clamp(static_cast<int>(slot * 0.7), 2, 6 * lineHeight);
    for (size_t i = 0; i < bars_.size(); ++i) {
      const Bar& bar = bars_[i];
      const int centre = plot.left() + static_cast<int>(slot * (static_cast<double>(i) + 0.5));
      // A count of 1 on a log scale has no height; every count above 0 shows.
      int barHeight = static_cast<int>(std::lround(heightOf(bar.count)));
      if (bar.count > 0) barHeight = std::max(barHeight, 2);
      const QRect rectangle(centre - barWidth / 2, plot.bottom() - barHeight, barWidth, barHeight);
      painter.fillRect(rectangle, kBarColor);

      const QString count = QString::number(bar.count);
      const int textWidth = metrics.horizontalAdvance(count);
      painter.setPen(Qt::black);
      if (textWidth <= static_cast<int>(slot) - 2) {
        painter.drawText(
            QRect(centre - static_cast<int>(slot) / 2, rectangle.top() - lineHeight - 1,
                  static_cast<int>(slot), lineHeight),
            Qt::AlignCenter, count);
      } else {
        // Too wide for its slot: written upwards, inside the bar where it fits.
        const bool inside = barHeight >= textWidth + 6;
        painter.save();
        painter.translate(centre + lineHeight / 2 - 1,
                          inside ? rectangle.top() + textWidth + 3 : rectangle.top() - 3);
        painter.rotate(-90);
        painter.setPen(inside ? Qt::white : Qt::black);
        painter.drawText(0, 0, count);
        painter.restore();
      }
      painter.setPen(kAxisColor);
      painter.drawText(QRect(centre - static_cast<int>(slot) / 2, plot.bottom() + 3,
                             static_cast<int>(slot), lineHeight),
                       Qt::AlignCenter, QString::number(bar.right));
    }
  }

  painter.setPen(kAxisColor);
  painter.drawLine(plot.bottomLeft(), plot.bottomRight());
  painter.drawLine(plot.bottomLeft(), plot.topLeft());
}

}  // namespace spelkub::tools
