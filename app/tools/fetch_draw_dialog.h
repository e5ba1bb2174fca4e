// "Hämta omgång...": the game, the draws the service lists for it to choose
// from (or a draw number, for a product that lists none, filled in with the
// open draw looked for by number), "Hämta" with its progress, and "Avbryt".
// Every fetch runs on the dialog's worker (WorkerDialog), the bar busy; the dialog closes accepted
// only with a draw that was read whole and fits the game. The draw's jackpot is fetched with it; a
// draw whose jackpot cannot be had is taken all the same.
//
// "Uppdatera streck" opens the same dialog on the draw fetched last, which it
// fetches again at once, and puts its numbers into the coupon as a fresh
// fetch does.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/tools/worker_dialog.h"
#include "draw/draw_service.h"
#include "net/draw_client.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace spelkub::tools {

struct ToolHost;

// A draw to fetch again, for "Uppdatera streck".
struct FetchedDrawRef {
  std::string option;  // the game word of its product
  int number = 0;
};

class FetchDrawDialog : public WorkerDialog {
  Q_OBJECT

 public:
  // Offers the games of the table the service has a product for, `game`'s
  // first; the draws come from `apiBase`. With `again`, that draw is fetched
  // at once.
  FetchDrawDialog(int32_t game, std::string apiBase,
                  const std::optional<FetchedDrawRef>& again = std::nullopt,
                  QWidget* parent = nullptr);
  ~FetchDrawDialog() override;

  // The draw read, once accepted, and the product it is of.
  const std::optional<Draw>& FetchedDraw() const { return draw_; }
  // Its jackpot, kr: NaN when none could be had, and then the line why.
  double FetchedJackpot() const { return jackpot_; }
  const std::string& JackpotNote() const { return jackpotNote_; }
  const DrawProduct& Product() const;
  Worker& FetchWorker() { return ValueWorker(); }

 private:
  enum class Job { kNone, kList, kFind, kDraw };

  void ChooseGame();
  void StartFetch();
  void FetchNumber(int number);
  void Finished() override;
  // "Avbryt" stops a fetch and keeps the dialog for another draw.
  void CancelPressed() override;
  void SetBusy(bool running);
  void ShowError(const std::string& error);
  void UpdateFetchButton();

  std::string apiBase_;
  std::vector<const DrawProduct*> products_;
  QComboBox* game_ = nullptr;
  QListWidget* draws_ = nullptr;
  QWidget* drawsLabel_ = nullptr;
  QWidget* numberLabel_ = nullptr;
  QSpinBox* number_ = nullptr;
  QLabel* error_ = nullptr;
  QPushButton* fetch_ = nullptr;

  Job job_ = Job::kNone;
  // Written by the worker, read after Finished.
  net::Fetched<std::vector<Draw>> listed_;
  net::Fetched<Draw> found_;
  net::Fetched<net::DrawWithJackpot> fetched_;
  std::optional<Draw> draw_;
  double jackpot_ = kNoValue;
  std::string jackpotNote_;
};

// "Hämta omgång...": the chosen draw into the window's document (teams, and a
// snapshot of its odds, streck and turnover that the coupon then takes). A
// draw of another game than the window's is refused with a message; nothing
// changes then. True when the document changed.
bool FetchDrawCommand(const ToolHost& host);

// "Uppdatera streck": the draw of the document's latest snapshot fetched
// again into a new snapshot; a message when the document has none, and
// nothing changes when the fetch fails or is stopped.
bool UpdateStreckCommand(const ToolHost& host);

}  // namespace spelkub::tools
