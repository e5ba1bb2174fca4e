#include "app/tools/grade_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <optional>
#include <string>
#include <utility>

#include "app/qt_text.h"
#include "app/tools/dialog_parts.h"
#include "commands/check_commands.h"

namespace spelkub::tools {

GradeDialog::GradeDialog(int matches, std::vector<PackedRow> rows, QWidget* parent)
    : QDialog(parent), matches_(matches), rows_(std::move(rows)) {
  setObjectName(QStringLiteral("RattaRader"));
  setWindowTitle(QStringLiteral("Rätta rader"));
  setModal(true);
  // A pressed result stands out like a marked cell of the coupon.
  setStyleSheet(QStringLiteral(
      "QToolButton:checked { background-color: #3470b8; color: white; font-weight: bold;"
      " border: 1px solid #244f82; border-radius: 2px; }"));
  results_.matches = matches;
  results_.outcome.fill(-1);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(2);
  resultsField_ = new QLineEdit(this);
  resultsField_->setObjectName(QStringLiteral("ResultatRad"));
  resultsField_->setPlaceholderText(QStringLiteral("t.ex. 1X21-2... (- = ej avgjord)"));
  connect(resultsField_, &QLineEdit::returnPressed, this, &GradeDialog::EnterResults);
  auto* typed = new QHBoxLayout;
  typed->addWidget(new QLabel(QStringLiteral("Resultat:"), this));
  typed->addWidget(resultsField_, 1);
  // "Hämta resultat" from the draw service, shown by OfferFetch.
  fetch_ = new ResultFetch(matches, this);
  typed->addWidget(fetch_);
  fetchStatus_ = new QLabel(this);
  fetchStatus_->setObjectName(QStringLiteral("Hamtning"));
  fetchStatus_->hide();
  resultsError_ = NewErrorLabel(QStringLiteral("ResultatFel"), this);
  // A refusal wraps within the dialog's width instead of widening it.
  resultsError_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  for (int match = 1; match <= matches; ++match) {
    grid->addWidget(new QLabel(QStringLiteral("Match %1:").arg(match), this), match - 1, 0);
    for (int outcome = 0; outcome < 3; ++outcome) {
      auto* button = new QToolButton(this);
      button->setObjectName(QStringLiteral("Resultat%1_%2").arg(match).arg(OutcomeSign(outcome)));
      button->setText(QString(QChar::fromLatin1(OutcomeSign(outcome))));
      button->setCheckable(true);
      button->setFixedSize(26, 22);
      button->setFocusPolicy(Qt::TabFocus);
      connect(button, &QToolButton::toggled, this,
              [this, match, outcome](bool on) { Toggle(match, outcome, on); });
      buttons_[match - 1][outcome] = button;
      grid->addWidget(button, match - 1, outcome + 1);
    }
  }
  auto* clear = new QPushButton(QStringLiteral("Rensa"), this);
  clear->setObjectName(QStringLiteral("Rensa"));
  clear->setAutoDefault(false);
  connect(clear, &QPushButton::clicked, this, &GradeDialog::Clear);
  grid->addWidget(clear, matches, 1, 1, 3);
  grid->setRowStretch(matches + 1, 1);

  decided_ = new QLabel(this);
  decided_->setObjectName(QStringLiteral("Avgjorda"));
  table_ = NewCountTable(this);
  table_->setColumnCount(2);
  table_->setHorizontalHeaderLabels({QStringLiteral("Rätt"), QStringLiteral("Rader")});
  reach_ = new QLabel(this);
  reach_->setObjectName(QStringLiteral("KanNa"));

  auto* right = new QVBoxLayout;
  right->addWidget(decided_);
  right->addWidget(table_);
  right->addWidget(reach_);
  right->addStretch();

  auto* columns = new QHBoxLayout;
  columns->addLayout(grid);
  columns->addLayout(right, 1);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* close = buttons->addButton(QStringLiteral("Stäng"), QDialogButtonBox::RejectRole);
  close->setObjectName(QStringLiteral("Stang"));
  close->setAutoDefault(false);
  connect(buttons, &QDialogButtonBox::rejected, this, &GradeDialog::reject);
  connect(fetch_, &ResultFetch::Started, this, [this](int draw) {
    resultsError_->hide();
    fetchStatus_->setText(QStringLiteral("Hämtar resultatet för omgång %1...").arg(draw));
    fetchStatus_->show();
  });
  connect(fetch_, &ResultFetch::Fetched, this, &GradeDialog::TakeFetched);
  connect(fetch_, &ResultFetch::Failed, this, [this](const QString& error) {
    fetchStatus_->hide();
    resultsError_->setText(error);
    resultsError_->show();
  });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(typed);
  layout->addWidget(fetchStatus_);
  layout->addWidget(resultsError_);
  layout->addLayout(columns, 1);
  layout->addWidget(buttons);

  // The fullest table: every number of right from the most down to 0.
  table_->setRowCount(matches + 1);
  table_->setMinimumHeight(table_->sizeHint().height());
  Grade();
}

void GradeDialog::OfferFetch(const DrawProduct& product, int draw, std::string apiBase) {
  fetch_->Offer(product, draw, std::move(apiBase));
}

void GradeDialog::reject() {
  // The fetch is told to stop; its worker waits for it as the dialog goes.
  fetch_->Cancel();
  QDialog::reject();
}

void GradeDialog::TakeFetched(const DrawResult& result) {
  fetchStatus_->setText(QStringLiteral("Resultatet för omgång %1 hämtat.").arg(result.drawNumber));
  resultsField_->setText(FromUtf8(GradeResultText(result)));
  EnterResults();
}

QToolButton* GradeDialog::ResultButton(int match, int outcome) const {
  return buttons_[match - 1][outcome];
}

// At most one result per match: pressing one releases the others, pressing it
// again leaves the match undecided.
void GradeDialog::Toggle(int match, int outcome, bool on) {
  if (on) {
    for (int other = 0; other < 3; ++other) {
      if (other != outcome) {
        QToolButton* button = buttons_[match - 1][other];
        const QSignalBlocker blocker(button);
        button->setChecked(false);
      }
    }
    results_.outcome[match - 1] = static_cast<int8_t>(outcome);
  } else if (results_.outcome[match - 1] == outcome) {
    results_.outcome[match - 1] = -1;
  }
  Grade();
  ShowResults();
}

void GradeDialog::EnterResults() {
  std::string error;
  const std::optional<MatchResults> parsed =
      ParseResults(resultsField_->text().toStdString(), matches_, &error);
  if (!parsed) {
    resultsError_->setText(FromUtf8(error));
    resultsError_->show();
    return;
  }
  resultsError_->hide();
  results_ = *parsed;
  for (int match = 1; match <= matches_; ++match) {
    for (int outcome = 0; outcome < 3; ++outcome) {
      QToolButton* button = buttons_[match - 1][outcome];
      const QSignalBlocker blocker(button);
      button->setChecked(results_.outcome[match - 1] == outcome);
    }
  }
  Grade();
}

// The buttons' results as one line, so typing can go on from them.
void GradeDialog::ShowResults() {
  QString text;
  for (int match = 1; match <= matches_; ++match) {
    const int outcome = results_.outcome[match - 1];
    text += outcome < 0 ? QLatin1Char('-') : QLatin1Char(OutcomeSign(outcome));
  }
  resultsField_->setText(text);
  resultsError_->hide();
}

void GradeDialog::Clear() {
  for (int match = 1; match <= matches_; ++match) {
    for (QToolButton* button : buttons_[match - 1]) {
      const QSignalBlocker blocker(button);
      button->setChecked(false);
    }
    results_.outcome[match - 1] = -1;
  }
  Grade();
  ShowResults();
}

void GradeDialog::Grade() {
  const GradeOutcome outcome = RunGrade(rows_, results_);
  report_ = outcome.report;
  decided_->setText(FromUtf8(outcome.decidedText));

  // Every count from the most right down to the least that any row has.
  int least = 0;
  while (least < matches_ && report_.rowsByRight[least] == 0) ++least;
  table_->setRowCount(matches_ - least + 1);
  for (int right = matches_; right >= least; --right) {
    const int row = matches_ - right;
    table_->setItem(row, 0, NumberCell(QString::number(right)));
    table_->setItem(row, 1, NumberCell(QString::number(report_.rowsByRight[right])));
  }

  QStringList lines;
  for (const std::string& line : outcome.reachLines) lines << FromUtf8(line);
  reach_->setText(lines.join(QLatin1Char('\n')));
  reach_->setVisible(!lines.isEmpty());
}

}  // namespace spelkub::tools
