#include "net/fetch.h"

#include <curl/curl.h>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "version.h"

namespace spelkub::net {

namespace {

void InitialiseOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
  const FetchOptions& options;
  std::string body;
  bool tooLarge = false;
};

size_t Receive(char* data, size_t size, size_t count, void* user) {
  Transfer& transfer = *static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  if (bytes > transfer.options.maxBytes - transfer.body.size()) {
    transfer.tooLarge = true;
    return 0;  // ends the transfer with CURLE_WRITE_ERROR
  }
  transfer.body.append(data, bytes);
  return bytes;
}

int Progressed(void* user, curl_off_t expected, curl_off_t received, curl_off_t, curl_off_t) {
  const Transfer& transfer = *static_cast<const Transfer*>(user);
  if (transfer.options.stopRequested && transfer.options.stopRequested()) return 1;
  if (transfer.options.progress) {
    transfer.options.progress(static_cast<size_t>(received), static_cast<size_t>(expected));
  }
  return 0;
}

// "20 sekunder", "0,5 sekunder".
std::string Seconds(long ms) {
  std::string text = std::to_string(ms / 1000);
  if (ms % 1000 != 0) {
    std::string tenths = std::to_string(ms % 1000 + 1000).substr(1);
    while (tenths.back() == '0') tenths.pop_back();
    text += "," + tenths;
  }
  return text + (ms == 1000 ? " sekund" : " sekunder");
}

std::string Bytes(size_t bytes) {
  constexpr size_t kMegabyte = size_t{1} << 20;
  if (bytes % kMegabyte == 0) return std::to_string(bytes / kMegabyte) + " MB";
  return std::to_string(bytes) + " byte";
}

FetchResult Failed(FetchFailure failure, std::string error, long status = 0) {
  FetchResult result;
  result.failure = failure;
  result.error = std::move(error);
  result.status = status;
  return result;
}

FetchResult FetchOnce(const std::string& address, const FetchOptions& options) {
  const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(),
                                                                 &curl_easy_cleanup);
  if (!curl)
    return Failed(FetchFailure::kOther, "Kan inte hämta " + address + ": libcurl startar inte");
  Transfer transfer{options, {}, false};
  char curlText[CURL_ERROR_SIZE] = "";
  const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(
      curl_slist_append(nullptr, "Accept: application/json"), &curl_slist_free_all);
  CURL* handle = curl.get();
  curl_easy_setopt(handle, CURLOPT_URL, address.c_str());
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, options.timeoutMs);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
  curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBytes));
  curl_easy_setopt(handle, CURLOPT_USERAGENT, "Spelkub_lite/" SPELKUB_VERSION);
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, curlText);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &Receive);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &Progressed);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);

  const CURLcode code = curl_easy_perform(handle);
  long status = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  switch (code) {
    case CURLE_OK:
      break;
    case CURLE_FILESIZE_EXCEEDED:
    case CURLE_WRITE_ERROR:
      if (code == CURLE_FILESIZE_EXCEEDED || transfer.tooLarge) {
        return Failed(FetchFailure::kTooLarge,
                      "Svaret från " + address + " är större än " + Bytes(options.maxBytes) +
                          " och lästes inte",
                      status);
      }
      return Failed(FetchFailure::kOther, "Kan inte hämta " + address + ": " + curlText, status);
    case CURLE_ABORTED_BY_CALLBACK:
      return Failed(FetchFailure::kCancelled, "Avbrutet");
    case CURLE_OPERATION_TIMEDOUT:
      return Failed(FetchFailure::kTimeout,
                    address + " svarade inte inom " + Seconds(options.timeoutMs), status);
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
      return Failed(FetchFailure::kOffline, "Kan inte nå " + address +
                                                ": ingen förbindelse (är datorn ansluten till "
                                                "nätet?)");
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
      return Failed(FetchFailure::kCut,
                    "Svaret från " + address + " kom inte fram helt (förbindelsen bröts)", status);
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
      return Failed(FetchFailure::kOther,
                    "Kan inte hämta " + address + ": ingen säker förbindelse (" + curlText + ")");
    default:
      return Failed(FetchFailure::kOther,
                    "Kan inte hämta " + address + ": " +
                        (curlText[0] != '\0' ? std::string(curlText) : curl_easy_strerror(code)));
  }
  if (status != 200) {
    return Failed(FetchFailure::kStatus,
                  status == 404 ? address + " finns inte (404)"
                                : address + " svarade med fel " + std::to_string(status),
                  status);
  }
  FetchResult result;
  result.body = std::move(transfer.body);
  result.status = status;
  return result;
}

// Failures that may pass on a second try.
bool WorthRetrying(const FetchResult& result) {
  switch (result.failure) {
    case FetchFailure::kOffline:
    case FetchFailure::kTimeout:
    case FetchFailure::kCut:
      return true;
    case FetchFailure::kStatus:
      return result.status >= 500;
    default:
      return false;
  }
}

}  // namespace

std::string ApiBase(const std::string& given) {
  std::string base = given;
  if (base.empty()) {
    const char* environment = std::getenv(kApiBaseVariable);
    base = environment != nullptr && environment[0] != '\0' ? environment : kDefaultApiBase;
  }
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base;
}

std::string ApiBaseProblem(const std::string& base) {
  const bool scheme = base.starts_with("http://") || base.starts_with("https://");
  const size_t host = base.find("://") + 3;
  if (!scheme || base.size() <= host || base.find_first_of(" \t\r\n?#") != std::string::npos) {
    return "Tjänstens adress ska vara http://VÄRD eller https://VÄRD, inte \"" + base + "\"";
  }
  return {};
}

FetchResult Fetch(const std::string& address, const FetchOptions& options) {
  InitialiseOnce();
  FetchResult result = FetchOnce(address, options);
  for (int retry = 0; retry < options.retries && WorthRetrying(result); ++retry) {
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(options.retryDelayMs);
    while (std::chrono::steady_clock::now() < until) {
      if (options.stopRequested && options.stopRequested())
        return Failed(FetchFailure::kCancelled, "Avbrutet");
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    result = FetchOnce(address, options);
  }
  return result;
}

}  // namespace spelkub::net
