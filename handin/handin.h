// "Spara för inlämning": the rows in the form the operator takes today: a
// text file, CR LF, the product name alone as header ("Stryktipset" or
// "Europatipset"), then the "E," row lines, at most 10,000 rows a file. The
// 13plus add-on and Supertoto cannot be handed in this way.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "coupon/coupon_state.h"
#include "coupon/system_shape.h"

namespace spelkub {

inline constexpr int64_t kHandInRowsPerFile = 10000;

// Thrown for rows that cannot be handed in (Supertoto, or no rows); what() is
// the Swedish text the user sees.
class HandInRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The names the rows go to: `path` itself when they fit one file, else
// NAME-1.txt, NAME-2.txt, ... beside it (NAME is path without ".txt").
std::vector<std::string> HandInFileNames(const std::string& path, int64_t rows);

// The text of one file: header, then the rows.
std::string HandInText(int32_t game, std::span<const PackedRow> rows);

// Writes every file (each atomically, as every save) and returns their names.
// Throws HandInRefused, or SaveError when a file cannot be written.
std::vector<std::string> SaveForHandIn(const std::string& path, int32_t game,
                                       std::span<const PackedRow> rows);

}  // namespace spelkub
