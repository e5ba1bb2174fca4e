#pragma once

// The program's pictures, compiled into it as byte arrays at build time.

#include <span>
#include <string_view>

namespace spelkub::assets {

struct EmbeddedFile {
  std::string_view name;  // path under assets/, e.g. "background.jpg"
  std::span<const unsigned char> bytes;
};

// Every embedded file, in the order the build lists them.
std::span<const EmbeddedFile> EmbeddedFiles();

// The bytes of the embedded file of that name; empty when there is none.
std::span<const unsigned char> FindFile(std::string_view name);

}  // namespace spelkub::assets
