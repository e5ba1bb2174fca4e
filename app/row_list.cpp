#include "app/row_list.h"

#include <cstdint>
#include <cstring>

namespace spelkub {

namespace {
constexpr std::string_view kCrLf = "\r\n";
}  // namespace

RowList::RowList(ScrollBars scrollBars, QWidget* parent) : QsciScintilla(parent) {
  // Nothing that costs per line on huge texts: no margins, no folding, no
  // wrapping, a layout cache for the visible page only.
  for (int margin = 0; margin < 5; ++margin) SendScintilla(SCI_SETMARGINWIDTHN, margin, 0L);
  SendScintilla(SCI_SETWRAPMODE, static_cast<long>(SC_WRAP_NONE));
  SendScintilla(SCI_SETLAYOUTCACHE, static_cast<long>(SC_CACHE_PAGE));
  // The horizontal range follows the widest line drawn so far.
  SendScintilla(SCI_SETSCROLLWIDTH, 1L);
  SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1L);
  const bool bars = scrollBars == ScrollBars::kBoth;
  SendScintilla(SCI_SETHSCROLLBAR, static_cast<long>(bars));
  SendScintilla(SCI_SETVSCROLLBAR, static_cast<long>(bars));
  const Qt::ScrollBarPolicy policy = bars ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
  setHorizontalScrollBarPolicy(policy);
  setVerticalScrollBarPolicy(policy);
  AttachNewDocument(0);
  // QScintilla sets a font of its own; the list writes in its window's font.
  ApplyFont(parent != nullptr ? parent->font() : font());
}

// Scintilla sizes its fonts in points; the window's font is given in pixels.
void RowList::ApplyFont(const QFont& windowFont) {
  QFont textFont = windowFont;
  if (textFont.pointSizeF() <= 0) {
    const int dpi = logicalDpiY() > 0 ? logicalDpiY() : 96;
    textFont.setPointSizeF(textFont.pixelSize() * 72.0 / dpi);
  }
  QsciScintilla::setFont(textFont);
}

void RowList::AttachNewDocument(size_t reserveBytes) {
  const long document = SendScintilla(
      SCI_CREATEDOCUMENT, static_cast<unsigned long>(reserveBytes),
      static_cast<long>(SC_DOCUMENTOPTION_STYLES_NONE | SC_DOCUMENTOPTION_TEXT_LARGE));
  void* pointer = reinterpret_cast<void*>(static_cast<intptr_t>(document));
  SendScintilla(SCI_SETDOCPOINTER, 0UL, pointer);
  SendScintilla(SCI_RELEASEDOCUMENT, 0UL, pointer);  // the view holds it now
  // Code page and line-end mode belong to the document.
  SendScintilla(SCI_SETCODEPAGE, static_cast<long>(SC_CP_UTF8));
  SendScintilla(SCI_SETEOLMODE, static_cast<long>(SC_EOL_CRLF));
}

void RowList::Append(std::string_view text) {
  if (text.empty()) return;
  // The view updates itself either way; the change notification is held back
  // because its listeners measure the text up to the insertion point, which
  // makes block-by-block loading quadratic.
  const long eventMask = SendScintilla(SCI_GETMODEVENTMASK);
  SendScintilla(SCI_SETMODEVENTMASK, 0L);
  SendScintilla(SCI_SETUNDOCOLLECTION, 0L);
  SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(text.size()), text.data());
  SendScintilla(SCI_EMPTYUNDOBUFFER);
  SendScintilla(SCI_SETUNDOCOLLECTION, 1L);
  SendScintilla(SCI_SETMODEVENTMASK, eventMask);
}

void RowList::Clear() {
  AttachNewDocument(0);
}

int RowList::LineCount() const {
  const long length = SendScintilla(SCI_GETLENGTH);
  if (length == 0) return 0;
  long lines = SendScintilla(SCI_GETLINECOUNT);
  const char last = static_cast<char>(SendScintilla(SCI_GETCHARAT, length - 1));
  if (last == '\n' || last == '\r') --lines;
  return static_cast<int>(lines);
}

void RowList::SetText(std::string_view text) {
  // Keep the old document alive until its bytes are copied, in case `text`
  // points into it.
  void* old = SendScintillaPtrResult(SCI_GETDOCPOINTER);
  SendScintilla(SCI_ADDREFDOCUMENT, 0UL, old);
  AttachNewDocument(text.size());
  Append(text);
  SendScintilla(SCI_RELEASEDOCUMENT, 0UL, old);
}

std::string_view RowList::Text() const {
  const long length = SendScintilla(SCI_GETLENGTH);
  if (length == 0) return {};
  const auto* bytes = static_cast<const char*>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
  return std::string_view(bytes, static_cast<size_t>(length));
}

void RowList::ReplaceLinesBy(const RowList& other) {
  const std::string_view source = other.Text();
  std::string lines;
  lines.reserve(source.size() + kCrLf.size());
  const char* const end = source.data() + source.size();
  const char* line = source.data();
  while (line < end) {
    // The next line break: CR LF, or a lone CR or LF.
    const auto* cr =
        static_cast<const char*>(std::memchr(line, '\r', static_cast<size_t>(end - line)));
    const char* stop = cr != nullptr ? cr : end;
    const auto* lf =
        static_cast<const char*>(std::memchr(line, '\n', static_cast<size_t>(stop - line)));
    const char* lineEnd = lf != nullptr ? lf : cr;
    if (lineEnd == nullptr) {
      lines.append(line, end).append(kCrLf);
      break;
    }
    lines.append(line, lineEnd).append(kCrLf);
    line = lineEnd + (*lineEnd == '\r' && lineEnd + 1 < end && lineEnd[1] == '\n' ? 2 : 1);
  }
  SetText(lines);
}

bool RowList::focusNextPrevChild(bool next) {
  return QWidget::focusNextPrevChild(next);
}

}  // namespace spelkub
