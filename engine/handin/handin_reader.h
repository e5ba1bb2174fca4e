// Reading a hand-in file back: the product name as header, then E rows (read
// by the strict coupon reader) or M lines, never both. Used to check every
// file written before the save is reported, and to record a coupon someone
// already uploaded ("Bokför spelad kupong").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "coupon/system_shape.h"

namespace spelkub {

enum class HandInForm { kRows, kMLines };

struct HandInContent {
  int32_t game = 0;
  HandInForm form = HandInForm::kRows;
  int64_t lines = 0;            // rows or M lines in the file
  std::vector<PackedRow> rows;  // every row, an M line's expanded match 1 fastest
  // From the header of a game handed in with them: the draw and the row stake
  // in kr (0 when the header has none).
  int draw = 0;
  int stake = 0;
};

struct HandInRead {
  std::optional<HandInContent> content;
  // When refused: one Swedish line naming the line, e.g. "Rad 3: M-raden
  // säger 12 rader men grupperna ger 18".
  std::string error;
};

HandInRead ReadHandInText(std::string_view text);
// Reads a regular file (at most 64 MiB) and its text.
HandInRead ReadHandInFile(const std::string& path);

}  // namespace spelkub
