// Reading a coupon document from a file, with standard C++ and C file calls
// only, so that it builds wherever the engine does.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "coupon/shown_text.h"
#include "document/coupon_document.h"
#include "io/save_file.h"

namespace spelkub {

namespace {

struct CloseFile {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

DocumentResult CannotRead(const std::string& path, std::string_view reason) {
  DocumentResult result;
  result.error = "Kan inte läsa " + Quoted(ShownText(path)) + ": ";
  result.error += reason;
  return result;
}

constexpr std::string_view kTooLarge = "filen är för stor för en kupong (över 1 MiB)";

}  // namespace

DocumentResult ReadCouponDocumentFile(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error) {
    return CannotRead(path, ReadErrorReason(error.category() == std::generic_category() ||
                                                    error.category() == std::system_category()
                                                ? error.value()
                                                : EIO));
  }
  if (std::filesystem::is_directory(status)) return CannotRead(path, ReadErrorReason(EISDIR));
  // A pipe or a device would block or never end.
  if (!std::filesystem::is_regular_file(status)) return CannotRead(path, "det är ingen vanlig fil");
  const uintmax_t size = std::filesystem::file_size(path, error);
  if (!error && size > kMaxCouponDocumentBytes) return CannotRead(path, kTooLarge);

  errno = 0;
  const std::unique_ptr<std::FILE, CloseFile> file(std::fopen(path.c_str(), "rb"));
  if (!file) return CannotRead(path, ReadErrorReason(errno != 0 ? errno : ENOENT));
  // One byte more than allowed tells a file that grew since it was measured.
  std::string text(kMaxCouponDocumentBytes + 1, '\0');
  const size_t got = std::fread(text.data(), 1, text.size(), file.get());
  if (std::ferror(file.get())) return CannotRead(path, ReadErrorReason(errno != 0 ? errno : EIO));
  if (got > kMaxCouponDocumentBytes) return CannotRead(path, kTooLarge);
  text.resize(got);
  return LoadCouponDocument(text);
}

}  // namespace spelkub
