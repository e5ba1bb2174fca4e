// A small HTTP server on 127.0.0.1 for the tests that fetch: it answers each
// path with what the test set, including the failures a real server shows
// (slow, a cut body, an endless one), one connection at a time on a thread of
// its own. Tests never reach the network.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace spelkub::test {

struct ServedAnswer {
  int status = 200;
  std::string body;
  int delayMs = 0;           // before the answer starts
  bool cut = false;          // announce the whole body, send half, close
  size_t endlessBytes = 0;   // stream this many bytes of filler instead of `body`
  bool unannounced = false;  // no Content-Length: the body ends when the connection closes
  int failFirst = 0;         // answer the first this many requests with 503
};

class LocalServer {
 public:
  // Paths not in `answers` get 404 with a small HTML page.
  explicit LocalServer(std::map<std::string, ServedAnswer> answers);
  ~LocalServer();
  LocalServer(const LocalServer&) = delete;
  LocalServer& operator=(const LocalServer&) = delete;

  // "http://127.0.0.1:PORT"
  std::string Base() const;
  // Requests received for a path so far.
  int Requests(const std::string& path) const;
  void Set(const std::string& path, ServedAnswer answer);

 private:
  void Serve();
  void Answer(int connection);

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::map<std::string, ServedAnswer> answers_;
  std::map<std::string, int> requests_;
  std::thread thread_;
};

}  // namespace spelkub::test
