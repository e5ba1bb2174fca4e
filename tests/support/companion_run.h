// The companion run in-process, with what it wrote to standard output and
// standard error, for tests that link the companion (spelkub_cli).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/rader.h"

namespace spelkub::testing {

class CapturedOutput final : public cli::Output {
 public:
  bool WriteOut(std::string_view bytes) override {
    out.append(bytes);
    return true;
  }
  void WriteErr(std::string_view bytes) override { err.append(bytes); }
  std::string out;
  std::string err;
};

struct CompanionRun {
  int status = -1;
  std::string out;
  std::string err;
};

inline CompanionRun RunCompanion(const std::vector<std::string>& args) {
  const std::vector<std::string_view> views(args.begin(), args.end());
  CapturedOutput output;
  const int status = cli::Run(views, output);
  return {status, std::move(output.out), std::move(output.err)};
}

}  // namespace spelkub::testing
