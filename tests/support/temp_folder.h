// File helpers for tests that touch real files: a fresh folder per test,
// whole-file reads and writes, and a file size limit that makes a write fail
// part-way as a full disk would.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace spelkub::testing {

// A folder of its own for the running test, named from `prefix`, the process
// id and the test's name so that parallel runs never share it. Whatever was
// left there by an earlier run is cleared; the folder goes with the object.
class TempFolder {
 public:
  explicit TempFolder(std::string_view prefix) {
    std::string name = std::string(prefix) + "_" + std::to_string(::getpid());
    if (const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info()) {
      name += "_";
      name += test->name();
      std::replace(name.begin(), name.end(), '/', '_');  // parameterised names
    }
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path Path(std::string_view name) const { return path_ / name; }

  // The names in the folder, sorted.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

// The whole file, byte for byte; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

// Replaces the file with exactly `bytes`.
inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// While it lives, no file of this process may grow beyond `bytes`, and going
// past the limit fails the write instead of raising SIGXFSZ. Both are restored
// on destruction.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    if (::getrlimit(RLIMIT_FSIZE, &saved_) != 0) {
      ADD_FAILURE() << "getrlimit(RLIMIT_FSIZE): " << std::strerror(errno);
      return;
    }
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved_;
    small.rlim_cur = bytes;
    if (::setrlimit(RLIMIT_FSIZE, &small) != 0) {
      ADD_FAILURE() << "setrlimit(RLIMIT_FSIZE, " << bytes << "): " << std::strerror(errno);
    } else {
      limited_ = true;
    }
  }
  ~FileSizeLimit() {
    if (limited_ && ::setrlimit(RLIMIT_FSIZE, &saved_) != 0) {
      ADD_FAILURE() << "setrlimit(RLIMIT_FSIZE) restoring: " << std::strerror(errno);
    }
    if (oldHandler_ != SIG_ERR) std::signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  struct rlimit saved_ {};
  void (*oldHandler_)(int) = SIG_ERR;
  bool limited_ = false;
};

}  // namespace spelkub::testing
