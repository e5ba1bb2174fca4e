// The state of each match while a coupon is followed: open, playing with the
// sign it stands at now, decided, or cancelled and waiting for its drawn sign.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "coupon/coupon_state.h"

namespace spelkub {

enum class MatchState : int8_t {
  kOpen,       // not decided; any sign may come
  kPlaying,    // not decided, standing at `sign` now
  kDecided,    // ended with `sign`
  kCancelled,  // cancelled; its sign will be drawn, so any sign may come
};

struct MatchStatus {
  MatchState state = MatchState::kOpen;
  int8_t sign = -1;  // 0 "1", 1 "X", 2 "2" when playing or decided, else -1

  bool Decided() const { return state == MatchState::kDecided; }
  friend bool operator==(const MatchStatus&, const MatchStatus&) = default;
};

struct FollowResults {
  int matches = 13;
  std::array<MatchStatus, kMaxMatches> match{};  // index m - 1

  int Decided() const;
  int Open() const { return matches - Decided(); }
  friend bool operator==(const FollowResults&, const FollowResults&) = default;
};

// The results as the grading reads them (one sign per match, "-" for one not
// decided; groups separated by commas, semicolons, blanks or line breaks, one
// per match, or runs of signs read a sign per match; "x" is "X"), and also:
// "?" for an open match, "L" (or "l") for a cancelled match waiting for its
// drawn sign, and, only where each match has a group of its own, "1?", "X?",
// "2?" for a match being played that stands at that sign now. Refusals are one
// Swedish line saying where the text went wrong, e.g. "Resultat: match 8 har
// "q", väntade 1, X, 2, ?, - eller L".
std::optional<FollowResults> ParseFollowResults(std::string_view text, int matches,
                                                std::string* error);

// The results written back in the form ParseFollowResults reads, a group per
// match: "1 X ? 2? L ...".
std::string FollowResultsText(const FollowResults& results);

}  // namespace spelkub
