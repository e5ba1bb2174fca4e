// How the window builds its controls with the form's look: each one named and
// placed, labels transparent and sized to their caption, bold where the form
// says so.
#pragma once

#include <QColor>
#include <QLabel>
#include <QString>
#include <QWidget>

namespace spelkub {

// Gives `widget` its component name and its place in the client area.
template <typename Widget>
Widget* Place(Widget* widget, const QString& name, int left, int top, int width, int height) {
  widget->setObjectName(name);
  widget->setGeometry(left, top, width, height);
  return widget;
}

// The window's bold font on `widget`.
void SetBold(QWidget* widget);

// Sets a label's caption; the label sizes itself to it.
void SetCaption(QLabel* label, const QString& text);

enum LabelStyle { kPlain = 0, kBold = 1, kUnderlined = 2 };

// A transparent label at (left, top) that sizes itself to its caption; an
// invalid colour keeps the window's text colour.
QLabel* MakeLabel(const QString& name, const QString& caption, int left, int top, QWidget* parent,
                  int style = kPlain, const QColor& color = QColor());

}  // namespace spelkub
