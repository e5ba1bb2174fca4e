#include "coupon/text_fields.h"

namespace spelkub {

std::vector<std::string_view> SplitFields(std::string_view text, std::string_view separators) {
  const auto separates = [&](char c) { return separators.find(c) != std::string_view::npos; };
  std::vector<std::string_view> fields;
  for (size_t i = 0; i < text.size();) {
    if (separates(text[i])) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < text.size() && !separates(text[end])) ++end;
    fields.push_back(text.substr(i, end - i));
    i = end;
  }
  return fields;
}

}  // namespace spelkub
