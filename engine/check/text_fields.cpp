#include "check/text_fields.h"

namespace spelkub::detail {

namespace {

bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\r' || c == '\n';
}

}  // namespace

std::vector<std::string_view> SplitFields(std::string_view text) {
  std::vector<std::string_view> fields;
  for (size_t i = 0; i < text.size();) {
    if (IsSeparator(text[i])) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    fields.push_back(text.substr(i, end - i));
    i = end;
  }
  return fields;
}

std::string QuotedField(std::string_view field) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string shown(1, '"');
  for (const char c : field) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 15];
    } else {
      shown += c;
    }
  }
  shown += '"';
  return shown;
}

std::string ShortQuotedField(std::string_view field, size_t shown) {
  if (field.size() <= shown) return QuotedField(field);
  while (shown > 0 && (static_cast<unsigned char>(field[shown]) & 0xC0) == 0x80) --shown;
  std::string quoted = QuotedField(field.substr(0, shown));
  quoted.insert(quoted.size() - 1, "…");
  return quoted;
}

}  // namespace spelkub::detail
