// Line-by-line operations on the row list that the program itself does not
// use; tests build and read lists with them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/row_list.h"

namespace spelkub::detail {

// Line `index` (0-based) without its break; empty when out of range.
inline std::string Line(const RowList& list, int index) {
  if (index < 0 || index >= list.LineCount()) return {};
  const long start = list.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, index);
  const long end = list.SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, index);
  if (end <= start) return {};
  return std::string(
      list.Text().substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
}

// Appends `text` as it is at the end of the list, leaving no undo step.
inline void InsertAtEnd(RowList& list, std::string_view text) {
  if (text.empty()) return;
  // As the program's own changes: no change notification, no undo step.
  const long eventMask = list.SendScintilla(QsciScintillaBase::SCI_GETMODEVENTMASK);
  list.SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK, 0L);
  list.SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 0L);
  list.SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, static_cast<uintptr_t>(text.size()),
                     text.data());
  list.SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
  list.SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 1L);
  list.SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK, eventMask);
}

// Adds `line` as a new last line: "line CR LF" when the text is empty or ends
// with a line break, else "CR LF line" (the last line stays open).
inline void AppendLine(RowList& list, std::string_view line) {
  constexpr std::string_view kCrLf = "\r\n";
  const std::string_view text = list.Text();
  const bool open = !text.empty() && text.back() != '\n' && text.back() != '\r';
  std::string piece;
  piece.reserve(line.size() + kCrLf.size());
  if (open) {
    piece.append(kCrLf).append(line);
  } else {
    piece.append(line).append(kCrLf);
  }
  InsertAtEnd(list, piece);
}

}  // namespace spelkub::detail
