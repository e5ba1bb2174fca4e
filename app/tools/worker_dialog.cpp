#include "app/tools/worker_dialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "app/qt_text.h"

namespace spelkub::tools {

namespace {

constexpr int kBarSteps = 1000;

}  // namespace

WorkerDialog::WorkerDialog(QWidget* parent) : QDialog(parent) {
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("Status"));
  status_->setWordWrap(true);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("Framsteg"));
  bar_->setRange(0, kBarSteps);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  cancel_ = new QPushButton(QStringLiteral("Avbryt"), this);
  cancel_->setObjectName(QStringLiteral("Avbryt"));
  cancel_->setAutoDefault(false);

  worker_ = new Worker(this);
  connect(worker_, &Worker::Progress, this, &WorkerDialog::ShowProgress);
  connect(worker_, &Worker::Finished, this, &WorkerDialog::Deliver);
  connect(cancel_, &QPushButton::clicked, this, [this] { CancelPressed(); });
}

WorkerDialog::~WorkerDialog() {
  JoinWorker();
}

void WorkerDialog::JoinWorker() {
  delete worker_;  // stops the job and joins its thread
  worker_ = nullptr;
}

bool WorkerDialog::Run(Worker::Job job, const QString& status, Bar bar) {
  if (worker_->Running()) return false;
  closing_ = false;
  busy_ = bar == Bar::kBusy;
  bar_->setRange(0, busy_ ? 0 : kBarSteps);
  bar_->setValue(0);
  status_->setText(status);
  return worker_->Start(std::move(job));
}

void WorkerDialog::Stop() {
  if (worker_->Running()) worker_->Cancel();
}

void WorkerDialog::reject() {
  if (worker_ != nullptr && worker_->Running()) {
    // Closed once the run has stopped: its thread uses the dialog's data.
    closing_ = true;
    worker_->Cancel();
    cancel_->setEnabled(false);
    status_->setText(QStringLiteral("Avbryter..."));
    return;
  }
  QDialog::reject();
}

void WorkerDialog::Abandoned() {
  QDialog::reject();
}

void WorkerDialog::ShowValue(qint64 /*value*/) {}

void WorkerDialog::CancelPressed() {
  reject();
}

QString WorkerDialog::FailureText() const {
  return QStringLiteral("Beräkningen misslyckades: %1").arg(FromUtf8(worker_->Failure()));
}

void WorkerDialog::ShowProgress(double fraction, qint64 value) {
  if (!busy_) bar_->setValue(static_cast<int>(std::clamp(fraction, 0.0, 1.0) * kBarSteps));
  ShowValue(value);
}

void WorkerDialog::Deliver() {
  if (busy_) {
    busy_ = false;
    bar_->setRange(0, kBarSteps);
  }
  if (closing_) {
    closing_ = false;
    cancel_->setEnabled(true);
    Abandoned();
    return;
  }
  Finished();
}

}  // namespace spelkub::tools
