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
using spelkub::MarkCell;
using spelkub::RadioGroup;
using spelkub::RowList;

namespace {

// The client area as designed, at 96 pixels per inch.
constexpr int kClientWidth = 531;
constexpr int kClientHeight = 484;
constexpr int kStatusBarHeight = 19;
constexpr int kProgressBarHeight = 17;

const QColor kAqua(0, 255, 255);

// Where each placed control stands in the client area as designed, by its
// component name. The bars and the picture follow the window's size instead.
struct Spot {
  const char* name;
  int left, top, width, height;
};
constexpr Spot kSpots[] = {
    {"RadioGroup1", 24, 32, 105, 75}, {"RadioGroup2", 24, 113, 105, 31},
    {"ComboBox1", 24, 150, 105, 21},  {"RadioGroup3", 24, 177, 105, 65},
    {"ComboBox2", 24, 247, 105, 21},  {"CheckBox1", 24, 274, 105, 17},
    {"ComboBox3", 24, 297, 105, 21},  {"CheckBox2", 24, 328, 105, 17},
    {"Button2", 24, 374, 105, 25},    {"Memo1", 285, 32, 238, 345},
    {"Button1", 417, 398, 97, 25},    {"Memo2", 520, 442, 3, 2},
};

// `widget` named and placed at its spot in kSpots.
template <typename Widget>
Widget* Placed(Widget* widget, const char* name) {
  for (const Spot& spot : kSpots) {
    if (std::string_view(spot.name) == name) {
      return spelkub::Place(widget, QLatin1String(name), spot.left, spot.top, spot.width,
                            spot.height);
    }
  }
  qFatal("no spot for the control %s", name);
}

// The window's fixed texts and counts, each at its top left corner (a label
// sizes itself to its text).
struct Caption {
  QLabel* TForm1::*label;
  const char* name;
  const char16_t* text;
  int left, top;
  spelkub::LabelStyle style;
  bool aqua;
};
constexpr Caption kCaptions[] = {
    {&TForm1::Label15, "Label15", u"Antal FärdigaRader:", 285, 391, spelkub::kBold, false},
    {&TForm1::Label16, "Label16", u"0", 230, 410, spelkub::kBold, true},
    {&TForm1::Label17, "Label17", u"Antal systemrader:", 115, 410, spelkub::kBold, false},
    {&TForm1::Label18, "Label18", u"0", 328, 410, spelkub::kPlain, true},
    {&TForm1::Label19, "Label19", u"Spelkub_lite v" SPELKUB_VERSION " 2008-09-18", 8, 8,
     spelkub::kUnderlined, false},
};

// The match labels' tops: the form's rows are not quite evenly spaced.
constexpr int kMatchLabelTops[spelkub::kMaxMatches] = {35,  59,  86,  113, 140, 167, 194,
                                                       221, 248, 275, 302, 329, 359, 386};

// The items of a selector, one per entry of its table.
template <typename Table, typename Text>
QStringList Items(const Table& table, Text text) {
  QStringList items;
  for (const auto& entry : table) items << text(entry);
  return items;
}

// The coupon grid: one row per match, cells "1", "X", "2", each row named by
// its match label.
void BuildCouponGrid(TForm1& form, QWidget* client) {
  for (int cell = 0; cell < spelkub::kCellCount; ++cell) {
    const int row = spelkub::CellMatch(cell) - 1;
    const int column = spelkub::CellOutcome(cell);
    form.Edit[cell] = spelkub::Place(new MarkCell(client), QStringLiteral("Edit%1").arg(cell + 1),
                                     200 + 23 * column, 32 + 27 * row, 17, 21);
  }
  for (int match = 1; match <= spelkub::kMaxMatches; ++match) {
    form.Label[match - 1] = spelkub::MakeLabel(QStringLiteral("Label%1").arg(match),
                                               QStringLiteral("Match %1:").arg(match), 152,
                                               kMatchLabelTops[match - 1], client);
  }
}

void BuildCaptions(TForm1& form, QWidget* client) {
  for (const Caption& caption : kCaptions) {
    form.*caption.label = spelkub::MakeLabel(
        QLatin1String(caption.name), QString::fromUtf16(caption.text), caption.left, caption.top,
        client, caption.style, caption.aqua ? kAqua : QColor());
  }
}

// The progress bar and the status bar, which PlaceStretchingControls places.
void BuildBars(TForm1& form, QWidget* client) {
  form.ProgressBar1 = new QProgressBar(client);
  form.ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  form.ProgressBar1->setRange(0, 100);
  form.ProgressBar1->setValue(0);
  form.ProgressBar1->setTextVisible(false);

  form.StatusBar1 = new QStatusBar(client);
  form.StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  form.StatusBar1->setSizeGripEnabled(false);
}

QPushButton* BoldButton(const QString& text, const char* name, QWidget* client) {
  QPushButton* button = Placed(new QPushButton(text, client), name);
  spelkub::SetBold(button);
  return button;
}

QCheckBox* ReversedBox(const char* name, QWidget* client) {
  QCheckBox* box = Placed(new QCheckBox(QStringLiteral("Reverserad?"), client), name);
  box->setAutoFillBackground(true);
  return box;
}

}  // namespace

void TForm1::BuildControls() {
  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("ClientArea"));
  client_->setAutoFillBackground(true);
  setCentralWidget(client_);
  client_->installEventFilter(this);

  Image1 = new QLabel(client_);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setScaledContents(true);  // stretched, proportions not kept
  Image1->setPixmap(QPixmap::fromImage(spelkub::BackgroundPicture()));

  const auto gameName = [](const spelkub::GameRules& game) { return FromUtf8(game.name); };
  const auto text = [](const auto& name) { return FromUtf8(name.text); };
  RadioGroup1 = Placed(new RadioGroup(QStringLiteral("Välj spel"),
                                      Items(spelkub::SelectorGames(), gameName), 1, client_),
                       "RadioGroup1");
  BuildCouponGrid(*this, client_);
  RadioGroup2 = Placed(new RadioGroup(QStringLiteral("Dubbelvinsten?"),
                                      Items(spelkub::kPlus13Names, text), 2, client_),
                       "RadioGroup2");
  ComboBox1 = Placed(new DropDownList(QStringLiteral("Välj antal mål:"),
                                      Items(spelkub::kGoalsNames, text), client_),
                     "ComboBox1");

  Memo1 = Placed(new RowList(RowList::ScrollBars::kBoth, client_), "Memo1");
  Memo1->SetText("Dina Rader:\r\n");
  Button1 = BoldButton(QStringLiteral("Spara Raderna"), "Button1", client_);

  const auto rightText = [](int32_t level) { return QStringLiteral("%1 Rätt").arg(level); };
  ComboBox2 = Placed(new DropDownList(QStringLiteral("Välj Garanti:"),
                                      Items(spelkub::kGuaranteeChoices, rightText), client_),
                     "ComboBox2");
  CheckBox1 = ReversedBox("CheckBox1", client_);
  RadioGroup3 = Placed(new RadioGroup(QStringLiteral("Välj reducering:"),
                                      Items(spelkub::kReductionNames, text), 1, client_),
                       "RadioGroup3");
  const auto number = [](int32_t count) { return QString::number(count); };
  ComboBox3 = Placed(new DropDownList(QStringLiteral("Välj Antal Rader:"),
                                      Items(spelkub::kRowCountChoices, number), client_),
                     "ComboBox3");
  CheckBox2 = ReversedBox("CheckBox2", client_);
  Button2 = BoldButton(QStringLiteral("Generera Rader"), "Button2", client_);

  BuildBars(*this, client_);
  Memo2 = Placed(new RowList(RowList::ScrollBars::kNone, client_), "Memo2");
  BuildCaptions(*this, client_);

  // In the free strip under Label17, clear of the status bar; hidden until
  // conditions are in use.
  Label20 = spelkub::MakeLabel(QStringLiteral("Label20"), QStringLiteral("Villkor:"), 115, 429,
                               client_, spelkub::kPlain, kAqua);
  Label20->hide();

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
