// spelkub_rader: see cli/rader.h.
#include <csignal>
#include <string_view>
#include <vector>

#include "cli/rader.h"
#include "io/save_file.h"

int main(int argc, char** argv) {
  // A closed pipe on standard output is reported as a write error, not a
  // silent death by signal.
  std::signal(SIGPIPE, SIG_IGN);
  // Ctrl-C during a save leaves no temporary file behind.
  spelkub::InstallSaveSignalCleanup();
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  spelkub::cli::StandardStreams streams;
  return spelkub::cli::Run(args, streams);
}
