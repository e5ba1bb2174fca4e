// One row line on its own, for tests that compare lines one at a time; the
// program renders blocks of rows (RenderRowLines in text/coupon_text.h).
#pragma once

#include <cstdint>
#include <string>

#include "coupon/games.h"
#include "coupon/system_shape.h"

namespace spelkub {

// Writes a row line of the game, with CR LF, into out[0..RowLineBytes(rules)).
void WriteRowLine(PackedRow row, const GameRules& rules, char* out);

// A row line without CR LF.
std::string RowLine(PackedRow row, const GameRules& rules);

}  // namespace spelkub
