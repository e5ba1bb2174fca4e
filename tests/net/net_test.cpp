#include "net/fetch.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cstdlib>

#include <atomic>
#include <thread>

#include "support/local_server.h"

namespace spelkub::net {
namespace {

using test::LocalServer;
using test::ServedAnswer;

// Short limits keep the failing cases quick.
FetchOptions Quick() {
  FetchOptions options;
  options.timeoutMs = 400;
  options.connectTimeoutMs = 400;
  options.retryDelayMs = 10;
  options.maxBytes = 1 << 20;
  return options;
}

TEST(Fetch, GivesTheWholeAnswer) {
  LocalServer server({{"/draw/1/stryktipset/draws", {.body = R"({"draws": []})"}}});
  const FetchResult result = Fetch(server.Base() + "/draw/1/stryktipset/draws", Quick());
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(result.body, R"({"draws": []})");
  EXPECT_EQ(result.status, 200);
}

TEST(Fetch, TellsEachFailureOnceAndRetriesOnlyWhatMayPass) {
  LocalServer server({
      {"/error", {.status = 500, .body = "{}"}},
      {"/slow", {.body = "{}", .delayMs = 3000}},
      {"/cut", {.body = std::string(2000, 'x'), .cut = true}},
      {"/huge", {.body = "", .endlessBytes = size_t{50} << 20}},
      {"/huge-unannounced", {.body = "", .endlessBytes = size_t{50} << 20, .unannounced = true}},
  });
  const std::string base = server.Base();
  const struct {
    std::string path;
    FetchFailure failure;
    std::string message;
    int requests;
  } cases[] = {
      {"/missing", FetchFailure::kStatus, base + "/missing finns inte (404)", 1},
      {"/error", FetchFailure::kStatus, base + "/error svarade med fel 500", 2},
      {"/slow", FetchFailure::kTimeout, base + "/slow svarade inte inom 0,4 sekunder", 2},
      {"/cut", FetchFailure::kCut,
       "Svaret från " + base + "/cut kom inte fram helt (förbindelsen bröts)", 2},
      {"/huge", FetchFailure::kTooLarge,
       "Svaret från " + base + "/huge är större än 1 MB och lästes inte", 1},
      {"/huge-unannounced", FetchFailure::kTooLarge,
       "Svaret från " + base + "/huge-unannounced är större än 1 MB och lästes inte", 1},
  };
  for (const auto& c : cases) {
    const FetchResult result = Fetch(base + c.path, Quick());
    EXPECT_EQ(result.failure, c.failure) << c.path;
    EXPECT_EQ(result.error, c.message);
    EXPECT_TRUE(result.body.empty()) << c.path;
    EXPECT_EQ(server.Requests(c.path), c.requests) << c.path;
  }
}

TEST(Fetch, ASecondTryTakesTheAnswerAfterOneServerError) {
  LocalServer server({{"/flaky", {.body = "{\"ok\": 1}", .failFirst = 1}}});
  const FetchResult result = Fetch(server.Base() + "/flaky", Quick());
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(result.body, "{\"ok\": 1}");
  EXPECT_EQ(server.Requests("/flaky"), 2);
  // Two server errors in a row are more than one retry covers.
  LocalServer twice({{"/flaky", {.body = "{}", .failFirst = 2}}});
  EXPECT_EQ(Fetch(twice.Base() + "/flaky", Quick()).status, 503);
}

TEST(Fetch, SaysNoConnectionWhenNothingListens) {
  // A port that was free a moment ago: nothing listens there.
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
  close(probe);
  const std::string target = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x";
  const FetchResult result = Fetch(target, Quick());
  EXPECT_EQ(result.failure, FetchFailure::kOffline);
  EXPECT_EQ(result.error,
            "Kan inte nå " + target + ": ingen förbindelse (är datorn ansluten till nätet?)");
}

TEST(Fetch, RefusesOtherSchemesAndFollowsNoRedirect) {
  const FetchResult file = Fetch("file:///etc/passwd", Quick());
  EXPECT_EQ(file.failure, FetchFailure::kOther);
  EXPECT_TRUE(file.body.empty());
  LocalServer server({{"/moved", {.status = 301, .body = ""}}});
  EXPECT_EQ(Fetch(server.Base() + "/moved", Quick()).error,
            server.Base() + "/moved svarade med fel 301");
}

TEST(Fetch, StopsWhenAskedAndSaysAvbrutet) {
  LocalServer server({{"/slow", {.body = "{}", .delayMs = 3000}}});
  std::atomic<bool> stop{false};
  FetchOptions options = Quick();
  options.timeoutMs = 5000;
  options.stopRequested = [&] { return stop.load(); };
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stop = true;
  });
  const auto started = std::chrono::steady_clock::now();
  const FetchResult result = Fetch(server.Base() + "/slow", options);
  stopper.join();
  EXPECT_EQ(result.failure, FetchFailure::kCancelled);
  EXPECT_EQ(result.error, "Avbrutet");
  // Well before the server would have answered.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2500));
}

TEST(ApiBase, TakesTheOptionThenTheEnvironmentThenTheService) {
  unsetenv(kApiBaseVariable);
  EXPECT_EQ(ApiBase(""), "https://api.spela.svenskaspel.se");
  setenv(kApiBaseVariable, "http://127.0.0.1:9/", 1);
  EXPECT_EQ(ApiBase(""), "http://127.0.0.1:9");
  EXPECT_EQ(ApiBase("https://example.test//"), "https://example.test");
  unsetenv(kApiBaseVariable);
  EXPECT_EQ(ApiBaseProblem("http://127.0.0.1:8080"), "");
  EXPECT_EQ(ApiBaseProblem("https://api.spela.svenskaspel.se"), "");
  for (const char* bad : {"ftp://x", "api.spela.svenskaspel.se", "http://", "http://x?y=1"}) {
    EXPECT_EQ(ApiBaseProblem(bad),
              "Tjänstens adress ska vara http://VÄRD eller https://VÄRD, inte \"" +
                  std::string(bad) + "\"");
  }
}

}  // namespace
}  // namespace spelkub::net
