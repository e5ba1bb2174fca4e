#include "app/tools/row_values_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "app/qt_text.h"
#include "app/tools/dialog_parts.h"
#include "app/tools/tools.h"
#include "app/tools/value_dialog.h"
#include "app/tools/worker.h"
#include "coupon/messages.h"
#include "coupon/validation.h"
#include "text/coupon_text.h"

namespace spelkub::tools {

namespace {

const QString kCaption = QStringLiteral("Radvärden");
constexpr RowValueColumn kColumns[] = {RowValueColumn::kRow, RowValueColumn::kChance,
                                       RowValueColumn::kPublic, RowValueColumn::kValue,
                                       RowValueColumn::kPayout};

}  // namespace

RowValuesModel::RowValuesModel(QObject* parent) : QAbstractTableModel(parent) {}

void RowValuesModel::SetTable(const RowValueTable* table) {
  beginResetModel();
  table_ = table;
  order_.clear();
  endResetModel();
}

int RowValuesModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || table_ == nullptr) return 0;
  return static_cast<int>(table_->size());
}

int RowValuesModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(std::size(kColumns));
}

QVariant RowValuesModel::data(const QModelIndex& index, int role) const {
  if (table_ == nullptr || !index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::TextAlignmentRole) {
    return index.column() == 0 ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                               : QVariant(Qt::AlignRight | Qt::AlignVCenter);
  }
  if (role == Qt::FontRole && index.column() == 0) {
    return QFontDatabase::systemFont(QFontDatabase::FixedFont);
  }
  if (role != Qt::DisplayRole) return {};
  const uint32_t at = PositionAt(index.row());
  switch (kColumns[index.column()]) {
    case RowValueColumn::kRow:
      return FromUtf8(RowSignsText(table_->rows[at], table_->matches));
    case RowValueColumn::kChance:
      return FromUtf8(PercentText(table_->chance[at]));
    case RowValueColumn::kPublic:
      return FromUtf8(PercentText(table_->publicShare[at]));
    case RowValueColumn::kValue:
      return FromUtf8(SpelvardeText(table_->value[at]));
    case RowValueColumn::kPayout:
      return FromUtf8(KronorText(table_->payout[at]));
  }
  return {};
}

QVariant RowValuesModel::headerData(int section, Qt::Orientation orientation, int role) const {
  // A first click puts the best rows first: the likeliest, the least played,
  // the highest spelvärde and payout; the rows in their signs' order.
  if (role == Qt::InitialSortOrderRole && orientation == Qt::Horizontal) {
    return static_cast<int>(section == 0 || section == 2 ? Qt::AscendingOrder
                                                         : Qt::DescendingOrder);
  }
  if (role != Qt::DisplayRole) return {};
  // A row's line among the rows of the row list, whatever the order.
  if (orientation == Qt::Vertical) return static_cast<qint64>(PositionAt(section)) + 1;
  switch (section) {
    case 0:
      return QStringLiteral("Rad");
    case 1:
      return QStringLiteral("Chans");
    case 2:
      return QStringLiteral("Folkets andel");
    case 3:
      return QStringLiteral("Spelvärde");
    case 4:
      return QStringLiteral("Utdelning %1").arg(table_ != nullptr ? table_->matches : 13);
    default:
      return {};
  }
}

void RowValuesModel::sort(int column, Qt::SortOrder order) {
  if (table_ == nullptr) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  if (column < 0 || column >= columnCount()) {
    order_.clear();
  } else {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    order_ = *SortedRowOrder(*table_, kColumns[column], order == Qt::DescendingOrder);
    QApplication::restoreOverrideCursor();
  }
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

RowValuesDialog::RowValuesDialog(ValueInput input, std::vector<PackedRow> rows, QWidget* parent)
    : WorkerDialog(parent), input_(std::move(input)), rows_(std::move(rows)) {
  setObjectName(QStringLiteral("Radvarden"));
  setWindowTitle(kCaption);
  setModal(true);

  status_->setWordWrap(false);
  model_ = new RowValuesModel(this);
  view_ = new QTableView(this);
  view_->setObjectName(QStringLiteral("Tabell"));
  view_->setModel(model_);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
  view_->horizontalHeader()->setStretchLastSection(true);
  view_->horizontalHeader()->setSortIndicator(-1, Qt::DescendingOrder);
  view_->horizontalHeader()->setSortIndicatorShown(true);

  count_ = new QSpinBox(this);
  count_->setObjectName(QStringLiteral("Antal"));
  count_->setRange(1, std::max<int>(1, static_cast<int>(std::min<size_t>(
                                           rows_.size(), std::numeric_limits<int>::max()))));
  count_->setValue(std::max<int>(1, static_cast<int>(rows_.size() / 2)));
  count_->setGroupSeparatorShown(true);
  by_ = new QComboBox(this);
  by_->setObjectName(QStringLiteral("Efter"));
  by_->addItem(QStringLiteral("spelvärde"), static_cast<int>(KeepBy::kValue));
  by_->addItem(QStringLiteral("chans"), static_cast<int>(KeepBy::kChance));
  keep_ = new QPushButton(QStringLiteral("Behåll"), this);
  keep_->setObjectName(QStringLiteral("Behall"));
  keep_->setAutoDefault(false);
  auto* keepRow = new QHBoxLayout;
  keepRow->addWidget(new QLabel(QStringLiteral("Behåll de"), this));
  keepRow->addWidget(count_);
  keepRow->addWidget(new QLabel(QStringLiteral("bästa efter"), this));
  keepRow->addWidget(by_);
  keepRow->addWidget(keep_);
  keepRow->addStretch();
  keepError_ = NewErrorLabel(QStringLiteral("BehallFel"), this);

  close_ = new QPushButton(QStringLiteral("Stäng"), this);
  close_->setObjectName(QStringLiteral("Stang"));
  close_->setAutoDefault(false);
  close_->hide();
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancel_);
  buttons->addWidget(close_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(status_);
  layout->addWidget(bar_);
  layout->addWidget(view_, 1);
  layout->addLayout(keepRow);
  layout->addWidget(keepError_);
  layout->addLayout(buttons);
  resize(640, 520);
  keep_->setEnabled(false);

  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
  connect(keep_, &QPushButton::clicked, this, &RowValuesDialog::Keep);
}

// The worker joins its thread before what it writes goes away.
RowValuesDialog::~RowValuesDialog() {
  JoinWorker();
}

void RowValuesDialog::Start() {
  const QString status =
      QStringLiteral("Räknar värdena av %1...").arg(FromUtf8(RowCountText(rows_.size())));
  Run([this](const Work& work) { output_ = RunRowValuesCommand(input_, std::move(rows_), work); },
      status);
}

void RowValuesDialog::Finished() {
  cancel_->hide();
  close_->show();
  bar_->hide();
  if (!Failure().empty()) {
    status_->setText(FailureText());
    return;
  }
  if (!output_.model.model) {
    status_->setText(ValueRefusalText(output_.model));
    return;
  }
  if (!output_.table) return;
  table_ = std::move(output_.table);
  model_->SetTable(&*table_);
  view_->setSortingEnabled(true);
  view_->resizeColumnsToContents();
  QString status = QStringLiteral("%1. Klicka på en kolumnrubrik för att sortera.")
                       .arg(FromUtf8(RowCountText(table_->size())));
  const QString notes = FromUtf8(output_.model.notes).trimmed();
  if (!notes.isEmpty()) status += QStringLiteral("\n") + notes;
  status_->setText(status);
  keep_->setEnabled(true);
}

void RowValuesDialog::Keep() {
  if (!table_) return;
  const auto by = static_cast<KeepBy>(by_->currentData().toInt());
  KeepBestOutcome outcome = KeepBestRows(*table_, count_->value(), by);
  if (!outcome.refusal.empty()) {
    keepError_->setText(FromUtf8(outcome.refusal) + QStringLiteral("."));
    keepError_->show();
    return;
  }
  keepError_->hide();
  kept_ = std::move(outcome);
  accept();
}

void RowValuesCommand(const ToolHost& host) {
  ValueRows read = ValueRowsOf(host.rows(), host.state.Game);
  if (!read.rows) {
    host.platform.ShowMessage(FromUtf8(read.refusal), kCaption);
    return;
  }
  const ValueInput input = ValueInputOf(host.state, host.document);
  const ValueModelOutcome model = MakeCommandModel(input);
  if (!model.model) {
    host.platform.ShowMessage(ValueRefusalText(model), kCaption);
    return;
  }
  RowValuesDialog dialog(input, std::move(*read.rows), host.window);
  dialog.Start();
  RunToolDialog(dialog);
  if (!dialog.Kept()) return;
  const KeepBestOutcome& kept = *dialog.Kept();
  RowSet set;
  set.game = host.state.Game;
  set.matches = MatchesInPlay(host.state.Game);
  set.header = HeaderLine(host.state, host.plus13);
  set.rows = kept.rows;
  host.showRows(set, "Behåll de " + std::to_string(kept.rows.size()) + " bästa");
  host.showStatus(QStringLiteral("Behåll de %1 bästa klar!").arg(kept.rows.size()));
  host.platform.ShowMessage(FromUtf8(kept.reportText), QStringLiteral("Reducering"));
}

}  // namespace spelkub::tools
