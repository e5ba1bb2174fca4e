// The player's choices: the 42 mark flags and the game and reduction settings.
//
// One CouponState lives for the whole run of the program; the cell clicks and
// the selectors write it, the generate command and the reductions read it.
// Every field is a signed 32-bit integer; a settings field that is 0 means that
// nothing has been chosen yet.
#pragma once

#include <cstdint>
#include <string_view>

namespace spelkub {

enum GameType : int32_t {
  kStryktipset = 1,
  kEuropatipset = 2,
  kSupertoto = 3,
  // Chosen in the "Kupong" menu; "Välj spel:" offers the three above.
  kTopptipset = 4,
  kTopptipsetStryk = 5,
  kTopptipsetExtra = 6,
  kTopptipsetEuropa = 7,
};

// The 13plus goals choice ("Välj antal mål:").
enum GoalsChoice : int32_t {
  kGoalsNone = 0,
  kGoals0To1 = 1,  // "0-1"
  kGoals2 = 2,     // "2"
  kGoals3 = 3,     // "3"
  kGoalsF = 4,     // "F"
};

enum ReductionMode : int32_t {
  kReductionNone = 1,       // "Ingen"
  kReductionGuarantee = 2,  // "Garanti"
  kReductionRowCount = 3,   // "Antal Rader"
};

// Whether the player takes the 13plus add-on ("Dubbelvinsten?"). It is not a
// field of the state: the window keeps it in its selector, the companion in
// --13plus, and each hands it to validation and the header line.
enum Plus13Choice : int32_t {
  kPlus13Unset = -1,  // nothing chosen: no 13plus
  kPlus13Yes = 0,     // "Ja"
  kPlus13No = 1,      // "Nej"
};

inline constexpr int kMaxMatches = 14;
inline constexpr int kCellCount = 3 * kMaxMatches;

struct CouponState {
  int32_t Game = kStryktipset;
  int32_t Goals = kGoalsNone;
  int32_t Reduction = kReductionNone;
  int32_t GuaranteeLevel = 0;  // 4..13; 0 none chosen
  int32_t TargetRows = 0;      // 1..130, 150, 250, 500, 750, 1000, 2000; 0 none chosen
  int32_t SizeProduct = 1;     // accumulator of SystemSize; 1 whenever no computation runs
  int32_t MatchCount = 0;      // marks of the match last multiplied into SizeProduct
  int32_t Marks[kCellCount] = {};
};

// MarkCell k (0..41): match k / 3 + 1, outcome k % 3 (0 "1", 1 "X", 2 "2").
constexpr int CellMatch(int cell) {
  return cell / 3 + 1;
}
constexpr int CellOutcome(int cell) {
  return cell % 3;
}
constexpr int CellIndex(int match, int outcome) {
  return 3 * (match - 1) + outcome;
}

// The sign of an outcome: '1', 'X' or '2'.
constexpr char OutcomeSign(int outcome) {
  return "1X2"[outcome];
}

// The outcome of a sign as a coupon text or document writes it: 0 for '1',
// 1 for 'X', 2 for '2'; -1 for anything else.
constexpr int SignOutcome(char sign) {
  for (int outcome = 0; outcome < 3; ++outcome) {
    if (OutcomeSign(outcome) == sign) return outcome;
  }
  return -1;
}

// The same for a sign the user types, where 'x' is 'X' as well.
constexpr int TypedSignOutcome(char sign) {
  return SignOutcome(sign == 'x' ? 'X' : sign);
}

// Number of marked outcomes of a match (1..14).
int MarkedCount(const CouponState& state, int match);

// The number of rows of the full system: the product over the matches in play
// of their marked outcomes, multiplied up in SizeProduct/MatchCount the way
// the window does it. SizeProduct is 1 again afterwards; MatchCount keeps the
// count of the last match multiplied in. 0 while a match in play is unmarked.
int32_t SystemSize(CouponState& state);

// A cell click: flips Marks[cell] and returns the text the cell shows now
// ("" or its sign).
std::string_view ToggleMark(CouponState& state, int cell);

// The text a cell shows for its current mark.
std::string_view CellText(const CouponState& state, int cell);

}  // namespace spelkub
