// A titled group of radio buttons with one selected item index, laid out in
// columns the classic way. It raises Click whenever the selected item changes,
// whether the user picked it or the program set it; choosing the item that is
// already selected raises nothing.
#pragma once

#include <QGroupBox>
#include <QStringList>
#include <vector>

class QButtonGroup;
class QRadioButton;

namespace spelkub {

class RadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  RadioGroup(const QString& title, const QStringList& items, int columns, QWidget* parent);

  // The selected item, -1 when none is.
  int ItemIndex() const { return item_index_; }
  // Selects item `index` (-1 clears the selection). Raises Click when this
  // selects an item other than the current one.
  void SetItemIndex(int index);

  int Count() const { return static_cast<int>(buttons_.size()); }
  QRadioButton* Button(int index) const { return buttons_[static_cast<size_t>(index)]; }

 signals:
  void Click();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void ArrangeButtons();
  void ButtonToggled(int id, bool checked);

  QButtonGroup* group_;
  std::vector<QRadioButton*> buttons_;
  int columns_;
  int item_index_ = -1;
};

}  // namespace spelkub
