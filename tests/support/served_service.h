// The local server as the draw service of the program's own fetches: its
// address is in the variable they read (net::kApiBaseVariable) for as long as
// it runs. The window's tools and the companion's in-process runs fetch from
// it without being told.
#pragma once

#include <cstdlib>
#include <map>
#include <string>
#include <utility>

#include "net/fetch.h"
#include "support/draw_answers.h"
#include "support/local_server.h"

namespace spelkub::test {

class ServedService {
 public:
  explicit ServedService(std::map<std::string, ServedAnswer> answers) : server(std::move(answers)) {
    setenv(net::kApiBaseVariable, server.Base().c_str(), 1);
  }
  ~ServedService() { unsetenv(net::kApiBaseVariable); }
  ServedService(const ServedService&) = delete;
  ServedService& operator=(const ServedService&) = delete;

  LocalServer server;
};

// Answers with the result of Stryktipset's draw `draw` (ResultBody) and
// nothing else.
inline std::map<std::string, ServedAnswer> StryktipsetResult(int draw) {
  ServedAnswer result;
  result.body = nlohmann::json{{"result", ResultBody(draw)}}.dump();
  return {{"/draw/1/stryktipset/draws/" + std::to_string(draw) + "/result", result}};
}

}  // namespace spelkub::test
