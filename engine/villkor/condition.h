// Conditions on rows ("villkor"): the one language the window, the coupon
// document and the companion share.
//
//   <measure> <range> [i <matches>]        kryss 2-5, tvåor 0-1 i 1-4, spelvärde 150-
//
// A range is A-B, A- (at least A), -B (at most B) or A (exactly A), bounds
// included; matches are a list like 1,2,5-8, and without "i" every match of
// the game counts. What a measure counts over the given matches of a row:
//   ettor, kryss, tvåor   signs 1, X, 2;
//   favoriter, skrällar   matches where the sign is, or is not, the public's
//                         favourite (needs streck);
//   poäng                 the own chances of the row's signs in whole percent,
//                         summed (needs chances).
// Over the whole row only:
//   spelvärde             V(r) in percent (needs chances and streck);
//   utdelning             the estimated top payout U(r) in kr (needs streck
//                         and the turnover).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace spelkub {

enum class Measure {
  kOnes,        // "ettor"
  kDraws,       // "kryss"
  kTwos,        // "tvåor"
  kFavourites,  // "favoriter"
  kUpsets,      // "skrällar"
  kPoints,      // "poäng"
  kValue,       // "spelvärde"
  kPayout,      // "utdelning"
};

// The measure's word in the language.
std::string_view MeasureName(Measure measure);

// Whether the measure is of the whole row, so takes no "i <matches>".
constexpr bool MeasureOfWholeRow(Measure measure) {
  return measure == Measure::kValue || measure == Measure::kPayout;
}

struct Condition {
  Measure measure = Measure::kDraws;
  // Inclusive bounds; none given means no bound on that side.
  std::optional<int64_t> low;
  std::optional<int64_t> high;
  // Bit m - 1 for match m; 0 when the condition names no matches (all count).
  uint32_t matches = 0;

  friend bool operator==(const Condition&, const Condition&) = default;
};

// The largest bound a condition takes.
inline constexpr int64_t kMaxConditionBound = 1'000'000'000'000;

// Reads one condition of a game with `matches` matches. Refuses with one
// Swedish line that quotes the condition and says what is wrong, e.g.
// Villkoret "krys 2-5": okänt mått "krys" (ettor, kryss, ...).
std::optional<Condition> ParseCondition(std::string_view text, int matches, std::string* error);

// The condition written back in the language, in its shortest form:
// "kryss 2-5 i 1-4,7". ParseCondition reads it back to the same condition.
std::string ConditionText(const Condition& condition);

}  // namespace spelkub
