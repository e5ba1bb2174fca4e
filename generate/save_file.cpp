#include "generate/save_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace spelkub {

namespace {

[[noreturn]] void ThrowCannotCreate(const std::string& path, int error) {
  throw SaveError("Cannot create file \"" + path + "\". " + std::strerror(error));
}

[[noreturn]] void ThrowWriteError() {
  throw SaveError("Stream write error");
}

// Closes and removes the temporary file unless it was handed over by rename.
class TemporaryFile {
 public:
  TemporaryFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  bool Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
  }
  void Release() { path_.clear(); }

 private:
  int fd_;
  std::string path_;
};

// A link is followed, so saving over it replaces the file it points to.
std::string ResolveTarget(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_symlink(path, error)) {
    auto target = std::filesystem::weakly_canonical(path, error);
    if (!error) return target.string();
  }
  return path;
}

TemporaryFile CreateTemporaryBeside(const std::string& target, const std::string& shownPath) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path targetPath(target);
  const std::string folder = targetPath.has_parent_path() ? targetPath.parent_path().string() : ".";
  // The temporary name stays short enough for the file system even when the
  // target's own name is near its limit.
  constexpr size_t kNameKept = 200;
  std::string stem(1, '.');
  stem.append(targetPath.filename().string().substr(0, kNameKept)).append(1, '.');
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name =
        folder + "/" + stem + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return TemporaryFile(fd, name);
    if (errno != EEXIST) ThrowCannotCreate(shownPath, errno);
  }
  ThrowCannotCreate(shownPath, EEXIST);
}

}  // namespace

void SaveTextFile(const std::string& path, std::string_view bytes) {
  if (path.empty()) ThrowCannotCreate(path, ENOENT);
  const std::string target = ResolveTarget(path);

  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) ThrowCannotCreate(path, EISDIR);

  TemporaryFile temporary = CreateTemporaryBeside(target, path);
  // A replaced file keeps its permissions.
  if (exists) (void)::fchmod(temporary.fd(), existing.st_mode & 07777);

  const char* data = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(temporary.fd(), data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      ThrowWriteError();
    }
    data += written;
    left -= static_cast<size_t>(written);
  }
  if (::fsync(temporary.fd()) != 0 || !temporary.Close()) ThrowWriteError();
  if (::rename(temporary.path().c_str(), target.c_str()) != 0) ThrowCannotCreate(path, errno);
  temporary.Release();

  // Make the rename itself durable.
  const std::filesystem::path folder = std::filesystem::path(target).parent_path();
  const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
}

}  // namespace spelkub
