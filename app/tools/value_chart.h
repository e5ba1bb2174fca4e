// The chart of "Systemvärde": over intervals of the estimated payout of the
// game's top level (13 or 14 right), on a log scale, three distributions side by side: the chance
// that the right row falls in the interval, the public's share of rows there, and this system's
// rows there. Where the own chance stands above the public's share the rows
// are worth more than they cost; drawn with QPainter.
#pragma once

#include <QWidget>
#include <vector>

namespace spelkub::tools {

class ValueChart : public QWidget {
  Q_OBJECT

 public:
  // Shares (0..1) per interval [edges[i], edges[i + 1]).
  struct Series {
    std::vector<double> edges;
    std::vector<double> chance;
    std::vector<double> publicShare;
    std::vector<double> rows;
    int topRight = 13;  // the level the payout is of, for the axis title
  };

  explicit ValueChart(QWidget* parent = nullptr);

  // Intervals empty in all three series at either end are left out.
  void SetSeries(Series series);
  const Series& Shown() const { return series_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

  static const QColor kChanceColor;
  static const QColor kPublicColor;
  static const QColor kRowsColor;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Series series_;
};

}  // namespace spelkub::tools
