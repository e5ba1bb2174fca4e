// Two small controls of the window: the clickable mark cell and the
// drop-down list that shows a prompt until the user picks an item.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QStringList>

namespace spelkub {

// An ordinary single-line edit box that raises Click on a left-button click
// (press and release inside it; a double click counts once). The pointer over
// it is the up-arrow.
class MarkCell : public QLineEdit {
  Q_OBJECT

 public:
  explicit MarkCell(QWidget* parent);

 signals:
  void Click();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  bool pressed_ = false;
};

// An editable drop-down list that shows `prompt` with no item selected until
// an item is picked. Typed text is only text: it never selects an item.
// Change is raised when the selected item changes and when the user edits the
// text; ItemIndex() is -1 while no item is selected.
class DropDownList : public QComboBox {
  Q_OBJECT

 public:
  DropDownList(const QString& prompt, const QStringList& items, QWidget* parent);

  int ItemIndex() const { return currentIndex(); }

 signals:
  void Change();
};

}  // namespace spelkub
