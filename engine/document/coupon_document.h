// The coupon document: one coupon with everything the player entered about it,
// kept in a TOML file ending ".spelkub" that a person can read and edit.
//
//   format = 1                  # required; other versions are refused
//   game = "stryktipset"        # required: a game's --game word (stryktipset, ...)
//   goals = "0-1"               # the 13plus goals: 0-1, 2, 3 or F; absent or "" for none
//   draw = 2841                 # the draw ("omgång") the rows are for, 1..999999;
//                               # absent when not given
//   stake = 5                   # kr per row, one of the game's stakes (Topptipset:
//                               # 1, 2, 5 or 10); absent when 1
//
//   [pool]                      # optional, as are each of its keys
//   row_price = 1.0             # kr, > 0
//   payout_share = 0.65         # of the turnover, > 0 and <= 1
//   minimum_payout = 15.0       # kr per winning row, >= 0
//   turnover = 25000000.0       # kr, > 0: the others' stake, as the operator shows
//                               # it before you hand in; absent until given
//   jackpot = 0.0               # kr added to the top level's pot, >= 0; absent
//                               # when 0
//
//   [pool.level_share]          # share of the pool per number right, each 0..1,
//   13 = 0.4                    # together at most 1; written highest first
//   12 = 0.15
//   11 = 0.12
//   10 = 0.25
//
//   [conditions]                # optional, as are each of its keys
//   use = true                  # whether the conditions filter the system
//   max_broken = 0              # conditions a row may break, >= 0
//   list = [
//     "kryss 2-5",              # one condition per text, kept as written
//   ]
//
//   [[match]]                   # exactly 13 (14 for supertoto), in order
//   number = 1                  # required: 1, 2, ... in order
//   home = "AIK"                # optional team names
//   away = "Hammarby"
//   mark = "1X"                 # required: the marked signs in any order, each once;
//                               # "" for an unmarked match; written as 1, X, 2
//   odds = [2.1, 3.4, 3.6]      # optional: decimal odds for 1, X, 2, each > 1
//   chance = [45, 28, 27]       # optional: own chances in percent, >= 0, sum > 0
//   streck = [52, 26, 22]       # optional: the public's streck in percent, likewise
//   result = "1"                # optional: 1, X or 2; absent or "" for no result
//
//   odds_method = "power"       # optional: how chances come from odds,
//                               # proportional (the default) or power
//   [[snapshot]]                # optional: one per fetch of the draw service,
//   time = "2026-12-08T17:30:00Z"   # oldest first; required: when (UTC)
//   source = "stryktipset omgång 4929"  # required: what was fetched
//   draw = 4929                 # required: the draw's number, > 0
//   chosen = true               # optional: the snapshot the coupon's values are
//                               # from; at most one
//   turnover = 12345678.0       # optional, kr, >= 0
//   jackpot = 0.0               # optional, kr, >= 0
//   odds = [[1.55, 3.15, 8.7], [], ...]  # required: per match in play a triple
//   streck = [[59, 25, 16], ...]         # or [] for none; likewise the streck
//   ref_streck = [[58, 27, 15], ...]     # and the service's measurement before
//
// Reading is strict: an unknown key, a value of the wrong type or out of range,
// or a wrong number of matches is refused with its line. Integers are accepted
// where numbers are expected. The canonical text written back has the keys in
// the order above, leaves absent what is absent, and writes every number in
// the shortest form that reads back to the same double, so saving what was
// opened gives the same bytes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "coupon/coupon_state.h"
#include "value/match_values.h"
#include "value/value_model.h"

namespace spelkub {

inline constexpr int64_t kCouponDocumentFormat = 1;
// More snapshots are refused: a fetch every hour of a week is 168.
inline constexpr size_t kMaxSnapshots = 1000;
inline constexpr int kNoResult = -1;
// Larger files are refused unread: a coupon takes a few kilobytes.
inline constexpr uintmax_t kMaxCouponDocumentBytes = uintmax_t{1} << 20;

// What the draw service said at one fetch. NaN triples where it gave none.
struct DrawSnapshot {
  std::string time;    // when, UTC: "2026-12-08T17:30:00Z"
  std::string source;  // what was fetched: "stryktipset omgång 4929"
  int32_t draw = 0;
  std::array<SignValues, kMaxMatches> odds = FilledTriples();
  std::array<SignValues, kMaxMatches> streck = FilledTriples();
  std::array<SignValues, kMaxMatches> refStreck = FilledTriples();  // the measurement before
  double turnover = kNoValue;
  double jackpot = kNoValue;

  static constexpr std::array<SignValues, kMaxMatches> FilledTriples() {
    std::array<SignValues, kMaxMatches> none{};
    for (SignValues& triple : none) triple = kNoSignValues;
    return none;
  }
};

struct CouponDocument {
  int32_t game = kStryktipset;
  int32_t goals = kGoalsNone;
  int32_t draw = 0;  // 0: not given
  int32_t stake = 1;
  std::array<bool, kCellCount> marks{};  // by CellIndex
  MatchValues values;
  PoolModel pool = PoolModelOf(Rules(kStryktipset));
  std::vector<std::string> conditions;
  int32_t maxBroken = 0;
  bool useConditions = false;
  // How chances are made from the odds of a fetched draw.
  OddsMethod oddsMethod = OddsMethod::kProportional;
  // The draw service's fetches, oldest first; the coupon's odds, streck and
  // turnover are those of `snapshots[chosenSnapshot]` (-1: none chosen).
  std::vector<DrawSnapshot> snapshots;
  int chosenSnapshot = -1;
  // Per match (index m - 1): the outcome 0 "1", 1 "X", 2 "2", or kNoResult.
  std::array<int, kMaxMatches> results = [] {
    std::array<int, kMaxMatches> none{};
    none.fill(kNoResult);
    return none;
  }();
};

// A fresh document for a game: nothing marked or entered, the game's pool.
CouponDocument NewCouponDocument(int32_t game);

inline constexpr int32_t kMostDraw = 999999;

// The draw the coupon's rows are for: its own `draw`, else the chosen
// snapshot's; 0 when neither says.
int32_t CouponDraw(const CouponDocument& document);

struct DocumentResult {
  std::optional<CouponDocument> document;
  // When refused: one line in Swedish naming the line, e.g. "Rad 7: oväntat
  // tecken "="", "Rad 12: okänd nyckel "odd"", "Rad 3: match 1 har tecknet
  // "x", väntade 1, X eller 2", or for a file "Kan inte läsa "PATH": filen
  // finns inte".
  std::string error;
};

DocumentResult LoadCouponDocument(std::string_view text);

// Reads a regular file of at most kMaxCouponDocumentBytes and loads it.
DocumentResult ReadCouponDocumentFile(const std::string& path);

// What keeps the document from being written so that it reads back the same,
// in Swedish (e.g. "Match 3: oddsen ska vara större än 1"); empty when
// nothing does. Odds, chances and streck of a match are saved as three or
// not at all, so a partly given triple is such a problem. Only the matches in
// play count: values, marks and results of match 14 in a 13-match game are
// not saved.
std::string CouponDocumentProblem(const CouponDocument& document);

// The canonical text. Throws std::invalid_argument with the problem's text
// when CouponDocumentProblem reports one.
std::string CouponDocumentText(const CouponDocument& document);

// Writes the canonical text through the safe file layer: the old file stays
// as it was unless the new one is complete. Throws std::invalid_argument as
// CouponDocumentText does, or SaveError.
void SaveCouponDocument(const std::string& path, const CouponDocument& document);

// The coupon's game, goals choice and marks from the document; the marks of a
// match not in play are cleared. The reduction settings are left as they are.
void SetCouponFromDocument(const CouponDocument& document, CouponState& state);

// The document's game, goals choice and marks from the coupon. When the
// number of matches changes, the prize levels move with it (the top level
// stays "all right"), keeping their shares.
void SetDocumentFromCoupon(const CouponState& state, CouponDocument& document);

}  // namespace spelkub
