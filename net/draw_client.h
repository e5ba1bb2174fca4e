// The draw service fetched and read: each call GETs one address through
// Fetch and hands the answer to the engine's parser, so the window and the
// companion tell the same one line for each failure.
#pragma once

#include <string>
#include <vector>

#include "draw/draw_coupon.h"
#include "draw/draw_service.h"
#include "net/fetch.h"

namespace spelkub::net {

template <typename T>
struct Fetched {
  std::optional<T> value;
  std::string error;  // one Swedish line when there is no value
};

// The draws the service lists for the product, open or not; a product that
// lists none is refused ("Topptipset listar inga omgångar: ange omgångens
// nummer").
Fetched<std::vector<Draw>> FetchDraws(const std::string& base, const DrawProduct& product,
                                      int matches, const FetchOptions& options);

// The open draw with the lowest number ("Stryktipset har ingen öppen omgång
// just nu" when there is none).
Fetched<Draw> FetchOpenDraw(const std::string& base, const DrawProduct& product, int matches,
                            const FetchOptions& options);

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

// The jackpot of a draw, kr (0 when none is listed).
Fetched<double> FetchJackpot(const std::string& base, const DrawProduct& product, int drawNumber,
                             const FetchOptions& options);

}  // namespace spelkub::net
