// The menu "Kupong": opening and saving the coupon document, the question
// before unsaved changes are lost, the match table and the conditions, with
// the window's line of the rows the conditions keep.
//
// The document's game, goals and marks live in the window (CouponState and
// the controls); the session's document holds the rest. Saving joins the two
// (Session::DocumentNow); opening sets the window's choices through the same
// handlers a user's clicks run, so the controls, the state and Label16 agree
// as after clicks. The window observes the session's document: every change
// counts the rows the conditions keep again.
#include <QCloseEvent>
#include <QFile>
#include <optional>
#include <stdexcept>
#include <string>

#include "app/form_building.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/tools/match_table_dialog.h"
#include "app/tools/tools.h"
#include "app/tools/villkor_dialog.h"
#include "coupon/choices.h"
#include "coupon/games.h"
#include "io/save_file.h"

using spelkub::FromUtf8;

namespace {

const QString kCouponFilter = QStringLiteral("Kupong (*.spelkub)");
const QString kCouponSuffix = QStringLiteral("spelkub");
const QString kOpenCaption = QStringLiteral("Öppna kupong");
const QString kSaveCaption = QStringLiteral("Spara kupong");
const QString kChangesQuestion = QStringLiteral("Spara ändringarna i kupongen?");
const QString kChangesCaption = QStringLiteral("Kupong");

// File names go to the C library in the local 8-bit encoding.
std::string FileName(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

QString WithCouponSuffix(const QString& path) {
  if (path.endsWith(QStringLiteral(".") + kCouponSuffix, Qt::CaseInsensitive)) return path;
  return path + QStringLiteral(".") + kCouponSuffix;
}

// The canonical text, or nullopt while the document cannot be saved as it is.
std::optional<std::string> SavedText(const spelkub::CouponDocument& document) {
  if (!spelkub::CouponDocumentProblem(document).empty()) return std::nullopt;
  return spelkub::CouponDocumentText(document);
}

}  // namespace

spelkub::CouponDocument TForm1::DocumentNow() const {
  return session_.DocumentNow();
}

bool TForm1::DocumentChanged() const {
  const std::optional<std::string> now = SavedText(DocumentNow());
  // Values that cannot be saved yet were entered all the same.
  if (!now) return true;
  if (!documentPath_.isEmpty()) return *now != documentSavedText_;
  // Without a file only what the document adds to the window counts: the
  // marks alone were never the document's to keep.
  spelkub::CouponDocument fresh = spelkub::NewCouponDocument(state_.Game);
  spelkub::SetDocumentFromCoupon(state_, fresh);
  return *now != SavedText(fresh);
}

void TForm1::ShowDocument(const spelkub::CouponDocument& document) {
  spelkub::CouponState wanted = state_;
  spelkub::SetCouponFromDocument(document, wanted);
  const std::span<const spelkub::GameRules> selector = spelkub::SelectorGames();
  bool selectorGame = false;
  for (size_t item = 0; item < selector.size(); ++item) {
    if (selector[item].game == document.game) {
      RadioGroup1->SetItemIndex(static_cast<int>(item));  // runs RadioGroup1Click on a change
      selectorGame = true;
    }
  }
  if (!selectorGame && spelkub::IsGame(document.game) && state_.Game != document.game) {
    ChooseMenuGame(document.game);
  }
  int goalsItem = -1;
  for (size_t item = 0; item < spelkub::kGoalsNames.size(); ++item) {
    if (spelkub::kGoalsNames[item].goals == document.goals) goalsItem = static_cast<int>(item);
  }
  if (goalsItem >= 0) {
    ComboBox1->setCurrentIndex(goalsItem);  // runs ComboBox1Change
  } else if (ComboBox1->ItemIndex() >= 0) {
    // No user pick empties the list, so the list goes back to its prompt here.
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(QStringLiteral("Välj antal mål:"));
    state_.Goals = spelkub::kGoalsNone;
  }
  for (int cell = 0; cell < spelkub::kCellCount; ++cell) {
    if (state_.Marks[cell] != wanted.Marks[cell]) emit Edit[cell]->Click();
  }
}

bool TForm1::SaveDocument(bool choosePath) {
  const spelkub::CouponDocument document = DocumentNow();
  const std::string problem = spelkub::CouponDocumentProblem(document);
  if (!problem.empty()) {
    platform_.ShowMessage(FromUtf8(problem), kSaveCaption);
    return false;
  }
  QString path = documentPath_;
  if (choosePath || path.isEmpty()) {
    const std::optional<QString> chosen =
        platform_.ChooseSaveFileAs(documentPath_, kCouponFilter, kCouponSuffix);
    if (!chosen) return false;
    path = WithCouponSuffix(*chosen);
  }
  try {
    spelkub::SaveCouponDocument(FileName(path), document);
  } catch (const spelkub::SaveError& error) {
    platform_.ShowMessage(FromUtf8(error.what()), kSaveCaption);
    return false;
  }
  session_.SetDocument(document);
  documentPath_ = path;
  documentSavedText_ = spelkub::CouponDocumentText(document);
  return true;
}

bool TForm1::MayDiscardDocument() {
  if (!DocumentChanged()) return true;
  switch (platform_.AskSaveChanges(kChangesQuestion, kChangesCaption)) {
    case spelkub::SaveChangesAnswer::kSave:
      return SaveDocument(false);
    case spelkub::SaveChangesAnswer::kDiscard:
      return true;
    case spelkub::SaveChangesAnswer::kCancel:
      break;
  }
  return false;
}

void TForm1::ppnakupong1Click() {
  if (!MayDiscardDocument()) return;
  const std::optional<QString> path = platform_.ChooseOpenFile(documentPath_, kCouponFilter);
  if (!path) return;
  const spelkub::DocumentResult read = spelkub::ReadCouponDocumentFile(FileName(*path));
  if (!read.document) {
    platform_.ShowMessage(FromUtf8(read.error), kOpenCaption);
    return;
  }
  ShowDocument(*read.document);
  documentPath_ = *path;
  documentSavedText_ = SavedText(*read.document).value_or(std::string());
  session_.SetDocument(*read.document);
}

void TForm1::Sparakupong1Click() {
  SaveDocument(true);
}

void TForm1::Matchvrdering1Click() {
  spelkub::CouponDocument document = DocumentNow();
  if (!spelkub::tools::EditMatchValues(document, platform_, this)) return;
  document_.values = document.values;
  document_.pool.turnover = document.pool.turnover;
  document_.pool.jackpot = document.pool.jackpot;  // a chosen snapshot's
  document_.chosenSnapshot = document.chosenSnapshot;
  document_.oddsMethod = document.oddsMethod;
  document_.draw = document.draw;
  document_.stake = document.stake;
  session_.DocumentEdited();  // streck, chances and the turnover are what some conditions measure
}

void TForm1::Villkor1Click() {
  if (spelkub::tools::VillkorCommand(ToolHostOf())) session_.DocumentEdited();
}

void TForm1::ShowConditionsCount() {
  if (!document_.useConditions || document_.conditions.empty()) {
    conditionCounter_->Cancel();
    Label20->hide();
    return;
  }
  if (Label20->isHidden()) {
    spelkub::SetCaption(Label20, QStringLiteral("Villkor: räknar..."));
    Label20->setToolTip(QString());
    Label20->show();
  }
  conditionCounter_->Request({spelkub::ShapeOf(state_), document_.conditions, document_.maxBroken,
                              document_.values, document_.pool});
}

void TForm1::ShowConditionsResult(const spelkub::tools::ConditionCount& count) {
  if (!document_.useConditions || document_.conditions.empty()) return;
  using spelkub::tools::GroupedCount;
  if (count.error.empty()) {
    spelkub::SetCaption(Label20, QStringLiteral("Villkor: %1 av %2")
                                     .arg(GroupedCount(count.kept), GroupedCount(count.total)));
    Label20->setToolTip(QString());
  } else {
    spelkub::SetCaption(Label20, QStringLiteral("Villkor: kan inte räknas"));
    Label20->setToolTip(FromUtf8(count.error));
  }
}

void TForm1::closeEvent(QCloseEvent* event) {
  bool close = false;
  Guard("FormCloseQuery", [this, &close] { close = MayDiscardDocument(); });
  if (close) {
    event->accept();
  } else {
    event->ignore();
  }
}
