#include "app/row_list_detail.h"

namespace spelkub::detail {

std::string Line(const RowList& list, int index) {
  if (index < 0 || index >= list.LineCount()) return {};
  const long start = list.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, index);
  const long end = list.SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, index);
  if (end <= start) return {};
  return std::string(
      list.Text().substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
}

void InsertAtEnd(RowList& list, std::string_view text) {
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

void AppendLine(RowList& list, std::string_view line) {
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
