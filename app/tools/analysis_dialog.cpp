#include "app/tools/analysis_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <string>
#include <utility>

#include "app/qt_text.h"
#include "app/tools/dialog_parts.h"
#include "app/tools/outcome_chart.h"
#include "app/tools/worker.h"
#include "value/value_model.h"

namespace spelkub::tools {

AnalysisDialog::AnalysisDialog(AnalysisInput input, QWidget* parent)
    : WorkerDialog(parent), input_(std::move(input)) {
  setObjectName(QStringLiteral("Garantianalys"));
  setWindowTitle(QStringLiteral("Garantianalys"));
  setModal(true);

  guarantee_ = new QLabel(this);
  guarantee_->setObjectName(QStringLiteral("Garanti"));
  QFont bold = guarantee_->font();
  bold.setBold(true);
  if (bold.pointSizeF() > 0) {
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
  } else {
    bold.setPixelSize(bold.pixelSize() * 13 / 10);
  }
  guarantee_->setFont(bold);
  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("Sammanfattning"));

  table_ = NewCountTable(this);

  chart_ = new OutcomeChart(this);

  auto* results = new QHBoxLayout;
  results->addWidget(table_, 0, Qt::AlignTop);
  results->addWidget(chart_, 1);

  outside_ = new QLabel(this);
  outside_->setObjectName(QStringLiteral("Utanfor"));
  outside_->setWordWrap(true);
  outside_->hide();

  streckField_ = new QLineEdit(this);
  streckField_->setObjectName(QStringLiteral("Streck"));
  streckField_->setPlaceholderText(
      QStringLiteral("%1 grupper: 1 X 2 per match, t.ex. 45 30 25, 60 25 15, ...")
          .arg(input_.shape.matches));
  compute_ = new QPushButton(QStringLiteral("Räkna"), this);
  compute_->setObjectName(QStringLiteral("Rakna"));
  compute_->setAutoDefault(false);
  auto* streckRow = new QHBoxLayout;
  streckRow->addWidget(new QLabel(QStringLiteral("Streck (%):"), this));
  streckRow->addWidget(streckField_, 1);
  streckRow->addWidget(compute_);
  streckError_ = NewErrorLabel(QStringLiteral("StreckFel"), this);
  scaled_ = new QLabel(this);
  scaled_->setObjectName(QStringLiteral("StreckOmraknade"));
  scaled_->setWordWrap(true);
  scaled_->hide();

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* close = buttons->addButton(QStringLiteral("Stäng"), QDialogButtonBox::RejectRole);
  close->setObjectName(QStringLiteral("Stang"));
  close->setAutoDefault(false);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(guarantee_);
  layout->addWidget(summary_);
  layout->addLayout(results, 1);
  layout->addWidget(outside_);
  layout->addLayout(streckRow);
  layout->addWidget(streckError_);
  layout->addWidget(scaled_);
  running_ = new QWidget(this);
  auto* runningRow = new QHBoxLayout(running_);
  runningRow->setContentsMargins(0, 0, 0, 0);
  runningRow->addWidget(status_);
  runningRow->addWidget(bar_, 1);
  runningRow->addWidget(cancel_);
  running_->hide();
  layout->addWidget(running_);
  layout->addWidget(buttons);
  resize(760, 420);

  connect(compute_, &QPushButton::clicked, this, &AnalysisDialog::ComputeWithStreck);
  connect(streckField_, &QLineEdit::returnPressed, this, &AnalysisDialog::ComputeWithStreck);
  connect(buttons, &QDialogButtonBox::rejected, this, &AnalysisDialog::reject);
}

AnalysisDialog::~AnalysisDialog() {
  JoinWorker();  // before the input and streck the analysis reads go away
}

void AnalysisDialog::UseDocumentStreck(const CouponDocument& document) {
  const std::optional<ScaledValues> scaled =
      ScaleValues(document.values, input_.shape.matches, ValueKind::kStreck, nullptr);
  if (!scaled) return;
  Streck streck;
  streck.matches = input_.shape.matches;
  for (int m = 0; m < input_.shape.matches; ++m) {
    for (int sign = 0; sign < 3; ++sign) {
      streck.percent[m][sign] = scaled->probability[m][sign] * 100;
    }
  }
  streck.scaledMatches = scaled->scaledMatches;
  documentStreck_ = std::move(streck);
  streckField_->setPlaceholderText(
      QStringLiteral("Kupongens streck används; skriv %1 tal för andra")
          .arg(3 * input_.shape.matches));
}

void AnalysisDialog::Start() {
  Analyse(documentStreck_);
}

void AnalysisDialog::Analyse(std::optional<Streck> streck) {
  if (Running()) return;
  streck_ = std::move(streck);
  compute_->setEnabled(false);
  guarantee_->setText(QStringLiteral("Räknar..."));
  running_->show();
  Run([this](const Work& work) { output_ = RunAnalysis(input_, streck_, work); }, QString());
}

void AnalysisDialog::ComputeWithStreck() {
  if (Running()) return;
  const QString text = streckField_->text().trimmed();
  if (text.isEmpty()) {
    streckError_->hide();
    Analyse(documentStreck_);
    return;
  }
  std::string error;
  std::optional<Streck> streck = ParseStreck(text.toStdString(), input_.shape.matches, &error);
  if (!streck) {
    streckError_->setText(FromUtf8(error));
    streckError_->show();
    return;
  }
  streckError_->hide();
  Analyse(std::move(streck));
}

void AnalysisDialog::Finished() {
  running_->hide();
  compute_->setEnabled(true);
  if (!Failure().empty()) {
    guarantee_->setText(QStringLiteral("Analysen misslyckades: %1").arg(FromUtf8(Failure())));
    return;
  }
  if (!output_) return;
  shown_ = output_->report;
  const AnalysisReport& report = shown_;

  guarantee_->setText(FromUtf8(output_->guaranteeText));
  // With conditions the first line says which system the numbers are of.
  summary_->setText(output_->scopeText.empty() ? FromUtf8(output_->summaryText)
                                               : FromUtf8(output_->scopeText) + QLatin1Char('\n') +
                                                     FromUtf8(output_->summaryText));

  QStringList headers{QStringLiteral("Rätt"), QStringLiteral("Utfall"), QStringLiteral("Andel")};
  if (report.probabilityByRight) headers << QStringLiteral("Sannolikhet");
  table_->clear();
  table_->setColumnCount(static_cast<int>(headers.size()));
  table_->setHorizontalHeaderLabels(headers);
  table_->setRowCount(report.matches - report.guarantee + 1);
  std::vector<OutcomeChart::Bar> bars;
  const bool onConditions = input_.conditioned && !input_.wholeSystem;
  const double outcomes =
      static_cast<double>(onConditions ? input_.conditioned->size() : input_.shape.size());
  for (int right = report.matches; right >= report.guarantee; --right) {
    const int row = report.matches - right;
    const int64_t count = report.outcomesByRight[right];
    table_->setItem(row, 0, NumberCell(QString::number(right)));
    table_->setItem(row, 1, NumberCell(QString::number(count)));
    table_->setItem(row, 2, NumberCell(Percent(static_cast<double>(count) / outcomes)));
    if (report.probabilityByRight) {
      table_->setItem(row, 3, NumberCell(Percent((*report.probabilityByRight)[right])));
    }
    bars.push_back({right, count});
  }
  std::reverse(bars.begin(), bars.end());
  chart_->SetBars(std::move(bars));

  outside_->setText(FromUtf8(output_->outsideText));
  outside_->setVisible(!output_->outsideText.empty());
  scaled_->setText(FromUtf8(output_->scaledText));
  scaled_->setVisible(!output_->scaledText.empty());
}

}  // namespace spelkub::tools
