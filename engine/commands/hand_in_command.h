// "Spara för inlämning" as a command, the one way both front ends save a
// hand-in: the rows in today's hand-in form (E rows or M lines), split by the
// row and stake caps, saved as one, every file read back with the strict
// reader and compared with its rows before the save is reported.
//
// Policy, the same for both: rows of a game without a hand-in product are
// refused, and so is no row at all; the 13plus add-on has no place in the
// files, so rows made with it are handed in without it and the report adds
// kPlus13Note; older numbered files the save does not replace are named and
// never removed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "commands/refusal.h"
#include "coupon/system_shape.h"
#include "handin/handin.h"
#include "text/coupon_reader.h"

namespace spelkub {

inline constexpr std::string_view kHandInCaption = "Spara för inlämning";

// The files' texts, made before a name is asked for, so that a refusal asks
// for none.
struct HandInFiles {
  int32_t game = 0;
  HandInTicket ticket;
  int64_t rows = 0;
  HandInSplit split;        // the files, in order of HandInFileNames
  bool plus13Note = false;  // the report adds kPlus13Note
};

// How the rows are to be handed in: as E rows or M lines, and for a game
// whose form carries them the draw and the row stake. A row costs the game's
// row price times the stake.
struct HandInChoice {
  HandInForm form = HandInForm::kRows;
  HandInTicket ticket;
};

// A game that cannot be handed in, refused before any row is made.
std::optional<Refusal> CheckHandInGame(int32_t game);

// Rows of `game`, made with 13plus or not; the choice's ticket gives the
// draw and stake when the game's form carries them.
Refusable<HandInFiles> PrepareHandIn(int32_t game, std::span<const PackedRow> rows, bool plus13,
                                     const HandInChoice& choice = {});
// The rows of a read text, with 13plus as its header says; the draw and the
// stake of its header where it has them, else the choice's ticket.
Refusable<HandInFiles> PrepareHandIn(const ReadResult& read, const HandInChoice& choice = {});

// The rows as the text of one file, for standard output; refused when they
// need several.
Refusable<std::string_view> HandInToOutput(const HandInFiles& files);

struct HandInSaved {
  std::vector<std::string> names;      // the files written, in order
  std::vector<std::string> sha256;     // of each file's bytes, as written and read back
  std::vector<std::string> leftovers;  // older files the save did not replace
  std::string text;                    // the window's message box, under kSavedMessage's caption
  std::string details;  // its details: every older file, when the text names only a few
  // The companion's lines on standard error: what was saved, the older
  // files, and the note on 13plus.
  std::vector<std::string> lines;
};

// Reads a written file's bytes back; throws SaveError when it cannot.
using HandInReadBack = std::function<std::string(const std::string& name)>;
// The file as it is on the disk.
std::string ReadBackFile(const std::string& name);

// Checks the target `path`, saves every file through `write`, reads each back
// through `readBack` with the strict reader and compares it with its rows,
// and only then reports (a pipe or a device, which cannot be read back, is
// not read). A failed save throws SaveError, which says which of
// several files were saved; a file that reads back wrong throws SaveError
// naming it and telling not to hand it in.
Refusable<HandInSaved> SaveHandIn(const HandInFiles& files, const std::string& path,
                                  const HandInWriter& write = SaveHandInFiles,
                                  const HandInReadBack& readBack = ReadBackFile);

}  // namespace spelkub
