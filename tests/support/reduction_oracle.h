// A deliberately plain reduction on coupon text lines, the way the row list
// holds them: candidates are line indices (the header line of Stryktipset and
// Europatipset is none), the kept list starts with that header line, every
// comparison reads the sign characters of two lines, and nothing is indexed or
// cached. The engine must keep exactly the rows this keeps, in the same order.
// Slow on purpose. With TextControlLines as the lists it is also the baseline
// of the reduction benchmark: every comparison then copies both lines out of
// their lists, the way the lists are read from the window's text controls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "coupon/coupon_state.h"

namespace spelkub::testing {

// The lines of a coupon text, without their CR LF.
inline std::vector<std::string> TextLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

inline std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// Equal signs of two row lines, character by character at the sign positions:
// 2, 4, ..., 26 after "E," for games 1 and 2; 0, 2, ..., 26 for Supertoto.
inline int PlainEqualSigns(const std::string& a, const std::string& b, int32_t game) {
  const int first = game == kSupertoto ? 0 : 2;
  int equal = 0;
  for (int at = first; at <= 26; at += 2) {
    if (a[at] == b[at]) ++equal;
  }
  return equal;
}

// A stand-in for a multi-line text control: the text in one piece, and each
// line handed out as a copy of its text, as a control's line access does.
class TextControlLines {
 public:
  size_t size() const { return starts_.size(); }
  std::string operator[](size_t i) const {
    const size_t end = i + 1 < starts_.size() ? starts_[i + 1] - 2 : text_.size() - 2;
    return text_.substr(starts_[i], end - starts_[i]);
  }
  void push_back(const std::string& line) {
    starts_.push_back(text_.size());
    text_ += line;
    text_ += "\r\n";
  }

 private:
  std::string text_;
  std::vector<size_t> starts_;
};

struct PlainResult {
  bool refused = false;           // "Felaktigt val av antal rader!"
  std::vector<std::string> kept;  // the kept list: header line (games 1, 2), accepted rows
  int threshold = 0;              // of the last pass run, 0 if none
  int64_t counter = 0;            // progress counter after the last pass
};

// One greedy pass over the row list. target 0: no stop test. Returns whether
// the stop test ended the pass. Every comparison reads both lines from their
// lists afresh.
template <typename Lines>
bool PlainPass(const Lines& rowList, Lines& keptList, int32_t game, int threshold, bool reversed,
               int64_t target, int64_t& counter) {
  const int64_t n = static_cast<int64_t>(rowList.size());
  const int64_t firstRow = game == kSupertoto ? 0 : 1;
  const int64_t candidates = n - firstRow;
  for (int64_t step = 0; step < candidates; ++step) {
    const int64_t i = reversed ? n - 1 - step : firstRow + step;
    const int64_t keptLines = static_cast<int64_t>(keptList.size());
    ++counter;
    bool rejected = false;
    for (int64_t k = firstRow; k < keptLines; ++k) {
      if (PlainEqualSigns(rowList[i], keptList[k], game) >= threshold) {
        rejected = true;
        break;
      }
    }
    if (rejected) continue;
    keptList.push_back(rowList[i]);
    if (target > 0 && static_cast<int64_t>(keptList.size()) - firstRow == target) return true;
  }
  return false;
}

template <typename Lines>
Lines LoadLines(std::string_view couponText) {
  Lines lines;
  for (const std::string& line : TextLines(couponText)) lines.push_back(line);
  return lines;
}

template <typename Lines>
std::vector<std::string> AllLines(const Lines& lines) {
  std::vector<std::string> all;
  for (size_t i = 0; i < lines.size(); ++i) all.push_back(lines[i]);
  return all;
}

// The row count reduction: passes with thresholds 4, 5, ... until the target.
template <typename Lines = std::vector<std::string>>
PlainResult PlainRowCount(std::string_view couponText, int32_t game, int64_t target,
                          bool reversed) {
  const Lines rowList = LoadLines<Lines>(couponText);
  const int64_t firstRow = game == kSupertoto ? 0 : 1;
  PlainResult result;
  if (target > static_cast<int64_t>(rowList.size()) - firstRow) {
    result.refused = true;
    return result;
  }
  Lines keptList;
  if (game != kSupertoto) keptList.push_back(rowList[0]);
  result.threshold = 4;
  for (;;) {
    result.counter = 0;
    if (PlainPass(rowList, keptList, game, result.threshold, reversed, target, result.counter)) {
      break;
    }
    ++result.threshold;
  }
  result.kept = AllLines(keptList);
  return result;
}

// The guarantee reduction: one pass with the level as threshold.
template <typename Lines = std::vector<std::string>>
PlainResult PlainGuarantee(std::string_view couponText, int32_t game, int level, bool reversed) {
  const Lines rowList = LoadLines<Lines>(couponText);
  Lines keptList;
  if (game != kSupertoto) keptList.push_back(rowList[0]);
  PlainResult result;
  result.threshold = level;
  PlainPass(rowList, keptList, game, level, reversed, 0, result.counter);
  result.kept = AllLines(keptList);
  return result;
}

}  // namespace spelkub::testing
