// The file layer on POSIX systems: every system call of saving lives here, so
// another platform needs only its own version of this file.
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include "generate/save_file.h"
#include "generate/save_file_testing.h"

namespace spelkub {

namespace {

std::atomic<bool> unnamedTemporariesAllowed{true};

[[noreturn]] void ThrowCannotCreate(const std::string& path, int error) {
  throw SaveError("Cannot create file \"" + path + "\". " + std::strerror(error));
}

[[noreturn]] void ThrowWriteError() {
  throw SaveError("Stream write error");
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A hidden name beside the target for the finished file's last moment before
// the rename. It stays short enough for the file system even when the
// target's own name is near its limit.
std::string TemporaryName(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  constexpr size_t kNameKept = 200;
  return FolderOf(target) + "/." + NameOf(target).substr(0, kNameKept) + "." +
         std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

// Named temporaries that a signal must not leave behind. The handler only
// reads prebuilt paths and calls unlink, both safe in a signal handler.
constexpr int kSlots = 32;
struct Slot {
  std::atomic<int> state{0};  // 0 free, 1 being filled, 2 holds a path to remove
  char path[PATH_MAX];
};
Slot slots[kSlots];

extern "C" void RemoveTemporariesAndRaise(int signal) {
  const int savedErrno = errno;
  for (Slot& slot : slots) {
    if (slot.state.load() == 2) ::unlink(slot.path);
  }
  errno = savedErrno;
  // SA_RESETHAND restored the default action; the signal is blocked until the
  // handler returns and then ends the process as it would have without us.
  ::raise(signal);
}

// Only signals that would end the process anyway get the handler; a program
// with its own handling keeps it. Checked at every named temporary, as the
// program may have changed its handling since.
void InstallSignalCleanup() {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction cleanup {};
    cleanup.sa_handler = RemoveTemporariesAndRaise;
    sigemptyset(&cleanup.sa_mask);
    cleanup.sa_flags = SA_RESETHAND;
    ::sigaction(signal, &cleanup, nullptr);
  }
}

int ClaimSlot(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (int index = 0; index < kSlots; ++index) {
    int expected = 0;
    if (slots[index].state.compare_exchange_strong(expected, 1)) {
      std::memcpy(slots[index].path, path.c_str(), path.size() + 1);
      slots[index].state.store(2);
      return index;
    }
  }
  return -1;
}

void ReleaseSlot(int index) {
  if (index >= 0) slots[index].state.store(0);
}

// Holds SIGINT, SIGTERM and SIGHUP back in this thread while a finished file
// is being named, so that they cannot leave the name half given.
class TerminationSignalsHeld {
 public:
  TerminationSignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, SIGINT);
    sigaddset(&held, SIGTERM);
    sigaddset(&held, SIGHUP);
    ::pthread_sigmask(SIG_BLOCK, &held, &saved_);
  }
  ~TerminationSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
  TerminationSignalsHeld(const TerminationSignalsHeld&) = delete;
  TerminationSignalsHeld& operator=(const TerminationSignalsHeld&) = delete;

 private:
  sigset_t saved_;
};

// A write to a pipe whose reader has gone fails with EPIPE instead of ending
// the process with SIGPIPE.
ssize_t WriteWithoutSigpipe(int fd, const char* data, size_t size) {
  sigset_t pipe, saved, pending;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  sigpending(&pending);
  const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
  ::pthread_sigmask(SIG_BLOCK, &pipe, &saved);
  const ssize_t written = ::write(fd, data, size);
  const int writeError = errno;
  if (written < 0 && writeError == EPIPE && !wasPending) {
    const struct timespec now {};
    while (::sigtimedwait(&pipe, nullptr, &now) < 0 && errno == EINTR) {
    }
  }
  ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
  errno = writeError;
  return written;
}

void FsyncFolder(const std::string& folder) {
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
}

// The file a dangling link names, following a chain of links; each relative
// link is read from its own folder.
std::string FollowDanglingLink(const std::string& path, const std::string& shownPath) {
  std::string current = path;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
    if (length < 0) ThrowCannotCreate(shownPath, errno);
    target.resize(static_cast<size_t>(length));
    current = target.starts_with('/') ? target : FolderOf(current) + "/" + target;
  }
  ThrowCannotCreate(shownPath, ELOOP);
}

// True when the folder is sticky and the user may not rename over the file.
bool StickyFolderForbidsReplacing(const std::string& folder, const struct stat& file) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 || (info.st_mode & S_ISVTX) == 0) return false;
  const uid_t user = ::geteuid();
  return user != 0 && user != file.st_uid && user != info.st_uid;
}

}  // namespace

namespace save_file_testing {
void AllowUnnamedTemporaries(bool allowed) {
  unnamedTemporariesAllowed = allowed;
}
}  // namespace save_file_testing

struct SaveFileWriter::State {
  enum class Kind {
    kUnnamed,  // an O_TMPFILE in the target's folder, named when complete
    kNamed,    // a hidden temporary beside the target, removed on failure
    kInPlace,  // the existing file itself, emptied before the first byte
    kDirect,   // a device, pipe or socket: the bytes go straight to it
  };
  Kind kind = Kind::kUnnamed;
  int fd = -1;
  std::string shownPath;
  std::string target;     // where the finished file goes, links resolved
  std::string temporary;  // kNamed: the temporary's name
  int slot = -1;
  bool existed = false;
  bool emptied = false;
  bool failed = false;
  bool done = false;

  // Opens a temporary in the target's folder that will replace `existing`,
  // or returns false when the folder takes no new file.
  bool OpenTemporary(const struct stat* existing);
  void TakeOver(const struct stat& existing);
  void WriteAll(const char* data, size_t size);
  void Finish();
};

bool SaveFileWriter::State::OpenTemporary(const struct stat* existing) {
  const std::string folder = FolderOf(target);
#ifdef O_TMPFILE
  if (unnamedTemporariesAllowed) {
    fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
      // The unnamed file gets its name through /proc; without /proc use a
      // named temporary from the start.
      const std::string self = "/proc/self/fd/" + std::to_string(fd);
      if (::access(self.c_str(), F_OK) == 0) {
        kind = Kind::kUnnamed;
        return true;
      }
      ::close(fd);
      fd = -1;
    } else if (errno == EACCES || errno == EPERM || errno == EROFS) {
      if (existing != nullptr) return false;
      ThrowCannotCreate(shownPath, errno);
    } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOSYS) {
      ThrowCannotCreate(shownPath, errno);
    }
  }
#endif
  InstallSignalCleanup();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = TemporaryName(target);
    // The slot is filled before the file exists, so no moment leaves a file
    // that a signal would not remove.
    const int claimed = ClaimSlot(name);
    fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      kind = Kind::kNamed;
      temporary = name;
      slot = claimed;
      return true;
    }
    const int error = errno;
    ReleaseSlot(claimed);
    if (error == EEXIST) continue;
    if ((error == EACCES || error == EPERM || error == EROFS) && existing != nullptr) return false;
    ThrowCannotCreate(shownPath, error);
  }
  ThrowCannotCreate(shownPath, EEXIST);
}

// The new file keeps the old one's owner and group where this user may set
// them, and its permissions.
void SaveFileWriter::State::TakeOver(const struct stat& existing) {
  struct stat mine {};
  if (::fstat(fd, &mine) == 0 &&
      (mine.st_uid != existing.st_uid || mine.st_gid != existing.st_gid)) {
    if (::fchown(fd, existing.st_uid, existing.st_gid) != 0 &&
        ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid) != 0) {
      // Neither owner nor group may be kept: the new file stays this user's.
    }
  }
  (void)::fchmod(fd, existing.st_mode & 07777);
}

void SaveFileWriter::State::WriteAll(const char* data, size_t size) {
  if (failed || done) ThrowWriteError();
  if (kind == Kind::kInPlace && !emptied) {
    if (::ftruncate(fd, 0) != 0) {
      failed = true;
      ThrowCannotCreate(shownPath, errno);
    }
    emptied = true;
  }
  while (size > 0) {
    const ssize_t written =
        kind == Kind::kDirect ? WriteWithoutSigpipe(fd, data, size) : ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      failed = true;
      ThrowWriteError();
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
}

void SaveFileWriter::State::Finish() {
  if (failed || done) ThrowWriteError();
  if (kind == Kind::kInPlace && !emptied) WriteAll(nullptr, 0);
  failed = true;  // until the file is named
  if (kind != Kind::kDirect && ::fsync(fd) != 0) ThrowWriteError();
  if (kind == Kind::kUnnamed) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const TerminationSignalsHeld held;
    // A new file takes its name at once; linkat never replaces, so an
    // existing one is replaced by a rename from a name of its own.
    if (existed ||
        ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      if (!existed && errno != EEXIST) ThrowCannotCreate(shownPath, errno);
      const std::string name = TemporaryName(target);
      // Other threads may still take a signal while the name exists.
      InstallSignalCleanup();
      slot = ClaimSlot(name);
      int error = 0;
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        error = errno;
      } else if (::rename(name.c_str(), target.c_str()) != 0) {
        error = errno;
        ::unlink(name.c_str());
      }
      ReleaseSlot(slot);
      slot = -1;
      if (error != 0) ThrowCannotCreate(shownPath, error);
    }
  }
  const int closing = fd;
  fd = -1;
  if (::close(closing) != 0) ThrowWriteError();
  if (kind == Kind::kNamed) {
    const TerminationSignalsHeld held;
    if (::rename(temporary.c_str(), target.c_str()) != 0) ThrowCannotCreate(shownPath, errno);
    temporary.clear();
    ReleaseSlot(slot);
    slot = -1;
  }
  if (kind == Kind::kUnnamed || kind == Kind::kNamed) FsyncFolder(FolderOf(target));
  failed = false;
  done = true;
}

SaveFileWriter::SaveFileWriter(const std::string& path) : state_(new State) {
  State& state = *state_;
  state.shownPath = path;
  state.target = path;
  try {
    if (path.empty()) ThrowCannotCreate(path, ENOENT);
    struct stat existing {};
    if (::stat(path.c_str(), &existing) != 0) {
      if (errno != ENOENT) ThrowCannotCreate(path, errno);
      state.target = FollowDanglingLink(path, path);
      state.OpenTemporary(nullptr);
      return;
    }
    state.existed = true;
    if (S_ISDIR(existing.st_mode)) ThrowCannotCreate(path, EISDIR);
    if (!S_ISREG(existing.st_mode)) {
      // Renaming over a device or a pipe would take it away from its
      // readers: the bytes go to it, through every link.
      state.kind = State::Kind::kDirect;
      state.fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
      if (state.fd < 0) ThrowCannotCreate(path, errno);
      return;
    }
    struct stat named {};
    if (::lstat(path.c_str(), &named) == 0 && S_ISLNK(named.st_mode)) {
      char* resolved = ::realpath(path.c_str(), nullptr);
      if (resolved == nullptr) ThrowCannotCreate(path, errno);
      state.target = resolved;
      std::free(resolved);
    }
    // A file this user may not write is refused, as the system refuses it.
    const int own = ::open(state.target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (own < 0) ThrowCannotCreate(path, errno);
    // Other names of the file would keep the old text after a rename, so a
    // file with several links is written where it is; so is one in a folder
    // that takes no new file.
    bool inPlace =
        existing.st_nlink > 1 || StickyFolderForbidsReplacing(FolderOf(state.target), existing);
    try {
      inPlace = inPlace || !state.OpenTemporary(&existing);
    } catch (...) {
      ::close(own);
      throw;
    }
    if (inPlace) {
      state.kind = State::Kind::kInPlace;
      state.fd = own;
      return;
    }
    ::close(own);
    state.TakeOver(existing);
  } catch (...) {
    if (state.fd >= 0) ::close(state.fd);
    delete state_;
    throw;
  }
}

SaveFileWriter::~SaveFileWriter() {
  if (state_->fd >= 0) ::close(state_->fd);
  if (!state_->temporary.empty()) ::unlink(state_->temporary.c_str());
  ReleaseSlot(state_->slot);
  delete state_;
}

void SaveFileWriter::Write(std::string_view bytes) {
  state_->WriteAll(bytes.data(), bytes.size());
}

void SaveFileWriter::Commit() {
  state_->Finish();
}

}  // namespace spelkub
