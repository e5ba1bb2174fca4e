// The engine's texts (UTF-8) as Qt strings.
#pragma once

#include <QString>
#include <string_view>

namespace spelkub {

inline QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace spelkub
