// The history of played coupons in the window: recording a coupon after
// "Spara för inlämning" or from files already uploaded ("Bokför spelad
// kupong..."), settling a draw ("Rätta spelad omgång..."), and "Mina
// omgångar...", the list with its filters and the chart of the return over
// time. The database is the platform's HistoryPath(); each job on the worker
// opens its own connection, so the window and the companion may write at once.
#pragma once

#include <QDialog>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "app/tools/tools.h"
#include "app/tools/worker_dialog.h"
#include "commands/hand_in_command.h"
#include "commands/history_command.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace spelkub::tools {

class ReturnChart;

// The remembered answer to the offer after a hand-in save: "ja", "nej", or
// none (ask).
inline constexpr std::string_view kRecordChoiceKey = "bokfor_efter_inlamning";

// Asks for the draw (and the closing time), then records on the worker with
// progress and "Avbryt". With `offer`, it is the question after a hand-in
// save: "Bokför inte" and a box "Kom ihåg mitt val".
class RecordDialog : public WorkerDialog {
  Q_OBJECT

 public:
  RecordDialog(RecordInput input, std::string databasePath, bool offer, QWidget* parent = nullptr);
  ~RecordDialog() override;

  Worker& RecordWorker() { return ValueWorker(); }
  // Starts recording at once, as "Bokför" does: for the player's remembered
  // "always", the dialog only shows the progress and "Avbryt", and closes
  // itself when the coupon is recorded.
  void RecordNow() { Record(); }
  // After the dialog: the recorded coupon's report, or empty.
  const std::optional<Recorded>& Result() const { return result_; }
  const std::string& Refused() const { return refused_; }
  bool Remember() const;
  bool Declined() const { return declined_; }

 private:
  void Record();
  void Finished() override;
  // "Avbryt" stops the recording and keeps the dialog; before one, it (or
  // "Bokför inte") declines.
  void CancelPressed() override;
  void ShowError(const QString& text);

  RecordInput input_;
  std::string databasePath_;
  QSpinBox* draw_ = nullptr;
  QLineEdit* close_ = nullptr;
  QCheckBox* remember_ = nullptr;
  QLabel* error_ = nullptr;
  QPushButton* record_ = nullptr;
  Refusable<Recorded> outcome_;
  std::optional<Recorded> result_;
  std::string refused_;
  bool declined_ = false;
};

// The draw's result and official payouts, typed or fetched from the draw
// service ("Hämta resultat", on the worker with "Avbryt"; the fetched signs
// and payouts fill the fields), then every coupon of the draw settled on the
// worker. A fetched result that does not settle the draw yet (a match still
// open, payouts not published) or does not read is one line, and the
// database is not touched.
class SettleDialog : public WorkerDialog {
  Q_OBJECT

 public:
  SettleDialog(std::string databasePath, int32_t game, std::string apiBase,
               QWidget* parent = nullptr);
  ~SettleDialog() override;

  Worker& SettleWorker() { return ValueWorker(); }
  QString ReportText() const;

 private:
  enum class Job { kNone, kFetch, kSettle };

  void Settle();
  void Fetch();
  void Finished() override;
  // "Avbryt" (shown while fetching) stops the fetch and keeps the dialog.
  void CancelPressed() override;
  void FinishFetch();
  void SetBusy(bool busy);
  void ShowError(const std::string& text);
  void UpdateFetchButton();

  std::string databasePath_;
  std::string apiBase_;
  QComboBox* game_ = nullptr;
  QSpinBox* draw_ = nullptr;
  QLineEdit* result_ = nullptr;
  QLineEdit* payouts_ = nullptr;
  QPushButton* settle_ = nullptr;
  QPushButton* fetch_ = nullptr;
  QLabel* error_ = nullptr;
  QPlainTextEdit* report_ = nullptr;
  Job job_ = Job::kNone;
  Refusable<Settled> outcome_;
  // The fetch's answer, written by the worker and read after Finished.
  Refusable<history::DrawOutcome> fetched_;
  // The outcome last fetched and the field texts it filled in: settled as
  // fetched (with its source) while the fields still say so.
  std::optional<history::DrawOutcome> fetchedOutcome_;
  QString fetchedResultText_;
  QString fetchedPayoutText_;
};

// "Mina omgångar": the played coupons with date, game, draw, rows, stake, won
// and net; filters by game and period; the cumulative net over time beside
// what the value model expected; the list exported as CSV.
class HistoryDialog : public QDialog {
  Q_OBJECT

 public:
  HistoryDialog(std::string databasePath, Platform& platform, QWidget* parent = nullptr);

  QTableWidget* Table() const { return table_; }
  const std::vector<history::PlayedSummary>& Shown() const { return list_; }
  // Reads the list again with the filters' values.
  void Reload();

 private:
  void Export();

  std::string databasePath_;
  Platform& platform_;
  QComboBox* game_ = nullptr;
  QComboBox* period_ = nullptr;
  QTableWidget* table_ = nullptr;
  QLabel* totals_ = nullptr;
  QLabel* error_ = nullptr;
  ReturnChart* chart_ = nullptr;
  std::vector<history::PlayedSummary> list_;
};

// After a successful hand-in save: offers to record the saved rows (for the
// coupon's draw, at its row stake), unless the player said to remember
// "Bokför inte". A remembered "Bokför" records them without asking when the
// draw is known, and asks for the draw when it is not.
void OfferToRecord(const ToolHost& host, const HandInFiles& files, const HandInSaved& saved);
// "Bokför spelad kupong...": hand-in files someone already uploaded.
void RecordPlayedCommand(const ToolHost& host);
// "Rätta spelad omgång...".
void SettleCommand(const ToolHost& host);
// "Mina omgångar...".
void HistoryCommand(const ToolHost& host);

}  // namespace spelkub::tools
