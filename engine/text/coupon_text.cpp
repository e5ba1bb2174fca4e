#include "text/coupon_text.h"

#include <array>
#include <cstring>

#include "coupon/games.h"
#include "io/huge_pages.h"
#include "text/detail/row_line.h"

namespace spelkub {

namespace {

// A row line with CR LF whose signs are all "1"; rendering overwrites the signs.
struct LineTemplate {
  std::array<char, 2 * kMaxMatches + 3> bytes{};  // the longest form: "E," and 14 signs, CR LF
  size_t size;                                    // with CR LF
  int firstSign;                                  // position of match 1's sign
  explicit LineTemplate(const GameRules& rules)
      : size(static_cast<size_t>(RowLineBytes(rules))), firstSign(SignPosition(rules, 1)) {
    const int length = RowLineLength(rules);
    std::memset(bytes.data(), ',', static_cast<size_t>(length));
    if (rules.rowPrefixE) bytes[0] = 'E';
    for (int match = 1; match <= rules.matches; ++match) bytes[SignPosition(rules, match)] = '1';
    bytes[length] = '\r';
    bytes[length + 1] = '\n';
  }
};

constexpr char kSigns[] = "1X2?";

// For every byte of a packed row, its four matches' signs each with the comma
// that follows it ("1,X,2,1,"): a row line is three of these and a sign or two.
constexpr auto kFourSigns = [] {
  std::array<std::array<char, 8>, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    for (unsigned m = 0; m < 4; ++m) {
      table[byte][2 * m] = kSigns[(byte >> (2 * m)) & 3u];
      table[byte][2 * m + 1] = ',';
    }
  }
  return table;
}();

// Four matches at a time while a sign follows them, so that the comma after
// the fourth lands inside the line; the last one to four signs one by one.
void RenderRow(PackedRow row, int matches, const LineTemplate& line, char* out) {
  std::memcpy(out, line.bytes.data(), line.size);
  char* sign = out + line.firstSign;
  int m = 0;
  for (; m + 4 < matches; m += 4) {
    std::memcpy(sign + 2 * m, kFourSigns[(row >> (2 * m)) & 0xFFu].data(), 8);
  }
  for (; m < matches; ++m) sign[2 * m] = kSigns[(row >> (2 * m)) & 3u];
}

}  // namespace

size_t RenderRowLines(const RowSet& set, int64_t begin, int64_t end, char* out) {
  const LineTemplate line(Rules(set.game));
  const PackedRow* row = set.rows.data();
  for (int64_t i = begin; i < end; ++i, out += line.size) {
    RenderRow(row[i], set.matches, line, out);
  }
  return static_cast<size_t>(end - begin) * line.size;
}

size_t RenderRowLines(const RowSet& set, std::span<const uint32_t> rowIndices, char* out) {
  const LineTemplate line(Rules(set.game));
  for (const uint32_t index : rowIndices) {
    RenderRow(set.rows[index], set.matches, line, out);
    out += line.size;
  }
  return rowIndices.size() * line.size;
}

void WriteRowLine(PackedRow row, const GameRules& rules, char* out) {
  RenderRow(row, rules.matches, LineTemplate(rules), out);
}

std::string RowLine(PackedRow row, const GameRules& rules) {
  std::array<char, 2 * kMaxMatches + 3> line;
  WriteRowLine(row, rules, line.data());
  return std::string(line.data(), static_cast<size_t>(RowLineLength(rules)));
}

namespace {

// The header line, then the rows' lines: one allocation of the final size.
template <typename Render>
std::string WholeText(const RowSet& set, size_t rows, Render render) {
  const size_t bytes = set.header.size() + rows * RowLineBytes(set);
  std::string text;
  text.reserve(bytes);
  AdviseHugePages(text.data(), bytes);
  text.resize(bytes);
  std::memcpy(text.data(), set.header.data(), set.header.size());
  render(text.data() + set.header.size());
  return text;
}

}  // namespace

std::string CouponText(const RowSet& set) {
  return WholeText(set, set.rows.size(),
                   [&](char* out) { RenderRowLines(set, 0, set.size(), out); });
}

std::string CouponText(const RowSet& set, std::span<const uint32_t> rowIndices) {
  return WholeText(set, rowIndices.size(),
                   [&](char* out) { RenderRowLines(set, rowIndices, out); });
}

}  // namespace spelkub
