// "Spara för inlämning": the rows in the form the operator takes today: a
// text file, CR LF, the game's hand-in header, then its E rows or M lines, at most
// 10,000 rows (or 1,000 M lines) and 20,000 kr a file. The header is the product name alone
// ("Stryktipset" or "Europatipset"), or for a game handed in with its draw and stake the name, the
// word for the matches it is played on, the draw and the row stake:
// "Topptipset,Stryk,Omg=2841,Insats=5". A game without a product name
// (Supertoto) cannot be handed in this way. The form has no place for the
// 13plus add-on: rows made with 13plus are handed in all the same, and the
// report of the save adds kPlus13Note, so that the player chooses 13plus at
// the operator. Both the window and the companion follow this.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "coupon/coupon_state.h"
#include "coupon/games.h"
#include "coupon/system_shape.h"
#include "handin/handin_reader.h"
#include "handin/m_lines.h"

namespace spelkub {

inline constexpr int64_t kHandInRowsPerFile = 10000;
// The most one file may stake, in öre: 20,000 kr.
inline constexpr int64_t kHandInStakeCapOre = 2000000;

// Why a game that has no hand-in product cannot be handed in:
// "Supertoto kan inte lämnas in på det här sättet."
inline std::string HandInRefusal(const GameRules& rules) {
  return std::string(rules.name) + " kan inte lämnas in på det här sättet.";
}
inline constexpr std::string_view kNoRowsRefusal = "Det finns inga rader att lämna in.";

// The draw and the row stake of a hand-in, for a game whose header carries
// them (GameRules::handInDrawAndStake); the others ignore them.
struct HandInTicket {
  int draw = 0;   // the operator's draw number ("omgång"), 1..999999; 0 not given
  int stake = 1;  // kr per row, one of the game's stakes
};

// Why a ticket does not do for the game, or empty: "Ange omgången för
// Topptipset Stryk.", "Omgången ska vara ett heltal från 1 till 999999.",
// "Topptipset tar insatsen 1, 2, 5 eller 10 kr per rad.".
std::string HandInTicketProblem(const GameRules& rules, const HandInTicket& ticket);

// "1, 2, 5 eller 10": the stakes a game takes.
std::string StakeList(const GameRules& rules);

// The hand-in header line of the game with CR LF. Throws HandInRefused for a
// game that cannot be handed in or a ticket that does not do.
std::string HandInHeader(const GameRules& rules, const HandInTicket& ticket);
inline constexpr std::string_view kPlus13Note =
    "13plus ingår inte i inlämningsfilen: välj det hos spelbolaget när du lämnar in.";

// Thrown for rows that cannot be handed in, or a target they cannot go to;
// what() is the Swedish text the user sees: HandInRefusal(game), kNoRowsRefusal
// or the refusal of CheckHandInTarget.
class HandInRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One file of a hand-in: its text and the rows it holds, in the order reading
// it back gives them (an M line's rows match 1 fastest).
struct HandInFile {
  std::string text;
  std::vector<PackedRow> rows;
  int64_t lines = 0;  // E rows or M lines
};

// The rows split into files. E rows: at most kHandInRowsPerFile rows and
// kHandInStakeCapOre a file, in the rows' order. M lines: the rows split
// exactly into products (see SplitIntoMSystems) of at most kLargestMSystem
// rows and the stake cap, at most kHandInMLinesPerFile lines and the stake
// cap a file.
struct HandInSplit {
  HandInForm form = HandInForm::kRows;
  std::vector<HandInFile> files;
  // Why there are that many files, for the report: "Högst 10 000 rader per
  // fil." or "Högst 20 000 kr per fil: 4 000 rader à 5 kr."; empty for one file.
  std::string why;
};

// A row costs the game's row price times the ticket's stake. Throws
// HandInRefused for a game that cannot be handed in, a ticket that does not
// do (see HandInHeader), and a row that costs more than a file may stake.
HandInSplit SplitForHandIn(const GameRules& rules, const HandInTicket& ticket,
                           std::span<const PackedRow> rows, HandInForm form);
// The game's own row price in öre, for a stake of 1.
int64_t RowPriceOre(const GameRules& rules);

// The names `files` files go to: `path` itself for one, else NAME-1.txt,
// NAME-2.txt, ... beside it (NAME is path without ".txt", in any letter case;
// a path without it gets ".txt" on each name).
std::vector<std::string> HandInFileNames(const std::string& path, size_t files);

// Files that an earlier save to `path` may have left and a save of `files`
// files would not replace: `path` itself when there are several, and
// NAME-k.txt beyond the new count. They are never removed (they are the
// user's); a caller should name them, since handing them in with the new ones
// would stake rows twice.
std::vector<std::string> LeftoverHandInFiles(const std::string& path, size_t files);

// Refuses a `path` that a hand-in of `files` files cannot use, before
// anything is written. Several files get numbered names
// from the path, so it must name a regular file or a new one: a device or a
// pipe (also through a link) is refused with HandInRefused, which says so;
// no name at all or a folder with the SaveError a save would give. One file
// may go anywhere a save may.
void CheckHandInTarget(const std::string& path, size_t files);

// The text of one file: header, then the rows, CR LF after every line. Throws
// HandInRefused for a game that cannot be handed in or a ticket that does not
// do (an empty ticket does for a game whose form carries no draw or stake).
std::string HandInText(const GameRules& rules, const HandInTicket& ticket,
                       std::span<const PackedRow> rows);

// Saves the files `names` with the `texts`: one as every file is saved,
// several as one save (see SaveTextFiles). A front end may pass its own way
// of saving; a SaveFilesError it throws for several files becomes the
// SaveError that says which of them were saved.
using HandInWriter =
    std::function<void(std::span<const std::string> names, std::span<const std::string> texts)>;
void WriteHandInFiles(std::span<const std::string> names, std::span<const std::string> texts,
                      const HandInWriter& write);
// The engine's own way: SaveTextFile for one file, SaveTextFiles for several.
void SaveHandInFiles(std::span<const std::string> names, std::span<const std::string> texts);

// The text of a SaveError for several hand-in files: the failed save's own
// text (`reason`), then which of the `files` were saved, in order, before it
// failed: " Ingen av de N filerna sparades." or " Fil 1 till K av N sparades,
// övriga inte: spara igen innan du lämnar in." A reason without a full stop
// gets one.
std::string HandInSaveFailure(std::string_view reason, size_t saved, size_t files);

}  // namespace spelkub
