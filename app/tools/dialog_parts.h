// Small pieces shared by the tools' dialogs.
#pragma once

#include <QLocale>
#include <QString>
#include <QTableWidgetItem>
#include <algorithm>
#include <cmath>

namespace spelkub::tools {

// A share (0..1) as a Swedish percentage: "33,3 %"; small shares keep two
// significant digits ("0,0042 %") so they do not read as none.
inline QString Percent(double share) {
  const QLocale swedish(QLocale::Swedish, QLocale::Sweden);
  const double percent = share * 100;
  if (percent == 0) return QStringLiteral("0 %");
  int decimals = 1;
  if (percent < 0.1) decimals = std::min(12, 1 - static_cast<int>(std::floor(std::log10(percent))));
  return swedish.toString(percent, 'f', decimals) + QStringLiteral(" %");
}

// A table cell that shows a number: right-aligned, not selectable or editable.
inline QTableWidgetItem* NumberCell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled);
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

}  // namespace spelkub::tools
