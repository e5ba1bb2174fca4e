#include "value/paste.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "coupon/shown_text.h"

namespace spelkub {
namespace {

// Beyond this no odds, percentage or turnover share makes sense, and a long
// run of digits is more likely a pasted row number or a date gone wrong.
constexpr double kLargestNumber = 1e9;

bool Fail(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
  return false;
}

bool IsBlankAt(std::string_view text, size_t at, size_t* length) {
  const auto byte = static_cast<unsigned char>(text[at]);
  if (byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n' || byte == '\v' || byte == '\f') {
    *length = 1;
    return true;
  }
  // No-break space U+00A0 and narrow no-break space U+202F, as web pages and
  // some spreadsheets put between a number and its "%".
  if (text.substr(at, 2) == "\xC2\xA0") {
    *length = 2;
    return true;
  }
  if (text.substr(at, 3) == "\xE2\x80\xAF") {
    *length = 3;
    return true;
  }
  return false;
}

std::string_view Trim(std::string_view text) {
  size_t length = 0;
  while (!text.empty()) {
    if (IsBlankAt(text, 0, &length)) {
      text.remove_prefix(length);
    } else {
      break;
    }
  }
  while (!text.empty()) {
    bool trimmed = false;
    for (size_t tail = 1; tail <= 3 && tail <= text.size(); ++tail) {
      if (IsBlankAt(text, text.size() - tail, &length) && length == tail) {
        text.remove_suffix(tail);
        trimmed = true;
        break;
      }
    }
    if (!trimmed) break;
  }
  return text;
}

// A field as a cell shows it: blanks around taken away, and the double quotes
// a CSV file puts around a field.
std::string_view Field(std::string_view text) {
  text = Trim(text);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    text = Trim(text.substr(1, text.size() - 2));
  }
  return text;
}

enum class NumberRead { kNumber, kNotNumber, kNegative, kTooLarge };

NumberRead ReadNumber(std::string_view text, double* number) {
  text = Field(text);
  if (!text.empty() && text.back() == '%') text = Trim(text.substr(0, text.size() - 1));
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text = Trim(text.substr(1));
  }
  std::string plain;
  int digits = 0;
  int points = 0;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      ++digits;
      plain += c;
    } else if (c == ',' || c == '.') {
      ++points;
      plain += '.';
    } else {
      return NumberRead::kNotNumber;
    }
  }
  if (digits == 0 || points > 1) return NumberRead::kNotNumber;
  double value = 0;
  const auto [end, failure] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (failure == std::errc::result_out_of_range) return NumberRead::kTooLarge;
  if (failure != std::errc() || end != plain.data() + plain.size()) return NumberRead::kNotNumber;
  if (negative && value != 0) return NumberRead::kNegative;
  if (!std::isfinite(value) || value > kLargestNumber) return NumberRead::kTooLarge;
  *number = value;
  return NumberRead::kNumber;
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

// The non-empty pieces between blanks (and `extra` separators).
std::vector<std::string_view> SplitAtBlanks(std::string_view text, std::string_view extra = {}) {
  std::vector<std::string_view> parts;
  size_t at = 0;
  size_t start = 0;
  bool inside = false;
  while (at < text.size()) {
    size_t length = 1;
    const bool separator =
        IsBlankAt(text, at, &length) || extra.find(text[at]) != std::string_view::npos;
    if (separator) {
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
  while (!lines.empty() && Trim(lines.back()).empty()) lines.pop_back();
  return lines;
}

bool AllNumbers(const std::vector<std::string_view>& fields) {
  double ignored = 0;
  for (const std::string_view field : fields) {
    if (ReadNumber(field, &ignored) != NumberRead::kNumber) return false;
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
      if (separator == ';' && fields.size() > 1 && Field(fields.back()).empty()) fields.pop_back();
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
    rows.push_back(blanksSplit && !Trim(line).empty() ? SplitAtBlanks(line)
                                                      : std::vector<std::string_view>{line});
  }
  return rows;
}

// The numbers of a one-line paste of three per match, or an empty list when
// the line is not of that form.
std::vector<double> SignLine(std::string_view line, int rows) {
  const size_t wanted = static_cast<size_t>(3 * rows);
  std::vector<std::string_view> fields = SplitAtBlanks(line, "\t;");
  const bool otherSeparators = line.find_first_of("\t; ") != std::string_view::npos;
  if (fields.size() != wanted && !otherSeparators) fields = SplitAtBlanks(line, ",");
  if (fields.size() != wanted || !AllNumbers(fields)) return {};
  std::vector<double> numbers(wanted);
  for (size_t i = 0; i < wanted; ++i) ReadNumber(fields[i], &numbers[i]);
  return numbers;
}

std::string NumberProblem(NumberRead read, std::string_view field) {
  const std::string shown = Quoted(Field(field));
  switch (read) {
    case NumberRead::kNegative:
      return "talet " + shown + " är negativt";
    case NumberRead::kTooLarge:
      return shown + " är för stort";
    case NumberRead::kNotNumber:
    case NumberRead::kNumber:
      break;
  }
  return shown + " är inget tal";
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
  if (ReadNumber(text, &number) != NumberRead::kNumber) return std::nullopt;
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

  const std::vector<std::vector<std::string_view>> block = BlockFields(lines, text);
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
        cell.text = std::string(Field(raw));
      } else if (!Field(raw).empty()) {
        const NumberRead read = ReadNumber(raw, &cell.number);
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
