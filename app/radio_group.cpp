#include "app/radio_group.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFontMetrics>
#include <QRadioButton>

namespace spelkub {

RadioGroup::RadioGroup(const QString& title, const QStringList& items, int columns, QWidget* parent)
    : QGroupBox(title, parent), group_(new QButtonGroup(this)), columns_(columns) {
  group_->setExclusive(true);
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    group_->addButton(button, i);
    buttons_.push_back(button);
  }
  connect(group_, &QButtonGroup::idToggled, this, &RadioGroup::ButtonToggled);
  ArrangeButtons();
}

void RadioGroup::SetItemIndex(int index) {
  if (index < -1) index = -1;
  if (index >= Count()) index = Count() - 1;
  if (index == item_index_) return;
  if (index >= 0) {
    buttons_[static_cast<size_t>(index)]->setChecked(true);  // Click comes from the toggle
    return;
  }
  // An exclusive group cannot be emptied directly.
  group_->setExclusive(false);
  for (QRadioButton* button : buttons_) button->setChecked(false);
  group_->setExclusive(true);
  item_index_ = -1;
}

void RadioGroup::ButtonToggled(int id, bool checked) {
  if (!checked || id == item_index_) return;
  item_index_ = id;
  emit Click();
}

void RadioGroup::resizeEvent(QResizeEvent* event) {
  QGroupBox::resizeEvent(event);
  ArrangeButtons();
}

void RadioGroup::changeEvent(QEvent* event) {
  QGroupBox::changeEvent(event);
  if (event->type() == QEvent::FontChange) ArrangeButtons();
}

// Items fill the space under the title row in equal cells, column by column,
// with an 8-pixel left indent; leftover height is split above and below.
void RadioGroup::ArrangeButtons() {
  if (buttons_.empty()) return;
  const int count = Count();
  const int perColumn = (count + columns_ - 1) / columns_;
  const int titleHeight = QFontMetrics(font()).height();
  const int buttonWidth = (width() - 10) / columns_;
  const int free = height() - titleHeight - 5;
  const int buttonHeight = free / perColumn;
  const int top = titleHeight + 1 + (free % perColumn) / 2;
  for (int i = 0; i < count; ++i) {
    buttons_[static_cast<size_t>(i)]->setGeometry((i / perColumn) * buttonWidth + 8,
                                                  (i % perColumn) * buttonHeight + top, buttonWidth,
                                                  buttonHeight);
  }
}

}  // namespace spelkub
