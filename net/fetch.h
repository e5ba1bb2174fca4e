// Fetching a document over HTTP(S) with libcurl, for the front ends that read
// the draw service. The parsers never see the network; this never sees JSON.
//
// A fetch follows no redirects, takes HTTP and HTTPS only (with the system's
// certificate check), gives up after a time, refuses answers beyond a size,
// and tries once more when the failure may pass (no connection, a timeout, a
// cut answer, a server error 5xx). Every failure is one Swedish line.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace spelkub::net {

// The operator's draw service, unless the player points elsewhere.
inline constexpr std::string_view kDefaultApiBase = "https://api.spela.svenskaspel.se";
// The environment variable that points elsewhere (a local server in tests).
inline constexpr const char* kApiBaseVariable = "SPELKUB_API_BASE";

// --api-base's value when given, else the environment's, else the default;
// without a slash at the end.
std::string ApiBase(const std::string& given);

// Why a base address cannot be used ("--api-base ska börja med http:// eller
// https://"); empty when it can.
std::string ApiBaseProblem(const std::string& base);

struct FetchOptions {
  long timeoutMs = 20000;  // the whole answer
  long connectTimeoutMs = 10000;
  size_t maxBytes = size_t{4} << 20;
  int retries = 1;
  long retryDelayMs = 500;
  // Polled while the fetch runs; true ends it as "Avbrutet".
  std::function<bool()> stopRequested;
  // Bytes received so far and the answer's size when the server says it (0
  // when not), as the transfer goes.
  std::function<void(size_t received, size_t expected)> progress;
};

enum class FetchFailure { kNone, kOffline, kTimeout, kStatus, kTooLarge, kCut, kCancelled, kOther };

struct FetchResult {
  std::string body;  // the whole answer when `failure` is kNone
  long status = 0;   // the HTTP status, when an answer came
  FetchFailure failure = FetchFailure::kNone;
  std::string error;  // one Swedish line naming the address, when failed

  bool ok() const { return failure == FetchFailure::kNone; }
};

// GETs `address`. A status other than 200 is a failure (kStatus) with the
// status kept, so that a caller can tell 404 ("no such draw") apart.
FetchResult Fetch(const std::string& address, const FetchOptions& options = {});

}  // namespace spelkub::net
