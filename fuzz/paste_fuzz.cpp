// Pasting into the match table on any text and any selected cell: a refusal
// with a message, or cells inside the table, from the selected cell on, in
// columns that take what they get.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "value/paste.h"

namespace {

// The match table's layout: two names, odds, chances and streck by sign, then
// three computed columns.
spelkub::PasteTable MatchTable(int rows) {
  using spelkub::PasteColumn;
  spelkub::PasteTable table;
  table.rows = rows;
  table.columns = {PasteColumn::kText, PasteColumn::kText};
  table.names = {"Hemma", "Borta"};
  table.signGroup = {-1, -1};
  for (const char* group : {"Odds", "Chans", "Streck"}) {
    const int first = static_cast<int>(table.columns.size());
    for (const char* sign : {"1", "X", "2"}) {
      table.columns.push_back(PasteColumn::kNumber);
      table.names.push_back(std::string(group) + " " + sign);
      table.signGroup.push_back(first);
    }
  }
  for (const char* sign : {"1", "X", "2"}) {
    table.columns.push_back(PasteColumn::kFixed);
    table.names.push_back(std::string("Spelvärde ") + sign);
    table.signGroup.push_back(-1);
  }
  return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace spelkub;
  if (size < 2) return 0;
  // The first byte: the game (its matches are the table's rows); the second:
  // the selected cell.
  const fuzz::GameAndText input = fuzz::SplitGame(data, size);
  const PasteTable table = MatchTable(input.rules->matches);
  const int columns = static_cast<int>(table.columns.size());
  const int row = data[1] % table.rows;
  const int column = data[1] / table.rows % columns;
  const std::string_view text = input.text.substr(1);

  std::string error;
  const auto cells = PasteCells(text, table, row, column, &error);
  if (!cells) {
    SPELKUB_FUZZ_CHECK(!error.empty());
    return 0;
  }
  SPELKUB_FUZZ_CHECK(!cells->empty());
  for (const PastedCell& cell : *cells) {
    SPELKUB_FUZZ_CHECK(cell.row >= 0 && cell.row < table.rows);
    SPELKUB_FUZZ_CHECK(cell.column >= 0 && cell.column < columns);
    SPELKUB_FUZZ_CHECK(table.columns[cell.column] != PasteColumn::kFixed);
    if (table.columns[cell.column] == PasteColumn::kNumber) {
      SPELKUB_FUZZ_CHECK(std::isnan(cell.number) ||
                         (std::isfinite(cell.number) && cell.number >= 0));
    }
  }
  const std::optional<double> number = ReadPastedNumber(text);
  if (number) SPELKUB_FUZZ_CHECK(std::isfinite(*number));
  return 0;
}
