#include "app/tools/value_chart.h"

#include <QLocale>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>

namespace spelkub::tools {

const QColor ValueChart::kChanceColor(46, 139, 87);
const QColor ValueChart::kPublicColor(200, 120, 40);
const QColor ValueChart::kRowsColor(52, 112, 184);

namespace {

const QColor kGridColor(222, 226, 232);
const QColor kAxisColor(90, 90, 90);

// A payout edge as an axis label: "100", "10 000", "1 milj.".
QString EdgeLabel(double kronor) {
  if (kronor >= 1e6) {
    const double millions = kronor / 1e6;
    return QStringLiteral("%1 milj.").arg(QLocale(QLocale::Swedish).toString(millions, 'g', 3));
  }
  QLocale swedish(QLocale::Swedish);
  swedish.setNumberOptions(QLocale::DefaultNumberOptions);
  return swedish.toString(static_cast<qlonglong>(std::llround(kronor)));
}

// Whether an edge is a power of ten, the edges that get a label.
bool IsDecade(double edge) {
  const double power = std::log10(edge);
  return std::fabs(power - std::round(power)) < 1e-9;
}

// A step of 1, 2 or 5 times a power of ten giving about four intervals up to `largest`.
double LinearStep(double largest) {
  double step = 1e-6;
  for (double power = 1e-6;; power *= 10) {
    for (const double factor : {1.0, 2.0, 5.0}) {
      step = factor * power;
      if (largest <= 4 * step) return step;
    }
  }
}

// The chart's small texts: the legend, tick labels and edge labels.
struct Lettering {
  QFontMetrics metrics;
  int lineHeight;
  int tickWidth;  // the widest tick label
};

// The legend along the top.
void DrawLegend(QPainter& painter, const QFontMetrics& metrics) {
  const int lineHeight = metrics.height();
  const std::pair<QColor, QString> legend[] = {
      {ValueChart::kChanceColor, QStringLiteral("Chans att rätt rad ligger här")},
      {ValueChart::kPublicColor, QStringLiteral("Folkets rader")},
      {ValueChart::kRowsColor, QStringLiteral("Dina rader")}};
  int x = 8;
  for (const auto& [color, text] : legend) {
    painter.fillRect(QRect(x, 6 + lineHeight / 4, lineHeight / 2 + 2, lineHeight / 2 + 2), color);
    x += lineHeight;
    painter.setPen(Qt::black);
    painter.drawText(QPoint(x, 6 + metrics.ascent()), text);
    x += metrics.horizontalAdvance(text) + 2 * lineHeight;
  }
}

// The share axis in percent: linear, in steps of 1, 2 or 5 times a power of
// ten up to the top tick at or above the largest share.
struct ShareAxis {
  double step = 0;
  double top = 0;
  QLocale swedish{QLocale::Swedish};

  explicit ShareAxis(const ValueChart::Series& series) {
    double largest = 0;
    for (const std::vector<double>* values : {&series.chance, &series.publicShare, &series.rows})
      for (const double value : *values) largest = std::max(largest, value);
    step = LinearStep(std::max(largest * 100, 1e-6));
    const double rounded = std::ceil(largest * 100 / step - 1e-9) * step;
    top = rounded > 0 ? rounded : step;
  }

  QString Label(double percent) const {
    const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step)));
    return swedish.toString(percent, 'f', decimals) + QStringLiteral(" %");
  }

  int YOf(const QRect& plot, double percent) const {
    return plot.bottom() - static_cast<int>(std::lround(percent / top * plot.height()));
  }
};

// The payout axis: log scale from the first edge to the last.
struct PayoutAxis {
  double low;
  double span;
  const QRect& plot;

  PayoutAxis(const std::vector<double>& edges, const QRect& plotArea)
      : low(std::log10(edges.front())),
        span(std::max(1e-9, std::log10(edges.back()) - low)),
        plot(plotArea) {}

  int XOf(double edge) const {
    return plot.left() +
           static_cast<int>(std::lround((std::log10(edge) - low) / span * plot.width()));
  }
};

// The grid line and label of each share tick, and the two axis titles.
void DrawAxisTexts(QPainter& painter, const QRect& plot, const ShareAxis& shares,
                   const Lettering& lettering, int chartHeight, int topRight) {
  const int lineHeight = lettering.lineHeight;
  for (double tick = 0; tick <= shares.top + shares.step / 2; tick += shares.step) {
    const int y = shares.YOf(plot, tick);
    painter.setPen(kGridColor);
    painter.drawLine(plot.left(), y, plot.right(), y);
    painter.setPen(kAxisColor);
    painter.drawText(QRect(lineHeight + 2, y - lineHeight / 2, lettering.tickWidth + 4, lineHeight),
                     Qt::AlignRight | Qt::AlignVCenter, shares.Label(tick));
  }
  painter.save();
  painter.translate(2, plot.center().y());
  painter.rotate(-90);
  painter.drawText(QRect(-plot.height() / 2, 0, plot.height(), lineHeight), Qt::AlignCenter,
                   QStringLiteral("Andel"));
  painter.restore();
  painter.drawText(QRect(plot.left(), chartHeight - lineHeight - 4, plot.width(), lineHeight),
                   Qt::AlignCenter,
                   QStringLiteral("Beräknad %1-utdelning, kr (log-skala)").arg(topRight));
}

// Per payout bin three bars side by side: the chance, the public's share and
// the own rows' share.
void DrawBars(QPainter& painter, const QRect& plot, const ShareAxis& shares,
              const PayoutAxis& payouts, const ValueChart::Series& series) {
  const QColor colors[] = {ValueChart::kChanceColor, ValueChart::kPublicColor,
                           ValueChart::kRowsColor};
  for (size_t bin = 0; bin + 1 < series.edges.size(); ++bin) {
    const int left = payouts.XOf(series.edges[bin]);
    const int right = payouts.XOf(series.edges[bin + 1]);
    const int gap = std::max(1, (right - left) / 8);
    const int barWidth = std::max(1, (right - left - 2 * gap) / 3);
    const double values[] = {series.chance[bin], series.publicShare[bin], series.rows[bin]};
    for (int i = 0; i < 3; ++i) {
      const int y = shares.YOf(plot, values[i] * 100);
      int barHeight = plot.bottom() - y;
      // Every share above 0 shows.
      if (values[i] > 0) barHeight = std::max(barHeight, 1);
      painter.fillRect(
          QRect(left + gap + i * barWidth, plot.bottom() - barHeight, barWidth, barHeight),
          colors[i]);
    }
  }
}

// A tick at each edge under the plot, labelled at the decades when there are
// many edges.
void DrawEdgeLabels(QPainter& painter, const QRect& plot, const PayoutAxis& payouts,
                    const std::vector<double>& edges, const Lettering& lettering, int chartWidth) {
  painter.setPen(kAxisColor);
  for (const double edge : edges) {
    const int ex = payouts.XOf(edge);
    painter.drawLine(ex, plot.bottom(), ex, plot.bottom() + 3);
    if (!IsDecade(edge) && edges.size() > 8) continue;
    const QString label = EdgeLabel(edge);
    const int labelWidth = lettering.metrics.horizontalAdvance(label);
    // The last label stays inside the widget.
    const int labelLeft = std::min(ex - labelWidth / 2 - 2, chartWidth - labelWidth - 6);
    painter.drawText(QRect(labelLeft, plot.bottom() + 4, labelWidth + 4, lettering.lineHeight),
                     Qt::AlignCenter, label);
  }
}

}  // namespace

ValueChart::ValueChart(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Diagram"));
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ValueChart::SetSeries(Series series) {
  const size_t bins = series.edges.size() >= 2 ? series.edges.size() - 1 : 0;
  const auto empty = [&series](size_t bin) {
    const auto at = [bin](const std::vector<double>& values) {
      return bin < values.size() ? values[bin] : 0.0;
    };
    // Below a millionth of a percent nothing shows; such a tail only narrows the bars.
    return at(series.chance) < 1e-8 && at(series.publicShare) < 1e-8 && at(series.rows) < 1e-8;
  };
  size_t first = 0;
  size_t last = bins;
  while (first < last && empty(first)) ++first;
  while (last > first && empty(last - 1)) --last;
  Series trimmed;
  trimmed.topRight = series.topRight;
  if (last > first) {
    trimmed.edges.assign(series.edges.begin() + static_cast<long>(first),
                         series.edges.begin() + static_cast<long>(last + 1));
    const auto cut = [first, last](const std::vector<double>& values) {
      std::vector<double> part(last - first, 0.0);
      for (size_t bin = first; bin < last && bin < values.size(); ++bin)
        part[bin - first] = values[bin];
      return part;
    };
    trimmed.chance = cut(series.chance);
    trimmed.publicShare = cut(series.publicShare);
    trimmed.rows = cut(series.rows);
  }
  series_ = std::move(trimmed);
  update();
}

QSize ValueChart::sizeHint() const {
  return {560, 300};
}

QSize ValueChart::minimumSizeHint() const {
  return {360, 220};
}

void ValueChart::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);

  QFont small = font();
  small.setPixelSize(std::max(9, font().pixelSize() > 0 ? font().pixelSize() - 1 : 10));
  painter.setFont(small);
  const QFontMetrics metrics(small);
  DrawLegend(painter, metrics);

  const ShareAxis shares(series_);
  int tickWidth = 0;
  for (double tick = 0; tick <= shares.top + shares.step / 2; tick += shares.step)
    tickWidth = std::max(tickWidth, metrics.horizontalAdvance(shares.Label(tick)));
  const Lettering lettering{metrics, metrics.height(), tickWidth};
  const int lineHeight = lettering.lineHeight;
  const QRect plot(QPoint(lineHeight + tickWidth + 10, 2 * lineHeight + 10),
                   QPoint(width() - 14, height() - 2 * lineHeight - 12));
  if (plot.width() < 40 || plot.height() < 30) return;

  DrawAxisTexts(painter, plot, shares, lettering, height(), series_.topRight);
  if (series_.edges.size() >= 2) {
    const PayoutAxis payouts(series_.edges, plot);
    DrawBars(painter, plot, shares, payouts, series_);
    DrawEdgeLabels(painter, plot, payouts, series_.edges, lettering, width());
  }
  painter.setPen(kAxisColor);
  painter.drawLine(plot.bottomLeft(), plot.bottomRight());
  painter.drawLine(plot.bottomLeft(), plot.topLeft());
}

}  // namespace spelkub::tools
