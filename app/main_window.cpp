#include "app/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>
#include <exception>
#include <string>
#include <vector>

#include "assets/picture.h"

using spelkub::DropDownList;
using spelkub::MarkCell;
using spelkub::RadioGroup;
using spelkub::RowList;

namespace spelkub {

QString ApplicationTitle() {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

}  // namespace spelkub

namespace {

// The client area as designed, at 96 pixels per inch.
constexpr int kClientWidth = 531;
constexpr int kClientHeight = 484;
constexpr int kStatusBarHeight = 19;
constexpr int kProgressBarHeight = 17;
constexpr int kFontPixelSize = 11;  // Tahoma 8 pt

// "Välj Antal Rader:" offers 1..130 and then these.
constexpr int kLargeRowCounts[] = {150, 250, 500, 750, 1000, 2000};
constexpr int kSmallRowCounts = 130;

int RowCountAt(int index) {
  if (index < kSmallRowCounts) return index + 1;
  return kLargeRowCounts[index - kSmallRowCounts];
}

constexpr int kRowCountItems = kSmallRowCounts + static_cast<int>(std::size(kLargeRowCounts));

const QColor kAqua(0, 255, 255);

// The window's fonts: Tahoma 8 pt (11 pixels) where the machine has it, else
// the copy of Tahoma that wine ships, else a plain sans font of that size.
struct WindowFonts {
  QFont regular;
  QFont bold;
};

const WindowFonts& Fonts() {
  static const WindowFonts fonts = [] {
    const QString tahoma = QStringLiteral("Tahoma");
    QString family;
    QString boldFamily;
    if (QFontDatabase::hasFamily(tahoma)) {
      family = boldFamily = tahoma;
    } else if (QFontDatabase::addApplicationFont(
                   QStringLiteral("/usr/share/wine/fonts/tahoma.ttf")) >= 0) {
      family = boldFamily = tahoma;
      // Wine's bold Tahoma is hardly heavier than its regular face. DejaVu Sans
      // Condensed, the design it follows, has a true bold with Tahoma Bold's
      // widths; without it Qt emboldens the regular face.
      const QString condensed = QStringLiteral("DejaVu Sans Condensed");
      if (QFontDatabase::styles(condensed).contains(QStringLiteral("Bold"))) boldFamily = condensed;
    }
    WindowFonts result;
    for (QFont* font : {&result.regular, &result.bold}) {
      font->setStyleHint(QFont::SansSerif);
      font->setPixelSize(kFontPixelSize);
    }
    if (!family.isEmpty()) result.regular.setFamily(family);
    if (!boldFamily.isEmpty()) result.bold.setFamily(boldFamily);
    result.bold.setBold(true);
    return result;
  }();
  return fonts;
}

void SetBold(QWidget* widget) {
  widget->setFont(Fonts().bold);
}

enum LabelStyle { kPlain = 0, kBold = 1, kUnderlined = 2 };

// A transparent label that sizes itself to its caption; an invalid colour
// keeps the window's text colour.
QLabel* MakeLabel(const QString& name, const QString& caption, int left, int top, QWidget* parent,
                  int style = kPlain, const QColor& color = QColor()) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  if (style & kBold) SetBold(label);
  if (style & kUnderlined) {
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
  }
  if (color.isValid()) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
  }
  label->move(left, top);
  TForm1::SetCaption(label, caption);
  return label;
}

template <typename Widget>
Widget* Place(Widget* widget, const QString& name, int left, int top, int width, int height) {
  widget->setObjectName(name);
  widget->setGeometry(left, top, width, height);
  return widget;
}

std::function<void(std::string_view)>& HandlerTrace() {
  static std::function<void(std::string_view)> trace;
  return trace;
}

}  // namespace

TForm1::TForm1(spelkub::CouponState& state, spelkub::Platform& platform, QWidget* parent)
    : QMainWindow(parent), state_(state), platform_(platform) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Spelkub_lite, en mindre variant av Spelkub"));
  setWindowIcon(spelkub::ProgramIcon());
  setFont(Fonts().regular);
  BuildControls();
  BuildMenu();
  SetTabOrder();
  BindEvents();

  // The client area below the menu bar is 531 x 484, centred on the desktop.
  const int menuHeight = MainMenu1->isNativeMenuBar() ? 0 : MainMenu1->sizeHint().height();
  resize(kClientWidth, kClientHeight + menuHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect desktop = screen->availableGeometry();
    move(desktop.center() - QPoint(width() / 2, height() / 2));
  }

  SelectDefaults();
}

// The controls in the order the form builds them; later ones lie above.
void TForm1::BuildControls() {
  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("ClientArea"));
  client_->setAutoFillBackground(true);
  setCentralWidget(client_);
  client_->installEventFilter(this);

  Image1 = Place(new QLabel(client_), QStringLiteral("Image1"), 0, 0, kClientWidth,
                 kClientHeight - kStatusBarHeight - kProgressBarHeight);
  Image1->setScaledContents(true);  // stretched, proportions not kept
  Image1->setPixmap(QPixmap::fromImage(spelkub::BackgroundPicture()));

  RadioGroup1 = Place(new RadioGroup(QStringLiteral("Välj spel"),
                                     {QStringLiteral("Stryktipset"), QStringLiteral("Europatipset"),
                                      QStringLiteral("Supertoto")},
                                     1, client_),
                      QStringLiteral("RadioGroup1"), 24, 32, 105, 75);

  // The coupon grid: one row per match, cells "1", "X", "2".
  for (int cell = 0; cell < spelkub::kCellCount; ++cell) {
    const int row = spelkub::CellMatch(cell) - 1;
    const int column = spelkub::CellOutcome(cell);
    Edit[cell] = Place(new MarkCell(client_), QStringLiteral("Edit%1").arg(cell + 1),
                       200 + 23 * column, 32 + 27 * row, 17, 21);
  }
  static constexpr int kMatchLabelTops[spelkub::kMaxMatches] = {35,  59,  86,  113, 140, 167, 194,
                                                                221, 248, 275, 302, 329, 359, 386};
  for (int match = 1; match <= spelkub::kMaxMatches; ++match) {
    Label[match - 1] =
        MakeLabel(QStringLiteral("Label%1").arg(match), QStringLiteral("Match %1:").arg(match), 152,
                  kMatchLabelTops[match - 1], client_);
  }

  RadioGroup2 = Place(new RadioGroup(QStringLiteral("Dubbelvinsten?"),
                                     {QStringLiteral("Ja"), QStringLiteral("Nej")}, 2, client_),
                      QStringLiteral("RadioGroup2"), 24, 113, 105, 31);
  ComboBox1 = Place(new DropDownList(QStringLiteral("Välj antal mål:"),
                                     {QStringLiteral("0-1"), QStringLiteral("2"),
                                      QStringLiteral("3"), QStringLiteral("F")},
                                     client_),
                    QStringLiteral("ComboBox1"), 24, 150, 105, 21);

  Label15 = MakeLabel(QStringLiteral("Label15"), QStringLiteral("Antal FärdigaRader:"), 285, 391,
                      client_, kBold);
  Label16 =
      MakeLabel(QStringLiteral("Label16"), QStringLiteral("0"), 230, 410, client_, kBold, kAqua);

  Memo1 = Place(new RowList(RowList::ScrollBars::kBoth, client_), QStringLiteral("Memo1"), 285, 32,
                238, 345);
  Memo1->SetText("Dina Rader:\r\n");

  Button1 = Place(new QPushButton(QStringLiteral("Spara Raderna"), client_),
                  QStringLiteral("Button1"), 417, 398, 97, 25);
  SetBold(Button1);

  QStringList guarantees;
  for (int level = 4; level <= 13; ++level) guarantees << QStringLiteral("%1 Rätt").arg(level);
  ComboBox2 = Place(new DropDownList(QStringLiteral("Välj Garanti:"), guarantees, client_),
                    QStringLiteral("ComboBox2"), 24, 247, 105, 21);
  CheckBox1 = Place(new QCheckBox(QStringLiteral("Reverserad?"), client_),
                    QStringLiteral("CheckBox1"), 24, 274, 105, 17);
  CheckBox1->setAutoFillBackground(true);

  RadioGroup3 = Place(new RadioGroup(QStringLiteral("Välj reducering:"),
                                     {QStringLiteral("Ingen"), QStringLiteral("Garanti"),
                                      QStringLiteral("Antal Rader")},
                                     1, client_),
                      QStringLiteral("RadioGroup3"), 24, 177, 105, 65);

  QStringList rowCounts;
  for (int index = 0; index < kRowCountItems; ++index) {
    rowCounts << QString::number(RowCountAt(index));
  }
  ComboBox3 = Place(new DropDownList(QStringLiteral("Välj Antal Rader:"), rowCounts, client_),
                    QStringLiteral("ComboBox3"), 24, 297, 105, 21);
  CheckBox2 = Place(new QCheckBox(QStringLiteral("Reverserad?"), client_),
                    QStringLiteral("CheckBox2"), 24, 328, 105, 17);
  CheckBox2->setAutoFillBackground(true);

  Button2 = Place(new QPushButton(QStringLiteral("Generera Rader"), client_),
                  QStringLiteral("Button2"), 24, 374, 105, 25);
  SetBold(Button2);

  Label17 = MakeLabel(QStringLiteral("Label17"), QStringLiteral("Antal systemrader:"), 115, 410,
                      client_, kBold);

  ProgressBar1 = new QProgressBar(client_);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);

  StatusBar1 = new QStatusBar(client_);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setSizeGripEnabled(false);

  Label18 =
      MakeLabel(QStringLiteral("Label18"), QStringLiteral("0"), 328, 410, client_, kPlain, kAqua);

  Memo2 = Place(new RowList(RowList::ScrollBars::kNone, client_), QStringLiteral("Memo2"), 520, 442,
                3, 2);

  Label19 = MakeLabel(QStringLiteral("Label19"), QStringLiteral("Spelkub_lite v1.02 2008-09-18"), 8,
                      8, client_, kUnderlined);

  // The picture lies under everything else.
  Image1->lower();
  PlaceStretchingControls(QSize(kClientWidth, kClientHeight));
}

void TForm1::BuildMenu() {
  MainMenu1 = new QMenuBar(this);
  MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
  setMenuBar(MainMenu1);

  const auto addMenu = [this](const QString& name, const QString& caption) {
    QMenu* menu = MainMenu1->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
  };
  const auto addItem = [](QMenu* menu, const QString& name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
  };
  jhjhg1 = addMenu(QStringLiteral("jhjhg1"), QStringLiteral("Kontakt"));
  Skickaettmail1 =
      addItem(jhjhg1, QStringLiteral("Skickaettmail1"), QStringLiteral("Skicka ett mail"));
  bjkjkkj1 = addMenu(QStringLiteral("bjkjkkj1"), QStringLiteral("Info"));
  GtillSpelkubsidan1 = addItem(bjkjkkj1, QStringLiteral("GtillSpelkubsidan1"),
                               QStringLiteral("Gå till Spelkub sidan"));
  GtillSpelkubFORUM1 = addItem(bjkjkkj1, QStringLiteral("GtillSpelkubFORUM1"),
                               QStringLiteral("Gå till Spelkub FORUM"));
  Lmnainrader1 = addMenu(QStringLiteral("Lmnainrader1"), QStringLiteral("Lämna in rader"));
  GtillSvenskaSpel1 = addItem(Lmnainrader1, QStringLiteral("GtillSvenskaSpel1"),
                              QStringLiteral("Gå till Svenska Spel"));
  GtillUnibet1 =
      addItem(Lmnainrader1, QStringLiteral("GtillUnibet1"), QStringLiteral("Gå till Unibet"));
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
  bind(Skickaettmail1, &QAction::triggered, "Skickaettmail1Click", &TForm1::Skickaettmail1Click);
  bind(GtillSpelkubsidan1, &QAction::triggered, "GtillSpelkubsidan1Click",
       &TForm1::GtillSpelkubsidan1Click);
  bind(GtillSpelkubFORUM1, &QAction::triggered, "GtillSpelkubFORUM1Click",
       &TForm1::GtillSpelkubFORUM1Click);
  bind(GtillSvenskaSpel1, &QAction::triggered, "GtillSvenskaSpel1Click",
       &TForm1::GtillSvenskaSpel1Click);
  bind(GtillUnibet1, &QAction::triggered, "GtillUnibet1Click", &TForm1::GtillUnibet1Click);
}

// Each selection runs its group's click handler before the next one.
void TForm1::SelectDefaults() {
  RadioGroup1->SetItemIndex(0);  // "Stryktipset"
  RadioGroup2->SetItemIndex(spelkub::kPlus13No);
  RadioGroup3->SetItemIndex(0);  // "Ingen"
}

void TForm1::Guard(std::string_view handler, const std::function<void()>& body) {
  if (HandlerTrace()) HandlerTrace()(handler);
  try {
    body();
  } catch (const std::exception& error) {
    platform_.ShowError(QString::fromLocal8Bit(error.what()), spelkub::ApplicationTitle());
  } catch (...) {
    platform_.ShowError(QString(), spelkub::ApplicationTitle());
  }
}

void TForm1::SetHandlerTrace(std::function<void(std::string_view handler)> trace) {
  HandlerTrace() = std::move(trace);
}

void TForm1::SetCaption(QLabel* label, const QString& text) {
  label->setText(text);
  label->adjustSize();
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

// The picture fills the client area above the two bars; the bars span its
// width at the bottom. Everything else keeps its place.
void TForm1::PlaceStretchingControls(const QSize& client) {
  const int progressTop = client.height() - kProgressBarHeight;
  const int statusTop = progressTop - kStatusBarHeight;
  ProgressBar1->setGeometry(0, progressTop, client.width(), kProgressBarHeight);
  StatusBar1->setGeometry(0, statusTop, client.width(), kStatusBarHeight);
  Image1->setGeometry(0, 0, client.width(), statusTop);
}

void TForm1::SetMatch14Visible(bool visible) {
  Label[spelkub::kMaxMatches - 1]->setVisible(visible);
  for (int outcome = 0; outcome < 3; ++outcome) {
    Edit[spelkub::CellIndex(spelkub::kMaxMatches, outcome)]->setVisible(visible);
  }
}

// A cell click: toggle the mark, show it, and show the new system size.
void TForm1::EditClick(int cell) {
  const std::string_view text = spelkub::ToggleMark(state_, cell);
  Edit[cell]->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
  SetCaption(Label16, QString::number(spelkub::SystemSize(state_)));
}

void TForm1::RadioGroup1Click() {
  const int index = RadioGroup1->ItemIndex();
  if (index < 0) return;
  state_.Game = index + 1;
  if (state_.Game == spelkub::kSupertoto) {
    SetMatch14Visible(true);
    RadioGroup2->hide();
    ComboBox1->hide();
  } else {
    SetMatch14Visible(false);
    RadioGroup2->show();
  }
}

void TForm1::RadioGroup2Click() {
  const int index = RadioGroup2->ItemIndex();
  if (index == spelkub::kPlus13Yes) ComboBox1->show();
  if (index == spelkub::kPlus13No) ComboBox1->hide();
}

void TForm1::RadioGroup3Click() {
  const int index = RadioGroup3->ItemIndex();
  if (index < 0) return;
  state_.Reduction = index + 1;
  const bool guarantee = state_.Reduction == spelkub::kReductionGuarantee;
  const bool rowCount = state_.Reduction == spelkub::kReductionRowCount;
  ComboBox2->setVisible(guarantee);
  CheckBox1->setVisible(guarantee);
  ComboBox3->setVisible(rowCount);
  CheckBox2->setVisible(rowCount);
}

void TForm1::ComboBox1Change() {
  const int index = ComboBox1->ItemIndex();
  if (index >= 0 && index < ComboBox1->count()) state_.Goals = index + 1;
}

void TForm1::ComboBox2Change() {
  const int index = ComboBox2->ItemIndex();
  if (index >= 0 && index < ComboBox2->count()) state_.GuaranteeLevel = index + 4;
}

void TForm1::ComboBox3Change() {
  const int index = ComboBox3->ItemIndex();
  if (index >= 0 && index < kRowCountItems) state_.TargetRows = RowCountAt(index);
}
