#include "coupon/shown_text.h"

namespace spelkub {

namespace {

// The length of the UTF-8 sequence at text[i] when it is valid and not a C1
// control (U+0080..U+009F); 0 otherwise.
size_t PrintableSequence(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    if (lead == 0xC2) low = 0xA0;  // U+0080..U+009F are C1 controls
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

std::string ShownText(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte < 0x7F) {
      shown += text[i++];
      continue;
    }
    if (const size_t length = byte >= 0x80 ? PrintableSequence(text, i) : 0) {
      shown.append(text.substr(i, length));
      i += length;
      continue;
    }
    shown.append("\\x").append(1, kHex[byte >> 4]).append(1, kHex[byte & 15]);
    ++i;
  }
  return shown;
}

std::string Quoted(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted.append(1, '"').append(text).append(1, '"');
  return quoted;
}

std::string ShortQuoted(std::string_view text, size_t shown) {
  if (text.size() <= shown) return Quoted(ShownText(text));
  while (shown > 0 && (static_cast<unsigned char>(text[shown]) & 0xC0) == 0x80) --shown;
  std::string quoted = Quoted(ShownText(text.substr(0, shown)));
  quoted.insert(quoted.size() - 1, "…");
  return quoted;
}

}  // namespace spelkub
