#include "value/paste.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "coupon/number_text.h"
#include "coupon/shown_text.h"

namespace spelkub {
namespace {

bool Fail(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
  return false;
}

std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t at = text.find(separator, start);
    if (at == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, at - start));
    start = at + 1;
  }
}

// The non-empty pieces between blanks.
std::vector<std::string_view> SplitAtBlanks(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t at = 0;
  size_t start = 0;
  bool inside = false;
  while (at < text.size()) {
    size_t length = 1;
    if (IsBlankAt(text, at, &length)) {
      if (inside) parts.push_back(text.substr(start, at - start));
      inside = false;
    } else if (!inside) {
      inside = true;
      start = at;
    }
    at += length;
  }
  if (inside) parts.push_back(text.substr(start));
  return parts;
}

// The text's lines without their ends; trailing empty lines dropped, as a
// spreadsheet's copy ends in a line break.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t at = 0; at <= text.size(); ++at) {
    if (at == text.size() || text[at] == '\n' || text[at] == '\r') {
      lines.push_back(text.substr(start, at - start));
      if (at + 1 < text.size() && text[at] == '\r' && text[at + 1] == '\n') ++at;
      start = at + 1;
    }
  }
  while (!lines.empty() && TrimBlanks(lines.back()).empty()) lines.pop_back();
  return lines;
}

bool AllNumbers(const std::vector<std::string_view>& fields) {
  double ignored = 0;
  for (const std::string_view field : fields) {
    if (ReadNumberText(field, &ignored) != NumberRead::kNumber) return false;
  }
  return !fields.empty();
}

// The fields of each line of a block.
std::vector<std::vector<std::string_view>> BlockFields(const std::vector<std::string_view>& lines,
                                                       std::string_view text) {
  std::vector<std::vector<std::string_view>> rows;
  const char separator = text.find('\t') != std::string_view::npos  ? '\t'
                         : text.find(';') != std::string_view::npos ? ';'
                                                                    : '\0';
  if (separator != '\0') {
    for (const std::string_view line : lines) {
      std::vector<std::string_view> fields = SplitAt(line, separator);
      // Some programs end every line of a CSV file with its separator.
      if (separator == ';' && fields.size() > 1 && CellText(fields.back()).empty())
        fields.pop_back();
      rows.push_back(std::move(fields));
    }
    return rows;
  }
  bool blanksSplit = true;
  for (const std::string_view line : lines) {
    const std::vector<std::string_view> fields = SplitAtBlanks(line);
    if (!fields.empty() && !AllNumbers(fields)) blanksSplit = false;
  }
  for (const std::string_view line : lines) {
    rows.push_back(blanksSplit && !TrimBlanks(line).empty() ? SplitAtBlanks(line)
                                                            : std::vector<std::string_view>{line});
  }
  return rows;
}

// The numbers of a one-line paste of three per match, or an empty list when
// the line is not of that form.
std::vector<double> SignLine(std::string_view line, int rows) {
  const size_t wanted = static_cast<size_t>(3 * rows);
  const std::vector<std::string_view> fields = NumberFields(line);
  if (fields.size() != wanted || !AllNumbers(fields)) return {};
  std::vector<double> numbers(wanted);
  for (size_t i = 0; i < wanted; ++i) ReadNumberText(fields[i], &numbers[i]);
  return numbers;
}

// Whether the fields of a line that land in number columns from `column` on
// are all numbers or empty; false too when the line has none there.
bool NumbersWhereNumbersGo(const std::vector<std::string_view>& fields, const PasteTable& table,
                           int column) {
  bool any = false;
  for (size_t field = 0; field < fields.size(); ++field) {
    const size_t at = static_cast<size_t>(column) + field;
    if (at >= table.columns.size() || table.columns[at] != PasteColumn::kNumber) continue;
    double ignored = 0;
    if (CellText(fields[field]).empty()) continue;
    if (ReadNumberText(fields[field], &ignored) != NumberRead::kNumber) return false;
    any = true;
  }
  return any;
}

// A first line with words where the lines below have numbers: a spreadsheet's
// or a CSV file's header ("Hemma;Borta;1;X;2"), not a match.
bool HeaderLine(const std::vector<std::vector<std::string_view>>& block, const PasteTable& table,
                int column) {
  if (block.size() < 2) return false;
  bool words = false;
  for (size_t field = 0; field < block.front().size(); ++field) {
    const size_t at = static_cast<size_t>(column) + field;
    const std::string_view text = CellText(block.front()[field]);
    double ignored = 0;
    words = words || (at < table.columns.size() && table.columns[at] == PasteColumn::kNumber &&
                      !text.empty() && ReadNumberText(text, &ignored) != NumberRead::kNumber);
  }
  if (!words) return false;
  for (size_t line = 1; line < block.size(); ++line) {
    if (!NumbersWhereNumbersGo(block[line], table, column)) return false;
  }
  return true;
}

bool Placeable(const PasteTable& table, int row, int column) {
  return table.rows > 0 && row >= 0 && row < table.rows && column >= 0 &&
         column < static_cast<int>(table.columns.size()) &&
         table.names.size() == table.columns.size() &&
         table.signGroup.size() == table.columns.size();
}

}  // namespace

std::optional<double> ReadPastedNumber(std::string_view text) {
  double number = 0;
  if (ReadNumberText(text, &number) != NumberRead::kNumber) return std::nullopt;
  return number;
}

std::optional<std::vector<PastedCell>> PasteCells(std::string_view text, const PasteTable& table,
                                                  int row, int column, std::string* error) {
  if (!Placeable(table, row, column)) {
    Fail(error, "Markera cellen att klistra in i");
    return std::nullopt;
  }
  const std::vector<std::string_view> lines = Lines(text);
  if (lines.empty()) {
    Fail(error, "Det finns inget att klistra in");
    return std::nullopt;
  }
  const std::string& columnName = table.names[column];
  if (table.columns[column] == PasteColumn::kFixed) {
    Fail(error, "Kolumnen " + Quoted(columnName) + " räknas fram och går inte att klistra in i");
    return std::nullopt;
  }

  std::vector<PastedCell> cells;
  if (lines.size() == 1) {
    const std::vector<double> numbers = SignLine(lines.front(), table.rows);
    if (!numbers.empty()) {
      const int group = table.signGroup[column];
      bool numeric = group >= 0 && group + 2 < static_cast<int>(table.columns.size());
      for (int sign = 0; numeric && sign < 3; ++sign) {
        numeric = table.columns[group + sign] == PasteColumn::kNumber;
      }
      if (!numeric) {
        Fail(error, std::to_string(numbers.size()) +
                        " tal på en rad fyller odds, chans eller streck: markera en sådan "
                        "kolumn först");
        return std::nullopt;
      }
      for (int match = 0; match < table.rows; ++match) {
        for (int sign = 0; sign < 3; ++sign) {
          cells.push_back({match, group + sign, std::string(), numbers[3 * match + sign]});
        }
      }
      return cells;
    }
  }

  std::vector<std::vector<std::string_view>> block = BlockFields(lines, text);
  if (HeaderLine(block, table, column)) block.erase(block.begin());
  const int height = static_cast<int>(block.size());
  if (row + height > table.rows) {
    Fail(error, "Det inklistrade har " + std::to_string(height) + " rader, men från match " +
                    std::to_string(row + 1) + " får bara " + std::to_string(table.rows - row) +
                    " plats");
    return std::nullopt;
  }
  int room = 0;
  while (column + room < static_cast<int>(table.columns.size()) &&
         table.columns[column + room] != PasteColumn::kFixed) {
    ++room;
  }
  for (int line = 0; line < height; ++line) {
    const int width = static_cast<int>(block[line].size());
    if (width > room) {
      Fail(error, "Det inklistrade har " + std::to_string(width) + " fält per rad, men från " +
                      Quoted(columnName) + " får bara " + std::to_string(room) + " plats");
      return std::nullopt;
    }
  }
  for (int line = 0; line < height; ++line) {
    for (int field = 0; field < static_cast<int>(block[line].size()); ++field) {
      const std::string_view raw = block[line][field];
      PastedCell cell{row + line, column + field, std::string(), kNoValue};
      if (table.columns[cell.column] == PasteColumn::kText) {
        cell.text = std::string(CellText(raw));
      } else if (!CellText(raw).empty()) {
        const NumberRead read = ReadNumberText(raw, &cell.number);
        if (read != NumberRead::kNumber) {
          Fail(error, "Rad " + std::to_string(line + 1) + ", fält " + std::to_string(field + 1) +
                          ": " + NumberProblem(read, raw));
          return std::nullopt;
        }
      }
      cells.push_back(std::move(cell));
    }
  }
  return cells;
}

}  // namespace spelkub
