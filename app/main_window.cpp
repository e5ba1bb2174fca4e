#include "app/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QStatusBar>
#include <exception>
#include <string>
#include <vector>

#include "app/handler_trace.h"
#include "app/tools/villkor_dialog.h"
#include "app/window_fonts.h"
#include "assets/picture.h"
#include "coupon/choices.h"

using spelkub::DropDownList;
using spelkub::MarkCell;
using spelkub::RadioGroup;

namespace spelkub {

QString ApplicationTitle() {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

namespace detail {
namespace {
HandlerTrace& CurrentTrace() {
  static HandlerTrace trace;
  return trace;
}
}  // namespace

void SetHandlerTrace(HandlerTrace trace) {
  CurrentTrace() = std::move(trace);
}
}  // namespace detail

}  // namespace spelkub

TForm1::TForm1(spelkub::CouponState& state, spelkub::Platform& platform, QWidget* parent)
    : QMainWindow(parent),
      state_(state),
      platform_(platform),
      session_(state),
      document_(session_.document()) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Spelkub_lite, en mindre variant av Spelkub"));
  setWindowIcon(spelkub::ProgramIcon());
  setFont(spelkub::Fonts().regular);
  BuildControls();
  BuildMenu();
  SetTabOrder();
  BindEvents();
  CentreOnDesktop();
  SelectDefaults();
  session_.AddObserver(&sessionView_);
}

// RadioGroup1, the cells 1..42, then RadioGroup2 .. Memo2 as numbered; a radio
// group is entered through its buttons.
void TForm1::SetTabOrder() {
  std::vector<QWidget*> chain;
  const auto addGroup = [&chain](RadioGroup* group) {
    for (int i = 0; i < group->Count(); ++i) chain.push_back(group->Button(i));
  };
  addGroup(RadioGroup1);
  for (MarkCell* cell : Edit) chain.push_back(cell);
  addGroup(RadioGroup2);
  chain.push_back(ComboBox1);
  chain.push_back(Memo1);
  chain.push_back(Button1);
  chain.push_back(ComboBox2);
  chain.push_back(CheckBox1);
  addGroup(RadioGroup3);
  chain.push_back(ComboBox3);
  chain.push_back(CheckBox2);
  chain.push_back(Button2);
  chain.push_back(Memo2);
  for (size_t i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
}

void TForm1::BindEvents() {
  static const std::array<std::string, spelkub::kCellCount> kCellHandlers = [] {
    std::array<std::string, spelkub::kCellCount> names;
    for (int cell = 0; cell < spelkub::kCellCount; ++cell) {
      names[cell] = "Edit" + std::to_string(cell + 1) + "Click";
    }
    return names;
  }();
  for (int cell = 0; cell < spelkub::kCellCount; ++cell) {
    connect(Edit[cell], &MarkCell::Click, this,
            [this, cell] { Guard(kCellHandlers[cell], [this, cell] { EditClick(cell); }); });
  }
  const auto bind = [this](auto* sender, auto signal, std::string_view name,
                           void (TForm1::*handler)()) {
    connect(sender, signal, this,
            [this, name, handler] { Guard(name, [this, handler] { (this->*handler)(); }); });
  };
  bind(RadioGroup1, &RadioGroup::Click, "RadioGroup1Click", &TForm1::RadioGroup1Click);
  bind(RadioGroup2, &RadioGroup::Click, "RadioGroup2Click", &TForm1::RadioGroup2Click);
  bind(RadioGroup3, &RadioGroup::Click, "RadioGroup3Click", &TForm1::RadioGroup3Click);
  bind(ComboBox1, &DropDownList::Change, "ComboBox1Change", &TForm1::ComboBox1Change);
  bind(ComboBox2, &DropDownList::Change, "ComboBox2Change", &TForm1::ComboBox2Change);
  bind(ComboBox3, &DropDownList::Change, "ComboBox3Change", &TForm1::ComboBox3Change);
  bind(Button1, &QPushButton::clicked, "Button1Click", &TForm1::Button1Click);
  bind(Button2, &QPushButton::clicked, "Button2Click", &TForm1::Button2Click);
  // The row list's own edits (program changes raise no textChanged).
  connect(Memo1, &spelkub::RowList::textChanged, this, [this] { session_.MarkRowsEdited(); });
  bind(Skickaettmail1, &QAction::triggered, "Skickaettmail1Click", &TForm1::Skickaettmail1Click);
  bind(GtillSpelkubsidan1, &QAction::triggered, "GtillSpelkubsidan1Click",
       &TForm1::GtillSpelkubsidan1Click);
  bind(GtillSpelkubFORUM1, &QAction::triggered, "GtillSpelkubFORUM1Click",
       &TForm1::GtillSpelkubFORUM1Click);
  bind(GtillSvenskaSpel1, &QAction::triggered, "GtillSvenskaSpel1Click",
       &TForm1::GtillSvenskaSpel1Click);
  bind(GtillUnibet1, &QAction::triggered, "GtillUnibet1Click", &TForm1::GtillUnibet1Click);
  bind(Optimeradgaranti1, &QAction::triggered, "Optimeradgaranti1Click",
       &TForm1::Optimeradgaranti1Click);
  bind(Garantianalys1, &QAction::triggered, "Garantianalys1Click", &TForm1::Garantianalys1Click);
  bind(Rttarader1, &QAction::triggered, "Rttarader1Click", &TForm1::Rttarader1Click);
  bind(Sparafrinlmning1, &QAction::triggered, "Sparafrinlmning1Click",
       &TForm1::Sparafrinlmning1Click);
  bind(ppnakupong1, &QAction::triggered, "ppnakupong1Click", &TForm1::ppnakupong1Click);
  bind(Sparakupong1, &QAction::triggered, "Sparakupong1Click", &TForm1::Sparakupong1Click);
  bind(Matchvrdering1, &QAction::triggered, "Matchvrdering1Click", &TForm1::Matchvrdering1Click);
  bind(Villkor1, &QAction::triggered, "Villkor1Click", &TForm1::Villkor1Click);
  bind(Hmtaomgng1, &QAction::triggered, "Hmtaomgng1Click", &TForm1::Hmtaomgng1Click);
  bind(Uppdaterastreck1, &QAction::triggered, "Uppdaterastreck1Click",
       &TForm1::Uppdaterastreck1Click);

  // Label20 follows the marks and the game, after their handlers ran. The
  // count waits for the event loop, so the clicks of opening a coupon are
  // counted once.
  conditionCounter_ = new spelkub::tools::ConditionCounter(0, this);
  conditionCounter_->setObjectName(QStringLiteral("Villkorsraknare"));
  connect(conditionCounter_, &spelkub::tools::ConditionCounter::Counted, this,
          &TForm1::ShowConditionsResult);
  for (MarkCell* cell : Edit) connect(cell, &MarkCell::Click, this, &TForm1::ShowConditionsCount);
  connect(RadioGroup1, &RadioGroup::Click, this, &TForm1::ShowConditionsCount);
}

// Each selection runs its group's click handler before the next one.
void TForm1::SelectDefaults() {
  RadioGroup1->SetItemIndex(0);  // the first game, "Stryktipset"
  RadioGroup2->SetItemIndex(spelkub::Plus13Item(spelkub::kPlus13No));
  RadioGroup3->SetItemIndex(0);  // "Ingen"
}

void TForm1::Guard(std::string_view handler, const std::function<void()>& body) {
  if (const auto& trace = spelkub::detail::CurrentTrace()) trace(*this, handler);
  try {
    body();
  } catch (const std::exception& error) {
    platform_.ShowError(QString::fromLocal8Bit(error.what()), spelkub::ApplicationTitle());
  } catch (...) {
    platform_.ShowError(QString(), spelkub::ApplicationTitle());
  }
}

void TForm1::SetStatusText(const QString& text) {
  StatusBar1->showMessage(text);
}

QString TForm1::StatusText() const {
  return StatusBar1->currentMessage();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_ && event->type() == QEvent::Resize) {
    PlaceStretchingControls(static_cast<QResizeEvent*>(event)->size());
  }
  return QMainWindow::eventFilter(watched, event);
}
