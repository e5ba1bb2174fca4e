#include "villkor/condition.h"

#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "coupon/shown_text.h"

namespace spelkub {
namespace {

struct MeasureWord {
  Measure measure;
  std::string_view word;
};

constexpr std::array<MeasureWord, 8> kMeasures{{
    {Measure::kOnes, "ettor"},
    {Measure::kDraws, "kryss"},
    {Measure::kTwos, "tvåor"},
    {Measure::kFavourites, "favoriter"},
    {Measure::kUpsets, "skrällar"},
    {Measure::kPoints, "poäng"},
    {Measure::kValue, "spelvärde"},
    {Measure::kPayout, "utdelning"},
}};

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The text as the reader takes it: a no-break space (plain, narrow or
// figure) is a blank, and å, ä and ö written as a letter and a combining mark
// (as some keyboards and copied texts give them) are the one letter, so that
// what looks like "tvåor 2" reads as it looks.
std::string Normalized(std::string_view text) {
  struct Replacement {
    std::string_view from;
    std::string_view to;
  };
  static constexpr Replacement kReplacements[] = {
      {"\u00A0", " "},       {"\u202F", " "},       {"\u2007", " "},
      {"a\u030A", "\u00E5"}, {"a\u0308", "\u00E4"}, {"o\u0308", "\u00F6"},
      {"A\u030A", "\u00C5"}, {"A\u0308", "\u00C4"}, {"O\u0308", "\u00D6"},
  };
  std::string normalized;
  normalized.reserve(text.size());
  size_t at = 0;
  while (at < text.size()) {
    bool replaced = false;
    for (const Replacement& replacement : kReplacements) {
      if (text.substr(at).starts_with(replacement.from)) {
        normalized += replacement.to;
        at += replacement.from.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) normalized += text[at++];
  }
  return normalized;
}

// A word or a condition as a message shows it: a long one cut (at a whole
// character) with "…", so that a pasted page is not echoed back.
std::string Brief(std::string_view text) {
  constexpr size_t kShown = 40;
  if (text.size() <= kShown) return std::string(text);
  size_t cut = kShown;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + "…";
}

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && IsSpace(text[at])) ++at;
    const size_t start = at;
    while (at < text.size() && !IsSpace(text[at])) ++at;
    if (at > start) words.push_back(text.substr(start, at - start));
  }
  return words;
}

// A whole number of digits only, up to kMaxConditionBound.
enum class Number { kOk, kNotANumber, kTooLarge };

Number ReadNumber(std::string_view text, int64_t& value) {
  if (text.empty()) return Number::kNotANumber;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return Number::kNotANumber;
    if (value > kMaxConditionBound) continue;  // only the verdict is left to find
    value = value * 10 + (c - '0');
  }
  return value > kMaxConditionBound ? Number::kTooLarge : Number::kOk;
}

std::string JoinWords(const std::vector<std::string_view>& words) {
  std::string whole;
  for (std::string_view word : words) {
    if (!whole.empty()) whole += ' ';
    whole += word;
  }
  return whole;
}

// Each step of reading a condition gives what is wrong, or nothing.
using Wrong = std::optional<std::string>;

Wrong ReadMeasure(std::string_view word, Measure& measure) {
  bool known = false;
  for (const MeasureWord& entry : kMeasures) {
    if (entry.word == word) {
      measure = entry.measure;
      known = true;
    }
  }
  if (known) return std::nullopt;
  std::string list;
  for (const MeasureWord& entry : kMeasures) {
    list += (list.empty() ? "" : ", ") + std::string(entry.word);
  }
  return "okänt mått " + Quoted(Brief(word)) + " (" + list + ")";
}

Wrong ReadBound(std::string_view part, const std::string& badRange, std::optional<int64_t>& into) {
  int64_t value = 0;
  switch (ReadNumber(part, value)) {
    case Number::kNotANumber:
      return badRange;
    case Number::kTooLarge:
      return "talet " + Brief(part) + " är för stort";
    case Number::kOk:
      break;
  }
  into = value;
  return std::nullopt;
}

// A-B, A- (at least), -B (at most) or A (exactly).
Wrong ReadRange(std::string_view range, Condition& condition) {
  const size_t dash = range.find('-');
  const std::string badRange = "ogiltigt intervall " + Quoted(Brief(range)) +
                               ", skriv A-B, A- (minst), -B (högst) eller A (exakt)";
  if (dash == std::string_view::npos) {
    if (Wrong wrong = ReadBound(range, badRange, condition.low)) return wrong;
    condition.high = condition.low;
    return std::nullopt;
  }
  const std::string_view left = range.substr(0, dash);
  const std::string_view right = range.substr(dash + 1);
  if ((left.empty() && right.empty()) || right.find('-') != std::string_view::npos) return badRange;
  if (!left.empty()) {
    if (Wrong wrong = ReadBound(left, badRange, condition.low)) return wrong;
  }
  if (!right.empty()) {
    if (Wrong wrong = ReadBound(right, badRange, condition.high)) return wrong;
  }
  if (condition.low && condition.high && *condition.low > *condition.high) {
    return "intervallets början " + std::to_string(*condition.low) + " är större än dess slut " +
           std::to_string(*condition.high);
  }
  return std::nullopt;
}

// The matches: numbers and ranges of numbers, separated by commas, as bit
// m - 1 for match m.
Wrong ReadMatchList(const std::string& list, int matches, uint32_t& bits) {
  const std::string badList = "ogiltig matchlista " + Quoted(Brief(list)) + ", skriv t.ex. 1,2,5-8";
  size_t at = 0;
  while (at <= list.size()) {
    size_t end = list.find(',', at);
    if (end == std::string::npos) end = list.size();
    const std::string_view item = std::string_view(list).substr(at, end - at);
    const size_t itemDash = item.find('-');
    const std::string_view firstText =
        itemDash == std::string_view::npos ? item : item.substr(0, itemDash);
    const std::string_view lastText =
        itemDash == std::string_view::npos ? item : item.substr(itemDash + 1);
    int64_t first = 0;
    int64_t last = 0;
    const Number firstRead = ReadNumber(firstText, first);
    const Number lastRead = ReadNumber(lastText, last);
    if (firstRead == Number::kNotANumber || lastRead == Number::kNotANumber) return badList;
    // A number too large for the bound is shown as written, not as far as it was read.
    for (const auto& [m, read, written] :
         {std::tuple{first, firstRead, firstText}, std::tuple{last, lastRead, lastText}}) {
      if (read == Number::kTooLarge || m < 1 || m > matches) {
        return "match " + Brief(written) + " finns inte, spelet har " + std::to_string(matches) +
               " matcher";
      }
    }
    if (first > last) {
      return "matcherna " + std::string(item) + " står i fel ordning, skriv " +
             std::to_string(last) + "-" + std::to_string(first);
    }
    for (int64_t m = first; m <= last; ++m) bits |= uint32_t{1} << (m - 1);
    at = end + 1;
  }
  return std::nullopt;
}

}  // namespace

std::string_view MeasureName(Measure measure) {
  for (const MeasureWord& entry : kMeasures) {
    if (entry.measure == measure) return entry.word;
  }
  return {};
}

std::optional<Condition> ParseCondition(std::string_view text, int matches, std::string* error) {
  const std::string normalized = Normalized(text);
  const std::vector<std::string_view> words = Words(normalized);
  const std::string whole = JoinWords(words);
  auto refuse = [&](const std::string& what) -> std::optional<Condition> {
    if (error != nullptr) *error = "Villkoret " + Quoted(Brief(whole)) + ": " + what;
    return std::nullopt;
  };
  if (words.empty()) {
    if (error != nullptr) *error = "Villkoret är tomt";
    return std::nullopt;
  }

  Condition condition;
  if (auto wrong = ReadMeasure(words[0], condition.measure)) return refuse(*wrong);
  const std::string name(MeasureName(condition.measure));
  if (words.size() < 2)
    return refuse("intervall saknas efter " + name + ", t.ex. " + name + " 2-5");
  if (auto wrong = ReadRange(words[1], condition)) return refuse(*wrong);

  if (words.size() == 2) return condition;
  if (words[2] != "i") return refuse("oväntat " + Quoted(Brief(words[2])) + " efter intervallet");
  if (MeasureOfWholeRow(condition.measure))
    return refuse(name + " gäller hela raden och tar inga matcher");
  // Blanks in the list are ignored, except that a blank between two digits
  // separates two matches as a comma would: "i 1 2" is matches 1 and 2, never 12.
  std::string list;
  for (size_t w = 3; w < words.size(); ++w) {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!list.empty() && digit(list.back()) && digit(words[w].front())) list += ',';
    list += words[w];
  }
  if (list.empty()) return refuse("matcher saknas efter \"i\", t.ex. i 1-4,7");
  if (auto wrong = ReadMatchList(list, matches, condition.matches)) return refuse(*wrong);
  return condition;
}

std::string ConditionText(const Condition& condition) {
  std::string text(MeasureName(condition.measure));
  text += ' ';
  if (condition.low && condition.high && *condition.low == *condition.high) {
    text += std::to_string(*condition.low);
  } else {
    if (condition.low) text += std::to_string(*condition.low);
    text += '-';
    if (condition.high) text += std::to_string(*condition.high);
  }
  if (condition.matches != 0) {
    text += " i ";
    bool first = true;
    for (int m = 1; m <= 32; ++m) {
      if (((condition.matches >> (m - 1)) & 1u) == 0) continue;
      int last = m;
      while (last < 32 && ((condition.matches >> last) & 1u) != 0) ++last;
      if (!first) text += ',';
      first = false;
      text += std::to_string(m);
      if (last > m) {
        text += '-';
        text += std::to_string(last);
      }
      m = last;
    }
  }
  return text;
}

}  // namespace spelkub
