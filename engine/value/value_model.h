// The value model: the player's chances and the public's streck scaled to
// probabilities per match, the pool that pays the winners, and what a single
// row is worth under them.
//   P(r) = Π p(m, r_m)   the row's chance to be the right row
//   Q(r) = Π q(m, r_m)   the public's share of rows equal to it
//   V(r) = P(r) / Q(r)   its spelvärde
//   U(r) = pot / (N·Q(r) + 1), its estimated top payout: the top level's pot
//          shared by the public's N rows like it and this one.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "coupon/system_shape.h"
#include "value/match_values.h"

namespace spelkub {

// Per match (index m - 1) and sign ("1", "X", "2").
using SignTable = std::array<SignValues, kMaxMatches>;

// Which numbers of a match to read.
enum class ValueKind { kChance, kStreck };

struct ScaledValues {
  SignTable probability{};  // per match in play summing to 1; 0 beyond them
  // Matches (1-based) whose numbers did not add up to 99..101 and were scaled
  // to 100 %, for telling the player.
  std::vector<int> scaledMatches;
};

// The chances or the streck of matches 1..matches, each match scaled to sum 1.
// Refuses with one Swedish line naming the match and the sign: "Chans: match 3
// saknar värde för X", "Streck: match 3 har ett ogiltigt värde för 1" (not
// finite), "Chans: match 3 har ett negativt värde för 2", "Streck: match 3 har
// summan 0".
std::optional<ScaledValues> ScaleValues(const MatchValues& values, int matches, ValueKind kind,
                                        std::string* error);

// How the bookmaker's margin is taken out of the odds.
//   kProportional  p(m,s) = (1/o(m,s)) / Σ_t 1/o(m,t)
//   kPower         p(m,s) = (1/o(m,s))^k with the k that makes the three sum
//                  to 1; it takes more of the margin from the long shots, whom
//                  bookmakers price too short (the favourite–longshot bias).
enum class OddsMethod { kProportional, kPower };

// The chances the odds imply with the margin removed, summing to 1 per match.
// Refuses missing odds and odds of at most 1: "Odds: match 3 saknar odds för
// X", "Odds: match 3 har oddset 0.95 för 1, men odds måste vara större än 1".
std::optional<SignTable> OddsToChances(const MatchValues& values, int matches, std::string* error,
                                       OddsMethod method = OddsMethod::kProportional);

// The exponent k of the power method for one match's odds, each > 1.
double PowerMethodExponent(const SignValues& odds);

// Everything the row values and a system's value depend on; made by
// MakeValueModel, which checks it.
struct ValueModel {
  int matches = 13;    // 1..14
  SignTable chance{};  // p, summing to 1 per match
  SignTable streck{};  // q, summing to 1 per match
  PoolModel pool;

  // N: the public's rows, turnover / row price.
  double PublicRows() const { return pool.turnover / pool.rowPrice; }
  // The pot of the level with `right` right: turnover · payout share · the
  // level's share; 0 when the pool has no such level.
  double Pot(int right) const;
};

// Scales the chances and the streck (refusing as ScaleValues) and checks the
// rest: "Antalet matcher måste vara 1 till 14", "Ange omsättningen",
// "Omsättningen måste vara större än 0", "Radpriset måste vara större än 0",
// "Utbetalningsandelen måste vara mellan 0 och 100 %", "Minsta utdelning kan
// inte vara negativ", "Andelen för 12 rätt måste vara mellan 0 och 100 %",
// "Vinstgraderna får tillsammans högst 100 %", "Vinstgraden 9 rätt stöds inte,
// bara de fyra högsta", "Vinstgraden 12 rätt finns två gånger".
std::optional<ValueModel> MakeValueModel(const MatchValues& values, int matches,
                                         const PoolModel& pool, std::string* error);

struct RowValue {
  double chance = 0;       // P(r), 0..1
  double publicShare = 0;  // Q(r), 0..1
  double value = 0;        // spelvärde P/Q; +inf when only Q is 0, and 0 when P is 0
  double payout = 0;       // U(r), kr
};

// The values of a row of the model's matches; a field of 3 in one of them
// throws std::invalid_argument.
RowValue ValueOfRow(const ValueModel& model, PackedRow row);

}  // namespace spelkub
