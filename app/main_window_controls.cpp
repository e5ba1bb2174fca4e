// The window's controls in the order the form builds them (later ones lie
// above earlier ones), each in its place, and the few that follow the
// window's size.
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

#include "app/form_building.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "assets/picture.h"
#include "coupon/choices.h"
#include "version.h"

using spelkub::DropDownList;
using spelkub::FromUtf8;
using spelkub::MakeLabel;
using spelkub::MarkCell;
using spelkub::Place;
using spelkub::RadioGroup;
using spelkub::RowList;

namespace {

// The client area as designed, at 96 pixels per inch.
constexpr int kClientWidth = 531;
constexpr int kClientHeight = 484;
constexpr int kStatusBarHeight = 19;
constexpr int kProgressBarHeight = 17;

const QColor kAqua(0, 255, 255);

}  // namespace

void TForm1::BuildControls() {
  using spelkub::kBold;
  using spelkub::kPlain;
  using spelkub::kUnderlined;
  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("ClientArea"));
  client_->setAutoFillBackground(true);
  setCentralWidget(client_);
  client_->installEventFilter(this);

  Image1 = Place(new QLabel(client_), QStringLiteral("Image1"), 0, 0, kClientWidth,
                 kClientHeight - kStatusBarHeight - kProgressBarHeight);
  Image1->setScaledContents(true);  // stretched, proportions not kept
  Image1->setPixmap(QPixmap::fromImage(spelkub::BackgroundPicture()));

  QStringList games;
  for (const spelkub::GameRules& game : spelkub::kGames) games << FromUtf8(game.name);
  RadioGroup1 = Place(new RadioGroup(QStringLiteral("Välj spel"), games, 1, client_),
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

  QStringList plus13;
  for (const spelkub::Plus13Name& name : spelkub::kPlus13Names) plus13 << FromUtf8(name.text);
  RadioGroup2 = Place(new RadioGroup(QStringLiteral("Dubbelvinsten?"), plus13, 2, client_),
                      QStringLiteral("RadioGroup2"), 24, 113, 105, 31);
  QStringList goals;
  for (const spelkub::GoalsName& name : spelkub::kGoalsNames) goals << FromUtf8(name.text);
  ComboBox1 = Place(new DropDownList(QStringLiteral("Välj antal mål:"), goals, client_),
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
  spelkub::SetBold(Button1);

  QStringList guarantees;
  for (const int32_t level : spelkub::kGuaranteeChoices) {
    guarantees << QStringLiteral("%1 Rätt").arg(level);
  }
  ComboBox2 = Place(new DropDownList(QStringLiteral("Välj Garanti:"), guarantees, client_),
                    QStringLiteral("ComboBox2"), 24, 247, 105, 21);
  CheckBox1 = Place(new QCheckBox(QStringLiteral("Reverserad?"), client_),
                    QStringLiteral("CheckBox1"), 24, 274, 105, 17);
  CheckBox1->setAutoFillBackground(true);

  QStringList reductions;
  for (const spelkub::ReductionName& name : spelkub::kReductionNames) {
    reductions << FromUtf8(name.text);
  }
  RadioGroup3 = Place(new RadioGroup(QStringLiteral("Välj reducering:"), reductions, 1, client_),
                      QStringLiteral("RadioGroup3"), 24, 177, 105, 65);

  QStringList rowCounts;
  for (const int32_t count : spelkub::kRowCountChoices) rowCounts << QString::number(count);
  ComboBox3 = Place(new DropDownList(QStringLiteral("Välj Antal Rader:"), rowCounts, client_),
                    QStringLiteral("ComboBox3"), 24, 297, 105, 21);
  CheckBox2 = Place(new QCheckBox(QStringLiteral("Reverserad?"), client_),
                    QStringLiteral("CheckBox2"), 24, 328, 105, 17);
  CheckBox2->setAutoFillBackground(true);

  Button2 = Place(new QPushButton(QStringLiteral("Generera Rader"), client_),
                  QStringLiteral("Button2"), 24, 374, 105, 25);
  spelkub::SetBold(Button2);

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

  Label19 = MakeLabel(QStringLiteral("Label19"),
                      QStringLiteral("Spelkub_lite v" SPELKUB_VERSION " 2008-09-18"), 8, 8, client_,
                      kUnderlined);

  // The picture lies under everything else.
  Image1->lower();
  PlaceStretchingControls(QSize(kClientWidth, kClientHeight));
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

// The client area below the menu bar keeps its designed size.
void TForm1::CentreOnDesktop() {
  const int menuHeight = MainMenu1->isNativeMenuBar() ? 0 : MainMenu1->sizeHint().height();
  resize(kClientWidth, kClientHeight + menuHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect desktop = screen->availableGeometry();
    move(desktop.center() - QPoint(width() / 2, height() / 2));
  }
}
