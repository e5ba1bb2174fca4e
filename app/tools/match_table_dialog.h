// "Matchvärdering": the match values of the coupon document as a table, one
// row per match in play: the teams, the odds, the player's chances and the
// public's streck for 1, X and 2, and what follows from them — the spelvärde
// per sign (own chance over the public's share, green above 100 %, red
// below) and the sums of the chances and the streck, with the matches whose
// sums are scaled to 100 % named. Below the table the pool's turnover, the
// snapshot of the draw service the values are from ("Underlag"), how odds
// become chances ("Oddsmetod"), the draw the rows are for ("Omgång") and, for
// a game that takes stakes, the stake per row ("Insats").
//
// It works like a spreadsheet: arrows and Tab move (Tab over the cells that
// take input, then on to the buttons and the turnover), typing edits, Enter
// moves down, Delete empties, Ctrl+C copies and Ctrl+V pastes rows from a
// spreadsheet or a web page, or a line of three numbers per match, at the
// selected cell (value/paste.h). "Odds → chans" turns the odds into chances,
// "Importera..." pastes a text or CSV file. OK writes the values and the
// turnover into the document; Avbryt leaves it as it was.
#pragma once

#include <QDialog>
#include <QTableWidget>
#include <array>
#include <functional>

#include "app/platform.h"
#include "document/coupon_document.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace spelkub::tools {

// The table's columns.
enum MatchColumn {
  kHomeColumn = 0,
  kAwayColumn = 1,
  kOddsColumn = 2,    // 1, X, 2
  kChanceColumn = 5,  // 1, X, 2, in percent
  kStreckColumn = 8,  // 1, X, 2, in percent
  kValueColumn = 11,  // spelvärde 1, X, 2
  kChanceSumColumn = 14,
  kStreckSumColumn = 15,
  kMatchColumnCount = 16,
};

// The table widget's keys beyond QTableWidget's own. Tab and Shift+Tab walk
// the cells that take input, row by row, and leave the table after the last.
class MatchTable : public QTableWidget {
  Q_OBJECT

 public:
  using QTableWidget::QTableWidget;

 signals:
  void PasteRequested();
  void CopyRequested();
  void ClearRequested();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

 private:
  void MoveDown();
};

class MatchTableDialog : public QDialog {
  Q_OBJECT

 public:
  // Shows the values of `document` for the matches its game plays; the
  // document is only read. The import dialog goes through `platform`.
  MatchTableDialog(const CouponDocument& document, Platform& platform, QWidget* parent = nullptr);

  // The values and the turnover as edited so far.
  const MatchValues& Values() const { return values_; }
  double Turnover() const;
  // The document as the dialog would leave it: the values, the turnover, the
  // chosen snapshot (and the jackpot it brings), the odds method, the draw and
  // the stake.
  CouponDocument Edited() const;
  int Matches() const { return matches_; }
  MatchTable* Table() const { return table_; }

  // Pastes `text` at the selected cell as Ctrl+V pastes the clipboard; false
  // (with the reason shown) when nothing was written.
  bool PasteText(const QString& text);
  void OddsToChances();
  void Import();

  // Keeps the dialog open, naming what is wrong, while the values or the
  // turnover cannot be saved.
  void accept() override;

 private:
  void ShowMatch(int match);
  void ShowComputed(int match);
  void ShowScaledNote();
  void CellEdited(QTableWidgetItem* item);
  void ShowError(const QString& text);
  void Copy();
  void ClearSelectedCells();
  // After a number was written at (match, column): chances the odds gave
  // follow new odds, and a chance written by hand is the player's own.
  void NumberWritten(int match, int column);
  // "Underlag": item 0 the values as typed, item k the snapshot k - 1.
  void SnapshotChosen(int item);
  void OddsMethodChosen(int item);

  // Per match: its chances were made from its odds by "Odds → chans".
  std::array<bool, kMaxMatches> chancesFromOdds_{};

  CouponDocument document_;
  Platform& platform_;
  int matches_ = 13;
  MatchValues values_;
  bool showing_ = false;  // the table is being filled by the dialog, not edited

  MatchTable* table_ = nullptr;
  QLineEdit* turnover_ = nullptr;
  QComboBox* snapshot_ = nullptr;
  QComboBox* oddsMethod_ = nullptr;
  QLineEdit* draw_ = nullptr;
  QComboBox* stake_ = nullptr;  // null for a game without stakes
  QLabel* fetched_ = nullptr;
  QLabel* error_ = nullptr;
  QLabel* scaled_ = nullptr;
  QPushButton* oddsToChances_ = nullptr;
  QPushButton* import_ = nullptr;
};

// Runs the match table on `document`; true when OK wrote what it edits
// there (see Edited()).
bool EditMatchValues(CouponDocument& document, Platform& platform, QWidget* parent);

// Test hook: runs the match table in place of QDialog::exec(); empty
// restores exec().
void SetMatchTableRunner(std::function<void(MatchTableDialog& dialog)> runner);

}  // namespace spelkub::tools
