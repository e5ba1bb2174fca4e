// Recording, settling and listing played coupons, for both front ends: what
// a played coupon is made of (rows read from coupon text or hand-in files,
// the document, the stake, the value model's expected return), the draw's
// outcome as the player types it, and the reports of each step.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "commands/refusal.h"
#include "coupon/work.h"
#include "document/coupon_document.h"
#include "draw/draw_service.h"
#include "history/history_database.h"

namespace spelkub {

inline constexpr std::string_view kRecordCaption = "Bokför spelad kupong";
inline constexpr std::string_view kSettleCaption = "Rätta spelad omgång";
inline constexpr std::string_view kHistoryCaption = "Mina omgångar";

struct RecordInput {
  int32_t game = kStryktipset;
  int64_t draw = 0;
  std::string closeTime;
  std::vector<PackedRow> rows;
  // The coupon as it was: kept as text, and its values give the expected
  // return when it has chances, streck and turnover.
  std::optional<CouponDocument> document;
  std::vector<history::HandInFileRecord> files;
  std::string source{history::kSourceRows};
  // What one row costs; the game's row price when absent.
  std::optional<int64_t> rowPriceOre;
};

// The rows of one or more hand-in files someone saved or uploaded (E rows or
// M lines), all of one game, with each file's name, hash and rows; or the
// reader's refusal naming the file.
Refusable<RecordInput> ReadPlayedFiles(std::span<const std::string> paths);

// The rows of a file for --record: a hand-in file, or any coupon text.
Refusable<RecordInput> ReadPlayedRows(const std::string& path);

struct Recorded {
  int64_t id = 0;
  std::string text;  // "Bokförd: Stryktipset omgång 4711, 1 296 rader, 1 296,00 kr."
};

// Records the coupon in one transaction. The expected return is computed first
// (the work may stop it: then nothing is recorded and the answer is empty).
// Refuses no rows, a draw below 1, rows of another game.
Refusable<Recorded> RecordPlayed(history::Database& database, const RecordInput& input,
                                 const Work& work = {});

// "1X2…" per match, for `game`; refused with a message naming what is wrong.
Refusable<std::vector<int>> ParseDrawSigns(std::string_view text, int32_t game);
// Official payouts "13=12345,50 12=230 11=18 10=0" (kr per winning row; a
// level left out pays nothing), separated by blanks, commas or semicolons;
// refused with the part that is wrong.
Refusable<std::vector<history::LevelPayout>> ParsePayouts(std::string_view text, int32_t game);

// A result fetched from the draw service as the draw's outcome: every sign
// known (a cancelled match by its drawn sign) and the payouts published, each
// at a level of the game. Refused, naming the first match still open or the
// level that does not fit, otherwise; `source` is where it was fetched.
Refusable<history::DrawOutcome> OutcomeOfFetchedResult(const DrawResult& result, int32_t game,
                                                       std::string source);

struct Settled {
  std::vector<history::Settlement> settlements;
  // Per coupon: its rows at each level and what it won, then the total.
  std::string text;
};

// Keeps the outcome and settles every coupon played on the draw, in one
// transaction.
Refusable<Settled> SettlePlayed(history::Database& database, const history::DrawOutcome& outcome);

// The list for people (aligned columns and a total line) or, with tsv, one
// header line and one line a coupon, tab-separated, amounts as 1234.50.
std::string HistoryText(std::span<const history::PlayedSummary> list, bool tsv);

// The totals of a list: stake, won (settled coupons only), the net of the
// settled ones, and the expected return of the settled ones that have one.
struct HistoryTotals {
  int64_t stakeOre = 0;
  int64_t wonOre = 0;
  int64_t settledStakeOre = 0;
  int64_t expectedOre = 0;  // of settled coupons with an expected return
  int64_t expectedStakeOre = 0;
  int64_t coupons = 0;
  int64_t settled = 0;
};
HistoryTotals TotalsOf(std::span<const history::PlayedSummary> list);

// The points of the chart: for each settled coupon in date order, the
// cumulative net (won − stake) and the cumulative expected net (expected
// return − stake) of those with an expected return, in öre.
struct ReturnPoint {
  std::string date;
  int64_t net = 0;
  std::optional<int64_t> expectedNet;
};
std::vector<ReturnPoint> CumulativeReturn(std::span<const history::PlayedSummary> list);

}  // namespace spelkub
