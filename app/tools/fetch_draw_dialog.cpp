#include "app/tools/fetch_draw_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/qt_text.h"
#include "app/tools/dialog_parts.h"
#include "app/tools/tools.h"
#include "app/tools/worker.h"
#include "coupon/games.h"
#include "draw/draw_coupon.h"

namespace spelkub::tools {

namespace {

const QString kFetchCaption = QStringLiteral("Hämta omgång");
const QString kUpdateCaption = QStringLiteral("Uppdatera streck");

net::FetchOptions FetchOptionsOf(const Work& work) {
  net::FetchOptions options;
  options.stopRequested = [&work] { return work.Stopped(); };
  options.progress = [&work](size_t received, size_t expected) {
    if (expected > 0) work.Fraction(static_cast<double>(received) / static_cast<double>(expected));
  };
  return options;
}

// "Omgång 4929 · stänger 2026-12-12 15:59" (the service's time, shortened).
QString DrawItemText(const Draw& draw) {
  QString text = QStringLiteral("Omgång %1").arg(draw.number);
  if (!draw.closeTime.empty()) {
    QString close = FromUtf8(draw.closeTime).left(16);
    close.replace(QLatin1Char('T'), QLatin1Char(' '));
    text += QStringLiteral(" · stänger ") + close;
  }
  if (!draw.IsOpen()) text += QStringLiteral(" · ") + FromUtf8(draw.state);
  return text;
}

// The draw into a copy of the document, which replaces it only when it fits.
bool PutIntoDocument(const ToolHost& host, const Draw& draw, const DrawProduct& product,
                     double jackpot, const QString& caption) {
  if (GameOfOption(product.option) != host.state.Game) {
    host.platform.ShowMessage(
        QStringLiteral("Omgången gäller %1, kupongen %2: välj spelet i fönstret först.")
            .arg(FromUtf8(product.name), FromUtf8(Rules(host.state.Game).name)),
        caption);
    return false;
  }
  CouponDocument document = host.document;
  document.game = host.state.Game;
  if (const std::string problem =
          PutDrawInDocument(draw, net::FetchedSnapshot(draw, product, jackpot), document);
      !problem.empty()) {
    host.platform.ShowMessage(FromUtf8(problem), caption);
    return false;
  }
  host.document.values = document.values;
  host.document.pool.turnover = document.pool.turnover;
  host.document.pool.jackpot = document.pool.jackpot;
  host.document.snapshots = std::move(document.snapshots);
  host.document.chosenSnapshot = document.chosenSnapshot;
  return true;
}

}  // namespace

FetchDrawDialog::FetchDrawDialog(int32_t game, std::string apiBase,
                                 const std::optional<FetchedDrawRef>& again, QWidget* parent)
    : WorkerDialog(parent), apiBase_(std::move(apiBase)) {
  setObjectName(again ? QStringLiteral("UppdateraStreck") : QStringLiteral("HamtaOmgang"));
  setWindowTitle(again ? kUpdateCaption : kFetchCaption);
  setModal(true);

  game_ = new QComboBox(this);
  game_->setObjectName(QStringLiteral("Spel"));
  int chosen = 0;
  for (const DrawProduct& product : kDrawProducts) {
    const std::optional<GameType> productGame = GameOfOption(product.option);
    if (!productGame) continue;
    const bool first = again ? product.option == again->option : *productGame == game;
    if (first && (chosen == 0 || again)) chosen = static_cast<int>(products_.size());
    products_.push_back(&product);
    game_->addItem(FromUtf8(product.name));
  }
  game_->setCurrentIndex(chosen);

  draws_ = new QListWidget(this);
  draws_->setObjectName(QStringLiteral("Omgangar"));
  draws_->setMinimumWidth(draws_->fontMetrics().horizontalAdvance(
                              QStringLiteral("Omgång 4929 · stänger 2026-12-12 15:59 · Closed")) +
                          4 * draws_->frameWidth() + draws_->fontMetrics().averageCharWidth() * 2);
  draws_->setMaximumHeight(draws_->fontMetrics().height() * 8);
  number_ = new QSpinBox(this);
  number_->setObjectName(QStringLiteral("Nummer"));
  number_->setRange(1, 9'999'999);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Spel:"), game_);
  form->addRow(QStringLiteral("Omgångar:"), draws_);
  form->addRow(QStringLiteral("Omgång:"), number_);
  drawsLabel_ = form->labelForField(draws_);
  numberLabel_ = form->labelForField(number_);

  status_->setWordWrap(false);
  error_ = NewErrorLabel(QStringLiteral("Fel"), this);
  auto* note = new QLabel(
      QStringLiteral("Spelbolagets omgångstjänst är inofficiell och kan ändras utan förvarning."),
      this);
  note->setObjectName(QStringLiteral("Inofficiell"));
  note->setWordWrap(true);

  fetch_ = new QPushButton(QStringLiteral("Hämta"), this);
  fetch_->setObjectName(QStringLiteral("Hamta"));
  fetch_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(fetch_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(bar_);
  layout->addWidget(status_);
  layout->addWidget(error_);
  layout->addWidget(note);
  layout->addLayout(buttons);

  // As wide as with the list of draws, so that a game without one does not
  // squeeze the messages that wrap.
  setMinimumWidth(sizeHint().width());
  connect(game_, &QComboBox::currentIndexChanged, this, &FetchDrawDialog::ChooseGame);
  connect(draws_, &QListWidget::currentRowChanged, this, &FetchDrawDialog::UpdateFetchButton);
  connect(draws_, &QListWidget::itemDoubleClicked, this, &FetchDrawDialog::StartFetch);
  connect(fetch_, &QPushButton::clicked, this, &FetchDrawDialog::StartFetch);
  if (again) {
    game_->setEnabled(false);
    draws_->hide();
    drawsLabel_->hide();
    number_->setValue(again->number);
    FetchNumber(again->number);
  } else {
    ChooseGame();
  }
}

// The worker joins its thread before the answers it writes go away.
FetchDrawDialog::~FetchDrawDialog() {
  JoinWorker();
}

const DrawProduct& FetchDrawDialog::Product() const {
  return *products_.at(static_cast<size_t>(std::max(0, game_->currentIndex())));
}

void FetchDrawDialog::CancelPressed() {
  if (!Running()) {
    reject();
    return;
  }
  Stop();
  status_->setText(QStringLiteral("Avbryter..."));
}

// A product that lists its draws gets the list; the others a number.
void FetchDrawDialog::ChooseGame() {
  if (Running() || products_.empty()) return;
  const DrawProduct& product = Product();
  draws_->clear();
  error_->hide();
  const bool lists = product.listsDraws;
  draws_->setVisible(lists);
  number_->setVisible(!lists);
  drawsLabel_->setVisible(lists);
  numberLabel_->setVisible(!lists);
  const int matches = MatchesInPlay(*GameOfOption(product.option));
  if (!lists) {
    // The open draw is looked for by number and offered; another can be typed.
    job_ = Job::kFind;
    SetBusy(true);
    Run(
        [this, &product, matches](const Work& work) {
          found_ = net::FetchOpenDraw(apiBase_, product, matches, FetchOptionsOf(work));
        },
        QStringLiteral("Söker %1s öppna omgång...").arg(FromUtf8(product.name)), Bar::kBusy);
    return;
  }
  job_ = Job::kList;
  SetBusy(true);
  Run(
      [this, &product, matches](const Work& work) {
        listed_ = net::FetchDraws(apiBase_, product, matches, FetchOptionsOf(work));
      },
      QStringLiteral("Hämtar omgångarna..."), Bar::kBusy);
}

void FetchDrawDialog::StartFetch() {
  if (Running()) return;
  const DrawProduct& product = Product();
  int number = number_->value();
  if (product.listsDraws) {
    const QListWidgetItem* item = draws_->currentItem();
    if (item == nullptr) return;
    number = item->data(Qt::UserRole).toInt();
  }
  FetchNumber(number);
}

void FetchDrawDialog::FetchNumber(int number) {
  const DrawProduct& product = Product();
  const int matches = MatchesInPlay(*GameOfOption(product.option));
  job_ = Job::kDraw;
  error_->hide();
  SetBusy(true);
  Run(
      [this, &product, number, matches](const Work& work) {
        fetched_ =
            net::FetchDrawWithJackpot(apiBase_, product, number, matches, FetchOptionsOf(work));
      },
      QStringLiteral("Hämtar omgång %1...").arg(number), Bar::kBusy);
}

void FetchDrawDialog::SetBusy(bool running) {
  game_->setEnabled(!running);
  draws_->setEnabled(!running);
  number_->setEnabled(!running);
  UpdateFetchButton();
  if (running) fetch_->setEnabled(false);
}

void FetchDrawDialog::ShowError(const std::string& error) {
  error_->setText(FromUtf8(error));
  error_->show();
  // The message may wrap over lines the dialog has no room for yet.
  adjustSize();
}

void FetchDrawDialog::UpdateFetchButton() {
  fetch_->setEnabled(!Running() && (!Product().listsDraws || draws_->currentItem() != nullptr));
}

void FetchDrawDialog::Finished() {
  const Job job = std::exchange(job_, Job::kNone);
  SetBusy(false);
  status_->clear();
  if (!Failure().empty()) {
    ShowError(Failure());
    return;
  }
  if (Cancelled()) {
    status_->setText(QStringLiteral("Avbrutet."));
    return;
  }
  if (job == Job::kList) {
    if (!listed_.value) {
      ShowError(listed_.error);
      return;
    }
    int open = 0;
    for (const Draw& draw : *listed_.value) {
      auto* item = new QListWidgetItem(DrawItemText(draw), draws_);
      item->setData(Qt::UserRole, draw.number);
      if (draw.IsOpen()) ++open;
    }
    if (draws_->count() > 0) draws_->setCurrentRow(0);
    status_->setText(open == 0 ? QStringLiteral("Ingen öppen omgång just nu.")
                               : QStringLiteral("Välj omgång och tryck Hämta."));
    UpdateFetchButton();
    return;
  }
  if (job == Job::kFind) {
    if (!found_.value) {
      ShowError(found_.error);
      status_->setText(QStringLiteral("Ange omgångens nummer."));
      return;
    }
    number_->setValue(found_.value->number);
    status_->setText(QStringLiteral("Öppen omgång: %1. Tryck Hämta.").arg(found_.value->number));
    return;
  }
  if (!fetched_.value) {
    ShowError(fetched_.error);
    return;
  }
  draw_ = std::move(fetched_.value->draw);
  jackpot_ = fetched_.value->jackpot;
  jackpotNote_ = std::move(fetched_.value->jackpotNote);
  accept();
}

namespace {

std::optional<FetchedDrawRef> RunFetchDialog(const ToolHost& host,
                                             const std::optional<FetchedDrawRef>& again) {
  FetchDrawDialog dialog(host.state.Game, net::ApiBase(""), again, host.window);
  RunToolDialog(dialog);
  if (dialog.result() != QDialog::Accepted || !dialog.FetchedDraw()) return std::nullopt;
  const QString caption = again ? kUpdateCaption : kFetchCaption;
  if (!PutIntoDocument(host, *dialog.FetchedDraw(), dialog.Product(), dialog.FetchedJackpot(),
                       caption)) {
    return std::nullopt;
  }
  if (!dialog.JackpotNote().empty())
    host.platform.ShowMessage(FromUtf8(dialog.JackpotNote()), caption);
  return FetchedDrawRef{std::string(dialog.Product().option), dialog.FetchedDraw()->number};
}

}  // namespace

bool FetchDrawCommand(const ToolHost& host) {
  return RunFetchDialog(host, std::nullopt).has_value();
}

bool UpdateStreckCommand(const ToolHost& host) {
  const DrawProduct* product = DrawProductOf(Rules(host.state.Game).option);
  if (host.document.snapshots.empty() || product == nullptr) {
    host.platform.ShowMessage(
        QStringLiteral("Kupongen har ingen hämtad omgång: välj Hämta omgång... först."),
        kUpdateCaption);
    return false;
  }
  return RunFetchDialog(host, FetchedDrawRef{std::string(product->option),
                                             host.document.snapshots.back().draw})
      .has_value();
}

}  // namespace spelkub::tools
