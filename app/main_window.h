// The main window, TForm1: every control of the program in its place, and
// the handlers bound to their events.
//
// Input: the 42 mark cells and the selectors write the CouponState that the
// window was given; the buttons and the menu start the commands.
// Model: a Session (session/) holds that state, the coupon document and the
// current rows with their origin; a hand edit of the row list marks its rows
// edited, so the next tool reads the text back once.
// Engine: coupon/ computes the marks and the system size; commands/ runs
// "Generera Rader" (validation, generation, reduction in reduce/) and returns
// its result, heard stage by stage for the progress; the window applies it to
// the row list and the session.
// Display: the counts Label16 and Label18, the row list Memo1 (with Memo2, the
// kept list, as scratch store), the status bar, the progress bar, and message
// boxes through the Platform.
#pragma once

#include <QMainWindow>
#include <QString>
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/controls.h"
#include "app/platform.h"
#include "app/radio_group.h"
#include "app/row_list.h"
#include "coupon/coupon_state.h"
#include "document/coupon_document.h"
#include "session/session.h"

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QStatusBar;

namespace spelkub {
struct GenerateOutcome;
}  // namespace spelkub

namespace spelkub::tools {
struct ToolHost;
struct ConditionCount;
class ConditionCounter;
}  // namespace spelkub::tools

namespace spelkub {
// The caption of the standard error box: the program file's name without its
// extension.
QString ApplicationTitle();
}  // namespace spelkub

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // Builds every control, then selects "Stryktipset", "Nej" and "Ingen", each
  // running its group's click handler once, in that order. Works on `state`
  // and talks to the desktop through `platform`; both must outlive the window.
  TForm1(spelkub::CouponState& state, spelkub::Platform& platform, QWidget* parent = nullptr);

  // The components, in the order the form declares them. Each also carries its
  // name as object name. Edit[k] is the cell "Edit<k+1>" (MarkCell k) and
  // Label[m - 1] the match label "Label<m>".
  QLabel* Image1 = nullptr;
  spelkub::RadioGroup* RadioGroup1 = nullptr;
  std::array<spelkub::MarkCell*, spelkub::kCellCount> Edit{};
  std::array<QLabel*, spelkub::kMaxMatches> Label{};
  QMenuBar* MainMenu1 = nullptr;
  QMenu* jhjhg1 = nullptr;
  QMenu* bjkjkkj1 = nullptr;
  spelkub::RadioGroup* RadioGroup2 = nullptr;
  spelkub::DropDownList* ComboBox1 = nullptr;
  QLabel* Label15 = nullptr;
  QLabel* Label16 = nullptr;
  spelkub::RowList* Memo1 = nullptr;
  QPushButton* Button1 = nullptr;
  spelkub::DropDownList* ComboBox2 = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  spelkub::RadioGroup* RadioGroup3 = nullptr;
  spelkub::DropDownList* ComboBox3 = nullptr;
  QCheckBox* CheckBox2 = nullptr;
  QPushButton* Button2 = nullptr;
  spelkub::SaveDialog SaveDialog1;
  QLabel* Label17 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* Label18 = nullptr;
  QAction* Skickaettmail1 = nullptr;
  QAction* GtillSpelkubsidan1 = nullptr;
  QAction* GtillSpelkubFORUM1 = nullptr;
  QMenu* Lmnainrader1 = nullptr;
  QAction* GtillSvenskaSpel1 = nullptr;
  QAction* GtillUnibet1 = nullptr;
  spelkub::RowList* Memo2 = nullptr;
  QLabel* Label19 = nullptr;
  // The menu "Verktyg", after the menus above (app/tools/).
  QMenu* Verktyg1 = nullptr;
  QAction* Optimeradgaranti1 = nullptr;
  QAction* Garantianalys1 = nullptr;
  QAction* Rttarader1 = nullptr;
  QAction* Sparafrinlmning1 = nullptr;
  QAction* Systemvrde1 = nullptr;
  QAction* Radvrden1 = nullptr;
  // The menu "Kupong", after "Verktyg": the coupon document (app/document_commands.cpp).
  QMenu* Kupong1 = nullptr;
  QAction* ppnakupong1 = nullptr;
  QAction* Sparakupong1 = nullptr;
  QAction* N1 = nullptr;  // the separator before the match values
  QAction* Matchvrdering1 = nullptr;
  QAction* Villkor1 = nullptr;
  QAction* Fljkupongen1 = nullptr;     // "Följ kupongen..." (app/tools/follow_menu.cpp)
  QAction* Vrdereducering1 = nullptr;  // "Värdereducering...": rows chosen by value
  QAction* N2 = nullptr;               // the separator before the draw service's items
  QAction* Hmtaomgng1 = nullptr;
  QAction* Uppdaterastreck1 = nullptr;
  // The games "Välj spel:" does not offer, one checkable item each under
  // "Spel" (Topptipset1, TopptipsetStryk1, ...), in the game table's order.
  QMenu* Spel1 = nullptr;
  std::vector<QAction*> GameItems;
  // Below Label17: how many system rows the conditions keep, "Villkor: N av
  // M"; shown only while the document's conditions are in use.
  QLabel* Label20 = nullptr;

  // Handlers. The events reach them through Guard.
  void EditClick(int cell);  // Edit1Click .. Edit42Click: cell 0..41
  void RadioGroup1Click();
  void RadioGroup2Click();
  void RadioGroup3Click();
  void ComboBox1Change();
  void ComboBox2Change();
  void ComboBox3Change();
  void Button1Click();
  void Button2Click();
  void Skickaettmail1Click();
  void GtillSpelkubsidan1Click();
  void GtillSpelkubFORUM1Click();
  void GtillSvenskaSpel1Click();
  void GtillUnibet1Click();
  void Optimeradgaranti1Click();  // app/tools/tools_menu.cpp
  void Garantianalys1Click();
  void Rttarader1Click();
  void Sparafrinlmning1Click();
  void Systemvrde1Click();
  void Radvrden1Click();
  void ppnakupong1Click();  // app/document_commands.cpp
  void Sparakupong1Click();
  void Matchvrdering1Click();
  void Villkor1Click();
  void Fljkupongen1Click();     // app/tools/follow_menu.cpp
  void Vrdereducering1Click();  // app/tools/select_menu.cpp
  void Hmtaomgng1Click();       // app/draw_commands.cpp
  void Uppdaterastreck1Click();
  // A game of the menu "Spel": the window then plays it as "Välj spel:" plays
  // its own, and "Välj spel:" has no item selected until one is chosen again.
  void ChooseMenuGame(int32_t game);

  // Whether the coupon document as it would be saved now (the current marks,
  // game and goals with the values) differs from the file it came from; with
  // no file, whether anything beyond the marks was entered.
  bool DocumentChanged() const;
  // The file the document was opened from or saved to last; empty for none.
  const QString& DocumentPath() const { return documentPath_; }
  // The session the window shows: the coupon, its document and the current rows.
  const spelkub::Session& Session() const { return session_; }

  // Runs one handler. An error escaping it is shown in the standard error box
  // (its text, ApplicationTitle() as caption) and the program goes on; Qt never
  // sees an exception.
  void Guard(std::string_view handler, const std::function<void()>& body);

  // The status bar's one text.
  void SetStatusText(const QString& text);
  QString StatusText() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Asks before unsaved document changes are lost; the window then closes or
  // stays as the answer says.
  void closeEvent(QCloseEvent* event) override;

 private:
  // The stages of building the window, in the order the constructor runs them.
  void BuildControls();      // main_window_controls.cpp
  void BuildMenu();          // main_menu.cpp
  void BuildGameMenu();      // main_menu.cpp: "Spel" under "Kupong"
  void BuildHistoryItems();  // history_menu.cpp: the history's items of "Kupong"
  void SetTabOrder();
  void BindEvents();
  void CentreOnDesktop();
  void SelectDefaults();

  void PlaceStretchingControls(const QSize& client);
  // The match rows 1..matches shown, the others hidden.
  void ShowMatchesInPlay(int matches);

  // Shows the generate command's stages as they happen (generate_command.cpp).
  class GenerateView;
  // Applies the generate command's result: the report and the kept rows, in
  // the order it gives, and the rows to the session.
  void ApplyGenerated(spelkub::GenerateOutcome& outcome);
  // Puts a command's rows into the row list, Label18 and the session.
  void ShowRows(const spelkub::RowSet& rows, spelkub::RowsOrigin origin, std::string how);

  // What the "Verktyg" commands need of the window (app/tools/tools_menu.cpp).
  spelkub::tools::ToolHost ToolHostOf();

  spelkub::CouponState& state_;
  spelkub::Platform& platform_;
  QWidget* client_ = nullptr;
  // The path "Spara för inlämning" proposes next.
  spelkub::SaveDialog handInDialog_;
  // The session: state_, the coupon document and the current rows. The
  // window observes its document: the conditions' count follows every change.
  spelkub::Session session_;
  class SessionView final : public spelkub::SessionObserver {
   public:
    explicit SessionView(TForm1& window) : window_(window) {}
    void DocumentChanged() override { window_.ShowConditionsCount(); }

   private:
    TForm1& window_;
  };
  SessionView sessionView_{*this};
  // The session's coupon document: what the player knows of the matches
  // (teams, odds, chances, streck), the pool, the conditions and the results.
  // Its marks and game are the window's, taken from state_ when it is saved.
  spelkub::CouponDocument& document_;

  // The coupon document's commands (app/document_commands.cpp).
  spelkub::CouponDocument DocumentNow() const;
  void ShowDocument(const spelkub::CouponDocument& document);
  bool SaveDocument(bool choosePath);
  bool MayDiscardDocument();
  // The document's file and its canonical text as last read or written.
  QString documentPath_;
  std::string documentSavedText_;

  // Label20: counts the rows the conditions keep again after the marks, the
  // game or the document changed; hides it while they are not in use.
  void ShowConditionsCount();
  void ShowConditionsResult(const spelkub::tools::ConditionCount& count);
  spelkub::tools::ConditionCounter* conditionCounter_ = nullptr;
};
