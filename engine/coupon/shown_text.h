// Text from files, arguments and typed-in fields as a message shows it: one
// line, readable, whatever bytes it holds.
#pragma once

#include <string>
#include <string_view>

namespace spelkub {

// `text` with every byte that is not part of a printable character as \xHH:
// the C0 controls, DEL, the C1 controls (U+0080..U+009F) and bytes that are
// not valid UTF-8. Everything else is kept.
std::string ShownText(std::string_view text);

// `text` in double quotes, as it is.
std::string Quoted(std::string_view text);

// Quoted(ShownText(...)) of the first `shown` bytes of `text` (a whole UTF-8
// character at the end) and "…" when it is longer, so that a message about a
// typed-in field stays short.
std::string ShortQuoted(std::string_view text, size_t shown = 16);

}  // namespace spelkub
