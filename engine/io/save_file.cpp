#include "io/save_file.h"

#include <memory>
#include <vector>

namespace spelkub {

void SaveTextFile(const std::string& path, std::string_view bytes) {
  SaveFileWriter writer(path);
  writer.Write(bytes);
  writer.Commit();
}

void SaveTextFiles(std::span<const std::string> paths, std::span<const std::string_view> texts) {
  if (paths.size() != texts.size())
    throw std::invalid_argument("SaveTextFiles: paths and texts differ");
  std::vector<std::unique_ptr<SaveFileWriter>> writers;
  writers.reserve(paths.size());
  try {
    for (size_t file = 0; file < paths.size(); ++file) {
      writers.push_back(std::make_unique<SaveFileWriter>(paths[file]));
      writers.back()->Write(texts[file]);
    }
  } catch (const SaveError& error) {
    writers.clear();  // nothing was named
    throw SaveFilesError(error.what(), 0);
  }
  for (size_t file = 0; file < writers.size(); ++file) {
    try {
      writers[file]->Commit();
    } catch (const SaveError& error) {
      writers.clear();
      throw SaveFilesError(error.what(), file);
    }
  }
}

}  // namespace spelkub
