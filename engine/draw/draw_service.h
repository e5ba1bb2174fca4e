// The operator's draw service, read: its open draws, one draw, the result of a
// draw with the official payouts, and the jackpots, each from the JSON text
// the service answers. No network here: the front ends fetch, this module
// checks every field it reads and refuses what does not fit with one Swedish
// line naming the field ("Fel i svaret, fältet drawEvents[2].odds.one: "abc"
// är inget tal").
//
// The service is unofficial: the operator documents none of it and can change
// it any week. Numbers come as text with a decimal comma and spaces between
// thousands ("2,45", "12 345 678,00"); plain JSON numbers are taken too.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "value/match_values.h"

namespace spelkub {

// Larger answers are refused unread: a draw takes some tens of kilobytes.
inline constexpr size_t kMaxDrawAnswerBytes = size_t{4} << 20;

// A product of the service, keyed by the game's --game word so that a game of
// the table finds its product, and a product whose game is not in the table
// yet is simply not offered.
struct DrawProduct {
  std::string_view option;  // the game's word (GameRules::option)
  std::string_view name;    // as the player knows it
  std::string_view path;    // the product in the service's addresses
  int productId;            // the product in the jackpot answer
  bool listsDraws;  // whether /draws lists the open draws; if not, draws are tried by number
};

inline constexpr std::array<DrawProduct, 5> kDrawProducts{{
    {"stryktipset", "Stryktipset", "stryktipset", 1, true},
    {"europatipset", "Europatipset", "europatipset", 2, true},
    {"topptipset", "Topptipset", "topptipset", 25, false},
    {"topptipset-stryk", "Topptipset Stryk", "topptipsetstryk", 23, false},
    {"topptipset-extra", "Topptipset Extra", "topptipsetextra", 24, false},
}};

// The product of a game word; nullptr when the service has none.
const DrawProduct* DrawProductOf(std::string_view option);

// The addresses below a base ("https://api.spela.svenskaspel.se", no slash
// at the end).
std::string OpenDrawsAddress(std::string_view base, const DrawProduct& product);
std::string DrawAddress(std::string_view base, const DrawProduct& product, int drawNumber);
std::string ResultAddress(std::string_view base, const DrawProduct& product, int drawNumber);
std::string JackpotsAddress(std::string_view base);

// A match of a draw. Values not given are NaN (kNoSignValues).
struct DrawEvent {
  int number = 0;  // 1.. in the draw's order
  std::string description;
  std::string home;
  std::string away;
  bool cancelled = false;
  SignValues odds = kNoSignValues;       // decimal odds now, each > 1
  SignValues startOdds = kNoSignValues;  // when the draw opened
  SignValues streck = kNoSignValues;     // the public's percent now, 0..100
  SignValues refStreck = kNoSignValues;  // at the measurement before
};

struct Draw {
  int number = 0;
  std::string state;           // "Open", "Closed", ... as the service says
  std::string closeTime;       // the last moment to hand in, as the service writes it
  double turnover = kNoValue;  // the net sale so far, kr
  double rowPrice = kNoValue;  // kr
  std::string extraInfo;
  std::vector<DrawEvent> events;  // by number

  bool IsOpen() const { return state == "Open"; }
};

// The outcome of a match after the draw. A cancelled match is decided by a
// drawn sign; until that is published every sign of it is still open.
inline constexpr int kOutcomeOpen = -1;
struct EventOutcome {
  int number = 0;
  int outcome = kOutcomeOpen;  // 0 "1", 1 "X", 2 "2", or kOutcomeOpen
  bool cancelled = false;
};

// Signs still counted right for a match: bit s for sign s (1, 2, 4); all
// three while the outcome is open.
inline unsigned OpenSigns(const EventOutcome& event) {
  return event.outcome == kOutcomeOpen ? 7u : 1u << event.outcome;
}

// An official prize level: `winners` rows had `right` right and each was paid
// `amount` kr.
struct PrizePayout {
  int right = 0;
  int64_t winners = 0;
  double amount = 0;
};

struct DrawResult {
  int drawNumber = 0;
  std::vector<EventOutcome> events;  // by number, one per match
  std::vector<PrizePayout> payouts;  // highest level first; empty until published
  double turnover = kNoValue;        // kr, when the answer gives it

  // Whether every match has its sign.
  bool Complete() const;
};

// The signs of a result as --grade and "Rätta rader" read them: "1X2-…", - for
// a match whose sign is still open.
std::string GradeResultText(const DrawResult& result);
// The same as "Följ kupongen" reads them: "1 X L ? …", a decided match by its
// sign, a cancelled one waiting for its drawn sign L, any other open ?.
std::string FollowResultText(const DrawResult& result);

// A parse's answer: the value, or one Swedish line saying why not.
template <typename T>
struct DrawParse {
  std::optional<T> value;
  std::string error;
};

// The open draws (/draws): {"draws": [draw, ...]}; each draw must have
// `matches` events. Draws are returned in the service's order.
DrawParse<std::vector<Draw>> ParseOpenDraws(std::string_view text, int matches);

// One draw (/draws/{n}): {"draw": draw} or {"draws": [draw]}. Refuses a draw
// whose number is not `drawNumber` or that has not `matches` events.
DrawParse<Draw> ParseDraw(std::string_view text, int drawNumber, int matches);

// The result (/draws/{n}/result): {"result": result} or {"result": [result]}
// with its `events` (exactly `matches`) and `distribution` (levels from 1 to
// `matches` right, each once).
DrawParse<DrawResult> ParseDrawResult(std::string_view text, int drawNumber, int matches);

// A jackpot the service lists (/draw/1/jackpots): a product's draw and the
// sum of the amounts listed for it, kr.
struct JackpotEntry {
  int productId = 0;
  int drawNumber = 0;
  double amount = 0;
};

// Every entry of the jackpot answer, in its order; every field is checked,
// and a product's draw listed twice is refused.
DrawParse<std::vector<JackpotEntry>> ParseJackpots(std::string_view text);

// The jackpot of a product's draw, kr: the sum of the amounts listed for it
// (0 when its entry lists none); NaN (kNoValue) when the answer has no entry
// for that draw.
DrawParse<double> ParseJackpot(std::string_view text, const DrawProduct& product, int drawNumber);

// The jackpot of a product's draw among entries already read; NaN when none
// is listed.
double JackpotOf(const std::vector<JackpotEntry>& entries, const DrawProduct& product,
                 int drawNumber);

// The draw numbers the entries name for the product, highest first: where a
// product that lists no draws (Topptipset) is looked for.
std::vector<int> JackpotDrawNumbers(const std::vector<JackpotEntry>& entries,
                                    const DrawProduct& product);

// A number as the service writes it: "2,45", "12 345 678,00" (spaces, also
// no-break ones, between digit groups); NaN for "" (none given); nullopt for
// text that is no number.
std::optional<double> ServiceNumber(std::string_view text);

}  // namespace spelkub
