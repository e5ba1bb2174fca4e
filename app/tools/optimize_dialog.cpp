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

OptimizeDialog::OptimizeDialog(System system, const GuaranteeChoice& guarantees, QWidget* parent)
    : WorkerDialog(parent), system_(std::move(system)) {
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

  best_ = status_;
  best_->setObjectName(QStringLiteral("BastaHittills"));
  best_->setWordWrap(false);
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

  connect(start_, &QPushButton::clicked, this, &OptimizeDialog::Start);
  connect(useBest_, &QPushButton::clicked, this, &OptimizeDialog::StopAndUseBest);
}

// The worker joins its thread before the output it writes goes away.
OptimizeDialog::~OptimizeDialog() {
  JoinWorker();
}

void OptimizeDialog::Start() {
  if (Running()) return;
  start_->setEnabled(false);
  guarantee_->setEnabled(false);
  effort_->setEnabled(false);
  useBestWanted_ = false;
  const int level = guarantee_->currentData().toInt();
  const auto effort = static_cast<Effort>(effort_->currentData().toInt());
  Run([this, level,
       effort](const Work& work) { output_ = SearchCover(system_, level, effort, work); },
      QStringLiteral("Söker..."));
}

// The dialog stays until the search has stopped, so that its thread never
// outlives the rows it writes; what it found is then dropped.
void OptimizeDialog::reject() {
  if (Running()) {
    useBestWanted_ = false;
    useBest_->setEnabled(false);
  }
  WorkerDialog::reject();
}

// The engine keeps only covers that passed ComputeCoverage, so what it hands
// back when stopped is as verified as a finished run's rows. "Avbryt" still
// drops them until the search has ended.
void OptimizeDialog::StopAndUseBest() {
  if (!Running()) return;
  useBestWanted_ = true;
  Stop();
  useBest_->setEnabled(false);
  best_->setText(QStringLiteral("Stoppar..."));
}

void OptimizeDialog::ShowValue(qint64 best) {
  if (best >= 0 && !Cancelled()) {
    best_->setText(QStringLiteral("Bästa hittills: %1 rader").arg(best));
    useBest_->setEnabled(true);
  }
}

void OptimizeDialog::Finished() {
  useBest_->setEnabled(false);
  if (Failure().empty()) {
    result_ = KeptCover(std::move(output_), Cancelled(),
                        useBestWanted_ ? OnStop::kUseBest : OnStop::kDiscard);
  }
  if (!result_) {
    QDialog::reject();
    return;
  }
  accept();
}

void OptimizeDialog::Abandoned() {
  useBest_->setEnabled(false);
  QDialog::reject();
}

}  // namespace spelkub::tools
