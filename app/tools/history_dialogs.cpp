#include "app/tools/history_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/qt_text.h"
#include "app/tools/dialog_parts.h"
#include "coupon/games.h"
#include "draw/draw_service.h"
#include "handin/handin.h"
#include "history/history_database.h"
#include "io/save_file.h"
#include "net/draw_client.h"
#include "text/coupon_reader.h"

namespace spelkub::tools {

// The cumulative net of the settled coupons, and beside it what the value
// model expected, in kronor over the coupons in date order.
class ReturnChart : public QWidget {
 public:
  explicit ReturnChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Avkastning"));
    setMinimumSize(300, 160);
  }
  void SetPoints(std::vector<ReturnPoint> points) {
    points_ = std::move(points);
    update();
  }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QRectF area = QRectF(rect()).adjusted(56, 10, -10, -24);
    painter.setPen(palette().text().color());
    if (points_.empty()) {
      painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Ingen rättad kupong ännu."));
      return;
    }
    int64_t low = 0;
    int64_t high = 0;
    for (const ReturnPoint& point : points_) {
      low = std::min({low, point.net, point.expectedNet.value_or(0)});
      high = std::max({high, point.net, point.expectedNet.value_or(0)});
    }
    if (high == low) high = low + 100;
    const auto x = [&](size_t i) {
      return points_.size() == 1 ? area.center().x()
                                 : area.left() + area.width() * static_cast<double>(i) /
                                                     static_cast<double>(points_.size() - 1);
    };
    const auto y = [&](int64_t ore) {
      return area.bottom() -
             area.height() * static_cast<double>(ore - low) / static_cast<double>(high - low);
    };
    painter.setPen(QPen(palette().mid().color(), 1, Qt::DashLine));
    painter.drawLine(QPointF(area.left(), y(0)), QPointF(area.right(), y(0)));
    painter.setPen(palette().text().color());
    painter.drawText(QRectF(0, y(high) - 8, 52, 16), Qt::AlignRight | Qt::AlignVCenter,
                     QString::number(high / 100));
    painter.drawText(QRectF(0, y(low) - 8, 52, 16), Qt::AlignRight | Qt::AlignVCenter,
                     QString::number(low / 100));
    painter.drawText(QRectF(0, y(0) - 8, 52, 16), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("0 kr"));
    QPainterPath net;
    QPainterPath expected;
    bool expectedStarted = false;
    for (size_t i = 0; i < points_.size(); ++i) {
      const QPointF at(x(i), y(points_[i].net));
      i == 0 ? net.moveTo(at) : net.lineTo(at);
      if (points_[i].expectedNet) {
        const QPointF there(x(i), y(*points_[i].expectedNet));
        expectedStarted ? expected.lineTo(there) : expected.moveTo(there);
        expectedStarted = true;
      }
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 90, 170), 2));
    painter.drawPath(net);
    painter.setPen(QPen(QColor(200, 120, 0), 2, Qt::DashLine));
    painter.drawPath(expected);
    painter.setPen(QColor(0, 90, 170));
    painter.drawText(QRectF(area.left(), area.bottom() + 4, area.width() / 2, 18), Qt::AlignLeft,
                     QStringLiteral("— Netto"));
    painter.setPen(QColor(200, 120, 0));
    painter.drawText(QRectF(area.center().x(), area.bottom() + 4, area.width() / 2, 18),
                     Qt::AlignLeft, QStringLiteral("- - Väntat"));
  }

 private:
  std::vector<ReturnPoint> points_;
};

namespace {

QString Kronor(int64_t ore) {
  return FromUtf8(history::KronorText(ore));
}

QPushButton* NewButton(const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(text);
  return button;
}

QComboBox* NewGameBox(QWidget* parent, bool all) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QStringLiteral("Spel"));
  if (all) box->addItem(QStringLiteral("Alla spel"), -1);
  for (const GameRules& rules : kGames) {
    if (!rules.handInProduct.empty() || all) box->addItem(FromUtf8(rules.name), rules.game);
  }
  return box;
}

std::optional<std::string> DatabasePathOf(const ToolHost& host, std::string_view caption) {
  const QString path = host.platform.HistoryPath();
  if (path.isEmpty()) {
    host.platform.ShowMessage(QStringLiteral("Hittar ingen plats för historiken."),
                              FromUtf8(caption));
    return std::nullopt;
  }
  return QFile::encodeName(path).toStdString();
}

}  // namespace

RecordDialog::RecordDialog(RecordInput input, std::string databasePath, bool offer, QWidget* parent)
    : WorkerDialog(parent), input_(std::move(input)), databasePath_(std::move(databasePath)) {
  setWindowTitle(FromUtf8(kRecordCaption));
  auto* layout = new QVBoxLayout(this);
  const int64_t price = input_.rowPriceOre.value_or(RowPriceOre(Rules(input_.game)));
  auto* what = new QLabel(
      QStringLiteral("%1 %2 för %3.%4")
          .arg(FromUtf8(Rules(input_.game).name),
               RowCount(static_cast<int64_t>(input_.rows.size())),
               Kronor(price * static_cast<int64_t>(input_.rows.size())),
               offer ? QStringLiteral(" Bokför kupongen som spelad i Mina omgångar?") : QString()),
      this);
  what->setWordWrap(true);
  layout->addWidget(what);
  auto* form = new QFormLayout;
  draw_ = new QSpinBox(this);
  draw_->setObjectName(QStringLiteral("Omgång"));
  draw_->setRange(0, 99999999);
  draw_->setSpecialValueText(QStringLiteral("ange"));
  draw_->setValue(static_cast<int>(input_.draw));
  form->addRow(QStringLiteral("Omgång:"), draw_);
  close_ = new QLineEdit(FromUtf8(input_.closeTime), this);
  close_->setObjectName(QStringLiteral("Spelstopp"));
  close_->setPlaceholderText(QStringLiteral("t.ex. 2026-12-12T15:59 (frivilligt)"));
  form->addRow(QStringLiteral("Spelstopp:"), close_);
  layout->addLayout(form);
  if (offer) {
    remember_ = new QCheckBox(QStringLiteral("Kom ihåg mitt val"), this);
    remember_->setObjectName(QStringLiteral("Kom ihåg mitt val"));
    layout->addWidget(remember_);
  }
  bar_->hide();
  layout->addWidget(bar_);
  status_->hide();
  layout->addWidget(status_);
  error_ = NewErrorLabel(QStringLiteral("Fel"), this);
  layout->addWidget(error_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  record_ = NewButton(QStringLiteral("Bokför"), this);
  record_->setDefault(true);
  if (offer) {
    cancel_->setText(QStringLiteral("Bokför inte"));
    cancel_->setObjectName(QStringLiteral("Bokför inte"));
  }
  buttons->addWidget(record_);
  buttons->addWidget(cancel_);
  layout->addLayout(buttons);
  // The question wraps: without a width of its own the dialog would shrink
  // the buttons below their text.
  setMinimumWidth(std::max(sizeHint().width(), what->fontMetrics().averageCharWidth() * 44));
  connect(record_, &QPushButton::clicked, this, &RecordDialog::Record);
}

RecordDialog::~RecordDialog() {
  JoinWorker();  // before the input it reads goes away
}

bool RecordDialog::Remember() const {
  return remember_ != nullptr && remember_->isChecked();
}

void RecordDialog::CancelPressed() {
  if (Running()) {
    Stop();
    return;
  }
  declined_ = true;
  reject();
}

void RecordDialog::ShowError(const QString& text) {
  error_->setText(text);
  error_->show();
}

void RecordDialog::Record() {
  if (Running()) return;
  if (draw_->value() < 1) {
    ShowError(QStringLiteral("Ange omgångens nummer."));
    return;
  }
  input_.draw = draw_->value();
  input_.closeTime = close_->text().trimmed().toStdString();
  record_->setEnabled(false);
  draw_->setEnabled(false);
  close_->setEnabled(false);
  cancel_->setText(QStringLiteral("Avbryt"));
  cancel_->setObjectName(QStringLiteral("Avbryt"));
  bar_->show();
  status_->show();
  error_->hide();
  Run(
      [this](const Work& work) {
        history::Database database(databasePath_);
        outcome_ = RecordPlayed(database, input_, work);
      },
      QStringLiteral("Bokför..."));
}

void RecordDialog::Finished() {
  bar_->hide();
  status_->hide();
  record_->setEnabled(true);
  draw_->setEnabled(true);
  close_->setEnabled(true);
  if (!Failure().empty() || (!outcome_.value && !outcome_.refusal.text.empty())) {
    refused_ = Failure().empty() ? outcome_.refusal.text : Failure();
    ShowError(FromUtf8(refused_));
    return;
  }
  if (!outcome_.value) {  // stopped: nothing was recorded
    ShowError(QStringLiteral("Avbrutet: kupongen är inte bokförd."));
    return;
  }
  result_ = outcome_.value;
  accept();
}

SettleDialog::SettleDialog(std::string databasePath, int32_t game, std::string apiBase,
                           QWidget* parent)
    : WorkerDialog(parent), databasePath_(std::move(databasePath)), apiBase_(std::move(apiBase)) {
  setWindowTitle(FromUtf8(kSettleCaption));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  game_ = NewGameBox(this, false);
  game_->setCurrentIndex(std::max(0, game_->findData(game)));
  form->addRow(QStringLiteral("Spel:"), game_);
  draw_ = new QSpinBox(this);
  draw_->setObjectName(QStringLiteral("Omgång"));
  draw_->setRange(1, 9'999'999);
  form->addRow(QStringLiteral("Omgång:"), draw_);
  result_ = new QLineEdit(this);
  result_->setObjectName(QStringLiteral("Resultat"));
  result_->setPlaceholderText(QStringLiteral("1X21X21X21X21"));
  form->addRow(QStringLiteral("Rätt rad:"), result_);
  payouts_ = new QLineEdit(this);
  payouts_->setObjectName(QStringLiteral("Utdelning"));
  payouts_->setPlaceholderText(QStringLiteral("13=125000 12=1400 11=95 10=18 (kr per rad)"));
  form->addRow(QStringLiteral("Utdelning:"), payouts_);
  layout->addLayout(form);
  bar_->hide();
  layout->addWidget(bar_);
  status_->setWordWrap(false);
  layout->addWidget(status_);
  error_ = NewErrorLabel(QStringLiteral("Fel"), this);
  layout->addWidget(error_);
  report_ = new QPlainTextEdit(this);
  report_->setObjectName(QStringLiteral("Rapport"));
  report_->setReadOnly(true);
  report_->setMinimumSize(520, 160);
  layout->addWidget(report_);
  auto* buttons = new QHBoxLayout;
  fetch_ = NewButton(QStringLiteral("Hämta resultat"), this);
  fetch_->setAutoDefault(false);
  cancel_->hide();
  buttons->addWidget(fetch_);
  buttons->addWidget(cancel_);
  buttons->addStretch();
  settle_ = NewButton(QStringLiteral("Rätta"), this);
  settle_->setDefault(true);
  auto* close = NewButton(QStringLiteral("Stäng"), this);
  close->setAutoDefault(false);
  buttons->addWidget(settle_);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  connect(settle_, &QPushButton::clicked, this, &SettleDialog::Settle);
  connect(fetch_, &QPushButton::clicked, this, &SettleDialog::Fetch);
  connect(game_, &QComboBox::currentIndexChanged, this, &SettleDialog::UpdateFetchButton);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  UpdateFetchButton();
}

SettleDialog::~SettleDialog() {
  JoinWorker();
}

QString SettleDialog::ReportText() const {
  return report_->toPlainText();
}

void SettleDialog::CancelPressed() {
  Stop();
  status_->setText(QStringLiteral("Avbryter..."));
}

void SettleDialog::UpdateFetchButton() {
  const DrawProduct* product = DrawProductOf(Rules(game_->currentData().toInt()).option);
  fetch_->setEnabled(!Running() && product != nullptr);
  fetch_->setToolTip(product != nullptr
                         ? QString()
                         : QStringLiteral("Omgångstjänsten har inga resultat för spelet."));
}

void SettleDialog::SetBusy(bool busy) {
  game_->setEnabled(!busy);
  draw_->setEnabled(!busy);
  result_->setEnabled(!busy);
  payouts_->setEnabled(!busy);
  settle_->setEnabled(!busy);
  bar_->setVisible(busy && job_ == Job::kFetch);
  cancel_->setVisible(busy && job_ == Job::kFetch);
  UpdateFetchButton();
  if (busy) fetch_->setEnabled(false);
}

void SettleDialog::ShowError(const std::string& text) {
  error_->setText(FromUtf8(text));
  error_->show();
}

void SettleDialog::Fetch() {
  if (Running()) return;
  const int32_t game = game_->currentData().toInt();
  const DrawProduct* product = DrawProductOf(Rules(game).option);
  if (product == nullptr) return;
  const int draw = draw_->value();
  error_->hide();
  job_ = Job::kFetch;
  SetBusy(true);
  Run(
      [this, product, game, draw](const Work& work) {
        net::FetchOptions options;
        options.stopRequested = [&work] { return work.Stopped(); };
        const net::Fetched<DrawResult> read =
            net::FetchDrawResult(apiBase_, *product, draw, MatchesInPlay(game), options);
        fetched_ =
            read.value
                ? OutcomeOfFetchedResult(*read.value, game, ResultAddress(apiBase_, *product, draw))
                : Refusable<history::DrawOutcome>::Refused(read.error, kSettleCaption);
      },
      QStringLiteral("Hämtar resultatet för omgång %1...").arg(draw), Bar::kBusy);
}

namespace {

// An official payout as ParsePayouts reads it back: "12345" or "12345,50".
QString PayoutAmount(int64_t ore) {
  QString text = QString::number(ore / 100);
  if (ore % 100 != 0) text += QStringLiteral(",%1").arg(ore % 100, 2, 10, QLatin1Char('0'));
  return text;
}

}  // namespace

void SettleDialog::FinishFetch() {
  if (Cancelled()) {
    status_->setText(QStringLiteral("Avbrutet."));
    return;
  }
  status_->clear();
  if (!Failure().empty()) {
    ShowError(Failure());
    return;
  }
  if (!fetched_.value) {
    ShowError(fetched_.refusal.text);
    return;
  }
  fetchedOutcome_ = std::move(fetched_.value);
  QStringList payouts;
  for (const history::LevelPayout& level : fetchedOutcome_->payouts)
    payouts << QStringLiteral("%1=%2").arg(level.correct).arg(PayoutAmount(level.amountOre));
  fetchedResultText_ = FromUtf8(history::SignsText(fetchedOutcome_->signs));
  fetchedPayoutText_ = payouts.join(QLatin1Char(' '));
  result_->setText(fetchedResultText_);
  payouts_->setText(fetchedPayoutText_);
  status_->setText(QStringLiteral("Resultatet hämtat: tryck Rätta."));
}

void SettleDialog::Settle() {
  if (Running()) return;
  const int32_t game = game_->currentData().toInt();
  std::optional<history::DrawOutcome> outcome;
  // A fetched result settles as fetched while its fields are left as filled.
  if (fetchedOutcome_ && fetchedOutcome_->game == game && fetchedOutcome_->draw == draw_->value() &&
      result_->text() == fetchedResultText_ && payouts_->text() == fetchedPayoutText_) {
    outcome = fetchedOutcome_;
  } else {
    const Refusable<std::vector<int>> signs = ParseDrawSigns(result_->text().toStdString(), game);
    const Refusable<std::vector<history::LevelPayout>> payouts =
        ParsePayouts(payouts_->text().toStdString(), game);
    const Refusal* refusal = !signs.value     ? &signs.refusal
                             : !payouts.value ? &payouts.refusal
                                              : nullptr;
    if (refusal != nullptr) {
      ShowError(refusal->text);
      return;
    }
    outcome = history::DrawOutcome{game, draw_->value(), *signs.value, *payouts.value, "inskrivet"};
  }
  error_->hide();
  job_ = Job::kSettle;
  SetBusy(true);
  Run(
      [this, outcome = *outcome](const Work&) {
        history::Database database(databasePath_);
        outcome_ = SettlePlayed(database, outcome);
      },
      QString());
}

void SettleDialog::Finished() {
  const Job job = std::exchange(job_, Job::kNone);
  SetBusy(false);
  if (job == Job::kFetch) {
    FinishFetch();
    return;
  }
  const std::string failure =
      !Failure().empty() ? Failure() : (outcome_.value ? std::string() : outcome_.refusal.text);
  if (!failure.empty()) {
    ShowError(failure);
    return;
  }
  report_->setPlainText(FromUtf8(outcome_.value->text));
}

HistoryDialog::HistoryDialog(std::string databasePath, Platform& platform, QWidget* parent)
    : QDialog(parent), databasePath_(std::move(databasePath)), platform_(platform) {
  setWindowTitle(FromUtf8(kHistoryCaption));
  auto* layout = new QVBoxLayout(this);
  auto* filters = new QHBoxLayout;
  game_ = NewGameBox(this, true);
  period_ = new QComboBox(this);
  period_->setObjectName(QStringLiteral("Period"));
  period_->addItems({QStringLiteral("Hela tiden"), QStringLiteral("Senaste 30 dagarna"),
                     QStringLiteral("Senaste 12 månaderna"), QStringLiteral("I år")});
  filters->addWidget(new QLabel(QStringLiteral("Spel:"), this));
  filters->addWidget(game_);
  filters->addWidget(new QLabel(QStringLiteral("Period:"), this));
  filters->addWidget(period_);
  filters->addStretch();
  layout->addLayout(filters);
  auto* body = new QHBoxLayout;
  table_ = new QTableWidget(0, 7, this);
  table_->setObjectName(QStringLiteral("Omgångar"));
  table_->setHorizontalHeaderLabels({QStringLiteral("Datum"), QStringLiteral("Spel"),
                                     QStringLiteral("Omgång"), QStringLiteral("Rader"),
                                     QStringLiteral("Insats"), QStringLiteral("Vinst"),
                                     QStringLiteral("Avkastning")});
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setMinimumWidth(560);
  body->addWidget(table_, 3);
  chart_ = new ReturnChart(this);
  body->addWidget(chart_, 2);
  layout->addLayout(body);
  totals_ = new QLabel(this);
  totals_->setObjectName(QStringLiteral("Summa"));
  totals_->setWordWrap(true);
  layout->addWidget(totals_);
  error_ = NewErrorLabel(QStringLiteral("Fel"), this);
  layout->addWidget(error_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* exportButton = NewButton(QStringLiteral("Exportera CSV..."), this);
  auto* close = NewButton(QStringLiteral("Stäng"), this);
  buttons->addWidget(exportButton);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  resize(980, 520);
  connect(game_, &QComboBox::currentIndexChanged, this, &HistoryDialog::Reload);
  connect(period_, &QComboBox::currentIndexChanged, this, &HistoryDialog::Reload);
  connect(exportButton, &QPushButton::clicked, this, &HistoryDialog::Export);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  Reload();
}

void HistoryDialog::Reload() {
  history::HistoryFilter filter;
  if (game_->currentData().toInt() >= 0) filter.game = game_->currentData().toInt();
  const QDate today = QDate::currentDate();
  switch (period_->currentIndex()) {
    case 1:
      filter.from = today.addDays(-30).toString(Qt::ISODate).toStdString();
      break;
    case 2:
      filter.from = today.addYears(-1).toString(Qt::ISODate).toStdString();
      break;
    case 3:
      filter.from = QDate(today.year(), 1, 1).toString(Qt::ISODate).toStdString();
      break;
    default:
      break;
  }
  try {
    history::Database database(databasePath_);
    list_ = database.List(filter);
    error_->hide();
  } catch (const history::HistoryError& error) {
    list_.clear();
    error_->setText(FromUtf8(error.what()));
    error_->show();
  }
  table_->setRowCount(static_cast<int>(list_.size()));
  for (size_t i = 0; i < list_.size(); ++i) {
    const history::PlayedSummary& line = list_[i];
    const int row = static_cast<int>(i);
    table_->setItem(row, 0, new QTableWidgetItem(FromUtf8(line.date.substr(0, 16))));
    table_->setItem(row, 1, new QTableWidgetItem(FromUtf8(line.gameName)));
    table_->setItem(row, 2, NumberCell(QString::number(line.draw)));
    table_->setItem(row, 3, NumberCell(QString::number(line.rows)));
    table_->setItem(row, 4, NumberCell(Kronor(line.stakeOre)));
    table_->setItem(row, 5,
                    NumberCell(line.wonOre ? Kronor(*line.wonOre) : QStringLiteral("ej rättad")));
    table_->setItem(row, 6,
                    NumberCell(line.wonOre ? Kronor(*line.wonOre - line.stakeOre) : QString()));
  }
  table_->resizeColumnsToContents();
  chart_->SetPoints(CumulativeReturn(list_));
  const HistoryTotals totals = TotalsOf(list_);
  QString text = QStringLiteral("%1 kuponger, %2 rättade. Insats %3, vinst %4, avkastning %5.")
                     .arg(totals.coupons)
                     .arg(totals.settled)
                     .arg(Kronor(totals.stakeOre), Kronor(totals.wonOre),
                          Kronor(totals.wonOre - totals.settledStakeOre));
  if (totals.expectedStakeOre > 0) {
    text += QStringLiteral(" Värderingen väntade %1 för de rättade kuponger den värderade.")
                .arg(Kronor(totals.expectedOre - totals.expectedStakeOre));
  }
  totals_->setText(text);
}

void HistoryDialog::Export() {
  const std::optional<QString> path = platform_.ChooseSaveFileAs(
      QStringLiteral("omgangar.csv"), QStringLiteral("CSV (*.csv)"), QStringLiteral("csv"));
  if (!path) return;
  try {
    platform_.WriteFile(*path, QByteArray::fromStdString(history::CsvText(list_)));
  } catch (const SaveError& error) {
    platform_.ShowMessage(FromUtf8(error.what()), FromUtf8(kHistoryCaption));
  }
}

void OfferToRecord(const ToolHost& host, const HandInFiles& files, const HandInSaved& saved) {
  const QString path = host.platform.HistoryPath();
  if (path.isEmpty()) return;
  const std::string databasePath = QFile::encodeName(path).toStdString();
  std::optional<std::string> choice;
  try {
    history::Database database(databasePath);
    choice = database.Setting(kRecordChoiceKey);
  } catch (const history::HistoryError& error) {
    host.platform.ShowMessage(FromUtf8(error.what()), FromUtf8(kRecordCaption));
    return;
  }
  if (choice == "nej") return;
  RecordInput input;
  input.game = files.game;
  input.source = std::string(history::kSourceHandIn);
  if (host.document.game == files.game) input.document = host.document;
  input.draw = files.ticket.draw > 0 ? files.ticket.draw
               : input.document      ? CouponDraw(*input.document)
                                     : 0;
  // A dearer stake is what every row cost, and what it pays in proportion.
  if (files.ticket.stake > 1)
    input.rowPriceOre = RowPriceOre(Rules(files.game)) * files.ticket.stake;
  const bool always = choice == "ja" && input.draw > 0;
  for (size_t i = 0; i < files.split.files.size() && i < saved.names.size(); ++i) {
    const HandInFile& file = files.split.files[i];
    input.rows.insert(input.rows.end(), file.rows.begin(), file.rows.end());
    input.files.push_back({saved.names[i], i < saved.sha256.size() ? saved.sha256[i] : "",
                           static_cast<int64_t>(file.rows.size())});
  }
  RecordDialog dialog(std::move(input), databasePath, !always, host.window);
  if (always) dialog.RecordNow();
  RunToolDialog(dialog);
  if (dialog.Remember() && (dialog.Result() || dialog.Declined())) {
    try {
      history::Database database(databasePath);
      database.SetSetting(kRecordChoiceKey, dialog.Result() ? "ja" : "nej");
    } catch (const history::HistoryError& error) {
      host.platform.ShowMessage(FromUtf8(error.what()), FromUtf8(kRecordCaption));
    }
  }
  if (dialog.Result()) {
    host.platform.ShowMessage(FromUtf8(dialog.Result()->text), FromUtf8(kRecordCaption));
  }
}

void RecordPlayedCommand(const ToolHost& host) {
  const std::optional<std::string> databasePath = DatabasePathOf(host, kRecordCaption);
  if (!databasePath) return;
  const std::optional<QString> file = host.platform.ChooseOpenFile(
      host.handInDialog.FileName, QStringLiteral("Inlämningsfil (*.txt)"));
  if (!file) return;
  Refusable<RecordInput> input =
      ReadPlayedFiles(std::vector<std::string>{QFile::encodeName(*file).toStdString()});
  if (!input.value) {
    host.platform.ShowMessage(FromUtf8(input.refusal.text), FromUtf8(input.refusal.caption));
    return;
  }
  if (host.document.game == input.value->game) input.value->document = host.document;
  RecordDialog dialog(std::move(*input.value), *databasePath, false, host.window);
  RunToolDialog(dialog);
  if (dialog.Result()) {
    host.platform.ShowMessage(FromUtf8(dialog.Result()->text), FromUtf8(kRecordCaption));
  }
}

void SettleCommand(const ToolHost& host) {
  const std::optional<std::string> databasePath = DatabasePathOf(host, kSettleCaption);
  if (!databasePath) return;
  SettleDialog dialog(*databasePath, host.state.Game, net::ApiBase(""), host.window);
  RunToolDialog(dialog);
}

void HistoryCommand(const ToolHost& host) {
  const std::optional<std::string> databasePath = DatabasePathOf(host, kHistoryCaption);
  if (!databasePath) return;
  HistoryDialog dialog(*databasePath, host.platform, host.window);
  RunToolDialog(dialog);
}

}  // namespace spelkub::tools
