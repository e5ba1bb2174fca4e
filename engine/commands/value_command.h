// "Systemvärde" and "Radvärden" as engine commands shared by the window and the
// companion: the value model from a coupon's match values and pool, the exact
// value of a row set, the values of each row, and "Behåll de N bästa"; with
// the Swedish texts both front ends show, so they cannot tell different
// numbers.
//
// Input: the game (its matches), the rows (packed, or coupon text read by the
// reader), the match values and the pool. Output: the numbers, and texts and
// figures made from them. A refusal is one Swedish line and nothing else; a
// stopped command returns no numbers, never partial ones.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "coupon/coupon_state.h"
#include "coupon/work.h"
#include "text/coupon_reader.h"
#include "value/match_values.h"
#include "value/system_value.h"
#include "value/value_model.h"

namespace spelkub {

// What the value commands read of a coupon.
struct ValueInput {
  int32_t game = kStryktipset;  // the rows must have this game's matches
  MatchValues values;
  PoolModel pool;
  // The row stake in units of the row price, for a game that takes stakes
  // (GameRules::stakes): each row counts as that many in the pool, so its
  // cost and its payouts scale with it.
  int stake = 1;
};

// Why a model could not be made: something the player has not entered yet,
// which a front end points to where it is entered, or any other refusal.
enum class ValueGap { kNone, kChances, kStreck, kTurnover, kOther };

struct ValueModelOutcome {
  std::optional<ValueModel> model;
  ValueGap gap = ValueGap::kNone;
  std::string refusal;  // e.g. "Kupongen saknar egna chanser", "Streck: match 3 har summan 0"
  // "Chanserna för match 2 och 5 summerade inte till 100 % och har räknats om."
  // and the same for streck, one line each; empty when nothing was scaled.
  std::string notes;
  // The matches (1-based) those notes name.
  std::vector<int> scaledChances;
  std::vector<int> scaledStreck;
};

ValueModelOutcome MakeCommandModel(const ValueInput& input);

// The rows of coupon text for a game: the reader's refusal, "Det finns inga
// rader att värdera", or "Raderna har 14 matcher men kupongen 13" when they
// are not the game's.
struct ValueRows {
  std::optional<std::vector<PackedRow>> rows;
  std::string refusal;
};
ValueRows ReadValueRows(std::string_view couponText, int32_t game);
// The same for rows already read (or given by the session).
ValueRows ValueRowsOf(ReadResult read, int32_t game);

// One number of the report: `key` for machine-readable output, `label` and
// `text` for a person ("P(13)", "0,52 % (1 på 192)"). `number` is what `text`
// shows, unrounded; a figure that is no number (the likeliest outcome) has
// numeric false and its text in `raw`.
struct ValueFigure {
  std::string key;
  std::string label;
  std::string text;
  double number = 0;
  bool numeric = true;
  std::string raw;
};

struct SystemValueOutcome {
  ValueModelOutcome model;  // refusal non-empty: nothing more was done
  bool stopped = false;
  std::optional<SystemValue> value;
  // rows, cost_kr, then per prize level p13 (the top) and p12plus, p11plus,
  // p10plus (14 … 11 for Supertoto), likeliest, likeliest_payout13 …,
  // expected_return_kr, return_ore_per_row.
  std::vector<ValueFigure> figures;
  // "Rader: 1 296\nKostnad: 1 296 kr\n..." then the model's notes.
  std::string reportText;
};

// Log-spaced edges of the estimated 13-payout (1, 2, 5 times powers of ten)
// from below the lowest payout any row can have to above the highest.
std::vector<double> PayoutEdges(const ValueModel& model);

// The exact value of `rows` under the input's model, with the payout
// histograms over PayoutEdges.
SystemValueOutcome RunSystemValueCommand(const ValueInput& input, std::span<const PackedRow> rows,
                                         const Work& work = {});

// The values of each row, in the rows' order.
struct RowValueTable {
  int matches = 13;
  std::vector<PackedRow> rows;
  std::vector<double> chance;       // P(r)
  std::vector<double> publicShare;  // Q(r)
  std::vector<double> value;        // V(r) = P/Q
  std::vector<double> payout;       // U(r), kr
  size_t size() const { return rows.size(); }
};

struct RowValuesOutcome {
  ValueModelOutcome model;
  bool stopped = false;
  std::optional<RowValueTable> table;
};

RowValuesOutcome RunRowValuesCommand(const ValueInput& input, std::vector<PackedRow> rows,
                                     const Work& work = {});

enum class RowValueColumn { kRow, kChance, kPublic, kValue, kPayout };

// The table's positions in the column's order, ties in the rows' order. Rows
// sort by their signs match by match, 1 before X before 2. nullopt when
// stopped.
std::optional<std::vector<uint32_t>> SortedRowOrder(const RowValueTable& table,
                                                    RowValueColumn column, bool descending,
                                                    const Work& work = {});

enum class KeepBy { kValue, kChance };

// "Behåll de N bästa": the `count` rows with the highest spelvärde or chance,
// ties going to the earlier row, kept in the rows' order.
struct KeepBestOutcome {
  std::string refusal;  // "Ange hur många rader som ska behållas", "... bara 120 rader ..."
  std::vector<uint32_t> kept;  // positions in the table, ascending
  std::vector<PackedRow> rows;
  std::string reportText;
};
KeepBestOutcome KeepBestRows(const RowValueTable& table, int64_t count, KeepBy by);

// Texts both front ends use.
// A share 0..1 as Swedish percent: "33,3 %", shares under 1 % with two
// significant digits ("0,55 %", "0,0042 %").
std::string PercentText(double share);
// A spelvärde P/Q as percent: "131,2 %", or "oändligt" where the public
// plays none of the row.
std::string SpelvardeText(double value);
// "1 på 192", "1 på 2,5"; empty for a chance of 0.
std::string OneInText(double chance);
// Kronor with a space between thousands: "1 234 567 kr"; below 100 with
// two decimals ("15,40 kr") unless whole ("15 kr").
std::string KronorText(double kronor);
// A row's signs, "1X21X2111X211".
std::string RowSignsText(PackedRow row, int matches);
// A number for machine-readable output: C locale, the shortest text that
// reads back as the same double ("inf" for an infinite spelvärde).
std::string MachineNumber(double value);

// The model as the help states it, for "Om värdemodellen" and --help.
std::string_view ValueModelHelpText();

}  // namespace spelkub
