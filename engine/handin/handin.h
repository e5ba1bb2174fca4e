// "Spara för inlämning": the rows in the form the operator takes today: a
// text file, CR LF, the game's hand-in header, then its row lines, at most
// 10,000 rows a file. The header is the product name alone ("Stryktipset" or
// "Europatipset"), or for a game handed in with its draw and stake the name,
// the word for the matches it is played on, the draw and the row stake:
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

namespace spelkub {

inline constexpr int64_t kHandInRowsPerFile = 10000;

// Why a game that has no hand-in product cannot be handed in:
// "Supertoto kan inte lämnas in på det här sättet."
inline std::string HandInRefusal(int32_t game) {
  return std::string(Rules(game).name) + " kan inte lämnas in på det här sättet.";
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

// The names the rows go to: `path` itself when they fit one file, else
// NAME-1.txt, NAME-2.txt, ... beside it (NAME is path without ".txt", in any
// letter case; a path without it gets ".txt" on each name). Every file but the
// last holds exactly kHandInRowsPerFile rows.
std::vector<std::string> HandInFileNames(const std::string& path, int64_t rows);

// Files that an earlier save to `path` may have left and a save of `rows` rows
// would not replace: `path` itself when the rows need several files, and
// NAME-k.txt beyond the new count. They are never removed (they are the
// user's); a caller should name them, since handing them in with the new ones
// would stake rows twice.
std::vector<std::string> LeftoverHandInFiles(const std::string& path, int64_t rows);

// Refuses a `path` that the hand-in of `rows` rows cannot use, before
// anything is written. Rows that need several files make numbered names
// from the path, so it must name a regular file or a new one: a device or a
// pipe (also through a link) is refused with HandInRefused, which says so;
// no name at all or a folder with the SaveError a save would give. One file
// may go anywhere a save may.
void CheckHandInTarget(const std::string& path, int64_t rows);

// The text of one file: header, then the rows, CR LF after every line. Throws
// HandInRefused for a game that cannot be handed in or a ticket that does not
// do (the forms without a ticket: a game that needs none).
std::string HandInText(const GameRules& rules, const HandInTicket& ticket,
                       std::span<const PackedRow> rows);
std::string HandInText(int32_t game, std::span<const PackedRow> rows);

// The texts of every file the rows go to, in order of HandInFileNames. Throws
// HandInRefused as HandInText does.
std::vector<std::string> HandInTexts(const GameRules& rules, const HandInTicket& ticket,
                                     std::span<const PackedRow> rows);
std::vector<std::string> HandInTexts(int32_t game, std::span<const PackedRow> rows);

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

// Writes every file and returns their names. Throws HandInRefused (also for
// the target, see CheckHandInTarget), or SaveError when a file cannot be
// written.
//
// One file is saved like every save. Several are saved as one (see
// SaveTextFiles), so that neither a failure nor Ctrl-C, SIGTERM or SIGHUP
// leaves a mix of new and old files that looks complete: every file is
// written unseen and flushed first; only then are all named, in one short
// step that those signals wait for. When writing any of them fails,
// no target was touched; the SaveError names the failure and adds "Ingen av
// de N filerna sparades.". Should flushing or naming fail part-way (a file
// system failing between two files), files 1 to K are the new ones and the
// rest are as they were, and the SaveError says so ("Fil 1 till K av N
// sparades, övriga inte: spara igen innan du lämnar in."). Nothing the user
// had is removed. The exception, as in every save: a target with several hard
// links, or in a folder that takes no new file, is written in place at once,
// so it may be new although the save as a whole failed.
std::vector<std::string> SaveForHandIn(const std::string& path, const GameRules& rules,
                                       const HandInTicket& ticket, std::span<const PackedRow> rows);
std::vector<std::string> SaveForHandIn(const std::string& path, int32_t game,
                                       std::span<const PackedRow> rows);

// The text of a SaveError for several hand-in files: the failed save's own
// text (`reason`), then which of the `files` were saved, in order, before it
// failed: " Ingen av de N filerna sparades." or " Fil 1 till K av N sparades,
// övriga inte: spara igen innan du lämnar in." A reason without a full stop
// gets one.
std::string HandInSaveFailure(std::string_view reason, size_t saved, size_t files);

}  // namespace spelkub
