// Reading coupon text strictly: the header forms that generation writes, the
// product name alone (today's hand-in form), the hand-in header with draw and
// stake (Topptipset), or no header (Supertoto); then
// row lines. Anything else is refused with one message that names the line
// and what is wrong; nothing is half-read. Input of any size is read in
// bounded memory: the packed rows and their line numbers (twice the packed
// rows) plus a buffer of at most 1 MiB; a line longer than 64 characters is
// refused as soon as it is seen, and a text of more than kMaxCouponRows rows
// (a growing file, an endless pipe) as soon as the next row comes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "coupon/coupon_state.h"
#include "coupon/games.h"
#include "coupon/system_shape.h"

namespace spelkub {

// The most rows a coupon text may hold: twice the largest system of any game
// (Supertoto's 3^14 = 4,782,969 outcomes), so that every system fits even
// with each row written twice. 80 MB of packed rows and line numbers.
inline constexpr int64_t kMaxCouponRows = 10'000'000;

enum class HeaderForm {
  kNone,         // no header line: rows of a game without one, or only "Dina Rader:"
  kGenerated,    // "Stryktipset,13plus=Nej" and the other forms generation writes
  kProductName,  // "Stryktipset" or "Europatipset" alone
  kHandIn,       // with the draw and the stake: "Topptipset,Omg=2841,Insats=5"
};

struct CouponRows {
  int32_t game = kStryktipset;  // from the header, or the headerless game of the rows
  HeaderForm headerForm = HeaderForm::kNone;
  std::string header;  // the header line as read, without its line break
  // From a generated header: "13plus=Ja" and its goals (kGoalsNone otherwise).
  bool plus13 = false;
  int32_t goals = kGoalsNone;
  // From a hand-in header with them: the draw and the row stake (0 otherwise).
  int draw = 0;
  int stake = 0;
  std::vector<PackedRow> rows;
  // Line number (1-based) of each row, for messages about single rows. 32
  // bits, so that rows and their lines together stay within twice the packed
  // rows; inputs of more lines are refused.
  std::vector<uint32_t> lines;
};

struct ReadResult {
  std::optional<CouponRows> coupon;
  // When refused: one line in Swedish, e.g. "Rad 17: väntade 13 tecken 1, X eller 2",
  // "Rad 4: match 5 har "x", väntade 1, X eller 2", "Rad 3: en Supertoto-rad med 14
  // tecken passar inte under rubriken "Stryktipset"", "Rad 2: otillåtet tecken (byte
  // 0x00)", "Rad 2: raden är för lång", or for a file "Kan inte läsa "PATH": filen
  // finns inte".
  std::string error;
  // When refused at a first line of whole signs without "E," and without a
  // header, which is read as a Supertoto row: that line and its signs (0
  // otherwise), so that a caller that knows the game can say what is missing.
  int64_t headerlessLine = 0;
  int headerlessSigns = 0;
};

// Accepted besides the header forms and rows: LF or CR LF, blank lines
// (empty or only blanks and tabs, of any length) anywhere, a last line without a break, a
// UTF-8 byte-order mark at the start. An empty text, or "Dina Rader:" alone,
// gives no rows (headerForm kNone, game kStryktipset).
ReadResult ReadCouponText(std::string_view text);
// "-" reads standard input. The file is read in chunks of 1 MiB, so a huge
// or hostile file costs the buffer and the rows read before the refusal.
ReadResult ReadCouponFile(const std::string& path);

// The same, handing each row and its line to `visit` as it is read instead
// of keeping it: the coupon read has no rows then, and the memory is the
// buffer's. A refused text may have handed over rows before its refusal.
using RowVisitor = std::function<void(PackedRow row, int64_t line)>;
ReadResult ReadCouponFileVisiting(const std::string& path, const RowVisitor& visit);

// The games whose names may head rows of `matches` signs, quoted, as the
// reader's messages list them: ""Stryktipset" eller "Europatipset""; every
// game with a header when none plays that many.
std::string HeaderNames(int matches);

// The game the reader takes rows without a header for (Supertoto); nullptr
// when every game has a header.
const GameRules* HeaderlessGame();

namespace detail {

// ReadCouponFile with chunks of `chunkBytes` (0: as ReadCouponFile chooses),
// so that chunk ends can fall anywhere in a small file.
// With `visit`, ReadCouponFileVisiting's.
ReadResult ReadCouponFileInChunks(const std::string& path, size_t chunkBytes,
                                  const RowVisitor* visit = nullptr);

}  // namespace detail

}  // namespace spelkub
