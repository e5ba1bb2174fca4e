// One row line on its own, for tests that compare lines one at a time; the
// program renders blocks of rows (RenderRowLines in generate/coupon_text.h).
#pragma once

#include <cstdint>
#include <string>

#include "coupon/system_shape.h"

namespace spelkub {

// Writes a row line of the game, with CR LF, into out[0..28].
void WriteRowLine(PackedRow row, int32_t game, char* out);

// A row line without CR LF.
std::string RowLine(PackedRow row, int32_t game);

}  // namespace spelkub
