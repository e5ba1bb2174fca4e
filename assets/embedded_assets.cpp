#include "assets/embedded_assets.h"

namespace spelkub::assets {

std::span<const unsigned char> FindFile(std::string_view name) {
  for (const EmbeddedFile& file : EmbeddedFiles()) {
    if (file.name == name) return file.bytes;
  }
  return {};
}

}  // namespace spelkub::assets
