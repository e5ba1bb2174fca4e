#include "follow/follow_results.h"

#include <stdexcept>
#include <vector>

#include "coupon/shown_text.h"
#include "coupon/text_fields.h"

namespace spelkub {
namespace {

constexpr std::string_view kExpected = "väntade 1, X, 2, ?, - eller L";

// A one-character mark: a decided sign, open, or cancelled; nullopt otherwise.
std::optional<MatchStatus> MarkStatus(char c) {
  if (c == '?' || c == '-') return MatchStatus{};
  if (c == 'L' || c == 'l') return MatchStatus{MatchState::kCancelled, -1};
  const int outcome = TypedSignOutcome(c);
  if (outcome < 0) return std::nullopt;
  return MatchStatus{MatchState::kDecided, static_cast<int8_t>(outcome)};
}

// A group of its own match: a mark, or a sign and "?" for the standing.
std::optional<MatchStatus> GroupStatus(std::string_view group) {
  if (group.size() == 1) return MarkStatus(group[0]);
  if (group.size() == 2 && group[1] == '?') {
    const int outcome = TypedSignOutcome(group[0]);
    if (outcome >= 0) return MatchStatus{MatchState::kPlaying, static_cast<int8_t>(outcome)};
  }
  return std::nullopt;
}

std::optional<FollowResults> Refuse(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
  return std::nullopt;
}

// The length of the character that starts at `at`, also when it takes several bytes.
size_t CharacterLength(std::string_view text, size_t at) {
  size_t length = 1;
  while (at + length < text.size() &&
         (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80) {
    ++length;
  }
  return length;
}

}  // namespace

int FollowResults::Decided() const {
  int decided = 0;
  for (int m = 0; m < matches; ++m) decided += match[m].Decided();
  return decided;
}

std::optional<FollowResults> ParseFollowResults(std::string_view text, int matches,
                                                std::string* error) {
  if (matches < 1 || matches > kMaxMatches) throw std::invalid_argument("ParseFollowResults");
  const std::vector<std::string_view> groups = SplitFields(text);
  FollowResults results;
  results.matches = matches;

  if (static_cast<int>(groups.size()) == matches) {
    for (int m = 0; m < matches; ++m) {
      const std::optional<MatchStatus> status = GroupStatus(groups[m]);
      if (!status) {
        return Refuse(error, "Resultat: match " + std::to_string(m + 1) + " har " +
                                 ShortQuoted(groups[m]) + ", " + std::string(kExpected) +
                                 " (eller 1?, X?, 2? för ställningen nu)");
      }
      results.match[m] = *status;
    }
    return results;
  }

  // Runs of marks, one mark per match across the groups.
  int marks = 0;
  for (const std::string_view group : groups) {
    for (size_t i = 0; i < group.size(); ++i) {
      const std::optional<MatchStatus> status = MarkStatus(group[i]);
      if (!status) {
        const size_t length = CharacterLength(group, i);
        std::string what = "Resultat: match " + std::to_string(marks + 1) + " har " +
                           ShortQuoted(group.substr(i, length));
        if (groups.size() > 1 && group.size() > length) what += " (i " + ShortQuoted(group) + ")";
        return Refuse(error, what + ", " + std::string(kExpected));
      }
      if (marks < matches) results.match[marks] = *status;
      ++marks;
    }
  }
  if (marks == matches) return results;
  return Refuse(error, "Resultat: väntade " + std::to_string(matches) +
                           " tecken 1, X, 2, ?, - eller L, fick " + std::to_string(marks));
}

std::string FollowResultsText(const FollowResults& results) {
  std::string text;
  for (int m = 0; m < results.matches; ++m) {
    if (m > 0) text += ' ';
    const MatchStatus& status = results.match[m];
    switch (status.state) {
      case MatchState::kOpen:
        text += '?';
        break;
      case MatchState::kPlaying:
        text += OutcomeSign(status.sign);
        text += '?';
        break;
      case MatchState::kDecided:
        text += OutcomeSign(status.sign);
        break;
      case MatchState::kCancelled:
        text += 'L';
        break;
    }
  }
  return text;
}

}  // namespace spelkub
