#include "app/tools/select_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/qt_text.h"
#include "app/tools/dialog_parts.h"
#include "app/tools/tools.h"
#include "app/tools/value_dialog.h"
#include "app/tools/worker.h"
#include "coupon/games.h"

namespace spelkub::tools {

namespace {

const QString kCaption = QStringLiteral("Värdereducering");

// The figures the table shows, by key: the chance of each paid level.
std::vector<std::string> TableKeys(const ValueInput& value) {
  std::vector<std::string> keys{"rows", "expected_return_kr", "return_ore_per_row"};
  const int matches = Rules(value.game).matches;
  for (const PrizeLevel& level : value.pool.levels) {
    std::string key(1, 'p');
    key.append(std::to_string(level.right));
    if (level.right < matches) key.append("plus");
    keys.push_back(std::move(key));
  }
  return keys;
}

}  // namespace

SelectDialog::SelectDialog(SelectInput base, std::function<void(const SelectOutcome&)> apply,
                           QWidget* parent)
    : WorkerDialog(parent), base_(std::move(base)), apply_(std::move(apply)) {
  setObjectName(QStringLiteral("Vardereducering"));
  setWindowTitle(kCaption);
  setModal(true);
  const GameRules& rules = Rules(base_.state.Game);
  const int matches = rules.matches;

  budget_ = new QSpinBox(this);
  budget_->setObjectName(QStringLiteral("Budget"));
  budget_->setRange(1, 10000000);
  budget_->setValue(100);
  budget_->setGroupSeparatorShown(true);
  unit_ = new QComboBox(this);
  unit_->setObjectName(QStringLiteral("Enhet"));
  unit_->addItem(QStringLiteral("rader"));
  unit_->addItem(QStringLiteral("kr"));
  auto* budgetRow = new QHBoxLayout;
  budgetRow->addWidget(budget_);
  budgetRow->addWidget(unit_);
  budgetRow->addStretch();

  objective_ = new QComboBox(this);
  objective_->setObjectName(QStringLiteral("Mal"));
  objective_->addItem(QStringLiteral("Högsta förväntade återbetalning"), 0);
  // One item per paid level of the coupon's pool.
  for (const PrizeLevel& paid : base_.value.pool.levels) {
    const int right = paid.right;
    const QString level =
        right == matches ? QStringLiteral("P(%1)").arg(right) : QStringLiteral("P(≥%1)").arg(right);
    objective_->addItem(QStringLiteral("Högsta chans till %1").arg(level), right);
  }

  guarantee_ = new QComboBox(this);
  guarantee_->setObjectName(QStringLiteral("Garanti"));
  guarantee_->addItem(QStringLiteral("Ingen"), 0);
  for (int level = rules.minGuarantee; level <= rules.maxGuarantee; ++level)
    guarantee_->addItem(QStringLiteral("%1 Rätt").arg(level), level);

  spread_ = new QSpinBox(this);
  spread_->setObjectName(QStringLiteral("Spridning"));
  spread_->setRange(0, matches);
  spread_->setSpecialValueText(QStringLiteral("Ingen"));
  spread_->setPrefix(QStringLiteral("minst "));
  spread_->setSuffix(QStringLiteral(" tecken skiljer två rader"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Budget:"), budgetRow);
  form->addRow(QStringLiteral("Mål:"), objective_);
  form->addRow(QStringLiteral("Garanti:"), guarantee_);
  form->addRow(QStringLiteral("Spridning:"), spread_);

  status_->setText(
      QStringLiteral("Raderna väljs exakt över alla utfall; de ersätter raderna i listan."));
  error_ = NewErrorLabel(QStringLiteral("Fel"), this);

  table_ = NewCountTable(this);
  table_->setObjectName(QStringLiteral("Rapport"));
  table_->verticalHeader()->show();
  table_->hide();
  lines_ = new QLabel(this);
  lines_->setObjectName(QStringLiteral("Garantirad"));
  lines_->setWordWrap(true);
  lines_->hide();

  start_ = new QPushButton(QStringLiteral("Starta"), this);
  start_->setObjectName(QStringLiteral("Starta"));
  start_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(start_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(status_);
  layout->addWidget(bar_);
  layout->addWidget(error_);
  layout->addWidget(table_);
  layout->addWidget(lines_);
  layout->addLayout(buttons);

  connect(start_, &QPushButton::clicked, this, &SelectDialog::Start);
}

// The worker joins its thread before the output it writes goes away.
SelectDialog::~SelectDialog() {
  JoinWorker();
}

SelectInput SelectDialog::InputOfControls() const {
  SelectInput input = base_;
  if (unit_->currentIndex() == 0) {
    input.budgetRows = budget_->value();
  } else {
    input.budgetKronor = budget_->value();
  }
  const int right = objective_->currentData().toInt();
  input.objective = right == 0 ? SelectObjective{SelectGoal::kReturn, 0}
                               : SelectObjective{SelectGoal::kAtLeast, right};
  input.guarantee = guarantee_->currentData().toInt();
  input.minDistance = spread_->value();
  return input;
}

void SelectDialog::Start() {
  if (Running()) return;
  for (QWidget* control :
       std::initializer_list<QWidget*>{budget_, unit_, objective_, guarantee_, spread_, start_}) {
    control->setEnabled(false);
  }
  error_->hide();
  const SelectInput input = InputOfControls();
  Run([this, input](const Work& work) { output_ = RunSelectCommand(input, work); },
      QStringLiteral("Väljer rader..."));
}

void SelectDialog::Finished() {
  for (QWidget* control :
       std::initializer_list<QWidget*>{budget_, unit_, objective_, guarantee_, spread_, start_}) {
    control->setEnabled(true);
  }
  if (!Failure().empty()) {
    status_->setText(QString());
    error_->setText(FailureText());
    error_->show();
    return;
  }
  if (!output_.value) {
    status_->setText(QString());
    error_->setText(FromUtf8(output_.refusal.text));
    error_->show();
    return;
  }
  outcome_ = std::move(output_.value);
  apply_(*outcome_);
  ShowReport(*outcome_);
  cancel_->setText(QStringLiteral("Stäng"));
}

void SelectDialog::ShowReport(const SelectOutcome& outcome) {
  bar_->setValue(bar_->maximum());
  status_->setText(QStringLiteral("Raderna i listan är nu de %1 valda.")
                       .arg(RowCount(static_cast<int64_t>(outcome.rows.rows.size()))));
  const std::vector<std::string> keys = TableKeys(base_.value);
  table_->clear();
  table_->setColumnCount(static_cast<int>(outcome.columns.size()));
  table_->setRowCount(static_cast<int>(keys.size()));
  QStringList titles;
  for (const SelectColumn& column : outcome.columns) titles << FromUtf8(column.title);
  table_->setHorizontalHeaderLabels(titles);
  QStringList labels;
  for (size_t row = 0; row < keys.size(); ++row) {
    for (size_t col = 0; col < outcome.columns.size(); ++col) {
      for (const ValueFigure& figure : outcome.columns[col].figures) {
        if (figure.key != keys[row]) continue;
        if (col == 0) labels << FromUtf8(figure.label);
        table_->setItem(static_cast<int>(row), static_cast<int>(col),
                        NumberCell(FromUtf8(figure.text)));
      }
    }
  }
  table_->setVerticalHeaderLabels(labels);
  table_->show();
  // The lines under the table: the verified guarantee, the spread, the
  // conditions and the notes.
  const std::string& report = outcome.report;
  const size_t guarantee = report.find("Garanti:");
  lines_->setText(
      FromUtf8(guarantee == std::string::npos ? std::string() : report.substr(guarantee))
          .trimmed());
  lines_->show();
  adjustSize();
}

void SelectCommand(const ToolHost& host) {
  SelectInput input;
  input.state = host.state;
  input.plus13 = host.plus13;
  input.value = ValueInputOf(host.state, host.document);
  input.conditions = ConditionInputOf(host.document);
  if (const auto refusal = CheckMarks(input.state, input.plus13)) {
    host.platform.ShowMessage(FromUtf8(refusal->text), FromUtf8(refusal->caption));
    return;
  }
  const ValueModelOutcome model = MakeCommandModel(input.value);
  if (!model.model) {
    host.platform.ShowMessage(ValueRefusalText(model), kCaption);
    return;
  }
  SelectDialog dialog(
      std::move(input),
      [&host](const SelectOutcome& outcome) {
        host.showRows(outcome.rows, "Värdereducering");
        host.showStatus(FromUtf8(outcome.status));
      },
      host.window);
  RunToolDialog(dialog);
}

}  // namespace spelkub::tools
