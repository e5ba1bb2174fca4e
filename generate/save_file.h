// Writing a coupon text to a file the way a user can trust: the text goes to a
// temporary file in the same folder, is flushed to disk, and only then renamed
// over the target. A failure at any step removes the temporary file and leaves
// an existing target exactly as it was.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace spelkub {

// Thrown when the file cannot be written. what() is the text the user sees:
// "Cannot create file "PATH". REASON" when the file cannot be created, or
// "Stream write error" when writing fails after it was created.
class SaveError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Replaces (or creates) the file at `path` with exactly `bytes`.
void SaveTextFile(const std::string& path, std::string_view bytes);

// The same save, written in pieces, for texts too large to build whole: what
// is written stays invisible at the target until Commit, and a writer
// destroyed without Commit leaves the target exactly as it was.
class SaveFileWriter {
 public:
  explicit SaveFileWriter(const std::string& path);  // throws SaveError
  SaveFileWriter(const SaveFileWriter&) = delete;
  SaveFileWriter& operator=(const SaveFileWriter&) = delete;
  ~SaveFileWriter();

  void Write(std::string_view bytes);  // throws SaveError
  void Commit();                       // flushes and names the file; throws SaveError

 private:
  struct State;
  State* state_;
};

}  // namespace spelkub
