// "Spara för inlämning" as a command: the rows in today's hand-in form, a file
// per 10,000 rows, saved as one, with the reports of the window and of the
// companion.
//
// Policy, the same for both: rows of a game without a hand-in product are
// refused, and so is no row at all; the 13plus add-on has no place in the
// files, so rows made with it are handed in without it and the report adds
// kPlus13Note; older numbered files the save does not replace are named and
// never removed.
#pragma once

#include <cstdint>
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
  std::vector<std::string> texts;  // in order of HandInFileNames
  bool plus13Note = false;         // the report adds kPlus13Note
};

// A game that cannot be handed in, refused before any row is made.
std::optional<Refusal> CheckHandInGame(int32_t game);

// Rows of `game`, made with 13plus or not, for the draw and stake of the
// ticket when the game's form carries them.
Refusable<HandInFiles> PrepareHandIn(int32_t game, std::span<const PackedRow> rows, bool plus13,
                                     const HandInTicket& ticket = {});
// The rows of a read text, with 13plus as its header says; the draw and the
// stake of its header where it has them, else the ticket's.
Refusable<HandInFiles> PrepareHandIn(const ReadResult& read, const HandInTicket& ticket = {});

// The rows as the text of one file, for standard output; refused when they
// need several.
Refusable<std::string_view> HandInToOutput(const HandInFiles& files);

struct HandInSaved {
  std::vector<std::string> names;      // the files written, in order
  std::vector<std::string> leftovers;  // older files the save did not replace
  std::string text;                    // the window's message box, under kSavedMessage's caption
  std::string details;  // its details: every older file, when the text names only a few
  // The companion's lines on standard error: what was saved, the older
  // files, and the note on 13plus.
  std::vector<std::string> lines;
};

// Checks the target `path`, saves every file through `write` and reports.
// A failed save throws SaveError, which says which of several files were
// saved.
Refusable<HandInSaved> SaveHandIn(const HandInFiles& files, const std::string& path,
                                  const HandInWriter& write = SaveHandInFiles);

}  // namespace spelkub
