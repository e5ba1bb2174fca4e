// A multi-line text list over QScintilla, as the row list (Memo1) and the kept
// list (Memo2) use it: a byte-oriented API in the list's own encoding (UTF-8),
// lines ended by CR LF.
//
// Program changes (Clear, SetText, ReplaceLinesBy)
// leave no undo step, empty the undo history and raise no textChanged; the
// user may still edit and undo by hand. SetText builds a fresh document without styles or undo and
// attaches it once, so loading millions of lines stays fast.
#pragma once

#include <Qsci/qsciscintilla.h>

#include <string>
#include <string_view>

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
  // The whole text; valid until the list changes.
  std::string_view Text() const;
  // Replaces the text by the lines of `other`, each ended by CR LF.
  void ReplaceLinesBy(const RowList& other);

 protected:
  // Tab moves the focus on, as in a plain memo; it never inserts a tab.
  bool focusNextPrevChild(bool next) override;

 private:
  void AttachNewDocument(size_t reserveBytes);
  void Append(std::string_view text);
  void ApplyFont(const QFont& windowFont);
};

}  // namespace spelkub
