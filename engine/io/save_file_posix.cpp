// The file layer on POSIX systems: every system call of saving lives here, so
// another platform needs only its own version of this file.
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "io/save_file.h"

namespace spelkub {

namespace {

[[noreturn]] void ThrowCannotCreate(const std::string& path, int error) {
  throw SaveError(CannotCreateMessage(path, error), SaveError::Stage::kCreate, path, error);
}

[[noreturn]] void ThrowWriteError(const std::string& path, int error) {
  throw SaveError(CannotWriteMessage(path, error), SaveError::Stage::kWrite, path, error);
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
std::string TemporaryName(const std::string& target, std::string_view suffix = ".tmp") {
  static std::atomic<unsigned> counter{0};
  constexpr size_t kNameKept = 200;
  return FolderOf(target) + "/." + NameOf(target).substr(0, kNameKept) + "." +
         std::to_string(::getpid()) + "-" + std::to_string(counter++) + std::string(suffix);
}

// Hidden names a save of `target` left behind when it was killed outright
// (SIGKILL, a power cut): ".NAME.PID-N.tmp" of a process that no longer runs,
// a complete new text or a second name of the file. Left alone they would
// fill the disk with copies, or count as other names of the file and make
// every later save write in place; a live process's names are its own and
// stay. With the suffix ".old", the copies of the old text that a save in
// place killed halfway kept.
void RemoveLeftoverNames(const std::string& target, std::string_view suffix = ".tmp") {
  std::string prefix(1, '.');
  prefix.append(NameOf(target).substr(0, 200)).push_back('.');
  const std::string folder = FolderOf(target);
  DIR* entries = ::opendir(folder.c_str());
  if (entries == nullptr) return;
  std::vector<std::string> leftovers;
  while (const dirent* entry = ::readdir(entries)) {
    const std::string_view name = entry->d_name;
    if (!name.starts_with(prefix) || !name.ends_with(suffix) ||
        name.size() < prefix.size() + suffix.size())
      continue;
    const std::string_view rest =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size()) continue;
    const auto digits = [](std::string_view text) {
      return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!digits(rest.substr(0, dash)) || !digits(rest.substr(dash + 1)) || dash > 9) continue;
    const auto pid = static_cast<pid_t>(std::stol(std::string(rest.substr(0, dash))));
    if (pid <= 0 || pid == ::getpid()) continue;
    if (::kill(pid, 0) == 0 || errno != ESRCH) continue;  // alive, or not ours to judge
    leftovers.push_back(folder + "/" + std::string(name));
  }
  ::closedir(entries);
  for (const std::string& leftover : leftovers) ::unlink(leftover.c_str());
}

constexpr int kTerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Named temporaries that a signal must not leave behind, in a fixed table, as
// the handler may neither allocate nor lock: it only reads the paths of slots
// marked as holding one, and calls unlink, both safe in a signal handler. A
// slot's path is written while the slot is being filled, before it is marked.
enum SlotState : int { kFree, kFilling, kHolding };
std::atomic<int> slotStates[kMaxNamedTemporaries];
char slotPaths[kMaxNamedTemporaries][PATH_MAX];

extern "C" void RemoveTemporariesAndRaise(int signal) {
  const int savedErrno = errno;
  for (size_t index = 0; index < kMaxNamedTemporaries; ++index) {
    if (slotStates[index].load() == kHolding) ::unlink(slotPaths[index]);
  }
  errno = savedErrno;
  // SA_RESETHAND restored the default action; the signal is blocked until the
  // handler returns and then ends the process as it would have without us.
  ::raise(signal);
}

// A free slot holding `path`, or -1 when every slot is taken. A path too long
// for a slot is too long for the system as well.
int TryClaimSlot(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  for (size_t index = 0; index < kMaxNamedTemporaries; ++index) {
    int expected = kFree;
    if (slotStates[index].compare_exchange_strong(expected, kFilling)) {
      std::memcpy(slotPaths[index], path.c_str(), path.size() + 1);
      slotStates[index].store(kHolding);
      return static_cast<int>(index);
    }
  }
  return -1;
}

// The same for a temporary that must be known to the clean-up before it is
// made: a save that finds no slot fails.
int ClaimSlot(const std::string& path, const std::string& shownPath) {
  const int slot = TryClaimSlot(path);
  if (slot >= 0) return slot;
  if (path.size() >= PATH_MAX) ThrowCannotCreate(shownPath, ENAMETOOLONG);
  throw SaveError("Kan inte skapa filen \"" + shownPath + "\": för många filer sparas på en gång.",
                  SaveError::Stage::kOther, shownPath, 0);
}

void ReleaseSlot(int index) {
  if (index >= 0) slotStates[index].store(kFree);
}

// A termination signal that arrived in another thread while files were being
// named, to be raised again when they are.
std::atomic<int> deferredSignal{0};

extern "C" void DeferSignal(int signal) {
  deferredSignal.store(signal);
}

// Holds SIGINT, SIGTERM and SIGHUP back while finished files are being named,
// so that they cannot leave a name, or a set of names, half given. This
// thread blocks them; another thread would take them instead and end the
// process, so where they would end it (no handler, or ours that removes
// temporaries) they are only noted until the names are given, then raised.
class TerminationSignalsHeld {
 public:
  TerminationSignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : kTerminationSignals) sigaddset(&held, signal);
    ::pthread_sigmask(SIG_BLOCK, &held, &savedMask_);
    for (size_t index = 0; index < std::size(kTerminationSignals); ++index) {
      struct sigaction& saved = savedActions_[index];
      if (::sigaction(kTerminationSignals[index], nullptr, &saved) != 0) continue;
      if ((saved.sa_flags & SA_SIGINFO) != 0) continue;
      if (saved.sa_handler != SIG_DFL && saved.sa_handler != RemoveTemporariesAndRaise) continue;
      struct sigaction defer {};
      defer.sa_handler = DeferSignal;
      defer.sa_mask = held;
      replaced_[index] = ::sigaction(kTerminationSignals[index], &defer, nullptr) == 0;
    }
  }
  ~TerminationSignalsHeld() {
    for (size_t index = 0; index < std::size(kTerminationSignals); ++index) {
      if (replaced_[index]) ::sigaction(kTerminationSignals[index], &savedActions_[index], nullptr);
    }
    // Raised while still blocked here, it is taken with the old action as
    // soon as the mask is restored.
    if (const int signal = deferredSignal.exchange(0); signal != 0) ::raise(signal);
    ::pthread_sigmask(SIG_SETMASK, &savedMask_, nullptr);
  }
  TerminationSignalsHeld(const TerminationSignalsHeld&) = delete;
  TerminationSignalsHeld& operator=(const TerminationSignalsHeld&) = delete;

 private:
  sigset_t savedMask_;
  struct sigaction savedActions_[std::size(kTerminationSignals)]{};
  bool replaced_[std::size(kTerminationSignals)] = {};
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

// Only signals that would end the process anyway get the handler; a program
// with its own handling keeps it.
void InstallSaveSignalCleanup() {
  for (const int signal : kTerminationSignals) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
    struct sigaction cleanup {};
    cleanup.sa_handler = RemoveTemporariesAndRaise;
    sigemptyset(&cleanup.sa_mask);
    cleanup.sa_flags = SA_RESETHAND;
    ::sigaction(signal, &cleanup, nullptr);
  }
}

struct SaveFileWriter::State {
  enum class Kind {
    kUnnamed,  // an O_TMPFILE in the target's folder, named when complete
    kNamed,    // a hidden temporary beside the target, removed on failure
    kInPlace,  // the existing file itself, emptied before the first byte
    kDirect,   // a device, pipe or socket: the bytes go straight to it
  };
  Kind kind = Kind::kUnnamed;
  Temporary allowed = Temporary::kUnnamedWherePossible;
  int fd = -1;
  std::string shownPath;
  std::string target;     // where the finished file goes, links resolved
  std::string temporary;  // kNamed: the temporary's name
  int slot = -1;
  // kInPlace: the old text, kept from the moment the file is emptied until
  // the new text is complete and flushed: a hidden copy beside the target
  // (which a kill leaves for the user), or in memory where the folder takes
  // no new file.
  std::string backup;
  std::string oldText;
  bool oldInMemory = false;
  bool existed = false;
  bool emptied = false;
  bool failed = false;
  bool done = false;

  State() = default;
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  // Closes the file and removes a temporary that was never named.
  ~State();

  // Opens a temporary in the target's folder that will replace `existing`,
  // or returns false when the folder takes no new file.
  bool OpenTemporary(const struct stat* existing);
  void TakeOver(const struct stat& existing);
  void KeepOldText();
  // Puts the old text back after a failure in place; returns what the
  // message adds about the old file.
  std::string RestoreOldText();
  void DropOldText();
  [[noreturn]] void FailWrite(int error);
  void WriteAll(const char* data, size_t size);
  void Finish();

  // Finish in steps, for several files named together: Flush makes the
  // complete file durable; GiveHiddenName gives an unnamed one a hidden
  // temporary name beside the target; Name renames the temporary over the
  // target (nothing but the one system call, returning its errno or 0);
  // Close ends the save once the file is named.
  void Flush();
  void GiveHiddenName();
  int Name();
  void Close();
};

bool SaveFileWriter::State::OpenTemporary(const struct stat* existing) {
  const std::string folder = FolderOf(target);
#ifdef O_TMPFILE
  if (allowed == Temporary::kUnnamedWherePossible) {
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
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = TemporaryName(target);
    // The slot is filled before the file exists, so no moment leaves a file
    // that a signal would not remove.
    const int claimed = ClaimSlot(name, shownPath);
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

namespace {

constexpr std::string_view kOldFileIntact = " Den gamla filen är orörd.";

// Copies what is left to read of `from` to `to` at its offset; the system's
// error number, or 0.
int CopyRest(int from, int to) {
  std::vector<char> buffer(size_t{1} << 16);
  for (;;) {
    const ssize_t got = ::read(from, buffer.data(), buffer.size());
    if (got == 0) return 0;
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    for (ssize_t put = 0; put < got;) {
      const ssize_t written = ::write(to, buffer.data() + put, static_cast<size_t>(got - put));
      if (written < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      put += written;
    }
  }
}

}  // namespace

// The old text is safe (on the disk where the folder allows) before the file
// is emptied; a failure to keep it changes nothing.
void SaveFileWriter::State::KeepOldText() {
  const int from = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (from < 0) {
    failed = true;
    ThrowCannotCreate(shownPath, errno);
  }
  const std::string name = TemporaryName(target, ".old");
  const int to = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  int error = 0;
  if (to < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
    char buffer[1 << 16];
    for (;;) {
      const ssize_t got = ::read(from, buffer, sizeof buffer);
      if (got == 0) break;
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        error = errno;
        break;
      }
      oldText.append(buffer, static_cast<size_t>(got));
    }
    oldInMemory = error == 0;
  } else if (to < 0) {
    error = errno;
  } else {
    error = CopyRest(from, to);
    if (error == 0 && ::fsync(to) != 0) error = errno;
    ::close(to);
    if (error == 0) {
      backup = name;
      FsyncFolder(FolderOf(target));
    } else {
      ::unlink(name.c_str());
    }
  }
  ::close(from);
  if (error != 0) {
    failed = true;
    throw SaveError(CannotWriteMessage(shownPath, error) + std::string(kOldFileIntact),
                    SaveError::Stage::kWrite, shownPath, error);
  }
}

std::string SaveFileWriter::State::RestoreOldText() {
  if (!emptied) return std::string(kOldFileIntact);
  emptied = false;  // one attempt: a second could only empty the file again
  if (!oldInMemory && backup.empty()) return " Den gamla texten gick förlorad.";
  bool restored = ::ftruncate(fd, 0) == 0 && ::lseek(fd, 0, SEEK_SET) == 0;
  if (restored && oldInMemory) {
    for (size_t put = 0; restored && put < oldText.size();) {
      const ssize_t written = ::write(fd, oldText.data() + put, oldText.size() - put);
      if (written < 0 && errno == EINTR) continue;
      restored = written > 0;
      if (restored) put += static_cast<size_t>(written);
    }
  } else if (restored) {
    const int from = ::open(backup.c_str(), O_RDONLY | O_CLOEXEC);
    restored = from >= 0 && CopyRest(from, fd) == 0;
    if (from >= 0) ::close(from);
  }
  restored = restored && ::fsync(fd) == 0;
  if (restored) {
    DropOldText();
    return std::string(kOldFileIntact);
  }
  if (oldInMemory) return " Den gamla texten gick förlorad.";
  const std::string kept = backup;
  backup.clear();  // the user's now: never removed by this save
  return " Den gamla texten finns kvar i \"" + kept + "\".";
}

void SaveFileWriter::State::DropOldText() {
  if (!backup.empty()) ::unlink(backup.c_str());
  backup.clear();
  oldText = std::string();
  oldInMemory = false;
}

void SaveFileWriter::State::FailWrite(int error) {
  failed = true;
  std::string message = CannotWriteMessage(shownPath, error);
  if (kind == Kind::kInPlace) message += RestoreOldText();
  throw SaveError(message, SaveError::Stage::kWrite, shownPath, error);
}

void SaveFileWriter::State::WriteAll(const char* data, size_t size) {
  if (failed || done) ThrowWriteError(shownPath, EBADF);
  if (kind == Kind::kInPlace && !emptied) {
    KeepOldText();
    if (::ftruncate(fd, 0) != 0) {
      const int error = errno;
      DropOldText();
      failed = true;
      ThrowCannotCreate(shownPath, error);
    }
    emptied = true;
  }
  while (size > 0) {
    const ssize_t written =
        kind == Kind::kDirect ? WriteWithoutSigpipe(fd, data, size) : ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      if (kind == Kind::kDirect) {
        failed = true;
        ThrowWriteError(shownPath, errno);
      }
      FailWrite(errno);
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
}

void SaveFileWriter::State::Flush() {
  if (failed || done) ThrowWriteError(shownPath, EBADF);
  if (kind == Kind::kInPlace && !emptied) WriteAll(nullptr, 0);
  failed = true;  // until the file is named
  if (kind == Kind::kInPlace) {
    if (::fsync(fd) != 0) FailWrite(errno);
    // The new text is complete and on the disk: the old one may go.
    DropOldText();
    emptied = false;
    return;
  }
  if (kind != Kind::kDirect && ::fsync(fd) != 0) ThrowWriteError(shownPath, errno);
}

void SaveFileWriter::State::GiveHiddenName() {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  // A signal before the rename removes the name again.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = TemporaryName(target);
    const int claimed = ClaimSlot(name, shownPath);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      temporary = name;
      slot = claimed;
      return;
    }
    const int error = errno;
    ReleaseSlot(claimed);
    if (error != EEXIST) ThrowCannotCreate(shownPath, error);
  }
  ThrowCannotCreate(shownPath, EEXIST);
}

int SaveFileWriter::State::Name() {
  if (temporary.empty()) return 0;
  return ::rename(temporary.c_str(), target.c_str()) == 0 ? 0 : errno;
}

void SaveFileWriter::State::Close() {
  // Copies of old texts that saves in place killed halfway kept: this save
  // has put a complete text in their place.
  if (existed && kind != Kind::kDirect) RemoveLeftoverNames(target, ".old");
  temporary.clear();
  ReleaseSlot(slot);
  slot = -1;
  const int closing = fd;
  fd = -1;
  if (closing >= 0 && ::close(closing) != 0) ThrowWriteError(shownPath, errno);
  failed = false;
  done = true;
}

void SaveFileWriter::State::Finish() {
  Flush();
  if (kind == Kind::kUnnamed || kind == Kind::kNamed) {
    int error = 0;
    {
      // From the first name to the rename, nothing but the naming calls:
      // SIGINT, SIGTERM and SIGHUP wait for the name, and only SIGKILL can
      // fall between a hidden name and the rename.
      const TerminationSignalsHeld held;
      // A new file takes its name at once; linkat never replaces, so an
      // existing one is replaced by a rename from a hidden name of its own.
      bool named = false;
      if (kind == Kind::kUnnamed && !existed) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        named = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0;
        if (!named && errno != EEXIST) ThrowCannotCreate(shownPath, errno);
      }
      if (kind == Kind::kUnnamed && !named) GiveHiddenName();
      error = Name();
    }
    if (error != 0) ThrowCannotCreate(shownPath, error);
  }
  Close();
  if (kind == Kind::kUnnamed || kind == Kind::kNamed) FsyncFolder(FolderOf(target));
}

namespace {

// Hidden second names of the old files that a save of several files
// replaces. A rename over a file's last name frees its blocks inside the
// rename, which takes milliseconds for a large file; with a second name the
// naming step only moves names, and the old blocks are freed after it, when
// these names go.
class OldFilesKept {
 public:
  OldFilesKept() = default;
  OldFilesKept(const OldFilesKept&) = delete;
  OldFilesKept& operator=(const OldFilesKept&) = delete;
  ~OldFilesKept() { Release(); }

  // Best effort: a file that cannot be linked, or finds no slot for the
  // clean-up, is only slower to replace.
  void Keep(const std::string& target) {
    const std::string name = TemporaryName(target);
    const int slot = TryClaimSlot(name);
    if (slot < 0) return;
    if (::link(target.c_str(), name.c_str()) == 0) {
      kept_.push_back({name, slot});
    } else {
      ReleaseSlot(slot);
    }
  }

  void Release() {
    for (const Kept& kept : kept_) {
      ::unlink(kept.name.c_str());
      ReleaseSlot(kept.slot);
    }
    kept_.clear();
  }

 private:
  struct Kept {
    std::string name;
    int slot;
  };
  std::vector<Kept> kept_;
};

}  // namespace

void SaveTextFiles(std::span<const std::string> paths, std::span<const std::string_view> texts,
                   Temporary temporary) {
  if (paths.size() != texts.size())
    throw std::invalid_argument("SaveTextFiles: paths and texts differ");
  std::vector<std::unique_ptr<SaveFileWriter>> writers;
  writers.reserve(paths.size());
  OldFilesKept oldFiles;
  // Everything that can take long or fail happens before the first name is
  // given: writing, flushing every file to the disk, and the hidden names.
  try {
    for (size_t file = 0; file < paths.size(); ++file) {
      writers.push_back(std::make_unique<SaveFileWriter>(paths[file], temporary));
      writers.back()->Write(texts[file]);
    }
    for (const auto& writer : writers) writer->state_->Flush();
    for (const auto& writer : writers) {
      if (writer->state_->kind == SaveFileWriter::State::Kind::kUnnamed) {
        writer->state_->GiveHiddenName();
      }
    }
    for (const auto& writer : writers) {
      const SaveFileWriter::State& state = *writer->state_;
      if (state.existed && !state.temporary.empty()) oldFiles.Keep(state.target);
    }
  } catch (const SaveError& error) {
    writers.clear();  // nothing was named; the destructors remove the temporaries
    throw SaveFilesError(error.what(), 0);
  }
  // The naming step: one rename per file, nothing else.
  size_t named = 0;
  int error = 0;
  {
    const TerminationSignalsHeld held;
    for (; named < writers.size(); ++named) {
      error = writers[named]->state_->Name();
      if (error != 0) break;
    }
  }
  if (error != 0) {
    const std::string message = CannotCreateMessage(writers[named]->state_->shownPath, error);
    for (size_t file = 0; file < named; ++file) writers[file]->state_->temporary.clear();
    writers.clear();
    throw SaveFilesError(message, named);
  }
  std::vector<std::string> folders;
  for (const auto& writer : writers) {
    SaveFileWriter::State& state = *writer->state_;
    // Every file was flushed and is named: a late error from close changes
    // nothing in them.
    try {
      state.Close();
    } catch (const SaveError&) {
    }
    const std::string folder = FolderOf(state.target);
    if ((state.kind == SaveFileWriter::State::Kind::kUnnamed ||
         state.kind == SaveFileWriter::State::Kind::kNamed) &&
        std::find(folders.begin(), folders.end(), folder) == folders.end()) {
      folders.push_back(folder);
    }
  }
  oldFiles.Release();
  for (const std::string& folder : folders) FsyncFolder(folder);
}

SaveFileWriter::SaveFileWriter(const std::string& path, Temporary temporary)
    : state_(std::make_unique<State>()) {
  State& state = *state_;
  state.allowed = temporary;
  state.shownPath = path;
  state.target = path;
  // A throw from here leaves state_ to close what was opened.
  if (path.empty()) ThrowCannotCreate(path, ENOENT);
  struct stat existing {};
  if (::stat(path.c_str(), &existing) != 0) {
    if (errno != ENOENT) ThrowCannotCreate(path, errno);
    state.target = FollowDanglingLink(path, path);
    RemoveLeftoverNames(state.target);
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
  // that takes no new file. Names an earlier, killed save left are not such
  // names (and copies it left are not worth their room): they go first.
  RemoveLeftoverNames(state.target);
  if (existing.st_nlink > 1 && ::stat(state.target.c_str(), &existing) != 0) {
    const int error = errno;
    ::close(own);
    ThrowCannotCreate(path, error);
  }
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
}

SaveFileWriter::State::~State() {
  // A save in place that ends without its commit puts the old text back.
  if (kind == Kind::kInPlace && emptied && !done && fd >= 0) (void)RestoreOldText();
  if (fd >= 0) ::close(fd);
  if (!temporary.empty()) ::unlink(temporary.c_str());
  ReleaseSlot(slot);
}

SaveFileWriter::~SaveFileWriter() = default;

void SaveFileWriter::Write(std::string_view bytes) {
  state_->WriteAll(bytes.data(), bytes.size());
}

void SaveFileWriter::Commit() {
  state_->Finish();
}

}  // namespace spelkub
