#include "generate/save_file.h"

namespace spelkub {

void SaveTextFile(const std::string& path, std::string_view bytes) {
  SaveFileWriter writer(path);
  writer.Write(bytes);
  writer.Commit();
}

}  // namespace spelkub
