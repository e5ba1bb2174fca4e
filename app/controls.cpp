#include "app/controls.h"

#include <QApplication>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QStyleOptionComplex>
#include <QStyledItemDelegate>

namespace spelkub {

namespace {

// List items 13 pixels high, as the lists were designed.
class ItemHeightDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(kItemHeight);
    return size;
  }

 private:
  static constexpr int kItemHeight = 13;
};

// A narrow drop-down button, as the lists were designed with, so that the
// prompts fit their 105-pixel lists unclipped.
class NarrowArrowStyle : public QProxyStyle {
 public:
  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                       const QWidget* widget) const override {
    const QRect rect = QProxyStyle::subControlRect(control, option, part, widget);
    if (control != CC_ComboBox) return rect;
    const QRect whole = option->rect;
    if (part == SC_ComboBoxArrow) {
      return QRect(whole.right() - kArrowWidth + 1, rect.top(), kArrowWidth, rect.height());
    }
    if (part == SC_ComboBoxEditField) {
      return QRect(whole.left() + 1, rect.top(), whole.width() - kArrowWidth - 1, rect.height());
    }
    return rect;
  }

 private:
  static constexpr int kArrowWidth = 16;
};

QStyle* DropDownStyle() {
  static NarrowArrowStyle* style = [] {
    auto* created = new NarrowArrowStyle;
    created->setParent(qApp);
    return created;
  }();
  return style;
}

}  // namespace

MarkCell::MarkCell(QWidget* parent) : QLineEdit(parent) {
  setCursor(Qt::UpArrowCursor);
}

void MarkCell::mousePressEvent(QMouseEvent* event) {
  QLineEdit::mousePressEvent(event);
  if (event->button() == Qt::LeftButton) pressed_ = true;
}

void MarkCell::mouseReleaseEvent(QMouseEvent* event) {
  QLineEdit::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  if (rect().contains(event->position().toPoint())) emit Click();
}

void MarkCell::mouseDoubleClickEvent(QMouseEvent* event) {
  QLineEdit::mouseDoubleClickEvent(event);
  pressed_ = false;  // the second press of a double click is no new click
}

DropDownList::DropDownList(const QString& prompt, const QStringList& items, QWidget* parent)
    : QComboBox(parent) {
  setStyle(DropDownStyle());
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  // Without a completer and without the match on editing finished, typed
  // text never turns into a selected item.
  setCompleter(nullptr);
  disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
  setItemDelegate(new ItemHeightDelegate(this));
  setMaxVisibleItems(8);
  addItems(items);
  setCurrentIndex(-1);
  setEditText(prompt);
  lineEdit()->setCursorPosition(0);
  connect(this, &QComboBox::currentIndexChanged, this, &DropDownList::Change);
  connect(lineEdit(), &QLineEdit::textEdited, this, &DropDownList::Change);
}

}  // namespace spelkub
