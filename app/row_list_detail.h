// Line-by-line memo operations that the program itself does not use; tests
// and benchmarks build and read lists with them.
#pragma once

#include <string>
#include <string_view>

#include "app/row_list.h"

namespace spelkub::detail {

// Line `index` (0-based) without its break; empty when out of range.
std::string Line(const RowList& list, int index);

// Appends `text` as it is at the end of the list, leaving no undo step.
void InsertAtEnd(RowList& list, std::string_view text);

// Adds `line` as a new last line: "line CR LF" when the text is empty or ends
// with a line break, else "CR LF line" (the last line stays open).
void AppendLine(RowList& list, std::string_view line);

}  // namespace spelkub::detail
