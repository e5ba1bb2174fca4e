#include "app/form_building.h"

#include <QFont>
#include <QPalette>

#include "app/window_fonts.h"

namespace spelkub {

void SetBold(QWidget* widget) {
  widget->setFont(Fonts().bold);
}

void SetCaption(QLabel* label, const QString& text) {
  label->setText(text);
  label->adjustSize();
}

QLabel* MakeLabel(const QString& name, const QString& caption, int left, int top, QWidget* parent,
                  int style, const QColor& color) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  if (style & kBold) SetBold(label);
  if (style & kUnderlined) {
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
  }
  if (color.isValid()) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
  }
  label->move(left, top);
  SetCaption(label, caption);
  return label;
}

}  // namespace spelkub
