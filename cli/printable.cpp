// Text from arguments and file names made safe for one line on a terminal.
#include "cli/rader.h"

namespace spelkub::cli {

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

std::string Printable(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string printable;
  printable.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte < 0x7F) {
      printable += text[i++];
      continue;
    }
    if (const size_t length = byte >= 0x80 ? PrintableSequence(text, i) : 0) {
      printable.append(text.substr(i, length));
      i += length;
      continue;
    }
    printable.append("\\x").append(1, kHex[byte >> 4]).append(1, kHex[byte & 15]);
    ++i;
  }
  return printable;
}

}  // namespace spelkub::cli
