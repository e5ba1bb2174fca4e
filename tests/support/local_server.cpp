#include "support/local_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace spelkub::test {

namespace {

// Sends all of `data`; false once the client has gone.
bool SendAll(int connection, std::string_view data) {
  while (!data.empty()) {
    const ssize_t sent = send(connection, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

std::string Head(int status, size_t length, bool announced = true) {
  return "HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Fel") +
         "\r\nContent-Type: application/json; charset=utf-8\r\n" +
         (announced ? "Content-Length: " + std::to_string(length) + "\r\n" : std::string()) +
         "Connection: close\r\n\r\n";
}

// Whether the client closed its end while the server waited.
bool ClientGone(int connection) {
  pollfd waiting{connection, POLLIN, 0};
  if (poll(&waiting, 1, 10) <= 0) return false;
  char byte;
  return recv(connection, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

}  // namespace

LocalServer::LocalServer(std::map<std::string, ServedAnswer> answers)
    : answers_(std::move(answers)) {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  if (listener_ < 0) throw std::runtime_error("socket");
  const int yes = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 16) != 0) {
    close(listener_);
    throw std::runtime_error("bind/listen on 127.0.0.1");
  }
  socklen_t size = sizeof address;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

LocalServer::~LocalServer() {
  stopping_ = true;
  thread_.join();
  close(listener_);
}

std::string LocalServer::Base() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

int LocalServer::Requests(const std::string& path) const {
  const std::lock_guard lock(mutex_);
  const auto found = requests_.find(path);
  return found == requests_.end() ? 0 : found->second;
}

void LocalServer::Set(const std::string& path, ServedAnswer answer) {
  const std::lock_guard lock(mutex_);
  answers_[path] = std::move(answer);
}

void LocalServer::Serve() {
  while (!stopping_) {
    pollfd waiting{listener_, POLLIN, 0};
    if (poll(&waiting, 1, 20) <= 0) continue;
    const int connection = accept(listener_, nullptr, nullptr);
    if (connection < 0) continue;
    Answer(connection);
    close(connection);
  }
}

void LocalServer::Answer(int connection) {
  // The request line is all the server looks at: "GET /path HTTP/1.1".
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    pollfd waiting{connection, POLLIN, 0};
    if (poll(&waiting, 1, 2000) <= 0) return;
    const ssize_t got = recv(connection, buffer, sizeof buffer, 0);
    if (got <= 0) return;
    request.append(buffer, static_cast<size_t>(got));
  }
  const size_t start = request.find(' ') + 1;
  const std::string path = request.substr(start, request.find(' ', start) - start);
  ServedAnswer answer;
  bool known = false;
  {
    const std::lock_guard lock(mutex_);
    const int seen = requests_[path]++;
    const auto found = answers_.find(path);
    known = found != answers_.end();
    if (known) answer = found->second;
    if (known && seen < answer.failFirst) answer = {.status = 503, .body = "{}"};
  }
  if (!known) answer = {.status = 404, .body = "<html><body>Sidan finns inte</body></html>"};
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(answer.delayMs);
  while (std::chrono::steady_clock::now() < until && !stopping_) {
    if (ClientGone(connection)) return;
  }
  if (stopping_) return;
  if (answer.endlessBytes > 0) {
    if (!SendAll(connection, Head(answer.status, answer.endlessBytes, !answer.unannounced))) return;
    const std::string filler(65536, ' ');
    for (size_t sent = 0; sent < answer.endlessBytes && !stopping_; sent += filler.size()) {
      if (!SendAll(connection, filler)) return;
    }
    return;
  }
  const size_t shown = answer.cut ? answer.body.size() / 2 : answer.body.size();
  SendAll(connection, Head(answer.status, answer.body.size()) + answer.body.substr(0, shown));
}

}  // namespace spelkub::test
