// Writing a coupon text to a file the way a user can trust. A regular file is
// written to a temporary in its folder (unnamed until it is complete where the
// system allows), flushed, and only then renamed over the target, keeping the
// old file's permissions, and its owner and group where this user may set
// them; a failure leaves the old file exactly as it was and no temporary
// behind. A file with several hard links, or one whose folder takes no new
// file, is written in place, and its old text is kept until the new one is
// complete and flushed: in a hidden copy ".NAME.PID-N.old" beside it (in
// memory where the folder takes no new file), put back on a failure (the
// message ends with " Den gamla filen är orörd." or says where the old text
// is); a process killed halfway leaves the copy for the user, and the next
// complete save of the file removes it. A link saves to the file it names
// (created if missing); a device or pipe gets the bytes directly.
//
// Whatever ends the process, an unnamed temporary leaves nothing behind but
// for the moment it holds a hidden name just before its rename. A named
// temporary, and such a hidden name, are removed when SIGINT, SIGTERM or
// SIGHUP ends the process once the program has called
// InstallSaveSignalCleanup; SIGKILL or a power cut can leave them behind,
// and the next save of the same file removes those of processes that are
// gone (whether links of the file or whole copies), so that they neither
// count as other names of it nor fill the disk.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace spelkub {

// Thrown when the file cannot be written. what() is the one line the user
// sees, naming the file and the reason: "Kan inte skapa filen "PATH": REASON."
// when the file cannot be created, or "Kan inte skriva filen "PATH": REASON."
// when writing fails after it was created.
class SaveError : public std::runtime_error {
 public:
  enum class Stage { kOther, kCreate, kWrite };
  using std::runtime_error::runtime_error;
  SaveError(const std::string& what, Stage stage, std::string path, int error)
      : std::runtime_error(what), stage_(stage), path_(std::move(path)), error_(error) {}

  // Where the save failed, on which file and with which system error number
  // (kOther and 0 when the message is all there is).
  Stage stage() const { return stage_; }
  const std::string& path() const { return path_; }
  int error() const { return error_; }

 private:
  Stage stage_ = Stage::kOther;
  std::string path_;
  int error_ = 0;
};

// The reason for a failed file operation with the system's error number
// `error`, in Swedish, as the file layer's messages give it: "disken är full",
// "åtkomst nekad", ... and for a number without a text of its own "systemfel
// nummer N".
std::string FileErrorReason(int error);

// The same for reading a file: "filen finns inte", "åtkomst nekad", "det är en
// mapp", and otherwise FileErrorReason.
std::string ReadErrorReason(int error);

// The messages of SaveError for `path` and the system's error number.
std::string CannotCreateMessage(const std::string& path, int error);
std::string CannotWriteMessage(const std::string& path, int error);

// For the program's main, once, before the first save: SIGINT, SIGTERM and
// SIGHUP, where they still have their default action, remove the named
// temporaries of the saves in progress before they end the process. A
// handler the program installs for one of them later replaces this one.
void InstallSaveSignalCleanup();

// The most named temporaries (and hidden names of old files, two per file in
// a save of several) that can be waiting at once. A save that would need one
// more fails with "Kan inte skapa filen "PATH": för många filer sparas på en
// gång." rather than leave a temporary the signal clean-up does not know.
inline constexpr size_t kMaxNamedTemporaries = 1024;

// Where a regular file's new text waits for its name: an unnamed file where
// the file system has them, else a hidden named one beside the target; or
// always a named one, as on a file system without unnamed files.
enum class Temporary { kUnnamedWherePossible, kNamed };

// Replaces (or creates) the file at `path` with exactly `bytes`.
void SaveTextFile(const std::string& path, std::string_view bytes,
                  Temporary temporary = Temporary::kUnnamedWherePossible);

// A failed save of several files: what() is the failing file's SaveError
// text; `named` files, counted from the first, were saved before it failed.
class SaveFilesError : public SaveError {
 public:
  SaveFilesError(const std::string& what, size_t named) : SaveError(what), named_(named) {}
  size_t named() const { return named_; }

 private:
  size_t named_;
};

// Saves texts[i] to paths[i] as one save: every file is first written unseen
// and flushed to the disk; only then are all named, in order, in one short
// step during which SIGINT, SIGTERM and SIGHUP are held back (in every thread,
// where they would end the process), and the folders are flushed once after
// it. A failure or one of those signals before the naming step names none;
// one that arrives during it takes effect after it, when every file is new.
// The old files keep a hidden second name until the step is over, so that
// freeing their blocks, which takes milliseconds, falls outside it. Only an
// end no program can defer (SIGKILL, a power cut) can fall inside the step
// itself and leave some files new and some old (and the hidden names
// behind), and only a failure while naming (a file system failing between
// two files) leaves the first files new. Throws SaveFilesError. Files written
// in place or directly (see above) are new at once, as in every save.
void SaveTextFiles(std::span<const std::string> paths, std::span<const std::string_view> texts,
                   Temporary temporary = Temporary::kUnnamedWherePossible);

// The same save, written in pieces, for texts too large to build whole: what
// is written stays invisible at the target until Commit, and a writer
// destroyed without Commit leaves the target exactly as it was (a file
// written in place gets its old text back; one written directly keeps what
// was written).
class SaveFileWriter {
 public:
  // Throws SaveError.
  explicit SaveFileWriter(const std::string& path,
                          Temporary temporary = Temporary::kUnnamedWherePossible);
  SaveFileWriter(const SaveFileWriter&) = delete;
  SaveFileWriter& operator=(const SaveFileWriter&) = delete;
  ~SaveFileWriter();

  void Write(std::string_view bytes);  // throws SaveError
  void Commit();                       // flushes and names the file; throws SaveError

 private:
  friend void SaveTextFiles(std::span<const std::string> paths,
                            std::span<const std::string_view> texts, Temporary temporary);
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace spelkub
