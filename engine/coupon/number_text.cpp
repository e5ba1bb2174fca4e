#include "coupon/number_text.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "coupon/shown_text.h"

namespace spelkub {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Blanks, tabs, semicolons or line breaks anywhere: then commas between
// digits are decimal commas.
bool HasOtherSeparators(std::string_view text) {
  for (size_t at = 0; at < text.size(); ++at) {
    size_t length = 0;
    if (text[at] == ';' || IsBlankAt(text, at, &length)) return true;
  }
  return false;
}

bool DecimalCommaAt(std::string_view text, size_t at) {
  return at > 0 && at + 1 < text.size() && IsDigit(text[at - 1]) && IsDigit(text[at + 1]);
}

}  // namespace

bool IsBlankAt(std::string_view text, size_t at, size_t* length) {
  const auto byte = static_cast<unsigned char>(text[at]);
  if (byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n' || byte == '\v' || byte == '\f') {
    *length = 1;
    return true;
  }
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

std::string_view TrimBlanks(std::string_view text) {
  size_t length = 0;
  while (!text.empty() && IsBlankAt(text, 0, &length)) text.remove_prefix(length);
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

std::string_view CellText(std::string_view text) {
  text = TrimBlanks(text);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    text = TrimBlanks(text.substr(1, text.size() - 2));
  }
  return text;
}

NumberRead ReadNumberText(std::string_view text, double* number) {
  text = CellText(text);
  if (!text.empty() && text.back() == '%') text = TrimBlanks(text.substr(0, text.size() - 1));
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text = TrimBlanks(text.substr(1));
  }
  std::string plain;
  int digits = 0;
  int points = 0;
  bool nonZero = false;
  for (const char c : text) {
    if (IsDigit(c)) {
      ++digits;
      nonZero = nonZero || c != '0';
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
  const auto [end, failure] =
      std::from_chars(plain.data(), plain.data() + plain.size(), value, std::chars_format::fixed);
  if (failure == std::errc::result_out_of_range) {
    const std::string_view whole = std::string_view(plain).substr(0, plain.find('.'));
    if (whole.find_first_not_of('0') != std::string_view::npos) return NumberRead::kTooLarge;
    return nonZero && !negative ? NumberRead::kTooSmall : NumberRead::kNotNumber;
  }
  if (failure != std::errc() || end != plain.data() + plain.size()) return NumberRead::kNotNumber;
  if (negative && nonZero) return NumberRead::kNegative;
  if (!std::isfinite(value) || value > kLargestNumberText) return NumberRead::kTooLarge;
  *number = value;
  return NumberRead::kNumber;
}

std::string NumberProblem(NumberRead read, std::string_view text) {
  const std::string shown = ShortQuoted(CellText(text));
  switch (read) {
    case NumberRead::kNumber:
      return {};
    case NumberRead::kNegative:
      return "talet " + shown + " är negativt";
    case NumberRead::kTooLarge:
      return shown + " är för stort";
    case NumberRead::kTooSmall:
      return shown + " är för litet";
    case NumberRead::kNotNumber:
      break;
  }
  return shown + " är inget tal";
}

std::vector<std::string_view> NumberFields(std::string_view text) {
  const bool decimalCommas = HasOtherSeparators(text);
  std::vector<std::string_view> fields;
  // A chunk between blanks and semicolons is one number with a decimal comma
  // only when one of its commas stands between digits ("24,5," is 24,5); with
  // more ("40,30,30"), every comma splits it.
  const auto addChunk = [&](size_t begin, size_t end) {
    int digitCommas = 0;
    for (size_t at = begin; at < end; ++at)
      digitCommas += text[at] == ',' && DecimalCommaAt(text, at) ? 1 : 0;
    const bool keepDecimal = decimalCommas && digitCommas == 1;
    size_t start = begin;
    for (size_t at = begin; at <= end; ++at) {
      const bool split =
          at == end || (text[at] == ',' && !(keepDecimal && DecimalCommaAt(text, at)));
      if (!split) continue;
      if (at > start) fields.push_back(text.substr(start, at - start));
      start = at + 1;
    }
  };
  size_t start = 0;
  bool inside = false;
  size_t at = 0;
  while (at < text.size()) {
    size_t length = 1;
    const bool separator = IsBlankAt(text, at, &length) || text[at] == ';';
    if (separator) {
      if (inside) addChunk(start, at);
      inside = false;
    } else if (!inside) {
      inside = true;
      start = at;
    }
    at += length;
  }
  if (inside) addChunk(start, text.size());
  return fields;
}

NumberList ReadNumberList(std::string_view text) {
  NumberList list;
  for (const std::string_view field : NumberFields(text)) {
    double number = 0;
    const NumberRead read = ReadNumberText(field, &number);
    if (read != NumberRead::kNumber) {
      list.numbers.clear();
      list.problem = NumberProblem(read, field);
      return list;
    }
    list.numbers.push_back(number);
  }
  return list;
}

std::string CountProblem(std::string_view text, size_t wanted, size_t got) {
  std::string problem =
      "väntade " + std::to_string(wanted) + " tal, tre per match, fick " + std::to_string(got);
  bool digitCommaDigit = false;
  for (size_t at = 0; at < text.size(); ++at)
    digitCommaDigit = digitCommaDigit || (text[at] == ',' && DecimalCommaAt(text, at));
  if (digitCommaDigit && !HasOtherSeparators(text))
    problem += " (med decimalkomma: skilj talen åt med mellanslag eller semikolon)";
  return problem;
}

}  // namespace spelkub
