// The draw service fetched and read: each call GETs one address through
// Fetch and hands the answer to the engine's parser, so the window and the
// companion tell the same one line for each failure.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "draw/draw_coupon.h"
#include "draw/draw_service.h"
#include "net/fetch.h"

namespace spelkub::net {

template <typename T>
struct Fetched {
  std::optional<T> value;
  std::string error;      // one Swedish line when there is no value
  bool notFound = false;  // the service answered 404: what was asked for is not there (yet)
};

// The draws the service lists for the product, open or not; a product that
// lists none is refused ("Topptipset listar inga omgångar: ange omgångens
// nummer").
Fetched<std::vector<Draw>> FetchDraws(const std::string& base, const DrawProduct& product,
                                      int matches, const FetchOptions& options);

// The entries of the jackpot answer.
Fetched<std::vector<JackpotEntry>> FetchJackpots(const std::string& base,
                                                 const FetchOptions& options);

// At most this many draws are asked for while a product that lists none is
// looked through.
inline constexpr int kMaxDrawTries = 6;

// The open draw with the lowest number ("Stryktipset har ingen öppen omgång
// just nu" when there is none). A product that lists no draws (Topptipset) is
// looked for by number: from the highest draw the jackpot answer names for it,
// upwards past finished draws and downwards past numbers the service does not
// know, then down to the lowest open one, in at most kMaxDrawTries requests.
// The jackpot answer read on the way is left in `jackpots` when given.
Fetched<Draw> FetchOpenDraw(const std::string& base, const DrawProduct& product, int matches,
                            const FetchOptions& options,
                            Fetched<std::vector<JackpotEntry>>* jackpots = nullptr);

// One draw; a 404 says "Stryktipset har ingen omgång 4929".
Fetched<Draw> FetchDraw(const std::string& base, const DrawProduct& product, int drawNumber,
                        int matches, const FetchOptions& options);

// The result of a draw; a 404 says "Omgång 4929 har inget resultat ännu".
Fetched<DrawResult> FetchDrawResult(const std::string& base, const DrawProduct& product,
                                    int drawNumber, int matches, const FetchOptions& options);

// The snapshot of a draw fetched now from the product: stamped with the time
// in UTC, its source "stryktipset omgång 4929".
DrawSnapshot FetchedSnapshot(const Draw& draw, const DrawProduct& product,
                             double jackpot = kNoValue);

// The jackpot of a draw, kr (0 when its entry lists no amount, NaN when the
// answer has no entry for the draw).
Fetched<double> FetchJackpot(const std::string& base, const DrawProduct& product, int drawNumber,
                             const FetchOptions& options);

// A draw with the jackpot its snapshot takes. The jackpot is NaN when the
// jackpot answer failed or names none for the draw; `jackpotNote` then says
// so in one line, and the draw is fetched all the same.
struct DrawWithJackpot {
  Draw draw;
  double jackpot = kNoValue;
  std::string jackpotNote;
};

// Draw `drawNumber`, or without one the open draw (FetchOpenDraw), then the
// jackpots.
Fetched<DrawWithJackpot> FetchDrawWithJackpot(const std::string& base, const DrawProduct& product,
                                              std::optional<int> drawNumber, int matches,
                                              const FetchOptions& options);

}  // namespace spelkub::net
