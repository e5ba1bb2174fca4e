// The handlers of the mark cells and the selectors: each writes its choice
// into the coupon state and shows or hides the controls that depend on it.
#include <QCheckBox>
#include <QLabel>

#include "app/form_building.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "coupon/choices.h"

// A cell click: toggle the mark, show it, and show the new system size.
void TForm1::EditClick(int cell) {
  Edit[cell]->setText(spelkub::FromUtf8(spelkub::ToggleMark(state_, cell)));
  spelkub::SetCaption(Label16, QString::number(spelkub::SystemSize(state_)));
}

void TForm1::SetMatch14Visible(bool visible) {
  Label[spelkub::kMaxMatches - 1]->setVisible(visible);
  for (int outcome = 0; outcome < 3; ++outcome) {
    Edit[spelkub::CellIndex(spelkub::kMaxMatches, outcome)]->setVisible(visible);
  }
}

void TForm1::RadioGroup1Click() {
  const int index = RadioGroup1->ItemIndex();
  if (index < 0) return;
  state_.Game = spelkub::kGameChoices[index].game;
  if (state_.Game == spelkub::kSupertoto) {
    SetMatch14Visible(true);
    RadioGroup2->hide();
    ComboBox1->hide();
  } else {
    SetMatch14Visible(false);
    RadioGroup2->show();
  }
}

void TForm1::RadioGroup2Click() {
  const int index = RadioGroup2->ItemIndex();
  if (index == spelkub::kPlus13Yes) ComboBox1->show();
  if (index == spelkub::kPlus13No) ComboBox1->hide();
}

void TForm1::RadioGroup3Click() {
  const int index = RadioGroup3->ItemIndex();
  if (index < 0) return;
  state_.Reduction = index + 1;
  const bool guarantee = state_.Reduction == spelkub::kReductionGuarantee;
  const bool rowCount = state_.Reduction == spelkub::kReductionRowCount;
  ComboBox2->setVisible(guarantee);
  CheckBox1->setVisible(guarantee);
  ComboBox3->setVisible(rowCount);
  CheckBox2->setVisible(rowCount);
}

void TForm1::ComboBox1Change() {
  const int index = ComboBox1->ItemIndex();
  if (index >= 0 && index < static_cast<int>(spelkub::kGoalsNames.size())) {
    state_.Goals = spelkub::kGoalsNames[index].goals;
  }
}

void TForm1::ComboBox2Change() {
  const int index = ComboBox2->ItemIndex();
  if (index >= 0 && index < ComboBox2->count()) state_.GuaranteeLevel = index + 4;
}

void TForm1::ComboBox3Change() {
  const int index = ComboBox3->ItemIndex();
  if (index >= 0 && index < static_cast<int>(spelkub::kRowCountChoices.size())) {
    state_.TargetRows = spelkub::kRowCountChoices[index];
  }
}
