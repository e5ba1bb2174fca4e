#include "app/tools/follow_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "app/qt_text.h"
#include "app/tools/dialog_parts.h"
#include "app/tools/tools.h"
#include "app/tools/value_dialog.h"
#include "app/tools/worker.h"
#include "coupon/games.h"

namespace spelkub::tools {
namespace {

const QString kCaption = QStringLiteral("Följ kupongen");

// The match table's columns after the four buttons.
enum Column {
  kMatchColumn = 0,
  kFirstButton = 1,
  kStateColumn = 5,
  kRowsColumn,
  kWorth1Column,
  kWorthXColumn,
  kWorth2Column,
  kRootColumn,
  kAliveColumn,
  kColumns,
};

QString Count(int64_t count) {
  return QLocale(QLocale::Swedish, QLocale::Sweden).toString(static_cast<qlonglong>(count));
}

QString Kronor(double kronor) {
  return FromUtf8(KronorText(kronor));
}

QString ChanceText(double chance) {
  QString text = FromUtf8(PercentText(chance));
  if (chance > 0 && chance < 0.5) text += QStringLiteral(" (%1)").arg(FromUtf8(OneInText(chance)));
  return text;
}

QTableWidgetItem* TextCell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled);
  return item;
}

// Re-reads the style sheet after a property the sheet selects on changed.
void Repolish(QWidget* widget) {
  widget->style()->unpolish(widget);
  widget->style()->polish(widget);
}

}  // namespace

FollowDialog::FollowDialog(ValueInput input, std::vector<PackedRow> rows,
                           const FollowResults& results, QWidget* parent)
    : WorkerDialog(parent),
      input_(std::move(input)),
      rows_(std::move(rows)),
      matches_(results.matches),
      results_(results) {
  setObjectName(QStringLiteral("FoljKupongen"));
  setWindowTitle(kCaption);
  setModal(true);
  // A decided sign stands out like a marked cell of the coupon; a match being
  // played shows its standing lighter.
  setStyleSheet(QStringLiteral(
      "QToolButton:checked { background-color: #3470b8; color: white; font-weight: bold;"
      " border: 1px solid #244f82; border-radius: 2px; }"
      "QToolButton[standing=\"true\"]:checked { background-color: #a9c9ee; color: black;"
      " font-weight: normal; border: 1px dashed #244f82; }"));

  resultsField_ = new QLineEdit(this);
  resultsField_->setObjectName(QStringLiteral("ResultatRad"));
  resultsField_->setPlaceholderText(
      QStringLiteral("t.ex. 1X2 1 ? 2? L ... (? = öppen, 2? = står 2 nu, L = lottas)"));
  connect(resultsField_, &QLineEdit::returnPressed, this, &FollowDialog::EnterResults);
  auto* typed = new QHBoxLayout;
  typed->addWidget(new QLabel(QStringLiteral("Resultat:"), this));
  typed->addWidget(resultsField_, 1);
  // "Hämta resultat" from the draw service, shown by OfferFetch.
  fetch_ = new ResultFetch(matches_, this);
  typed->addWidget(fetch_);
  resultsError_ = NewErrorLabel(QStringLiteral("ResultatFel"), this);
  resultsError_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("Sammanfattning"));
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  matchTable_ = new QTableWidget(matches_, kColumns, this);
  matchTable_->setObjectName(QStringLiteral("Matcher"));
  matchTable_->setHorizontalHeaderLabels(
      {QStringLiteral("Match"), QString(), QString(), QString(), QString(), QStringLiteral("Läge"),
       QStringLiteral("Rader 1/X/2"), QStringLiteral("Värt 1"), QStringLiteral("Värt X"),
       QStringLiteral("Värt 2"), QStringLiteral("Heja på"), QStringLiteral("Flest levande")});
  matchTable_->verticalHeader()->hide();
  matchTable_->verticalHeader()->setDefaultSectionSize(24);
  matchTable_->setSelectionMode(QAbstractItemView::NoSelection);
  matchTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  matchTable_->setFocusPolicy(Qt::NoFocus);
  for (int match = 1; match <= matches_; ++match) {
    QString name = QString::number(match);
    const MatchValue& value = input_.values.match[match - 1];
    if (!value.home.empty() || !value.away.empty()) {
      matchTable_->setItem(match - 1, kMatchColumn, TextCell(name));
      matchTable_->item(match - 1, kMatchColumn)
          ->setToolTip(FromUtf8(value.home) + QStringLiteral("–") + FromUtf8(value.away));
    } else {
      matchTable_->setItem(match - 1, kMatchColumn, TextCell(name));
    }
    for (int button = 0; button < 4; ++button) {
      auto* tool = new QToolButton(matchTable_);
      const QString text =
          button < 3 ? QString(QChar::fromLatin1(OutcomeSign(button))) : QStringLiteral("L");
      tool->setObjectName(QStringLiteral("Resultat%1_%2").arg(match).arg(text));
      tool->setText(text);
      tool->setCheckable(true);
      tool->setFixedSize(26, 22);
      if (button == 3) tool->setToolTip(QStringLiteral("Inställd, lottas"));
      connect(tool, &QToolButton::clicked, this, [this, match, button] { Click(match, button); });
      buttons_[match - 1][button] = tool;
      matchTable_->setCellWidget(match - 1, kFirstButton + button, tool);
    }
  }
  matchTable_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  for (int button = 0; button < 4; ++button)
    matchTable_->horizontalHeader()->setSectionResizeMode(kFirstButton + button,
                                                          QHeaderView::Fixed);
  for (int button = 0; button < 4; ++button) matchTable_->setColumnWidth(kFirstButton + button, 28);
  matchTable_->horizontalHeader()->setStretchLastSection(true);
  matchTable_->setMinimumHeight(matchTable_->horizontalHeader()->sizeHint().height() +
                                24 * matches_ + 4);

  levelTable_ = NewCountTable(this);
  levelTable_->setObjectName(QStringLiteral("Vinstgrader"));
  levelTable_->setColumnCount(7);
  levelTable_->setHorizontalHeaderLabels(
      {QStringLiteral("Rätt"), QStringLiteral("Kan nå"), QStringLiteral("Chans"),
       QStringLiteral("Väntad vinst"), QStringLiteral("Per vinnande rad"),
       QStringLiteral("Om det slutar som nu"), QStringLiteral("Bäst möjligt")});
  levelTable_->setRowCount(static_cast<int>(input_.pool.levels.size()));

  aliveCaption_ = new QLabel(this);
  aliveCaption_->setObjectName(QStringLiteral("LevandeRubrik"));
  aliveCaption_->setWordWrap(true);
  aliveCaption_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  alive_ = new QPlainTextEdit(this);
  alive_->setObjectName(QStringLiteral("LevandeRader"));
  alive_->setReadOnly(true);
  alive_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  alive_->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* aliveColumn = new QVBoxLayout;
  aliveColumn->addWidget(aliveCaption_);
  aliveColumn->addWidget(alive_, 1);
  auto* lower = new QHBoxLayout;
  lower->addWidget(levelTable_, 1);
  lower->addLayout(aliveColumn, 1);

  bar_->setMaximumWidth(200);
  bar_->hide();
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(cancel_, QDialogButtonBox::ActionRole);
  cancel_->setEnabled(false);
  QPushButton* close = buttons->addButton(QStringLiteral("Stäng"), QDialogButtonBox::RejectRole);
  close->setObjectName(QStringLiteral("Stang"));
  close->setAutoDefault(false);
  connect(buttons, &QDialogButtonBox::rejected, this, &FollowDialog::reject);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(status_, 1);
  bottom->addWidget(bar_);
  bottom->addWidget(buttons);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(typed);
  layout->addWidget(resultsError_);
  layout->addWidget(summary_);
  layout->addWidget(matchTable_, 3);
  layout->addLayout(lower, 2);
  layout->addLayout(bottom);

  connect(fetch_, &ResultFetch::Started, this, [this](int draw) {
    resultsError_->hide();
    status_->setText(QStringLiteral("Hämtar resultatet för omgång %1...").arg(draw));
  });
  connect(fetch_, &ResultFetch::Fetched, this, &FollowDialog::TakeFetched);
  connect(fetch_, &ResultFetch::Failed, this, [this](const QString& error) {
    status_->clear();
    resultsError_->setText(error);
    resultsError_->show();
  });
  ShowButtons();
  resize(1000, 730);
}

// The worker joins its thread before the rows it reads go away.
FollowDialog::~FollowDialog() {
  JoinWorker();
}

void FollowDialog::OfferFetch(const DrawProduct& product, int draw, std::string apiBase) {
  fetch_->Offer(product, draw, std::move(apiBase));
}

void FollowDialog::TakeFetched(const DrawResult& result) {
  std::string error;
  const std::optional<FollowResults> parsed =
      ParseFollowResults(FollowResultText(result), matches_, &error);
  if (!parsed) {
    status_->clear();
    resultsError_->setText(FromUtf8(error));
    resultsError_->show();
    return;
  }
  status_->setText(QStringLiteral("Resultatet för omgång %1 hämtat.").arg(result.drawNumber));
  results_ = *parsed;
  ShowButtons();
  Recompute();
}

QToolButton* FollowDialog::MatchButton(int match, int button) const {
  return buttons_[match - 1][button];
}

// A sign: decided, then standing there now, then open again; L: cancelled or open.
void FollowDialog::Click(int match, int button) {
  MatchStatus& status = results_.match[match - 1];
  if (button == 3) {
    status = status.state == MatchState::kCancelled ? MatchStatus{}
                                                    : MatchStatus{MatchState::kCancelled, -1};
  } else if (status.sign != button) {
    status = {MatchState::kDecided, static_cast<int8_t>(button)};
  } else if (status.state == MatchState::kDecided) {
    status = {MatchState::kPlaying, static_cast<int8_t>(button)};
  } else {
    status = {};
  }
  ShowButtons();
  Recompute();
}

void FollowDialog::EnterResults() {
  std::string error;
  const std::optional<FollowResults> parsed =
      ParseFollowResults(resultsField_->text().toStdString(), matches_, &error);
  if (!parsed) {
    resultsError_->setText(FromUtf8(error));
    resultsError_->show();
    return;
  }
  results_ = *parsed;
  ShowButtons();
  Recompute();
}

// The buttons and the typed line after the results.
void FollowDialog::ShowButtons() {
  for (int match = 1; match <= matches_; ++match) {
    const MatchStatus& status = results_.match[match - 1];
    for (int button = 0; button < 4; ++button) {
      QToolButton* tool = buttons_[match - 1][button];
      const bool on = button == 3 ? status.state == MatchState::kCancelled : status.sign == button;
      tool->setChecked(on);
      const bool standing = on && status.state == MatchState::kPlaying;
      if (tool->property("standing").toBool() != standing) {
        tool->setProperty("standing", standing);
        Repolish(tool);
      }
      if (button < 3) {
        tool->setToolTip(standing ? QStringLiteral("Pågår, står %1 nu").arg(tool->text())
                                  : QString());
      }
    }
  }
  resultsField_->setText(FromUtf8(FollowResultsText(results_)));
  resultsError_->hide();
}

void FollowDialog::Recompute() {
  if (Running()) {
    // The figures of the results as they were are no longer wanted.
    again_ = true;
    Stop();
    return;
  }
  computing_ = results_;
  int open = 0;
  for (int m = 0; m < matches_; ++m) open += !computing_.match[m].Decided();
  int64_t outcomes = 1;
  for (int j = 0; j < open; ++j) outcomes *= 3;
  bar_->show();
  cancel_->setEnabled(true);
  Run(
      [this](const Work& work) {
        output_ = RunFollowCommand(input_, rows_, computing_, kAliveShown, work);
      },
      QStringLiteral("Räknar över %1 utfall...").arg(Count(outcomes)));
}

void FollowDialog::CancelPressed() {
  again_ = false;
  Stop();
}

void FollowDialog::reject() {
  fetch_->Cancel();
  WorkerDialog::reject();
}

void FollowDialog::Finished() {
  bar_->hide();
  cancel_->setEnabled(false);
  if (again_) {
    again_ = false;
    Recompute();
    return;
  }
  if (Cancelled()) {
    status_->setText(QStringLiteral("Avbrutet: siffrorna gäller inte resultaten som de står nu."));
    return;
  }
  if (!Failure().empty()) {
    status_->setText(FailureText());
    return;
  }
  shown_ = std::move(output_);
  ShowOutcome();
}

void FollowDialog::ShowOutcome() {
  if (!shown_.report) {
    status_->setText(ValueRefusalText(shown_.model));
    summary_->clear();
    for (int match = 0; match < matches_; ++match) {
      for (int column = kStateColumn; column < kColumns; ++column)
        matchTable_->setItem(match, column, nullptr);
    }
    levelTable_->clearContents();
    aliveCaption_->clear();
    alive_->clear();
    return;
  }
  const FollowReport& report = *shown_.report;
  const int n = report.matches;
  status_->setText(
      QStringLiteral("Exakt över alla %1 återstående utfall.").arg(Count(report.outcomes)) +
      (shown_.model.notes.empty() ? QString()
                                  : QStringLiteral(" ") + FromUtf8(shown_.model.notes).trimmed()));
  summary_->setText(
      QStringLiteral("%1 rader, %2 av %3 matcher avgjorda. Bästa möjliga: %4 rätt. "
                     "Väntad vinst: %5.\nOm det slutar som nu (%6): %7. Högsta möjliga vinst: "
                     "%8 vid %9.")
          .arg(Count(report.rows))
          .arg(report.decided)
          .arg(n)
          .arg(report.bestPossible)
          .arg(Kronor(report.expectedWin), FromUtf8(RowSignsText(report.nowOutcome, n)),
               Kronor(report.winNow), Kronor(report.bestWin),
               FromUtf8(RowSignsText(report.bestOutcome, n))));

  for (const FollowMatch& match : report.match) {
    const int row = match.match - 1;
    matchTable_->setItem(row, kStateColumn, TextCell(FromUtf8(MatchStateText(match.status))));
    matchTable_->setItem(
        row, kRowsColumn,
        NumberCell(Count(match.rows[0]) + QStringLiteral(" / ") + Count(match.rows[1]) +
                   QStringLiteral(" / ") + Count(match.rows[2])));
    const bool open = !match.status.Decided();
    for (int s = 0; s < 3; ++s) {
      matchTable_->setItem(row, kWorth1Column + s,
                           open ? NumberCell(Kronor(match.sign[s].expectedWin)) : nullptr);
    }
    QTableWidgetItem* root = open ? TextCell(FromUtf8(RootForText(match.rootFor))) : nullptr;
    if (root != nullptr && match.rootFor >= 0) {
      QFont bold = root->font();
      bold.setBold(true);
      root->setFont(bold);
    }
    matchTable_->setItem(row, kRootColumn, root);
    QString keeps;
    if (open) {
      keeps = match.keepsMost < 0 ? QStringLiteral("spelar ingen roll")
                                  : QStringLiteral("%1 (%2)")
                                        .arg(QChar::fromLatin1(OutcomeSign(match.keepsMost)))
                                        .arg(RowCount(match.sign[match.keepsMost].rowsAlive));
    }
    matchTable_->setItem(row, kAliveColumn, open ? TextCell(keeps) : nullptr);
  }

  levelTable_->setRowCount(static_cast<int>(report.levels.size()));
  for (size_t i = 0; i < report.levels.size(); ++i) {
    const FollowLevel& level = report.levels[i];
    const int row = static_cast<int>(i);
    levelTable_->setItem(row, 0, NumberCell(QString::number(level.right)));
    levelTable_->setItem(row, 1, NumberCell(Count(level.rowsCanReach)));
    levelTable_->setItem(row, 2, NumberCell(ChanceText(level.chanceAtLeast)));
    levelTable_->setItem(row, 3, NumberCell(Kronor(level.expectedWin)));
    levelTable_->setItem(
        row, 4,
        NumberCell(level.expectedRows > 0 ? Kronor(level.payoutPerRow) : QStringLiteral("–")));
    levelTable_->setItem(row, 5,
                         NumberCell(QStringLiteral("%1 à %2").arg(RowCount(level.rowsNow),
                                                                  Kronor(level.payoutNow))));
    levelTable_->setItem(row, 6, NumberCell(RowCount(level.rowsBest)));
  }
  levelTable_->resizeColumnsToContents();

  aliveCaption_->setText(QStringLiteral("Levande rader för %1 rätt (%2), med tecknen de behöver:")
                             .arg(report.aliveLevel)
                             .arg(FromUtf8(ShownOfText(report.alive.size(), report.aliveTotal))));
  QString lines;
  for (const AliveRow& row : report.alive) {
    lines += FromUtf8(RowSignsText(row.row, n)) + QStringLiteral("  ") +
             FromUtf8(NeededSignsText(row.row, computing_)) + QStringLiteral("  ") +
             FromUtf8(PercentText(row.chance)) + QLatin1Char('\n');
  }
  alive_->setPlainText(lines);
}

bool FollowCommand(const ToolHost& host) {
  ValueRows read = ValueRowsOf(host.rows(), host.state.Game);
  if (!read.rows) {
    host.platform.ShowMessage(FromUtf8(read.refusal), kCaption);
    return false;
  }
  const ValueInput input = ValueInputOf(host.state, host.document);
  const int matches = Rules(host.state.Game).matches;
  // The document's results: decided matches; the rest open.
  FollowResults results;
  results.matches = matches;
  for (int m = 0; m < matches; ++m) {
    const int result = host.document.results[m];
    if (result >= 0 && result <= 2)
      results.match[m] = {MatchState::kDecided, static_cast<int8_t>(result)};
  }
  // Without chances, streck or turnover nothing can be followed; other
  // refusals may go away as matches are decided, and show in the dialog.
  const ValueModelOutcome model = MakeCommandModel(input);
  if (model.gap == ValueGap::kStreck || model.gap == ValueGap::kTurnover ||
      (model.gap == ValueGap::kChances && results.Decided() < matches)) {
    host.platform.ShowMessage(ValueRefusalText(model), kCaption);
    return false;
  }
  FollowDialog dialog(input, std::move(*read.rows), results, host.window);
  if (const DrawProduct* product = DrawProductOf(Rules(host.state.Game).option)) {
    dialog.OfferFetch(*product,
                      host.document.game == host.state.Game ? CouponDraw(host.document) : 0,
                      net::ApiBase(""));
  }
  dialog.Recompute();
  RunToolDialog(dialog);
  // The decided results are kept in the coupon document.
  bool changed = false;
  for (int m = 0; m < matches; ++m) {
    const MatchStatus& status = dialog.Results().match[m];
    const int result = status.Decided() ? status.sign : kNoResult;
    changed = changed || host.document.results[m] != result;
    host.document.results[m] = result;
  }
  return changed;
}

}  // namespace spelkub::tools
