// What the history keeps: played coupons, the draws they were played on with
// their results and official payouts, and what each coupon won. Money is in
// öre (whole numbers), so sums over a season are exact.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "coupon/system_shape.h"

namespace spelkub::history {

// A hand-in file a played coupon went in as.
struct HandInFileRecord {
  std::string name;    // the path it was saved to, as given
  std::string sha256;  // of its bytes, lower-case hexadecimal
  int64_t rows = 0;
};

// The source of a played coupon: saved for hand-in here, an uploaded file read
// back, or rows recorded by the companion.
inline constexpr std::string_view kSourceHandIn = "inlämning";
inline constexpr std::string_view kSourceImport = "import";
inline constexpr std::string_view kSourceRows = "rader";

struct PlayedCoupon {
  int64_t id = 0;          // given by the database
  std::string recordedAt;  // UTC, "2026-12-08T17:30:00Z"; given by the database when empty
  int32_t game = 0;        // a game of the table
  int64_t draw = 0;        // the operator's draw number, > 0
  std::string closeTime;   // the draw's closing time as given, or empty
  std::string document;    // the coupon document's text as it was, or empty
  std::vector<PackedRow> rows;
  std::vector<HandInFileRecord> files;
  int64_t stakeOre = 0;  // what the rows cost
  // The payouts a row wins, in units of the game's row price: 1 for every row
  // played at the row price, 5 for a Topptipset row at five times it.
  int64_t payoutFactor = 1;
  // The expected return the value model gave when the coupon was recorded.
  std::optional<int64_t> expectedReturnOre;
  std::string source{kSourceRows};
};

// An official payout: per winning row with `correct` right.
struct LevelPayout {
  int correct = 0;
  std::optional<int64_t> winners;  // as published, when known
  int64_t amountOre = 0;
};

// A draw's final outcome: one sign per match (0 "1", 1 "X", 2 "2"; a
// cancelled match holds its drawn sign), and the official payouts.
struct DrawOutcome {
  int32_t game = 0;
  int64_t draw = 0;
  std::vector<int> signs;
  std::vector<LevelPayout> payouts;  // highest level first
  std::string source;                // "inskrivet" or where it was fetched
};

// What a coupon won at one level.
struct LevelWin {
  int correct = 0;
  int64_t rows = 0;
  int64_t amountOre = 0;  // rows × payout × payout factor
};

struct Settlement {
  int64_t playedId = 0;
  std::vector<LevelWin> levels;  // every level of the draw's payouts, highest first
  int64_t wonOre = 0;
};

// One line of "Mina omgångar".
struct PlayedSummary {
  int64_t id = 0;
  std::string date;      // the closing time when known, else when it was recorded
  int32_t game = 0;      // 0 for a game this version does not know
  std::string gameName;  // the game's name, or the word the database holds
  int64_t draw = 0;
  int64_t rows = 0;
  int64_t stakeOre = 0;
  std::optional<int64_t> wonOre;  // none until settled
  std::optional<int64_t> expectedReturnOre;
  std::string source;
};

struct HistoryFilter {
  std::optional<int32_t> game;
  std::string from;  // dates "2026-12-01" compared as text; empty: no bound
  std::string to;    // inclusive: every time on that day
};

// Signs as text "1X2…", and back (nullopt for anything but 1, X or 2, upper or
// lower case, or a wrong count).
std::string SignsText(std::span<const int> signs);
std::optional<std::vector<int>> SignsOf(std::string_view text, int matches);

// The number of right of each row against `signs`, counted per level of
// `payouts`, with the amounts won.
Settlement SettleRows(std::span<const PackedRow> rows, std::span<const int> signs,
                      std::span<const LevelPayout> payouts, int64_t payoutFactor);

// Lower-case hexadecimal SHA-256 of the bytes.
std::string Sha256Hex(std::string_view bytes);

// Kronor and öre for people: "1 234,50 kr" (a minus sign for a loss).
std::string KronorText(int64_t ore);
// For machines: "1234.50".
std::string KronorPlain(int64_t ore);
// Kronor as given ("12,5", "12.50", "1 234", "100 kr") to öre; nullopt for
// anything else or beyond a trillion kronor.
std::optional<int64_t> OreOf(std::string_view kronor);

}  // namespace spelkub::history
