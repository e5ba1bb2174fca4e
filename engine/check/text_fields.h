// Typed-in lists of the checking tools (results, streck): fields and how a
// field is echoed in a message.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace spelkub::detail {

// The fields of `text`: runs of blanks, tabs, commas, semicolons and line
// breaks separate them.
std::vector<std::string_view> SplitFields(std::string_view text);

// The field in double quotes, control bytes shown as \xNN so that a message
// stays one line.
std::string QuotedField(std::string_view field);

// QuotedField of the first `shown` bytes (a whole UTF-8 character at the
// end) and "…" when the field is longer, so that a message stays short.
std::string ShortQuotedField(std::string_view field, size_t shown = 16);

}  // namespace spelkub::detail
