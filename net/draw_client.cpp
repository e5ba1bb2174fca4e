#include "net/draw_client.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

namespace spelkub::net {

namespace {

// The answer at `address` read by `parse`; `notFound` replaces the message
// of a 404, which from this service means that the thing asked for is not
// there (yet).
template <typename T, typename Parse>
Fetched<T> Read(const std::string& address, const std::string& notFound,
                const FetchOptions& options, Parse parse) {
  FetchResult fetched = Fetch(address, options);
  if (!fetched.ok()) {
    const bool missing = fetched.failure == FetchFailure::kStatus && fetched.status == 404;
    return {std::nullopt, missing && !notFound.empty() ? notFound : fetched.error, missing};
  }
  DrawParse<T> parsed = parse(fetched.body);
  return {std::move(parsed.value), std::move(parsed.error)};
}

}  // namespace

Fetched<std::vector<Draw>> FetchDraws(const std::string& base, const DrawProduct& product,
                                      int matches, const FetchOptions& options) {
  if (!product.listsDraws) {
    return {std::nullopt,
            std::string(product.name) + " listar inga omgångar: ange omgångens nummer"};
  }
  return Read<std::vector<Draw>>(
      OpenDrawsAddress(base, product), "", options,
      [&](const std::string& body) { return ParseOpenDraws(body, matches); });
}

Fetched<std::vector<JackpotEntry>> FetchJackpots(const std::string& base,
                                                 const FetchOptions& options) {
  return Read<std::vector<JackpotEntry>>(
      JackpotsAddress(base), "", options,
      [](const std::string& body) { return ParseJackpots(body); });
}

namespace {

// A product that lists no draws, looked for by number (see FetchOpenDraw).
Fetched<Draw> FindOpenDraw(const std::string& base, const DrawProduct& product, int matches,
                           const FetchOptions& options,
                           const Fetched<std::vector<JackpotEntry>>& jackpots) {
  const std::string name(product.name);
  if (!jackpots.value) {
    return {std::nullopt, name + " listar inga omgångar och jackpottlistan kunde inte läsas (" +
                              jackpots.error + "): ange omgångens nummer"};
  }
  const std::vector<int> named = JackpotDrawNumbers(*jackpots.value, product);
  if (named.empty()) {
    return {std::nullopt, name +
                              " listar inga omgångar och jackpottlistan nämner ingen: "
                              "ange omgångens nummer"};
  }
  std::optional<Draw> lowestOpen;
  int direction = 0;  // +1 up past finished draws, -1 down past unknown numbers or open draws
  int number = named.front();
  int lowestAsked = number;
  int highestAsked = number;
  bool settled = false;  // the draws asked show that none is open
  for (int tries = 0; tries < kMaxDrawTries && number >= 1 && !settled; ++tries) {
    lowestAsked = std::min(lowestAsked, number);
    highestAsked = std::max(highestAsked, number);
    Fetched<Draw> fetched = FetchDraw(base, product, number, matches, options);
    if (fetched.value) {
      if (fetched.value->IsOpen()) {
        lowestOpen = std::move(fetched.value);
        // Come up from a draw that is not open, this is the lowest open one.
        if (direction == 1) break;
        direction = -1;
        --number;
        continue;
      }
      // Below an open draw and above a number not there yet lies none open.
      settled = lowestOpen || direction == -1;
      if (settled) break;
      direction = 1;
      ++number;
      continue;
    }
    if (!fetched.notFound) return fetched;
    settled = lowestOpen || direction == 1;
    if (settled) break;
    direction = -1;
    --number;
  }
  if (lowestOpen) return {std::move(lowestOpen), {}};
  const std::string asked = lowestAsked == highestAsked
                                ? std::to_string(lowestAsked)
                                : std::to_string(lowestAsked) + "–" + std::to_string(highestAsked);
  if (!settled && number >= 1) {
    return {std::nullopt,
            "Ingen öppen omgång av " + name + " bland omgång " + asked + ": ange omgångens nummer"};
  }
  return {std::nullopt,
          name + " har ingen öppen omgång just nu (sökte bland omgång " + asked + ")"};
}

}  // namespace

Fetched<Draw> FetchOpenDraw(const std::string& base, const DrawProduct& product, int matches,
                            const FetchOptions& options,
                            Fetched<std::vector<JackpotEntry>>* jackpots) {
  if (!product.listsDraws) {
    Fetched<std::vector<JackpotEntry>> read = FetchJackpots(base, options);
    Fetched<Draw> found = FindOpenDraw(base, product, matches, options, read);
    if (jackpots != nullptr) *jackpots = std::move(read);
    return found;
  }
  Fetched<std::vector<Draw>> draws = FetchDraws(base, product, matches, options);
  if (!draws.value) return {std::nullopt, std::move(draws.error)};
  const Draw* open = nullptr;
  for (const Draw& draw : *draws.value) {
    if (draw.IsOpen() && (open == nullptr || draw.number < open->number)) open = &draw;
  }
  if (open == nullptr)
    return {std::nullopt, std::string(product.name) + " har ingen öppen omgång just nu"};
  return {*open, {}};
}

Fetched<Draw> FetchDraw(const std::string& base, const DrawProduct& product, int drawNumber,
                        int matches, const FetchOptions& options) {
  return Read<Draw>(DrawAddress(base, product, drawNumber),
                    std::string(product.name) + " har ingen omgång " + std::to_string(drawNumber),
                    options,
                    [&](const std::string& body) { return ParseDraw(body, drawNumber, matches); });
}

Fetched<DrawResult> FetchDrawResult(const std::string& base, const DrawProduct& product,
                                    int drawNumber, int matches, const FetchOptions& options) {
  return Read<DrawResult>(
      ResultAddress(base, product, drawNumber),
      "Omgång " + std::to_string(drawNumber) + " har inget resultat ännu", options,
      [&](const std::string& body) { return ParseDrawResult(body, drawNumber, matches); });
}

DrawSnapshot FetchedSnapshot(const Draw& draw, const DrawProduct& product, double jackpot) {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm utc{};
  gmtime_r(&now, &utc);
  char time[32];
  std::strftime(time, sizeof time, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return SnapshotOfDraw(
      draw, time, std::string(product.option) + " omgång " + std::to_string(draw.number), jackpot);
}

Fetched<double> FetchJackpot(const std::string& base, const DrawProduct& product, int drawNumber,
                             const FetchOptions& options) {
  return Read<double>(JackpotsAddress(base), "", options, [&](const std::string& body) {
    return ParseJackpot(body, product, drawNumber);
  });
}

}  // namespace spelkub::net

namespace spelkub::net {

Fetched<DrawWithJackpot> FetchDrawWithJackpot(const std::string& base, const DrawProduct& product,
                                              std::optional<int> drawNumber, int matches,
                                              const FetchOptions& options) {
  Fetched<std::vector<JackpotEntry>> jackpots;
  Fetched<Draw> fetched = drawNumber ? FetchDraw(base, product, *drawNumber, matches, options)
                                     : FetchOpenDraw(base, product, matches, options, &jackpots);
  if (!fetched.value) return {std::nullopt, std::move(fetched.error)};
  if (!jackpots.value) jackpots = FetchJackpots(base, options);
  DrawWithJackpot read{std::move(*fetched.value), kNoValue, {}};
  const std::string drawText = "omgång " + std::to_string(read.draw.number);
  if (!jackpots.value) {
    read.jackpotNote = "Jackpotten kunde inte hämtas, " + drawText +
                       " har ingen jackpott i kupongen: " + jackpots.error;
  } else {
    read.jackpot = JackpotOf(*jackpots.value, product, read.draw.number);
    if (std::isnan(read.jackpot))
      read.jackpotNote = "Jackpottlistan nämner inte " + drawText + ": kupongen har ingen jackpott";
  }
  return {std::move(read), {}};
}

}  // namespace spelkub::net
