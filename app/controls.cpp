#include "app/controls.h"

#include <QMouseEvent>
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
  connect(this, &QComboBox::currentIndexChanged, this, &DropDownList::Change);
  connect(lineEdit(), &QLineEdit::textEdited, this, &DropDownList::Change);
}

}  // namespace spelkub
