// The "Radvärden" dialog: each row of the row list with its chance, the
// public's share, its spelvärde and its estimated 13-payout, in a table that
// sorts by any column; and "Behåll de N bästa" by spelvärde or by chance, a
// reduction by value that the command puts in the row list.
//
// The values are computed on the dialog's Worker with progress and "Avbryt";
// the table is a model over the computed arrays, so millions of rows cost
// their arrays and the cells on screen, nothing per row beyond that.
#pragma once

#include "app/tools/worker_dialog.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <optional>
#include <vector>

#include "commands/value_command.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;

namespace spelkub::tools {

class Worker;

// The table's rows in a sort order of the engine's.
class RowValuesModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit RowValuesModel(QObject* parent = nullptr);

  void SetTable(const RowValueTable* table);
  // The table position shown at a view row.
  uint32_t PositionAt(int row) const { return order_.empty() ? row : order_[row]; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // A column below 0 restores the rows' own order.
  void sort(int column, Qt::SortOrder order) override;

 private:
  const RowValueTable* table_ = nullptr;
  std::vector<uint32_t> order_;  // empty: the rows' own order
};

class RowValuesDialog : public WorkerDialog {
  Q_OBJECT

 public:
  RowValuesDialog(ValueInput input, std::vector<PackedRow> rows, QWidget* parent = nullptr);
  ~RowValuesDialog() override;

  void Start();
  // The values once computed.
  const RowValueTable* Table() const { return table_ ? &*table_ : nullptr; }
  RowValuesModel& Model() { return *model_; }
  // The kept rows and the report once "Behåll" accepted the dialog.
  const std::optional<KeepBestOutcome>& Kept() const { return kept_; }

  void Finished() override;

 private:
  void Keep();

  ValueInput input_;
  std::vector<PackedRow> rows_;  // handed to the computation

  QTableView* view_ = nullptr;
  RowValuesModel* model_ = nullptr;
  QSpinBox* count_ = nullptr;
  QComboBox* by_ = nullptr;
  QPushButton* keep_ = nullptr;
  QLabel* keepError_ = nullptr;
  QPushButton* close_ = nullptr;

  RowValuesOutcome output_;  // written by the computation
  std::optional<RowValueTable> table_;
  std::optional<KeepBestOutcome> kept_;
};

}  // namespace spelkub::tools
