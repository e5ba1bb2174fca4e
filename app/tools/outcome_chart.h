// A bar chart of outcomes by number of right, drawn with QPainter: one bar
// per number of right with its count on top, axis labels, and a log scale
// when the counts span orders of magnitude.
#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

namespace spelkub::tools {

class OutcomeChart : public QWidget {
  Q_OBJECT

 public:
  struct Bar {
    int right;
    int64_t count;
  };

  explicit OutcomeChart(QWidget* parent = nullptr);

  // The bars, left to right. Empty draws only the frame.
  void SetBars(std::vector<Bar> bars);
  const std::vector<Bar>& Bars() const { return bars_; }
  // Log scale: the largest count is at least kLogSpan times the smallest
  // count above zero.
  bool LogScale() const;

  static constexpr int64_t kLogSpan = 100;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<Bar> bars_;
};

}  // namespace spelkub::tools
