#include "io/save_file.h"

#include <cerrno>

namespace spelkub {

void SaveTextFile(const std::string& path, std::string_view bytes, Temporary temporary) {
  SaveFileWriter writer(path, temporary);
  writer.Write(bytes);
  writer.Commit();
}

std::string FileErrorReason(int error) {
  switch (error) {
    case ENOSPC:
      return "disken är full";
    case EDQUOT:
      return "diskkvoten är slut";
    case EPIPE:
      return "mottagaren har stängt röret";
    case EROFS:
      return "filsystemet är skrivskyddat";
    case EACCES:
    case EPERM:
      return "åtkomst nekad";
    case ENOENT:
      return "mappen finns inte";
    case ENOTDIR:
      return "en del av sökvägen är ingen mapp";
    case EISDIR:
      return "det är en mapp";
    case EMLINK:
      return "för många länkar";
    case ELOOP:
      return "för många länkar i rad";
    case ENAMETOOLONG:
      return "namnet är för långt";
    case EFBIG:
      return "filen blir för stor";
    case EIO:
      return "läs- eller skrivfel på enheten";
    case ETXTBSY:
    case EBUSY:
      return "filen används";
    case EEXIST:
      return "filen finns redan";
    case ENXIO:
    case ENODEV:
      return "enheten finns inte";
    case EINVAL:
      return "ogiltigt namn";
    case EBADF:
      return "filen är inte öppen för skrivning";
    default:
      return "systemfel nummer " + std::to_string(error);
  }
}

std::string ReadErrorReason(int error) {
  switch (error) {
    case ENOENT:
      return "filen finns inte";
    case EACCES:
    case EPERM:
      return "åtkomst nekad";
    case EISDIR:
      return "det är en mapp";
    default:
      return FileErrorReason(error);
  }
}

std::string CannotCreateMessage(const std::string& path, int error) {
  return "Kan inte skapa filen \"" + path + "\": " + FileErrorReason(error) + ".";
}

std::string CannotWriteMessage(const std::string& path, int error) {
  return "Kan inte skriva filen \"" + path + "\": " + FileErrorReason(error) + ".";
}

}  // namespace spelkub
