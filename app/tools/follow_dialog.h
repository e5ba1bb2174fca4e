// The "Följ kupongen" dialog: the row list's rows against the results so far.
// Per match a row of the table with the buttons 1, X, 2 and L: a click on a
// sign decides the match with it, a second click on the same sign makes it
// a match being played that stands at that sign now, a third leaves it open;
// L marks it cancelled, waiting for its drawn sign. Every change recomputes
// the figures on the dialog's Worker, at once, cancelling a computation still
// running ("Avbryt" stops one by hand). Shown: per match the rows per sign,
// what each sign is worth, the sign to root for and the one keeping the most
// rows alive; per level the rows that can reach it, the chance, the expected
// win and payout per winning row, "om det slutar som nu" and the best still
// possible; and the rows alive with the signs they need. For a game the draw
// service has, "Hämta resultat" fetches a draw's result into the matches.
#pragma once

#include "app/tools/result_fetch.h"
#include "app/tools/worker_dialog.h"

#include <QDialog>
#include <array>
#include <string>
#include <vector>

#include "commands/follow_command.h"
#include "coupon/system_shape.h"
#include "draw/draw_service.h"
#include "net/draw_client.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QPushButton;
class QTableWidget;
class QToolButton;

namespace spelkub::tools {

class Worker;

class FollowDialog : public WorkerDialog {
  Q_OBJECT

 public:
  // `results`: where the matches stand when the dialog opens.
  FollowDialog(ValueInput input, std::vector<PackedRow> rows, const FollowResults& results,
               QWidget* parent = nullptr);
  ~FollowDialog() override;

  // The button of match 1..matches: 0 "1", 1 "X", 2 "2", 3 "L".
  QToolButton* MatchButton(int match, int button) const;
  const FollowResults& Results() const { return results_; }
  Worker& FollowWorker() { return ValueWorker(); }
  // The outcome shown: the last computation that finished for the results
  // as they are.
  const FollowOutcome& Outcome() const { return shown_; }

  // Offers "Hämta resultat": the result of draw `draw` (the spin box's first
  // value) of the product fetched from `apiBase` on a worker of its own, with
  // "Avbryt"; its signs replace the results, as typing them would.
  void OfferFetch(const DrawProduct& product, int draw, std::string apiBase);
  Worker& FetchWorker() { return fetch_->FetchWorker(); }

  // Starts the computation for the results as they are now.
  void Recompute();
  // Stops a fetch; while a computation runs, "Stäng" and Escape stop it
  // first and close once it has.
  void reject() override;

 private:
  void Click(int match, int button);
  void EnterResults();
  void ShowButtons();
  // "Avbryt" stops the computation and leaves the dialog open.
  void CancelPressed() override;
  void Finished() override;
  void ShowOutcome();
  void TakeFetched(const DrawResult& result);

  ValueInput input_;
  std::vector<PackedRow> rows_;
  int matches_;
  FollowResults results_;
  FollowResults computing_;  // the results of the computation running
  bool again_ = false;       // the results changed while it ran

  std::array<std::array<QToolButton*, 4>, kMaxMatches> buttons_{};
  QLineEdit* resultsField_ = nullptr;
  QLabel* resultsError_ = nullptr;
  QLabel* summary_ = nullptr;
  QTableWidget* matchTable_ = nullptr;
  QTableWidget* levelTable_ = nullptr;
  QLabel* aliveCaption_ = nullptr;
  QPlainTextEdit* alive_ = nullptr;

  ResultFetch* fetch_ = nullptr;  // "Hämta resultat", when offered

  FollowOutcome output_;  // written by the computation
  FollowOutcome shown_;
};

}  // namespace spelkub::tools
