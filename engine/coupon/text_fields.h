// Typed-in lists (results, streck, the companion's MARKS) taken apart into
// their fields.
#pragma once

#include <string_view>
#include <vector>

namespace spelkub {

// The fields of `text`: a run of `separators` separates two fields and none
// is empty. By default blanks, tabs, commas, semicolons and line breaks.
std::vector<std::string_view> SplitFields(std::string_view text,
                                          std::string_view separators = " \t,;\r\n");

}  // namespace spelkub
