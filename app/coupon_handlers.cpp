// The handlers of the mark cells and the selectors: each writes its choice
// into the coupon state and shows or hides the controls that depend on it.
#include <QAction>
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

void TForm1::ShowMatchesInPlay(int matches) {
  for (int match = 1; match <= spelkub::kMaxMatches; ++match) {
    const bool visible = match <= matches;
    Label[match - 1]->setVisible(visible);
    for (int outcome = 0; outcome < 3; ++outcome) {
      Edit[spelkub::CellIndex(match, outcome)]->setVisible(visible);
    }
  }
}

void TForm1::ChooseMenuGame(int32_t game) {
  const spelkub::GameRules& rules = spelkub::Rules(game);
  RadioGroup1->SetItemIndex(-1);
  state_.Game = rules.game;
  ShowMatchesInPlay(rules.matches);
  RadioGroup2->hide();
  ComboBox1->hide();
  for (QAction* item : GameItems) item->setChecked(item->data().toInt() == game);
  ShowConditionsCount();
}

void TForm1::RadioGroup1Click() {
  const spelkub::GameRules* game =
      spelkub::ItemAt(spelkub::SelectorGames(), RadioGroup1->ItemIndex());
  if (game == nullptr) return;
  state_.Game = game->game;
  ShowMatchesInPlay(game->matches);
  for (QAction* item : GameItems) item->setChecked(false);
  if (game->plus13) {
    RadioGroup2->show();
  } else {
    RadioGroup2->hide();
    ComboBox1->hide();
  }
}

void TForm1::RadioGroup2Click() {
  const spelkub::Plus13Choice choice = spelkub::Plus13OfItem(RadioGroup2->ItemIndex());
  if (choice == spelkub::kPlus13Yes) ComboBox1->show();
  if (choice == spelkub::kPlus13No) ComboBox1->hide();
}

void TForm1::RadioGroup3Click() {
  const spelkub::ReductionName* reduction =
      spelkub::ItemAt(spelkub::kReductionNames, RadioGroup3->ItemIndex());
  if (reduction == nullptr) return;
  state_.Reduction = reduction->mode;
  const bool guarantee = state_.Reduction == spelkub::kReductionGuarantee;
  const bool rowCount = state_.Reduction == spelkub::kReductionRowCount;
  ComboBox2->setVisible(guarantee);
  CheckBox1->setVisible(guarantee);
  ComboBox3->setVisible(rowCount);
  CheckBox2->setVisible(rowCount);
}

void TForm1::ComboBox1Change() {
  const auto* goals = spelkub::ItemAt(spelkub::kGoalsNames, ComboBox1->ItemIndex());
  if (goals != nullptr) state_.Goals = goals->goals;
}

void TForm1::ComboBox2Change() {
  const int32_t* level = spelkub::ItemAt(spelkub::kGuaranteeChoices, ComboBox2->ItemIndex());
  if (level != nullptr) state_.GuaranteeLevel = *level;
}

void TForm1::ComboBox3Change() {
  const int32_t* rows = spelkub::ItemAt(spelkub::kRowCountChoices, ComboBox3->ItemIndex());
  if (rows != nullptr) state_.TargetRows = *rows;
}
