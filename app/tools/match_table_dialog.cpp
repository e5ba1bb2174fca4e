#include "app/tools/match_table_dialog.h"

#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMargins>
#include <QPushButton>
#include <QScrollBar>
#include <QStringDecoder>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "app/qt_text.h"
#include "app/tools/dialog_parts.h"
#include "coupon/games.h"
#include "draw/draw_coupon.h"
#include "io/save_file.h"
#include "value/paste.h"
#include "value/value_model.h"

namespace spelkub::tools {
namespace {

const std::array<QString, kMatchColumnCount> kColumnNames{
    QStringLiteral("Hemma"),       QStringLiteral("Borta"),       QStringLiteral("Odds 1"),
    QStringLiteral("Odds X"),      QStringLiteral("Odds 2"),      QStringLiteral("Chans 1"),
    QStringLiteral("Chans X"),     QStringLiteral("Chans 2"),     QStringLiteral("Streck 1"),
    QStringLiteral("Streck X"),    QStringLiteral("Streck 2"),    QStringLiteral("Spelvärde 1"),
    QStringLiteral("Spelvärde X"), QStringLiteral("Spelvärde 2"), QStringLiteral("Summa chans"),
    QStringLiteral("Summa streck")};

const std::array<QString, kMatchColumnCount> kColumnHeaders{
    QStringLiteral("Hemma"),        QStringLiteral("Borta"),        QStringLiteral("Odds\n1"),
    QStringLiteral("Odds\nX"),      QStringLiteral("Odds\n2"),      QStringLiteral("Chans\n1"),
    QStringLiteral("Chans\nX"),     QStringLiteral("Chans\n2"),     QStringLiteral("Streck\n1"),
    QStringLiteral("Streck\nX"),    QStringLiteral("Streck\n2"),    QStringLiteral("Spelvärde\n1"),
    QStringLiteral("Spelvärde\nX"), QStringLiteral("Spelvärde\n2"), QStringLiteral("Summa\nchans"),
    QStringLiteral("Summa\nstreck")};

// The colours a spreadsheet gives good, bad and doubtful cells.
const QColor kGoodBackground(198, 239, 206);
const QColor kGoodText(0, 97, 0);
const QColor kBadBackground(255, 199, 206);
const QColor kBadText(156, 0, 6);
const QColor kDoubtBackground(255, 235, 156);
const QColor kDoubtText(156, 87, 0);

// Larger files are no table of match values.
constexpr long kMaxImportBytes = 1L << 20;
// The widest the dialog grows: a 1024-pixel screen less a window frame.
constexpr int kWidestDialog = 1000;
// The team names' columns narrow down to this before the table scrolls.
constexpr int kNarrowestName = 60;

bool IsNumberColumn(int column) {
  return column >= kOddsColumn && column < kValueColumn;
}

// The number behind a cell of the odds, chances or streck.
double& ValueAt(MatchValues& values, int match, int column) {
  MatchValue& value = values.match[match];
  if (column < kChanceColumn) return value.odds[column - kOddsColumn];
  if (column < kStreckColumn) return value.chance[column - kChanceColumn];
  return value.streck[column - kStreckColumn];
}

// At most two decimals, with a decimal comma, no trailing zeros; empty for
// no value.
QString NumberText(double value) {
  if (std::isnan(value)) return QString();
  QString text = QString::number(value, 'f', 2);
  while (text.endsWith(QLatin1Char('0'))) text.chop(1);
  if (text.endsWith(QLatin1Char('.'))) text.chop(1);
  if (text == QStringLiteral("-0")) text = QStringLiteral("0");
  return text.replace(QLatin1Char('.'), QLatin1Char(','));
}

// "+3" or "−2" percentage points; "±0" for none.
QString PointsText(double points) {
  if (points == 0) return QStringLiteral("±0");
  return (points > 0 ? QStringLiteral("+") : QStringLiteral("−")) + NumberText(std::abs(points));
}

// How a fetched streck moved, for its cell's tool tip; empty when the coupon's
// streck were not fetched.
QString StreckMoveText(const CouponDocument& document, int match, int sign) {
  const StreckMove move = StreckMoveOf(document, match);
  QStringList parts;
  if (!std::isnan(move.sincePrevious[sign]))
    parts << QStringLiteral("sedan förra hämtningen: %1").arg(PointsText(move.sincePrevious[sign]));
  if (!std::isnan(move.sinceMeasurement[sign])) {
    parts
        << QStringLiteral("sedan förra mätningen: %1").arg(PointsText(move.sinceMeasurement[sign]));
  }
  return parts.isEmpty() ? QString() : QStringLiteral("Streck ") + parts.join(QStringLiteral(", "));
}

// Where the coupon's odds and streck come from, when they were fetched.
QString SnapshotText(const CouponDocument& document) {
  if (document.chosenSnapshot < 0) return {};
  const DrawSnapshot& snapshot = document.snapshots[static_cast<size_t>(document.chosenSnapshot)];
  return QStringLiteral(
             "Odds och streck från %1, hämtade %2 (hämtning %3 av %4). Peka på ett "
             "streck för att se hur det rört sig.")
      .arg(FromUtf8(snapshot.source), FromUtf8(snapshot.time))
      .arg(document.chosenSnapshot + 1)
      .arg(document.snapshots.size());
}

bool Complete(const SignValues& values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

double Sum(const SignValues& values) {
  return values[0] + values[1] + values[2];
}

// Scaled to 100 %, as the value model scales them.
bool Scaled(const SignValues& values) {
  const double sum = Sum(values);
  return !(sum >= 99 && sum <= 101);
}

const PasteTable& TableLayout(int matches) {
  static PasteTable layout;
  if (layout.columns.empty()) {
    for (int column = 0; column < kMatchColumnCount; ++column) {
      layout.columns.push_back(column < kOddsColumn     ? PasteColumn::kText
                               : IsNumberColumn(column) ? PasteColumn::kNumber
                                                        : PasteColumn::kFixed);
      layout.names.push_back(kColumnNames[column].toStdString());
      layout.signGroup.push_back(
          IsNumberColumn(column) ? kOddsColumn + (column - kOddsColumn) / 3 * 3 : -1);
    }
  }
  layout.rows = matches;
  return layout;
}

// A turnover as written: blanks between the thousands allowed. NaN for
// nothing written, nullopt for what is no number.
std::optional<double> ReadTurnover(const QString& text) {
  QString plain = text;
  plain.remove(QLatin1Char(' '));
  plain.remove(QChar(0x00A0));
  plain.remove(QChar(0x202F));
  if (plain.isEmpty()) return kNoValue;
  return ReadPastedNumber(plain.toStdString());
}

std::function<void(MatchTableDialog&)>& Runner() {
  static std::function<void(MatchTableDialog&)> runner;
  return runner;
}

}  // namespace

void MatchTable::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Paste)) {
    emit PasteRequested();
    return;
  }
  if (event->matches(QKeySequence::Copy)) {
    emit CopyRequested();
    return;
  }
  if (state() != EditingState) {
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
      emit ClearRequested();
      return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      MoveDown();
      return;
    }
  }
  QTableWidget::keyPressEvent(event);
}

// Enter in an editor commits the text and moves down, as in a spreadsheet.
void MatchTable::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  const bool enter = hint == QAbstractItemDelegate::SubmitModelCache;
  QTableWidget::closeEditor(editor, enter ? QAbstractItemDelegate::NoHint : hint);
  if (enter) MoveDown();
}

QModelIndex MatchTable::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  const QModelIndex current = currentIndex();
  if ((action != MoveNext && action != MovePrevious) || !current.isValid())
    return QTableWidget::moveCursor(action, modifiers);
  // The computed columns stand after the last one that takes input.
  constexpr int kLastInput = kValueColumn - 1;
  int row = current.row();
  int column = std::min(current.column(), kLastInput + 1);
  if (action == MoveNext) {
    if (column < kLastInput) {
      ++column;
    } else if (row + 1 < rowCount()) {
      ++row;
      column = 0;
    } else {
      return current;  // unmoved: the key goes on to the next widget
    }
  } else if (column > 0) {
    --column;
  } else if (row > 0) {
    --row;
    column = kLastInput;
  } else {
    return current;
  }
  return model()->index(row, column);
}

void MatchTable::MoveDown() {
  if (currentRow() + 1 < rowCount()) setCurrentCell(currentRow() + 1, currentColumn());
}

MatchTableDialog::MatchTableDialog(const CouponDocument& document, Platform& platform,
                                   QWidget* parent)
    : QDialog(parent),
      document_(document),
      platform_(platform),
      matches_(Rules(document.game).matches),
      values_(document.values) {
  setObjectName(QStringLiteral("Matchvardering"));
  setWindowTitle(QStringLiteral("Matchvärdering"));
  setModal(true);

  auto* hint = new QLabel(
      QStringLiteral("Klistra in (Ctrl+V) eller importera vid den markerade cellen: rader "
                     "med tabb eller semikolon mellan talen, eller en rad med tre tal per "
                     "match i odds, chans eller streck. Chanser och streck i procent."),
      this);
  hint->setWordWrap(true);

  table_ = new MatchTable(matches_, kMatchColumnCount, this);
  table_->setObjectName(QStringLiteral("Matcher"));
  QStringList headers;
  for (const QString& header : kColumnHeaders) headers << header;
  table_->setHorizontalHeaderLabels(headers);
  QStringList rows;
  for (int match = 1; match <= matches_; ++match) rows << QString::number(match);
  table_->setVerticalHeaderLabels(rows);
  table_->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                          QAbstractItemView::EditKeyPressed);
  table_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 8);
  for (int match = 0; match < matches_; ++match) ShowMatch(match);
  table_->resizeColumnsToContents();
  for (int column = kOddsColumn; column < kMatchColumnCount; ++column) {
    table_->setColumnWidth(column, std::max(table_->columnWidth(column), 50));
  }
  for (const int column : {kHomeColumn, kAwayColumn}) {
    table_->setColumnWidth(column, std::max(table_->columnWidth(column), 90));
  }
  table_->setCurrentCell(0, kChanceColumn);

  fetched_ = new QLabel(SnapshotText(document_), this);
  fetched_->setObjectName(QStringLiteral("Hamtning"));
  fetched_->setWordWrap(true);
  fetched_->setVisible(document_.chosenSnapshot >= 0);

  scaled_ = new QLabel(this);
  scaled_->setObjectName(QStringLiteral("Omraknade"));
  scaled_->setWordWrap(true);
  ShowScaledNote();
  error_ = NewErrorLabel(QStringLiteral("Fel"), this);

  turnover_ = new QLineEdit(this);
  turnover_->setObjectName(QStringLiteral("Omsattning"));
  const double turnover = document.pool.turnover;
  turnover_->setText(std::isnan(turnover) ? QString() : NumberText(turnover));
  turnover_->setPlaceholderText(QStringLiteral("t.ex. 25000000"));
  oddsToChances_ = new QPushButton(QStringLiteral("Odds → chans"), this);
  oddsToChances_->setObjectName(QStringLiteral("OddsTillChans"));
  oddsToChances_->setAutoDefault(false);
  import_ = new QPushButton(QStringLiteral("Importera..."), this);
  import_->setObjectName(QStringLiteral("Importera"));
  import_->setAutoDefault(false);
  auto* tools = new QHBoxLayout;
  tools->addWidget(oddsToChances_);
  tools->addWidget(import_);
  tools->addStretch(1);
  tools->addWidget(new QLabel(QStringLiteral("Omsättning (kr):"), this));
  tools->addWidget(turnover_);

  // Where the values come from, and what the rows are handed in for.
  snapshot_ = new QComboBox(this);
  snapshot_->setObjectName(QStringLiteral("Underlag"));
  snapshot_->addItem(QStringLiteral("Egna värden"));
  for (const DrawSnapshot& snapshot : document_.snapshots) {
    snapshot_->addItem(
        QStringLiteral("%1, %2").arg(FromUtf8(snapshot.time), FromUtf8(snapshot.source)));
  }
  snapshot_->setCurrentIndex(document_.chosenSnapshot + 1);
  snapshot_->setEnabled(!document_.snapshots.empty());
  oddsMethod_ = new QComboBox(this);
  oddsMethod_->setObjectName(QStringLiteral("Oddsmetod"));
  oddsMethod_->addItem(QStringLiteral("proportionell"));
  oddsMethod_->addItem(QStringLiteral("potens"));
  oddsMethod_->setCurrentIndex(document_.oddsMethod == OddsMethod::kPower ? 1 : 0);
  oddsMethod_->setToolTip(
      QStringLiteral("Proportionell: marginalen tas bort i proportion till 1/odds. Potens: "
                     "(1/odds)^k med k så att summan blir 1, som rättar favoriternas "
                     "undervärdering."));
  draw_ = new QLineEdit(this);
  draw_->setObjectName(QStringLiteral("Omgang"));
  draw_->setMaxLength(6);
  draw_->setMaximumWidth(draw_->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 16);
  if (const int32_t draw = CouponDraw(document_); draw > 0) draw_->setText(QString::number(draw));
  auto* ticket = new QHBoxLayout;
  ticket->addWidget(new QLabel(QStringLiteral("Underlag:"), this));
  ticket->addWidget(snapshot_, 1);
  ticket->addWidget(new QLabel(QStringLiteral("Oddsmetod:"), this));
  ticket->addWidget(oddsMethod_);
  ticket->addStretch(1);
  ticket->addWidget(new QLabel(QStringLiteral("Omgång:"), this));
  ticket->addWidget(draw_);
  const GameRules& rules = Rules(document_.game);
  if (!rules.stakes.empty()) {
    stake_ = new QComboBox(this);
    stake_->setObjectName(QStringLiteral("Insats"));
    for (const int stake : rules.stakes) {
      stake_->addItem(QStringLiteral("%1 kr").arg(stake), stake);
      if (stake == document_.stake) stake_->setCurrentIndex(stake_->count() - 1);
    }
    ticket->addWidget(new QLabel(QStringLiteral("Insats per rad:"), this));
    ticket->addWidget(stake_);
  }

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("OK"));
  ok->setAutoDefault(false);
  QPushButton* cancel = buttons->addButton(QStringLiteral("Avbryt"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("Avbryt"));
  cancel->setAutoDefault(false);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(hint);
  layout->addWidget(table_, 1);
  layout->addWidget(fetched_);
  layout->addWidget(scaled_);
  layout->addWidget(error_);
  layout->addLayout(tools);
  layout->addLayout(ticket);
  layout->addWidget(buttons);
  // Wide enough for every column, so the sums are never scrolled away, in a
  // dialog that fits a screen 1024 pixels wide with its frame: the team names
  // give way first; only a table that is still too wide then scrolls.
  const auto tableWidth = [this] {
    return table_->verticalHeader()->sizeHint().width() + table_->horizontalHeader()->length() +
           2 * table_->frameWidth() + table_->verticalScrollBar()->sizeHint().width();
  };
  const QMargins margins = layout->contentsMargins();
  const int room = kWidestDialog - margins.left() - margins.right();
  while (tableWidth() > room && table_->columnWidth(kHomeColumn) > kNarrowestName) {
    for (const int column : {kHomeColumn, kAwayColumn}) {
      table_->setColumnWidth(column, table_->columnWidth(column) - 1);
    }
  }
  table_->setMinimumWidth(std::min(tableWidth(), room));
  resize(minimumSizeHint().width(), 560);

  // After the table, left to right as they stand.
  setTabOrder(table_, oddsToChances_);
  setTabOrder(oddsToChances_, import_);
  setTabOrder(import_, turnover_);
  setTabOrder(turnover_, snapshot_);
  setTabOrder(snapshot_, oddsMethod_);
  setTabOrder(oddsMethod_, draw_);
  QWidget* last = draw_;
  if (stake_ != nullptr) {
    setTabOrder(draw_, stake_);
    last = stake_;
  }
  setTabOrder(last, ok);
  setTabOrder(ok, cancel);

  connect(table_, &QTableWidget::itemChanged, this, &MatchTableDialog::CellEdited);
  connect(table_, &MatchTable::PasteRequested, this,
          [this] { PasteText(QGuiApplication::clipboard()->text()); });
  connect(table_, &MatchTable::CopyRequested, this, &MatchTableDialog::Copy);
  connect(table_, &MatchTable::ClearRequested, this, &MatchTableDialog::ClearSelectedCells);
  connect(oddsToChances_, &QPushButton::clicked, this, &MatchTableDialog::OddsToChances);
  connect(import_, &QPushButton::clicked, this, &MatchTableDialog::Import);
  connect(snapshot_, &QComboBox::activated, this, &MatchTableDialog::SnapshotChosen);
  connect(oddsMethod_, &QComboBox::activated, this, &MatchTableDialog::OddsMethodChosen);
  connect(buttons, &QDialogButtonBox::accepted, this, &MatchTableDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &MatchTableDialog::reject);
}

double MatchTableDialog::Turnover() const {
  return ReadTurnover(turnover_->text()).value_or(kNoValue);
}

CouponDocument MatchTableDialog::Edited() const {
  CouponDocument edited = document_;
  edited.values = values_;
  edited.pool.turnover = Turnover();
  // The draw typed, kept as the coupon's own unless it is the chosen
  // snapshot's, which the coupon follows anyway.
  CouponDocument snapshotOnly = document_;
  snapshotOnly.draw = 0;
  bool number = false;
  const int draw = draw_->text().trimmed().toInt(&number);
  edited.draw = number && draw != CouponDraw(snapshotOnly) ? draw : 0;
  if (stake_ != nullptr) edited.stake = stake_->currentData().toInt();
  return edited;
}

void MatchTableDialog::SnapshotChosen(int item) {
  if (item == document_.chosenSnapshot + 1) return;
  document_.values = values_;
  if (item <= 0) {
    document_.chosenSnapshot = -1;
  } else {
    const int32_t ownDraw = CouponDraw(document_);
    ChooseSnapshot(document_, item - 1);
    values_ = document_.values;
    for (int match = 0; match < matches_; ++match) {
      chancesFromOdds_[match] = std::isfinite(values_.match[match].odds[0]);
      ShowMatch(match);
    }
    const double turnover = document_.pool.turnover;
    turnover_->setText(std::isnan(turnover) ? QString() : NumberText(turnover));
    // The draw shown follows the snapshot unless the player typed another.
    if (draw_->text().trimmed() == (ownDraw > 0 ? QString::number(ownDraw) : QString())) {
      draw_->setText(QString::number(document_.snapshots[static_cast<size_t>(item - 1)].draw));
    }
  }
  fetched_->setText(SnapshotText(document_));
  fetched_->setVisible(document_.chosenSnapshot >= 0);
  ShowScaledNote();
  ShowError(QString());
}

void MatchTableDialog::OddsMethodChosen(int item) {
  const OddsMethod method = item == 1 ? OddsMethod::kPower : OddsMethod::kProportional;
  if (method == document_.oddsMethod) return;
  document_.oddsMethod = method;
  // Chances the odds gave follow the method; the player's own stay.
  MatchValues one;
  for (int match = 0; match < matches_; ++match) {
    if (!chancesFromOdds_[match]) continue;
    one.match[0].odds = values_.match[match].odds;
    const std::optional<SignTable> chances =
        spelkub::OddsToChances(one, 1, nullptr, document_.oddsMethod);
    if (!chances) continue;
    for (int sign = 0; sign < 3; ++sign) {
      values_.match[match].chance[sign] = (*chances)[0][sign] * 100;
    }
    ShowMatch(match);
  }
  ShowScaledNote();
}

void MatchTableDialog::ShowMatch(int match) {
  const bool wasShowing = showing_;
  showing_ = true;
  const MatchValue& value = values_.match[match];
  for (int column = 0; column < kMatchColumnCount; ++column) {
    QTableWidgetItem* item = table_->item(match, column);
    if (item == nullptr) {
      item = new QTableWidgetItem;
      if (column >= kOddsColumn) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      if (column >= kValueColumn) item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      table_->setItem(match, column, item);
    }
    if (column == kHomeColumn) item->setText(FromUtf8(value.home));
    if (column == kAwayColumn) item->setText(FromUtf8(value.away));
    if (IsNumberColumn(column)) {
      const double number = ValueAt(values_, match, column);
      // Odds are written with two decimals wherever they are offered.
      item->setText(
          column < kChanceColumn && !std::isnan(number)
              ? QString::number(number, 'f', 2).replace(QLatin1Char('.'), QLatin1Char(','))
              : NumberText(number));
    }
    if (column >= kStreckColumn && column < kStreckColumn + 3)
      item->setToolTip(StreckMoveText(document_, match + 1, column - kStreckColumn));
  }
  ShowComputed(match);
  showing_ = wasShowing;
}

void MatchTableDialog::ShowComputed(int match) {
  const MatchValue& value = values_.match[match];
  const auto paint = [](QTableWidgetItem* item, const QColor& background, const QColor& text) {
    item->setBackground(background.isValid() ? QBrush(background) : QBrush());
    item->setForeground(text.isValid() ? QBrush(text) : QBrush());
  };
  const auto showSum = [&](int column, const SignValues& signs) {
    QTableWidgetItem* item = table_->item(match, column);
    const bool complete = Complete(signs);
    item->setText(complete ? NumberText(Sum(signs)) : QString());
    if (complete && Scaled(signs)) {
      paint(item, kDoubtBackground, kDoubtText);
    } else {
      paint(item, QColor(), QColor());
    }
  };
  showSum(kChanceSumColumn, value.chance);
  showSum(kStreckSumColumn, value.streck);

  const bool known = Complete(value.chance) && Complete(value.streck) && Sum(value.chance) > 0 &&
                     Sum(value.streck) > 0;
  for (int sign = 0; sign < 3; ++sign) {
    QTableWidgetItem* item = table_->item(match, kValueColumn + sign);
    QString text;
    int verdict = 0;  // above 100 %: 1, below: -1
    if (known) {
      const double p = value.chance[sign] / Sum(value.chance);
      const double q = value.streck[sign] / Sum(value.streck);
      if (q > 0) {
        const double percent = std::round(p / q * 100);
        text = QStringLiteral("%1 %").arg(percent, 0, 'f', 0);
        verdict = percent > 100 ? 1 : percent < 100 ? -1 : 0;
      } else if (p > 0) {
        text = QStringLiteral("∞");
        verdict = 1;
      }
    }
    item->setText(text);
    if (verdict > 0) {
      paint(item, kGoodBackground, kGoodText);
    } else if (verdict < 0) {
      paint(item, kBadBackground, kBadText);
    } else {
      paint(item, QColor(), QColor());
    }
  }
}

void MatchTableDialog::ShowScaledNote() {
  QStringList chance;
  QStringList streck;
  for (int match = 0; match < matches_; ++match) {
    const MatchValue& value = values_.match[match];
    if (Complete(value.chance) && Scaled(value.chance)) chance << QString::number(match + 1);
    if (Complete(value.streck) && Scaled(value.streck)) streck << QString::number(match + 1);
  }
  QStringList parts;
  if (!chance.isEmpty())
    parts << QStringLiteral("chans i match ") + chance.join(QStringLiteral(", "));
  if (!streck.isEmpty())
    parts << QStringLiteral("streck i match ") + streck.join(QStringLiteral(", "));
  scaled_->setText(parts.isEmpty()
                       ? QString()
                       : QStringLiteral("Summan är inte 100 %, räknas om till 100 %: ") +
                             parts.join(QStringLiteral("; ")) + QStringLiteral("."));
  scaled_->setVisible(!parts.isEmpty());
}

void MatchTableDialog::ShowError(const QString& text) {
  error_->setText(text);
  error_->setVisible(!text.isEmpty());
}

void MatchTableDialog::CellEdited(QTableWidgetItem* item) {
  if (showing_) return;
  const int match = item->row();
  const int column = item->column();
  if (match < 0 || match >= matches_) return;
  const QString text = item->text().trimmed();
  if (column == kHomeColumn || column == kAwayColumn) {
    (column == kHomeColumn ? values_.match[match].home : values_.match[match].away) =
        text.toStdString();
  } else if (IsNumberColumn(column)) {
    std::optional<double> number = kNoValue;
    if (!text.isEmpty()) number = ReadPastedNumber(text.toStdString());
    if (!number) {
      ShowMatch(match);
      ShowError(QStringLiteral("Match %1, %2: \"%3\" är inget tal som kan stå här")
                    .arg(match + 1)
                    .arg(kColumnNames[column], text));
      return;
    }
    ValueAt(values_, match, column) = *number;
  } else {
    return;
  }
  ShowError(QString());
  if (IsNumberColumn(column)) NumberWritten(match, column);
  ShowMatch(match);
  ShowScaledNote();
}

void MatchTableDialog::NumberWritten(int match, int column) {
  if (column >= kChanceColumn) {
    if (column < kChanceColumn + 3) chancesFromOdds_[match] = false;
    return;
  }
  if (!chancesFromOdds_[match]) return;
  MatchValues one;
  one.match[0].odds = values_.match[match].odds;
  const std::optional<SignTable> chances = spelkub::OddsToChances(one, 1, nullptr);
  for (int sign = 0; sign < 3; ++sign)
    values_.match[match].chance[sign] = chances ? (*chances)[0][sign] * 100 : kNoValue;
  if (!chances) {
    chancesFromOdds_[match] = false;
    ShowError(QStringLiteral("Chansen i match %1 kom från oddsen och är tömd: oddsen är inte "
                             "kompletta")
                  .arg(match + 1));
  }
}

bool MatchTableDialog::PasteText(const QString& text) {
  std::string error;
  const std::optional<std::vector<PastedCell>> cells =
      PasteCells(text.toStdString(), TableLayout(matches_), table_->currentRow(),
                 table_->currentColumn(), &error);
  if (!cells) {
    ShowError(FromUtf8(error));
    return false;
  }
  int top = matches_;
  int left = kMatchColumnCount;
  int bottom = -1;
  int right = -1;
  for (const PastedCell& cell : *cells) {
    MatchValue& value = values_.match[cell.row];
    if (cell.column == kHomeColumn) value.home = cell.text;
    if (cell.column == kAwayColumn) value.away = cell.text;
    if (IsNumberColumn(cell.column)) ValueAt(values_, cell.row, cell.column) = cell.number;
    top = std::min(top, cell.row);
    bottom = std::max(bottom, cell.row);
    left = std::min(left, cell.column);
    right = std::max(right, cell.column);
  }
  ShowError(QString());
  for (const PastedCell& cell : *cells) {
    if (IsNumberColumn(cell.column) && cell.column >= kChanceColumn)
      NumberWritten(cell.row, cell.column);
  }
  for (const PastedCell& cell : *cells) {
    if (IsNumberColumn(cell.column) && cell.column < kChanceColumn)
      NumberWritten(cell.row, cell.column);
  }
  for (int match = top; match <= bottom; ++match) ShowMatch(match);
  table_->clearSelection();
  if (bottom >= 0) {
    table_->setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
  }
  ShowScaledNote();
  return true;
}

void MatchTableDialog::OddsToChances() {
  std::string error;
  const std::optional<SignTable> chances =
      spelkub::OddsToChances(values_, matches_, &error, document_.oddsMethod);
  if (!chances) {
    ShowError(FromUtf8(error));
    return;
  }
  for (int match = 0; match < matches_; ++match) {
    for (int sign = 0; sign < 3; ++sign) {
      values_.match[match].chance[sign] = (*chances)[match][sign] * 100;
    }
    chancesFromOdds_[match] = true;
    ShowMatch(match);
  }
  ShowScaledNote();
  ShowError(QString());
}

void MatchTableDialog::Import() {
  const std::optional<QString> path =
      platform_.ChooseOpenFile(QString(), QStringLiteral("Tabell (*.csv *.txt)"));
  if (!path) return;
  const QString shown = QStringLiteral("Kan inte läsa \"%1\": ").arg(*path);
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
      std::fopen(QFile::encodeName(*path).constData(), "rb"), &std::fclose);
  if (!file) {
    ShowError(shown + FromUtf8(ReadErrorReason(errno)));
    return;
  }
  QByteArray bytes;
  char buffer[8192];
  size_t read = 0;
  while ((read = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
    bytes.append(buffer, static_cast<qsizetype>(read));
    if (bytes.size() > kMaxImportBytes) {
      ShowError(shown + QStringLiteral("filen är för stor för en tabell (över 1 MiB)"));
      return;
    }
  }
  if (std::ferror(file.get())) {
    ShowError(shown + FromUtf8(ReadErrorReason(EIO)));
    return;
  }
  // Spreadsheets on Windows save CSV in their 8-bit code page.
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8(bytes);
  if (utf8.hasError()) text = QString::fromLatin1(bytes);
  PasteText(text);
}

void MatchTableDialog::Copy() {
  const QList<QTableWidgetSelectionRange> ranges = table_->selectedRanges();
  if (ranges.isEmpty()) return;
  const QTableWidgetSelectionRange& range = ranges.first();
  QStringList lines;
  for (int row = range.topRow(); row <= range.bottomRow(); ++row) {
    QStringList cells;
    for (int column = range.leftColumn(); column <= range.rightColumn(); ++column) {
      cells << table_->item(row, column)->text();
    }
    lines << cells.join(QLatin1Char('\t'));
  }
  QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void MatchTableDialog::ClearSelectedCells() {
  for (const QTableWidgetSelectionRange& range : table_->selectedRanges()) {
    for (int row = range.topRow(); row <= range.bottomRow(); ++row) {
      for (int column = range.leftColumn(); column <= range.rightColumn(); ++column) {
        if (column == kHomeColumn) values_.match[row].home.clear();
        if (column == kAwayColumn) values_.match[row].away.clear();
        if (IsNumberColumn(column)) {
          ValueAt(values_, row, column) = kNoValue;
          NumberWritten(row, column);
        }
      }
      ShowMatch(row);
    }
  }
  ShowScaledNote();
}

void MatchTableDialog::accept() {
  const std::optional<double> turnover = ReadTurnover(turnover_->text());
  if (!turnover) {
    ShowError(QStringLiteral("Omsättningen: \"%1\" är inget tal").arg(turnover_->text().trimmed()));
    return;
  }
  if (!std::isnan(*turnover) && *turnover <= 0) {
    ShowError(QStringLiteral("Omsättningen måste vara större än 0"));
    return;
  }
  const QString draw = draw_->text().trimmed();
  bool number = false;
  const int drawNumber = draw.toInt(&number);
  if (!draw.isEmpty() && (!number || drawNumber < 1 || drawNumber > kMostDraw)) {
    ShowError(QStringLiteral("Omgången ska vara ett heltal från 1 till %1").arg(kMostDraw));
    return;
  }
  CouponDocument edited = Edited();
  edited.pool.turnover = *turnover;
  const std::string problem = CouponDocumentProblem(edited);
  if (!problem.empty()) {
    ShowError(FromUtf8(problem));
    return;
  }
  QDialog::accept();
}

bool EditMatchValues(CouponDocument& document, Platform& platform, QWidget* parent) {
  MatchTableDialog dialog(document, platform, parent);
  if (Runner()) {
    Runner()(dialog);
  } else {
    dialog.exec();
  }
  if (dialog.result() != QDialog::Accepted) return false;
  document = dialog.Edited();
  return true;
}

void SetMatchTableRunner(std::function<void(MatchTableDialog& dialog)> runner) {
  Runner() = std::move(runner);
}

}  // namespace spelkub::tools
