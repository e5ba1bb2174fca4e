#include "app/tools/analysis_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
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

AnalysisDialog::AnalysisDialog(const SystemShape& shape, std::vector<PackedRow> rows,
                               std::vector<int64_t> lines, QWidget* parent)
    : QDialog(parent), shape_(shape), rows_(std::move(rows)), lines_(std::move(lines)) {
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
          .arg(shape_.matches));
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
  layout->addWidget(buttons);
  resize(760, 420);

  worker_ = new Worker(this);
  connect(worker_, &Worker::Finished, this, &AnalysisDialog::Show);
  connect(compute_, &QPushButton::clicked, this, &AnalysisDialog::ComputeWithStreck);
  connect(streckField_, &QLineEdit::returnPressed, this, &AnalysisDialog::ComputeWithStreck);
  connect(buttons, &QDialogButtonBox::rejected, this, &AnalysisDialog::reject);
}

AnalysisDialog::~AnalysisDialog() {
  delete worker_;
}

void AnalysisDialog::UseDocumentStreck(const CouponDocument& document) {
  const std::optional<ScaledValues> scaled =
      ScaleValues(document.values, shape_.matches, ValueKind::kStreck, nullptr);
  if (!scaled) return;
  Streck streck;
  streck.matches = shape_.matches;
  for (int m = 0; m < shape_.matches; ++m) {
    for (int sign = 0; sign < 3; ++sign) {
      streck.percent[m][sign] = scaled->probability[m][sign] * 100;
    }
  }
  streck.scaledMatches = scaled->scaledMatches;
  documentStreck_ = std::move(streck);
  streckField_->setPlaceholderText(
      QStringLiteral("Kupongens streck används; skriv %1 tal för andra").arg(3 * shape_.matches));
}

void AnalysisDialog::Start() {
  Run(documentStreck_);
}

void AnalysisDialog::Run(std::optional<Streck> streck) {
  streck_ = std::move(streck);
  compute_->setEnabled(false);
  guarantee_->setText(QStringLiteral("Räknar..."));
  worker_->Start([this](const std::atomic<bool>& stop, WorkerProgress& /*progress*/) {
    output_ = AnalyseRows(shape_, rows_, streck_ ? &*streck_ : nullptr, &stop);
  });
}

void AnalysisDialog::ComputeWithStreck() {
  if (worker_->Running()) return;
  const QString text = streckField_->text().trimmed();
  if (text.isEmpty()) {
    streckError_->hide();
    Run(documentStreck_);
    return;
  }
  std::string error;
  std::optional<Streck> streck = ParseStreck(text.toStdString(), shape_.matches, &error);
  if (!streck) {
    streckError_->setText(FromUtf8(error));
    streckError_->show();
    return;
  }
  streckError_->hide();
  Run(std::move(streck));
}

void AnalysisDialog::reject() {
  worker_->Cancel();
  QDialog::reject();
}

void AnalysisDialog::Show() {
  compute_->setEnabled(true);
  if (!worker_->Failure().empty()) {
    guarantee_->setText(
        QStringLiteral("Analysen misslyckades: %1").arg(FromUtf8(worker_->Failure())));
    return;
  }
  if (output_.stopped) return;
  shown_ = output_;
  const AnalysisReport& report = shown_;

  guarantee_->setText(QStringLiteral("Garanti: %1 rätt").arg(report.guarantee));
  summary_->setText(QStringLiteral("%1 på ett system med %2 utfall.")
                        .arg(RowCount(static_cast<int64_t>(rows_.size())))
                        .arg(shape_.size()));

  QStringList headers{QStringLiteral("Rätt"), QStringLiteral("Utfall"), QStringLiteral("Andel")};
  if (report.probabilityByRight) headers << QStringLiteral("Sannolikhet");
  table_->clear();
  table_->setColumnCount(static_cast<int>(headers.size()));
  table_->setHorizontalHeaderLabels(headers);
  table_->setRowCount(report.matches - report.guarantee + 1);
  std::vector<OutcomeChart::Bar> bars;
  const double outcomes = static_cast<double>(shape_.size());
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

  if (report.outsideCount == 0) {
    outside_->hide();
  } else {
    QStringList named;
    for (const int64_t position : report.outsideRows) {
      named << QString::number(position < static_cast<int64_t>(lines_.size()) ? lines_[position]
                                                                              : position + 1);
    }
    const QString text =
        QStringLiteral("Rader utanför systemet: %1 (rad %2%3)")
            .arg(report.outsideCount)
            .arg(named.join(QStringLiteral(", ")))
            .arg(report.outsideCount > static_cast<int64_t>(report.outsideRows.size())
                     ? QStringLiteral(", ...")
                     : QString());
    outside_->setText(text);
    outside_->show();
  }

  const std::string scaled = streck_ ? ScaledStreckText(*streck_) : std::string();
  scaled_->setText(FromUtf8(scaled) + (scaled.empty() ? QString() : QStringLiteral(".")));
  scaled_->setVisible(!scaled.empty());
}

}  // namespace spelkub::tools
