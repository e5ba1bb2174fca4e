#include "app/tools/villkor_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <utility>

#include "app/qt_text.h"
#include "app/tools/dialog_parts.h"
#include "app/tools/tools.h"
#include "commands/conditions_command.h"
#include "villkor/condition.h"
#include "villkor/filter.h"

namespace spelkub::tools {
namespace {

constexpr std::array<Measure, 8> kMeasureList{
    Measure::kOnes,   Measure::kDraws,  Measure::kTwos,  Measure::kFavourites,
    Measure::kUpsets, Measure::kPoints, Measure::kValue, Measure::kPayout,
};

const QColor kRefusalText(176, 0, 0);

QString Trimmed(const QLineEdit* edit) {
  return edit->text().trimmed();
}

// The matches part of a condition's text: "1-4,7" of "kryss 2-5 i 1-4,7".
QString MatchesOf(const std::string& text) {
  const size_t at = text.find(" i ");
  return at == std::string::npos ? QString() : FromUtf8(text.substr(at + 3));
}

}  // namespace

std::optional<ConditionCount> CountConditionRows(const ConditionCountInput& input,
                                                 const Work& work) {
  ConditionCount count;
  const Refusable<System> system = FilteredSystem(
      input.shape, {input.conditions, input.maxBroken, input.values, input.pool}, work);
  if (!system.value) {
    if (system.refusal.text.empty()) return std::nullopt;  // stopped
    count.error = system.refusal.text;
    return count;
  }
  count.total = input.shape.size();
  count.kept = system.value->size();
  return count;
}

QString GroupedCount(int64_t count) {
  return QLocale(QLocale::Swedish, QLocale::Sweden).toString(static_cast<qlonglong>(count));
}

ConditionCounter::ConditionCounter(int delayMs, QObject* parent) : QObject(parent) {
  delay_.setSingleShot(true);
  delay_.setInterval(delayMs);
  connect(&delay_, &QTimer::timeout, this, &ConditionCounter::StartNow);
  connect(&worker_, &Worker::Finished, this, &ConditionCounter::Finished);
}

void ConditionCounter::Request(ConditionCountInput input) {
  pending_ = std::move(input);
  worker_.Cancel();
  delay_.start();
}

void ConditionCounter::Cancel() {
  pending_.reset();
  delay_.stop();
  worker_.Cancel();
}

void ConditionCounter::StartNow() {
  delay_.stop();
  // A running count was cancelled by the request; its end starts this one.
  if (!pending_ || worker_.Running()) return;
  auto input = std::make_shared<const ConditionCountInput>(std::move(*pending_));
  pending_.reset();
  result_ = std::make_shared<std::optional<ConditionCount>>();
  worker_.Start(
      [input, result = result_](const Work& work) { *result = CountConditionRows(*input, work); });
}

void ConditionCounter::Finished() {
  const std::shared_ptr<std::optional<ConditionCount>> result = std::move(result_);
  if (pending_) {
    // A newer request waits: this count is of the past.
    if (!delay_.isActive()) StartNow();
    return;
  }
  if (worker_.Cancelled()) return;
  if (!worker_.Failure().empty()) {
    emit Counted(ConditionCount{0, 0, "Raderna gick inte att räkna: " + worker_.Failure()});
    return;
  }
  if (result && *result) emit Counted(**result);
}

VillkorDialog::VillkorDialog(const CouponDocument& document, const SystemShape& shape,
                             QWidget* parent)
    : QDialog(parent), document_(document), shape_(shape) {
  setObjectName(QStringLiteral("Villkor"));
  setWindowTitle(QStringLiteral("Villkor"));
  setModal(true);

  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("Villkorslista"));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  for (const std::string& text : document.conditions) list_->addItem(FromUtf8(text));

  measure_ = new QComboBox(this);
  measure_->setObjectName(QStringLiteral("Matt"));
  for (const Measure measure : kMeasureList) measure_->addItem(FromUtf8(MeasureName(measure)));
  measure_->setCurrentIndex(static_cast<int>(Measure::kDraws));
  low_ = new QLineEdit(this);
  low_->setObjectName(QStringLiteral("Fran"));
  high_ = new QLineEdit(this);
  high_->setObjectName(QStringLiteral("Till"));
  for (QLineEdit* bound : {low_, high_}) {
    bound->setMaximumWidth(bound->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")));
  }
  matches_ = new QLineEdit(this);
  matches_->setObjectName(QStringLiteral("Matcher"));
  matches_->setPlaceholderText(QStringLiteral("alla"));
  matches_->setToolTip(QStringLiteral("T.ex. 1-4,7; tomt för alla matcher"));
  text_ = new QLineEdit(this);
  text_->setObjectName(QStringLiteral("Villkorstext"));
  text_->setToolTip(
      QStringLiteral("Mått, intervall och matcher, t.ex. kryss 2-5, tvåor 0-1 i 1-4, "
                     "spelvärde 150-"));
  add_ = new QPushButton(QStringLiteral("Lägg till"), this);
  add_->setObjectName(QStringLiteral("LaggTill"));
  change_ = new QPushButton(QStringLiteral("Ändra"), this);
  change_->setObjectName(QStringLiteral("Andra"));
  remove_ = new QPushButton(QStringLiteral("Ta bort"), this);
  remove_->setObjectName(QStringLiteral("TaBort"));
  error_ = NewErrorLabel(QStringLiteral("Fel"), this);

  maxBroken_ = new QSpinBox(this);
  maxBroken_->setObjectName(QStringLiteral("TillatnaFel"));
  maxBroken_->setRange(0, std::max(kMaxConditions, static_cast<int>(document.maxBroken)));
  maxBroken_->setValue(std::max(0, static_cast<int>(document.maxBroken)));
  use_ = new QCheckBox(QStringLiteral("Använd villkoren"), this);
  use_->setObjectName(QStringLiteral("AnvandVillkoren"));
  use_->setChecked(document.useConditions);
  count_ = new QLabel(this);
  count_->setObjectName(QStringLiteral("Antal"));
  count_->setWordWrap(true);
  QFont bold = count_->font();
  bold.setBold(true);
  count_->setFont(bold);

  auto* editor = new QGridLayout;
  editor->addWidget(new QLabel(QStringLiteral("Mått"), this), 0, 0);
  editor->addWidget(new QLabel(QStringLiteral("Från"), this), 0, 1);
  editor->addWidget(new QLabel(QStringLiteral("Till"), this), 0, 2);
  editor->addWidget(new QLabel(QStringLiteral("I matcher"), this), 0, 3);
  editor->addWidget(measure_, 1, 0);
  editor->addWidget(low_, 1, 1);
  editor->addWidget(high_, 1, 2);
  editor->addWidget(matches_, 1, 3);
  editor->setColumnStretch(3, 1);
  auto* textRow = new QHBoxLayout;
  textRow->addWidget(new QLabel(QStringLiteral("Villkor:"), this));
  textRow->addWidget(text_, 1);
  textRow->addWidget(add_);
  textRow->addWidget(change_);
  textRow->addWidget(remove_);
  auto* broken = new QHBoxLayout;
  auto* brokenLabel = new QLabel(QStringLiteral("Tillåtna fel:"), this);
  brokenLabel->setBuddy(maxBroken_);
  broken->addWidget(brokenLabel);
  broken->addWidget(maxBroken_);
  broken->addSpacing(16);
  broken->addWidget(use_);
  broken->addStretch(1);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("OK"));
  QPushButton* cancel = buttons->addButton(QStringLiteral("Avbryt"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("Avbryt"));
  // Enter in a field adds the condition being written; it never closes the
  // dialog with the condition left out.
  for (QPushButton* button : {ok, cancel, change_, remove_}) button->setAutoDefault(false);
  add_->setDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(editor);
  layout->addLayout(textRow);
  layout->addWidget(error_);
  layout->addLayout(broken);
  layout->addWidget(count_);
  layout->addWidget(buttons);
  resize(560, 420);

  counter_ = new ConditionCounter(kCountDelayMs, this);
  counter_->setObjectName(QStringLiteral("Raknare"));
  connect(counter_, &ConditionCounter::Counted, this, &VillkorDialog::ShowCount);
  connect(measure_, &QComboBox::currentIndexChanged, this, &VillkorDialog::FieldsEdited);
  for (QLineEdit* field : {low_, high_, matches_}) {
    connect(field, &QLineEdit::textEdited, this, &VillkorDialog::FieldsEdited);
  }
  connect(text_, &QLineEdit::textEdited, this, &VillkorDialog::TextEdited);
  connect(list_, &QListWidget::currentRowChanged, this, &VillkorDialog::Selected);
  connect(add_, &QPushButton::clicked, this, &VillkorDialog::AddCondition);
  connect(change_, &QPushButton::clicked, this, &VillkorDialog::ChangeCondition);
  connect(remove_, &QPushButton::clicked, this, &VillkorDialog::RemoveCondition);
  connect(maxBroken_, &QSpinBox::valueChanged, this, &VillkorDialog::Recount);
  connect(buttons, &QDialogButtonBox::accepted, this, &VillkorDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &VillkorDialog::reject);

  if (list_->count() > 0) list_->setCurrentRow(0);
  Selected();
  FieldsEdited();
  count_->setText(QStringLiteral("Räknar raderna..."));
  Recount();
}

std::vector<std::string> VillkorDialog::Conditions() const {
  std::vector<std::string> texts;
  for (int row = 0; row < list_->count(); ++row) {
    texts.push_back(list_->item(row)->text().toStdString());
  }
  return texts;
}

int VillkorDialog::MaxBroken() const {
  return maxBroken_->value();
}

bool VillkorDialog::UseConditions() const {
  return use_->isChecked();
}

// The text field follows the fields: what they say in the language.
void VillkorDialog::FieldsEdited() {
  if (filling_) return;
  const Measure measure = kMeasureList[static_cast<size_t>(std::max(0, measure_->currentIndex()))];
  matches_->setEnabled(!MeasureOfWholeRow(measure));
  const QString low = Trimmed(low_);
  const QString high = Trimmed(high_);
  QString range;
  if (!low.isEmpty() && low == high) {
    range = low;
  } else if (!low.isEmpty() || !high.isEmpty()) {
    range = low + QLatin1Char('-') + high;
  }
  QString text = measure_->currentText();
  if (!range.isEmpty()) text += QLatin1Char(' ') + range;
  if (matches_->isEnabled() && !Trimmed(matches_).isEmpty()) {
    text += QStringLiteral(" i ") + Trimmed(matches_);
  }
  text_->setText(text);
  error_->hide();
}

// The fields follow the text while it reads as a condition.
void VillkorDialog::TextEdited() {
  error_->hide();
  const std::optional<Condition> condition =
      ParseCondition(text_->text().toStdString(), shape_.matches, nullptr);
  if (!condition) return;
  filling_ = true;
  measure_->setCurrentIndex(
      static_cast<int>(std::find(kMeasureList.begin(), kMeasureList.end(), condition->measure) -
                       kMeasureList.begin()));
  low_->setText(condition->low ? QString::number(*condition->low) : QString());
  high_->setText(condition->high ? QString::number(*condition->high) : QString());
  matches_->setText(MatchesOf(ConditionText(*condition)));
  matches_->setEnabled(!MeasureOfWholeRow(condition->measure));
  filling_ = false;
}

void VillkorDialog::Selected() {
  const bool selected = list_->currentRow() >= 0;
  change_->setEnabled(selected);
  remove_->setEnabled(selected);
  if (!selected) return;
  text_->setText(list_->currentItem()->text());
  TextEdited();
}

void VillkorDialog::ShowError(const QString& text) {
  error_->setText(text);
  error_->show();
}

// The text field's condition in its shortest form, or nullopt with the
// refusal shown.
std::optional<std::string> VillkorDialog::ReadText() {
  std::string error;
  const std::optional<Condition> condition =
      ParseCondition(text_->text().toStdString(), shape_.matches, &error);
  if (!condition) {
    ShowError(FromUtf8(error));
    return std::nullopt;
  }
  error_->hide();
  return ConditionText(*condition);
}

bool VillkorDialog::AddCondition() {
  if (list_->count() >= kMaxConditions) {
    ShowError(QStringLiteral("Högst %1 villkor går att använda").arg(kMaxConditions));
    return false;
  }
  const std::optional<std::string> text = ReadText();
  if (!text) return false;
  list_->addItem(FromUtf8(*text));
  list_->setCurrentRow(list_->count() - 1);
  Recount();
  return true;
}

bool VillkorDialog::ChangeCondition() {
  const int row = list_->currentRow();
  if (row < 0) return false;
  const std::optional<std::string> text = ReadText();
  if (!text) return false;
  list_->item(row)->setText(FromUtf8(*text));
  Selected();
  Recount();
  return true;
}

void VillkorDialog::RemoveCondition() {
  const int row = list_->currentRow();
  if (row < 0) return;
  delete list_->takeItem(row);
  Selected();
  Recount();
}

void VillkorDialog::accept() {
  for (const std::string& text : Conditions()) {
    std::string error;
    if (!ParseCondition(text, shape_.matches, &error)) {
      ShowError(FromUtf8(error));
      return;
    }
  }
  QDialog::accept();
}

void VillkorDialog::Recount() {
  count_->setEnabled(false);  // grey until the new count arrives
  counter_->Request({shape_, Conditions(), MaxBroken(), document_.values, document_.pool});
}

void VillkorDialog::ShowCount(const ConditionCount& count) {
  QPalette palette = count_->palette();
  if (count.error.empty()) {
    palette.setColor(QPalette::WindowText, this->palette().color(QPalette::WindowText));
    count_->setText(QStringLiteral("%1 av %2 rader uppfyller villkoren")
                        .arg(GroupedCount(count.kept), GroupedCount(count.total)));
  } else {
    palette.setColor(QPalette::WindowText, kRefusalText);
    count_->setText(FromUtf8(count.error));
  }
  count_->setPalette(palette);
  count_->setEnabled(!counter_->Busy());
}

bool VillkorCommand(const ToolHost& host) {
  VillkorDialog dialog(host.document, ShapeOf(host.state), host.window);
  RunToolDialog(dialog);
  if (dialog.result() != QDialog::Accepted) return false;
  host.document.conditions = dialog.Conditions();
  host.document.maxBroken = dialog.MaxBroken();
  host.document.useConditions = dialog.UseConditions();
  return true;
}

}  // namespace spelkub::tools
