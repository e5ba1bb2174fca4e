#include "generate/coupon_text.h"

#include <array>
#include <cstring>

#include "coupon/choices.h"
#include "generate/detail/row_line.h"
#include "generate/huge_pages.h"

namespace spelkub {

namespace {

constexpr ValidationFailure kInvalidSystem(int check) {
  return {check, kInvalidSystemMessage};
}

// Rows between two progress reports; a power of two keeps the test cheap.
constexpr int64_t kProgressGrain = 1 << 13;

// A row line with CR LF whose signs are all "1"; rendering overwrites the signs.
struct LineTemplate {
  char bytes[kRowLineBytes];
  explicit LineTemplate(int32_t game) {
    std::memset(bytes, ',', kRowLineLength);
    int match = 1;
    if (game != kSupertoto) bytes[0] = 'E';
    for (; match <= MatchesInPlay(game); ++match) bytes[SignPosition(game, match)] = '1';
    bytes[kRowLineLength] = '\r';
    bytes[kRowLineLength + 1] = '\n';
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

void RenderRow(PackedRow row, int32_t game, int matches, const LineTemplate& line, char* out) {
  std::memcpy(out, line.bytes, kRowLineBytes);
  char* sign = out + (game == kSupertoto ? 0 : 2);
  if (matches == 13 || matches == 14) {
    std::memcpy(sign, kFourSigns[row & 0xFFu].data(), 8);
    std::memcpy(sign + 8, kFourSigns[(row >> 8) & 0xFFu].data(), 8);
    std::memcpy(sign + 16, kFourSigns[(row >> 16) & 0xFFu].data(), 8);
    sign[24] = kSigns[(row >> 24) & 3u];
    if (matches == 14) sign[26] = kSigns[(row >> 26) & 3u];
    return;
  }
  for (int m = 0; m < matches; ++m) {
    sign[2 * m] = kSigns[row & 3u];
    row >>= 2;
  }
}

}  // namespace

std::optional<ValidationFailure> ValidateCoupon(const CouponState& state, int plus13Index) {
  for (int match = 1; match <= 13; ++match) {
    if (MarkedCount(state, match) == 0) return kInvalidSystem(match);
  }
  if (state.Game == kSupertoto && MarkedCount(state, 14) == 0) return kInvalidSystem(14);
  if (state.Game != kSupertoto && plus13Index == kPlus13Yes && state.Goals == kGoalsNone) {
    return ValidationFailure{15, kPlus13Message};
  }
  if (state.Reduction == kReductionGuarantee && state.GuaranteeLevel == 0) {
    return ValidationFailure{16, kGuaranteeChoiceMessage};
  }
  if (state.Reduction == kReductionRowCount && state.TargetRows == 0) {
    return ValidationFailure{17, kRowCountChoiceMessage};
  }
  return std::nullopt;
}

std::string HeaderLine(const CouponState& state, int plus13Index) {
  if (state.Game == kSupertoto) return {};
  const GameChoice* choice = FindGame(state.Game);
  std::string line(choice != nullptr ? choice->header : kGameChoices[0].header);
  const std::string_view goals = GoalsText(state.Goals);
  if (plus13Index == kPlus13Yes && !goals.empty()) {
    line += ",13plus=Ja,Antal=";
    line += goals;
  } else {
    line += ",13plus=Nej";
  }
  line += kLineBreak;
  return line;
}

RowSet GenerateFullSystem(const CouponState& state, int plus13Index, ProgressListener* progress) {
  return GenerateSystem(ShapeOf(state), state.Game, HeaderLine(state, plus13Index), progress);
}

RowSet GenerateSystem(const SystemShape& shape, int32_t game, std::string header,
                      ProgressListener* progress) {
  RowSet set;
  set.game = game;
  set.matches = shape.matches;
  set.header = std::move(header);
  set.radix = shape.radix;
  set.outcomes = shape.outcomes;

  const int64_t size = shape.size();
  if (size == 0) return set;
  set.rows.reserve(static_cast<size_t>(size));
  AdviseHugePages(set.rows.data(), static_cast<size_t>(size) * sizeof(PackedRow));
  set.rows.resize(static_cast<size_t>(size));

  // The odometer: digit[m] indexes the marked outcomes of match m + 1; match 1
  // turns fastest. `high` is the packed code of matches 2.. for the current turn
  // of match 1, so the inner loop only ORs in the sign of match 1.
  std::array<int, kMaxMatches> digit{};
  PackedRow high = 0;
  for (int m = 1; m < set.matches; ++m) high |= PackedRow{set.outcomes[m][0]} << (2 * m);
  const int first = set.radix[0];
  PackedRow firstSigns[3] = {set.outcomes[0][0], set.outcomes[0][1], set.outcomes[0][2]};

  PackedRow* out = set.rows.data();
  int64_t begun = 0;
  int64_t nextReport = kProgressGrain;
  for (;;) {
    for (int d = 0; d < first; ++d) *out++ = high | firstSigns[d];
    begun += first;
    if (progress != nullptr && begun >= nextReport) {
      progress->RowsGenerated(begun);
      nextReport = begun + kProgressGrain;
    }
    int m = 1;
    for (; m < set.matches; ++m) {
      const int shift = 2 * m;
      high &= ~(PackedRow{3} << shift);
      if (++digit[m] < set.radix[m]) {
        high |= PackedRow{set.outcomes[m][digit[m]]} << shift;
        break;
      }
      digit[m] = 0;
      high |= PackedRow{set.outcomes[m][0]} << shift;
    }
    if (m == set.matches) break;  // the last match carried: every row is made
  }
  if (progress != nullptr) progress->RowsGenerated(begun);
  return set;
}

size_t RenderRowLines(const RowSet& set, int64_t begin, int64_t end, char* out) {
  const LineTemplate line(set.game);
  const PackedRow* row = set.rows.data();
  for (int64_t i = begin; i < end; ++i, out += kRowLineBytes) {
    RenderRow(row[i], set.game, set.matches, line, out);
  }
  return static_cast<size_t>(end - begin) * kRowLineBytes;
}

size_t RenderRowLines(const RowSet& set, std::span<const uint32_t> rowIndices, char* out) {
  const LineTemplate line(set.game);
  for (const uint32_t index : rowIndices) {
    RenderRow(set.rows[index], set.game, set.matches, line, out);
    out += kRowLineBytes;
  }
  return rowIndices.size() * kRowLineBytes;
}

void WriteRowLine(PackedRow row, int32_t game, char* out) {
  RenderRow(row, game, MatchesInPlay(game), LineTemplate(game), out);
}

std::string RowLine(PackedRow row, int32_t game) {
  char line[kRowLineBytes];
  WriteRowLine(row, game, line);
  return std::string(line, kRowLineLength);
}

namespace {

// The header line, then the rows' lines: one allocation of the final size.
template <typename Render>
std::string WholeText(const RowSet& set, size_t rows, Render render) {
  const size_t bytes = set.header.size() + rows * kRowLineBytes;
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
