#include "app/tools/dialog_parts.h"

#include <QHeaderView>
#include <QPalette>

namespace spelkub::tools {

QTableWidgetItem* NumberCell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled);
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

QLabel* NewErrorLabel(const QString& name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, QColor(176, 0, 0));
  label->setPalette(palette);
  label->setWordWrap(true);
  label->hide();
  return label;
}

QTableWidget* NewCountTable(QWidget* parent) {
  auto* table = new QTableWidget(parent);
  table->setObjectName(QStringLiteral("Tabell"));
  table->verticalHeader()->hide();
  table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table->setSelectionMode(QAbstractItemView::NoSelection);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setFocusPolicy(Qt::NoFocus);
  table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
  table->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  return table;
}

}  // namespace spelkub::tools
