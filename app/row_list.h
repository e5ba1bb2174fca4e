// A multi-line text list over QScintilla, as the row list (Memo1) and the kept
// list (Memo2) use it: a byte-oriented API in the list's own encoding (UTF-8),
// lines ended by CR LF.
//
// Program changes (Clear, SetText, LoadRows, ReplaceLinesBy) fill a new
// document that the view does not show yet, without styles or undo, and then
// show it in one step: they leave no undo step, empty the undo history and
// raise no textChanged, and loading millions of lines stays fast. The user may
// still edit and undo by hand.
#pragma once

#include <Qsci/qsciscintilla.h>

#include <cstdint>
#include <span>
#include <string_view>

#include "text/coupon_text.h"

namespace spelkub {

class RowList : public QsciScintilla {
  Q_OBJECT

 public:
  enum class ScrollBars { kBoth, kNone };

  RowList(ScrollBars scrollBars, QWidget* parent);

  // Empties the list.
  void Clear();
  // Number of lines; an empty last line after the final line break does not count.
  int LineCount() const;
  // Replaces the whole text. `text` may point into this list.
  void SetText(std::string_view text);
  // Replaces the text by the coupon text of `rows`: the header line, then
  // every row in generation order. The lines are rendered from the packed rows
  // a block at a time, so the text exists whole only in the list.
  void LoadRows(const RowSet& rows);
  // The same with the header line and the rows at `kept` (indices in
  // generation order), in that order.
  void LoadRows(const RowSet& rows, std::span<const uint32_t> kept);
  // The whole text; valid until the list changes.
  std::string_view Text() const;
  // Replaces the text by the lines of `other`, each ended by CR LF.
  void ReplaceLinesBy(const RowList& other);

 protected:
  // Tab moves the focus on, as in a plain memo; it never inserts a tab.
  bool focusNextPrevChild(bool next) override;

 private:
  class Loader;

  // A message whose result is a pointer, at its full width: SendScintilla
  // returns a long, which is narrower than a pointer on 64-bit Windows.
  void* SendForPointer(unsigned int message, uintptr_t wParam, intptr_t lParam) const;
  void ApplyFont(const QFont& windowFont);
};

}  // namespace spelkub
