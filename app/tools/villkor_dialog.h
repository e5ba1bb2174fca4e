// "Villkor...": the conditions of the coupon document as a list the player
// builds, either from a measure, a range and the matches, or by typing a
// condition's text; the allowed broken conditions; whether the conditions
// filter the system; and how many of the marked rows they keep, counted again
// after every edit.
//
// The count runs on a worker thread and starts a moment after the last edit
// (a count of a full system takes tens of milliseconds), so typing never
// waits for it; an edit during a count stops that count. The window counts
// the same way for its own line "Villkor: N av M" (ConditionCounter).
#pragma once

#include <QDialog>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/tools/dialog_parts.h"
#include "app/tools/worker.h"
#include "coupon/system_shape.h"
#include "coupon/work.h"
#include "document/coupon_document.h"
#include "value/match_values.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace spelkub::tools {

struct ToolHost;

// What a count of the kept rows reads; a copy, so the count may run while
// the window changes.
struct ConditionCountInput {
  SystemShape shape;
  std::vector<std::string> conditions;  // texts in the condition language
  int maxBroken = 0;
  MatchValues values;
  PoolModel pool;
};

struct ConditionCount {
  int64_t kept = 0;   // rows of the shape that break at most maxBroken conditions
  int64_t total = 0;  // rows of the shape
  // Why the conditions cannot be counted, in Swedish (a condition that does
  // not read, or lacks streck, chances or the turnover); empty when counted.
  std::string error;
};

// Counts the rows the conditions keep; nullopt only when stopped.
std::optional<ConditionCount> CountConditionRows(const ConditionCountInput& input,
                                                 const Work& work = {});

// Counts on its worker what the latest request asks, `delayMs` after it: a
// request while counting stops the count, and only the count of the latest
// request is told.
class ConditionCounter : public QObject {
  Q_OBJECT

 public:
  ConditionCounter(int delayMs, QObject* parent = nullptr);

  void Request(ConditionCountInput input);
  // Drops the waiting request and stops a count; nothing is told.
  void Cancel();
  // Starts the latest request now instead of after the delay.
  void StartNow();
  // A request is waiting or being counted.
  bool Busy() const { return pending_.has_value() || worker_.Running(); }
  Worker& worker() { return worker_; }

 signals:
  void Counted(const spelkub::tools::ConditionCount& count);

 private:
  void Finished();

  Worker worker_;
  QTimer delay_;
  std::optional<ConditionCountInput> pending_;
  // Written by the worker's job, read after Finished.
  std::shared_ptr<std::optional<ConditionCount>> result_;
};

class VillkorDialog : public QDialog {
  Q_OBJECT

 public:
  // Delay between the last edit and the count.
  static constexpr int kCountDelayMs = 150;

  // Shows the conditions of `document` for the rows of `shape`; the
  // document is only read, its values and pool are what the count uses.
  VillkorDialog(const CouponDocument& document, const SystemShape& shape,
                QWidget* parent = nullptr);

  // The dialog as edited so far.
  std::vector<std::string> Conditions() const;
  int MaxBroken() const;
  bool UseConditions() const;

  ConditionCounter& Counter() { return *counter_; }

  // Adds the condition the text field holds; false, with the refusal shown,
  // when it does not read.
  bool AddCondition();
  // Puts the text field's condition in place of the selected one.
  bool ChangeCondition();
  void RemoveCondition();

  // Keeps the dialog open, naming the condition, while a listed condition
  // does not read.
  void accept() override;

 private:
  void FieldsEdited();
  void TextEdited();
  void Selected();
  void ShowError(const QString& text);
  std::optional<std::string> ReadText();
  std::optional<std::string> Typed() const;
  void Recount();
  void ShowCount(const ConditionCount& count);

  CouponDocument document_;
  SystemShape shape_;
  bool filling_ = false;  // the fields are being set by the dialog, not the user

  QListWidget* list_ = nullptr;
  QComboBox* measure_ = nullptr;
  QLineEdit* low_ = nullptr;
  QLineEdit* high_ = nullptr;
  QLineEdit* matches_ = nullptr;
  QLineEdit* text_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* change_ = nullptr;
  QPushButton* remove_ = nullptr;
  QLabel* error_ = nullptr;
  QSpinBox* maxBroken_ = nullptr;
  QCheckBox* use_ = nullptr;
  QLabel* count_ = nullptr;
  ConditionCounter* counter_ = nullptr;
  // The typed condition the latest count includes besides the listed ones.
  std::optional<std::string> countedTyped_;
};

// Runs the dialog on the window's coupon (its marks give the rows counted)
// and document; true when OK wrote the conditions, the allowed broken
// conditions and the switch into the document.
bool VillkorCommand(const ToolHost& host);

}  // namespace spelkub::tools
