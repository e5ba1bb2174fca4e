// "Hämta resultat": a draw number, the button and its "Avbryt", fetching a
// draw's result from the draw service on a worker of its own. The dialogs of
// results ("Rätta rader", "Följ kupongen") place it beside their typed line
// and take what it fetched as if it had been typed.
#pragma once

#include <QString>
#include <QWidget>
#include <string>

#include "draw/draw_service.h"
#include "net/draw_client.h"

class QPushButton;
class QSpinBox;

namespace spelkub::tools {

class Worker;

class ResultFetch : public QWidget {
  Q_OBJECT

 public:
  // Hidden until Offer; a fetch is for `matches` matches.
  ResultFetch(int matches, QWidget* parent);
  // The worker joins its thread before the answer it writes goes away.
  ~ResultFetch() override;

  // Shows the row for the product's draws from `apiBase`, with `draw` (when
  // above 0) as the number first offered.
  void Offer(const DrawProduct& product, int draw, std::string apiBase);
  // Stops a fetch; Failed follows.
  void Cancel();
  Worker& FetchWorker() { return *worker_; }

 signals:
  void Started(int draw);
  // The result fetched; Failed instead with one Swedish line.
  void Fetched(const spelkub::DrawResult& result);
  void Failed(const QString& error);

 private:
  void Fetch();
  void Finish();

  const int matches_;
  QSpinBox* draw_ = nullptr;
  QPushButton* fetch_ = nullptr;
  QPushButton* cancel_ = nullptr;
  Worker* worker_ = nullptr;
  const DrawProduct* product_ = nullptr;
  std::string apiBase_;
  net::Fetched<DrawResult> fetched_;  // written by the fetch
};

}  // namespace spelkub::tools
