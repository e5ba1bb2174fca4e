#include "net/draw_client.h"

#include <algorithm>
#include <chrono>
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
    return {std::nullopt, missing && !notFound.empty() ? notFound : fetched.error};
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

Fetched<Draw> FetchOpenDraw(const std::string& base, const DrawProduct& product, int matches,
                            const FetchOptions& options) {
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
