#include "app/tools/optimize_dialog.h"

#include <QComboBox>
#include <QFont>
#include <QFontMetrics>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/tools/dialog_parts.h"
#include "app/tools/worker.h"

namespace spelkub::tools {

namespace {

constexpr int kBarSteps = 1000;

}  // namespace

OptimizeDialog::OptimizeDialog(System system, const GuaranteeChoice& guarantees, QWidget* parent)
    : QDialog(parent), system_(std::move(system)) {
  setObjectName(QStringLiteral("OptimeradGaranti"));
  setWindowTitle(QStringLiteral("Optimerad garanti"));
  setModal(true);

  const QString size =
      system_.filtered()
          ? QStringLiteral("Systemet har %1 rader som uppfyller villkoren (av %2).")
                .arg(GroupedCount(system_.size()), GroupedCount(system_.shape().size()))
          : QStringLiteral("Systemet har %1 rader.").arg(GroupedCount(system_.size()));
  auto* systemSize = new QLabel(size, this);
  systemSize->setObjectName(QStringLiteral("System"));

  guarantee_ = new QComboBox(this);
  guarantee_->setObjectName(QStringLiteral("Garanti"));
  for (int level = guarantees.least; level <= guarantees.most; ++level) {
    guarantee_->addItem(QStringLiteral("%1 Rätt").arg(level), level);
  }
  guarantee_->setCurrentIndex(guarantee_->findData(guarantees.proposed));

  effort_ = new QComboBox(this);
  effort_->setObjectName(QStringLiteral("Insats"));
  effort_->addItem(QStringLiteral("Snabb"), static_cast<int>(Effort::kQuick));
  effort_->addItem(QStringLiteral("Normal"), static_cast<int>(Effort::kNormal));
  effort_->addItem(QStringLiteral("Grundlig"), static_cast<int>(Effort::kDeep));
  effort_->setCurrentIndex(1);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Garanti:"), guarantee_);
  form->addRow(QStringLiteral("Insats:"), effort_);

  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("Framsteg"));
  bar_->setRange(0, kBarSteps);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  best_ = new QLabel(this);
  best_->setObjectName(QStringLiteral("BastaHittills"));
  best_->setMinimumWidth(
      best_->fontMetrics().horizontalAdvance(QStringLiteral("Bästa hittills: 4782969 rader")));

  start_ = new QPushButton(QStringLiteral("Starta"), this);
  start_->setObjectName(QStringLiteral("Starta"));
  start_->setDefault(true);
  // Enabled while a search runs that has a verified cover to offer.
  useBest_ = new QPushButton(QStringLiteral("Stoppa och använd bästa"), this);
  useBest_->setObjectName(QStringLiteral("StoppaOchAnvandBasta"));
  useBest_->setAutoDefault(false);
  useBest_->setEnabled(false);
  // The longest label of the row: room for it in bold as well (styles that
  // mark the focused or default button so) and a margin, so it is never cut.
  QFont bold = useBest_->font();
  bold.setBold(true);
  useBest_->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(useBest_->text()) +
                            4 * useBest_->style()->pixelMetric(QStyle::PM_ButtonMargin));
  cancel_ = new QPushButton(QStringLiteral("Avbryt"), this);
  cancel_->setObjectName(QStringLiteral("Avbryt"));
  cancel_->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(start_);
  buttons->addWidget(useBest_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(systemSize);
  layout->addLayout(form);
  layout->addWidget(bar_);
  layout->addWidget(best_);
  layout->addLayout(buttons);

  worker_ = new Worker(this);
  connect(start_, &QPushButton::clicked, this, &OptimizeDialog::Start);
  connect(useBest_, &QPushButton::clicked, this, &OptimizeDialog::StopAndUseBest);
  connect(cancel_, &QPushButton::clicked, this, &OptimizeDialog::reject);
  connect(worker_, &Worker::Progress, this, &OptimizeDialog::ShowProgress);
  connect(worker_, &Worker::Finished, this, &OptimizeDialog::Finish);
}

// The worker joins its thread before the output it writes goes away.
OptimizeDialog::~OptimizeDialog() {
  delete worker_;
}

void OptimizeDialog::Start() {
  if (worker_->Running()) return;
  start_->setEnabled(false);
  guarantee_->setEnabled(false);
  effort_->setEnabled(false);
  best_->setText(QStringLiteral("Söker..."));
  const int level = guarantee_->currentData().toInt();
  const auto effort = static_cast<Effort>(effort_->currentData().toInt());
  worker_->Start([this, level, effort](const Work& work) {
    output_ = SearchCover(system_, level, effort, work);
  });
}

void OptimizeDialog::reject() {
  if (worker_->Running()) {
    Cancel();
    return;
  }
  QDialog::reject();
}

// The dialog stays until the search has stopped, so that its thread never
// outlives the rows it writes; what it found is then dropped.
void OptimizeDialog::Cancel() {
  useBestWanted_ = false;
  worker_->Cancel();
  useBest_->setEnabled(false);
  cancel_->setEnabled(false);
  best_->setText(QStringLiteral("Avbryter..."));
}

// The engine keeps only covers that passed ComputeCoverage, so what it hands
// back when stopped is as verified as a finished run's rows. "Avbryt" still
// drops them until the search has ended.
void OptimizeDialog::StopAndUseBest() {
  if (!worker_->Running()) return;
  useBestWanted_ = true;
  worker_->Cancel();
  useBest_->setEnabled(false);
  best_->setText(QStringLiteral("Stoppar..."));
}

void OptimizeDialog::ShowProgress(double fraction, qint64 best) {
  bar_->setValue(static_cast<int>(std::clamp(fraction, 0.0, 1.0) * kBarSteps));
  if (best >= 0 && !worker_->Cancelled()) {
    best_->setText(QStringLiteral("Bästa hittills: %1 rader").arg(best));
    useBest_->setEnabled(true);
  }
}

const std::string& OptimizeDialog::Failure() const {
  return worker_->Failure();
}

void OptimizeDialog::Finish() {
  useBest_->setEnabled(false);
  if (worker_->Failure().empty()) {
    result_ = KeptCover(std::move(output_), worker_->Cancelled(),
                        useBestWanted_ ? OnStop::kUseBest : OnStop::kDiscard);
  }
  if (!result_) {
    QDialog::reject();
    return;
  }
  accept();
}

}  // namespace spelkub::tools
