// Peak resident memory of a piece of work, measured in a forked child so the
// timed runs' allocator state is not changed.
#pragma once

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <string_view>

namespace spelkub::bench {

// Kilobytes of a line of /proc/self/status ("VmHWM:", "VmRSS:").
inline double StatusKb(std::string_view key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with(key)) return std::stod(line.substr(key.size()));
  }
  return -1;
}

// Megabytes of resident memory that `work` adds at its peak: memory freed
// earlier goes back to the system first, and large blocks are mapped fresh,
// as in a program's first run.
template <typename Work>
double PeakMbBeyond(Work work) {
  int channel[2];
  if (::pipe(channel) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    ::mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    ::malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    const double before = StatusKb("VmRSS:");
    work();
    const double peak = (StatusKb("VmHWM:") - before) / 1024.0;
    (void)!::write(channel[1], &peak, sizeof peak);
    ::_exit(0);
  }
  ::close(channel[1]);
  double peak = -1;
  if (::read(channel[0], &peak, sizeof peak) != sizeof peak) peak = -1;
  ::close(channel[0]);
  ::waitpid(child, nullptr, 0);
  return peak;
}

}  // namespace spelkub::bench
