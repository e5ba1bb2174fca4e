#include "check/grading.h"

#include <array>
#include <bit>
#include <stdexcept>
#include <vector>

#include "coupon/shown_text.h"
#include "coupon/text_fields.h"

namespace spelkub {

namespace {

// 0 "1", 1 "X", 2 "2", -1 "-", -2 anything else.
int ResultCode(char c) {
  if (c == '-') return -1;
  const int outcome = TypedSignOutcome(c);
  return outcome >= 0 ? outcome : -2;
}

// A refused count shows the signs of each run up to this many runs.
constexpr size_t kRunsCounted = 8;

std::optional<MatchResults> Refuse(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
  return std::nullopt;
}

// Set bits of a 14-bit number: two look-ups count a row's wrong matches
// faster than a popcount without the instruction (the baseline x86-64 target).
constexpr std::array<uint8_t, 1 << 14> kBitCount = [] {
  std::array<uint8_t, 1 << 14> count{};
  for (size_t v = 0; v < count.size(); ++v) count[v] = static_cast<uint8_t>(std::popcount(v));
  return count;
}();

int Wrong(PackedRow row, PackedRow result, uint32_t decidedLow) {
  const uint32_t diff = row ^ result;
  const uint32_t wrong = (diff | (diff >> 1)) & decidedLow;
  return kBitCount[wrong & 0x3FFF] + kBitCount[wrong >> 14];
}

// Bits 0 of the two-bit field of each of the first `matches` matches.
constexpr uint32_t LowBits(int matches) {
  return 0x55555555u & ((uint32_t{1} << (2 * matches)) - 1);
}

}  // namespace

int MatchResults::Decided() const {
  int decided = 0;
  for (int m = 0; m < matches; ++m) decided += outcome[m] >= 0;
  return decided;
}

std::optional<MatchResults> ParseResults(std::string_view text, int matches, std::string* error) {
  if (matches < 1 || matches > kMaxMatches) throw std::invalid_argument("ParseResults: matches");
  const std::vector<std::string_view> groups = SplitFields(text);
  MatchResults results;
  results.matches = matches;
  results.outcome.fill(-1);
  const std::string expected = "väntade 1, X, 2 eller -";

  // A group per match: a group of more than one sign is a mistake in that match.
  if (static_cast<int>(groups.size()) == matches) {
    for (int m = 0; m < matches; ++m) {
      const int code = groups[m].size() == 1 ? ResultCode(groups[m][0]) : -2;
      if (code == -2) {
        return Refuse(error, "Resultat: match " + std::to_string(m + 1) + " har " +
                                 ShortQuoted(groups[m]) + ", " + expected);
      }
      results.outcome[m] = static_cast<int8_t>(code);
    }
    return results;
  }

  // Otherwise every group is a run of signs, "1X2-1 1X2-1 ...", read one
  // sign per match across the groups.
  const bool manyGroups = groups.size() > 1;
  int signs = 0;
  for (const std::string_view group : groups) {
    for (size_t i = 0; i < group.size(); ++i) {
      const int code = ResultCode(group[i]);
      if (code == -2) {
        // The whole character, also when it takes several bytes.
        size_t length = 1;
        while (i + length < group.size() &&
               (static_cast<unsigned char>(group[i + length]) & 0xC0) == 0x80) {
          ++length;
        }
        std::string what = "Resultat: match " + std::to_string(signs + 1) + " har " +
                           ShortQuoted(group.substr(i, length));
        if (manyGroups && group.size() > length) what += " (i " + ShortQuoted(group) + ")";
        return Refuse(error, what + ", " + expected);
      }
      if (signs < matches) results.outcome[signs] = static_cast<int8_t>(code);
      ++signs;
    }
  }
  if (signs == matches) return results;

  std::string what = "Resultat: väntade " + std::to_string(matches) +
                     " tecken 1, X, 2 eller -, fick " + std::to_string(signs);
  if (manyGroups && groups.size() <= kRunsCounted) {
    // Signs per group, so that the group that is short or long shows.
    std::string perGroup;
    for (const std::string_view group : groups) {
      perGroup += (perGroup.empty() ? "" : " + ") + std::to_string(group.size());
    }
    what += " (" + perGroup + ")";
    if (signs > matches) {
      size_t before = 0;
      for (const std::string_view group : groups) {
        if (before + group.size() > static_cast<size_t>(matches)) {
          what += "; tecken " + std::to_string(matches + 1) + " står i " + ShortQuoted(group);
          break;
        }
        before += group.size();
      }
    }
  }
  return Refuse(error, what);
}

GradeReport GradeRows(std::span<const PackedRow> rows, const MatchResults& results) {
  GradeReport report;
  report.matches = results.matches;
  report.decided = results.Decided();
  // A row's right: decided matches whose two bits equal the result's.
  PackedRow result = 0;
  uint32_t decidedLow = 0;
  for (int m = 0; m < results.matches; ++m) {
    if (results.outcome[m] < 0) continue;
    result |= PackedRow(results.outcome[m]) << (2 * m);
    decidedLow |= uint32_t{1} << (2 * m);
  }
  decidedLow &= LowBits(results.matches);
  // Four histograms so that equal neighbours do not wait on one counter.
  std::array<std::array<int64_t, kMaxMatches + 1>, 4> wrong{};
  const size_t count = rows.size();
  size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    for (int lane = 0; lane < 4; ++lane) ++wrong[lane][Wrong(rows[i + lane], result, decidedLow)];
  }
  for (; i < count; ++i) ++wrong[0][Wrong(rows[i], result, decidedLow)];
  for (int w = 0; w <= report.decided; ++w) {
    report.rowsByRight[report.decided - w] = wrong[0][w] + wrong[1][w] + wrong[2][w] + wrong[3][w];
  }
  const int undecided = results.matches - report.decided;
  int64_t atLeast = 0;
  for (int k = results.matches; k >= 0; --k) {
    const int needed = k - undecided;  // right on the decided matches to still reach k
    if (needed >= 0) atLeast += report.rowsByRight[needed];
    report.rowsCanReach[k] = needed >= 0 ? atLeast : static_cast<int64_t>(count);
  }
  return report;
}

}  // namespace spelkub
