// Small pieces shared by the tools' dialogs.
#pragma once

#include <QLabel>
#include <QLocale>
#include <QString>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <algorithm>
#include <cmath>
#include <cstdint>

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

// A number with the thousands apart, as Swedish writes it: "1 594 323".
inline QString GroupedCount(int64_t count) {
  return QLocale(QLocale::Swedish, QLocale::Sweden).toString(static_cast<qlonglong>(count));
}

// "1 rad", "2 rader".
inline QString RowCount(int64_t rows) {
  return rows == 1 ? QStringLiteral("1 rad") : QStringLiteral("%1 rader").arg(rows);
}

// A table cell that shows a number: right-aligned, not selectable or editable.
QTableWidgetItem* NumberCell(const QString& text);

// A hidden label in red for a refusal shown inside a dialog.
QLabel* NewErrorLabel(const QString& name, QWidget* parent);

// A read-only table of counts named "Tabell", as tall and wide as its
// contents, with compact rows.
QTableWidget* NewCountTable(QWidget* parent);

}  // namespace spelkub::tools
