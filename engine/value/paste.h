// Numbers pasted into the match table from a spreadsheet, a web page or a text
// file: which cells a paste writes and with what, or one Swedish line saying
// why nothing is written.
//
// Two forms are read:
// - a block of rows: lines split at tabs, else at semicolons, else at blanks
//   when every field of every line is a number (otherwise a line is one
//   cell). The block's top left lands on the selected cell, as a spreadsheet
//   pastes; an empty field clears its cell. A first line with words where the
//   lines below have numbers is a header and is left out.
// - one line of three numbers per match (39 or 42), split as NumberFields
//   does (coupon/number_text.h): it fills the group of three columns (1, X, 2)
//   of the selected cell, from the first match to the last, whichever row is
//   selected.
// Numbers are read by ReadNumberText: a decimal comma or point, may end in
// "%"; no grouping, no exponent; not negative.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "value/match_values.h"

namespace spelkub {

// A number as a spreadsheet or a web page shows it ("45", "45,5", "2.10",
// "52 %"), with blanks, no-break blanks and double quotes around it taken
// away; nullopt for anything else, a negative number included.
std::optional<double> ReadPastedNumber(std::string_view text);

enum class PasteColumn {
  kText,    // takes any text (team names)
  kNumber,  // takes a number or nothing
  kFixed,   // shown but computed: a paste may not reach it
};

// The table a paste lands in.
struct PasteTable {
  int rows = 0;  // one per match in play
  std::vector<PasteColumn> columns;
  std::vector<std::string> names;  // per column, for the messages ("Chans 1")
  // Per column the first column of its group of three signs, or -1 when it
  // belongs to no group.
  std::vector<int> signGroup;
};

struct PastedCell {
  int row = 0;
  int column = 0;
  std::string text;          // for a text column
  double number = kNoValue;  // for a number column; NaN clears the cell
};

// The cells that pasting `text` with the cell (row, column) selected writes,
// row by row. Refuses, writing nothing, with one line such as "Det finns
// inget att klistra in", "Rad 2, fält 3: "abc" är inget tal", "Rad 1, fält 2:
// talet "-5" är negativt", "Rad 1, fält 1: "1000000000000" är för stort", "Det
// inklistrade har 15 rader, men från match 1 får bara 13 plats", "Det
// inklistrade har 12 fält per rad, men från "Odds 1" får bara 9 plats", "39 tal
// på en rad fyller odds, chans eller streck: markera en sådan kolumn först".
std::optional<std::vector<PastedCell>> PasteCells(std::string_view text, const PasteTable& table,
                                                  int row, int column, std::string* error);

}  // namespace spelkub
