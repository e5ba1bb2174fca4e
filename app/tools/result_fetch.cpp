#include "app/tools/result_fetch.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <utility>

#include "app/qt_text.h"
#include "app/tools/worker.h"

namespace spelkub::tools {

ResultFetch::ResultFetch(int matches, QWidget* parent) : QWidget(parent), matches_(matches) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(new QLabel(QStringLiteral("Omgång:"), this));
  draw_ = new QSpinBox(this);
  draw_->setObjectName(QStringLiteral("Omgang"));
  draw_->setRange(1, 9'999'999);
  layout->addWidget(draw_);
  fetch_ = new QPushButton(QStringLiteral("Hämta resultat"), this);
  fetch_->setObjectName(QStringLiteral("HamtaResultat"));
  fetch_->setAutoDefault(false);
  layout->addWidget(fetch_);
  cancel_ = new QPushButton(QStringLiteral("Avbryt"), this);
  cancel_->setObjectName(QStringLiteral("AvbrytHamtning"));
  cancel_->setAutoDefault(false);
  cancel_->hide();
  layout->addWidget(cancel_);
  hide();

  worker_ = new Worker(this);
  connect(worker_, &Worker::Finished, this, &ResultFetch::Finish);
  connect(fetch_, &QPushButton::clicked, this, &ResultFetch::Fetch);
  connect(cancel_, &QPushButton::clicked, this, &ResultFetch::Cancel);
}

ResultFetch::~ResultFetch() {
  delete worker_;
}

void ResultFetch::Offer(const DrawProduct& product, int draw, std::string apiBase) {
  product_ = &product;
  apiBase_ = std::move(apiBase);
  if (draw > 0) draw_->setValue(draw);
  show();
}

void ResultFetch::Cancel() {
  worker_->Cancel();
}

void ResultFetch::Fetch() {
  if (product_ == nullptr || worker_->Running()) return;
  const int draw = draw_->value();
  fetch_->setEnabled(false);
  draw_->setEnabled(false);
  cancel_->show();
  emit Started(draw);
  worker_->Start(
      [this, draw, product = product_, base = apiBase_, matches = matches_](const Work& work) {
        net::FetchOptions options;
        options.stopRequested = [&work] { return work.Stopped(); };
        fetched_ = net::FetchDrawResult(base, *product, draw, matches, options);
      });
}

void ResultFetch::Finish() {
  fetch_->setEnabled(true);
  draw_->setEnabled(true);
  cancel_->hide();
  std::string error = worker_->Failure();
  if (error.empty() && worker_->Cancelled()) error = "Avbrutet: inget resultat hämtat.";
  if (error.empty() && !fetched_.value) error = fetched_.error;
  if (!error.empty()) {
    emit Failed(FromUtf8(error));
    return;
  }
  emit Fetched(*fetched_.value);
}

}  // namespace spelkub::tools
