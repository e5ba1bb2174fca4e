#include "app/row_list.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#if defined(_WIN32) && !defined(_WIN64)
#define SPELKUB_SCINTILLA_METHOD __stdcall
#else
#define SPELKUB_SCINTILLA_METHOD
#endif

// Scintilla's interface for filling a document away from any view, which
// SCI_CREATELOADER returns. QScintilla does not install Scintilla's own
// header (ILoader.h); this is its declaration, unchanged since Scintilla 3.
// Outside an anonymous namespace and under Scintilla's own name, so that it is
// the very class the library implements (a sanitizer checks the object's type
// by that name), and the compiler cannot conclude that nothing implements it.
class ILoader {
 public:
  virtual int SPELKUB_SCINTILLA_METHOD Release() = 0;
  // Appends to the document; returns SC_STATUS_OK or an error status.
  virtual int SPELKUB_SCINTILLA_METHOD AddData(const char* data, ptrdiff_t length) = 0;
  // The filled document, for SCI_SETDOCPOINTER; the loader's reference goes with it.
  virtual void* SPELKUB_SCINTILLA_METHOD ConvertToDocument() = 0;

 protected:
  ~ILoader() = default;
};

namespace spelkub {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// Rows rendered per block: a few MB of text in a buffer used again for each.
constexpr int64_t kBlockRows = int64_t{1} << 17;

// Scintilla's direct entry: the same messages without QScintilla's narrowing
// of the result to a long.
using DirectFunction = intptr_t (*)(void* editor, unsigned int message, uintptr_t wParam,
                                    intptr_t lParam);

}  // namespace

// A new document, presized, filled in pieces while no view shows it, then shown
// by the list in place of its old one.
class RowList::Loader {
 public:
  // `bytes`: what will be added. Scintilla grows its buffer when an insertion
  // would fill the gap exactly, copying the whole text; one byte more keeps the
  // presized buffer the only one. The largest coupon text (139 MB) leaves
  // line starts in 32 bits, so the document is not asked for TEXT_LARGE, which
  // would double the line index.
  Loader(RowList& list, size_t bytes) : list_(list) {
    loader_ = static_cast<ILoader*>(
        list.SendForPointer(SCI_CREATELOADER, bytes + 1, SC_DOCUMENTOPTION_STYLES_NONE));
    if (loader_ == nullptr) throw std::bad_alloc();
  }
  Loader(const Loader&) = delete;
  Loader& operator=(const Loader&) = delete;
  ~Loader() {
    if (loader_ != nullptr) loader_->Release();
  }

  void Add(std::string_view text) {
    if (text.empty()) return;
    if (loader_->AddData(text.data(), static_cast<ptrdiff_t>(text.size())) != SC_STATUS_OK) {
      throw std::bad_alloc();
    }
  }

  // Renders `rows` rows a block at a time with render(begin, end, out), which
  // writes rows [begin, end) to out and returns the bytes written.
  template <typename Render>
  void AddRows(int64_t rows, size_t lineBytes, Render render) {
    const int64_t blockRows = std::min(rows, kBlockRows);
    const auto block =
        std::make_unique_for_overwrite<char[]>(static_cast<size_t>(blockRows) * lineBytes);
    for (int64_t begin = 0; begin < rows; begin += blockRows) {
      const int64_t end = std::min(rows, begin + blockRows);
      Add(std::string_view(block.get(), render(begin, end, block.get())));
    }
  }

  // The list shows the new document; the old one goes when nothing else
  // holds it.
  void Show() {
    void* document = loader_->ConvertToDocument();
    loader_ = nullptr;
    list_.SendScintilla(SCI_SETDOCPOINTER, 0UL, document);
    list_.SendScintilla(SCI_RELEASEDOCUMENT, 0UL, document);  // the view holds it now
    // Code page, line-end mode and undo belong to the document; the loader
    // filled it without undo, and the user's own edits are undoable again.
    list_.SendScintilla(SCI_SETCODEPAGE, static_cast<long>(SC_CP_UTF8));
    list_.SendScintilla(SCI_SETEOLMODE, static_cast<long>(SC_EOL_CRLF));
    list_.SendScintilla(SCI_SETUNDOCOLLECTION, 1L);
    list_.SendScintilla(SCI_EMPTYUNDOBUFFER);
  }

 private:
  RowList& list_;
  ILoader* loader_ = nullptr;
};

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
  Clear();
  // QScintilla sets a font of its own; the list writes in its window's font.
  ApplyFont(parent != nullptr ? parent->font() : font());
}

void* RowList::SendForPointer(unsigned int message, uintptr_t wParam, intptr_t lParam) const {
  const auto direct =
      reinterpret_cast<DirectFunction>(SendScintillaPtrResult(SCI_GETDIRECTFUNCTION));
  void* editor = SendScintillaPtrResult(SCI_GETDIRECTPOINTER);
  return reinterpret_cast<void*>(direct(editor, message, wParam, lParam));
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

void RowList::Clear() {
  Loader(*this, 0).Show();
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
  // The old document stays shown, and `text` valid, until Show().
  Loader loader(*this, text.size());
  loader.Add(text);
  loader.Show();
}

void RowList::LoadRows(const RowSet& rows) {
  const size_t lineBytes = RowLineBytes(rows);
  Loader loader(*this, rows.header.size() + static_cast<size_t>(rows.size()) * lineBytes);
  loader.Add(rows.header);
  loader.AddRows(rows.size(), lineBytes, [&rows](int64_t begin, int64_t end, char* out) {
    return RenderRowLines(rows, begin, end, out);
  });
  loader.Show();
}

void RowList::LoadRows(const RowSet& rows, std::span<const uint32_t> kept) {
  const size_t lineBytes = RowLineBytes(rows);
  Loader loader(*this, rows.header.size() + kept.size() * lineBytes);
  loader.Add(rows.header);
  loader.AddRows(static_cast<int64_t>(kept.size()), lineBytes,
                 [&](int64_t begin, int64_t end, char* out) {
                   return RenderRowLines(rows, kept.subspan(begin, end - begin), out);
                 });
  loader.Show();
}

std::string_view RowList::Text() const {
  const long length = SendScintilla(SCI_GETLENGTH);
  if (length == 0) return {};
  const auto* bytes = static_cast<const char*>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
  return std::string_view(bytes, static_cast<size_t>(length));
}

void RowList::ReplaceLinesBy(const RowList& other) {
  const std::string_view source = other.Text();
  Loader loader(*this, source.size() + kCrLf.size());
  // Lines that already end in CR LF go over in runs, straight from the other
  // list; only a lone CR or LF and an open last line are rewritten.
  const char* const end = source.data() + source.size();
  const char* run = source.data();
  const char* line = run;
  while (line < end) {
    const auto* cr =
        static_cast<const char*>(std::memchr(line, '\r', static_cast<size_t>(end - line)));
    const char* stop = cr != nullptr ? cr : end;
    const auto* lf =
        static_cast<const char*>(std::memchr(line, '\n', static_cast<size_t>(stop - line)));
    const char* lineEnd = lf != nullptr ? lf : cr;
    if (lineEnd == cr && cr != nullptr && cr + 1 < end && cr[1] == '\n') {
      line = cr + 2;
      continue;
    }
    const char* next = lineEnd != nullptr ? lineEnd + 1 : end;
    if (lineEnd == nullptr) lineEnd = end;
    loader.Add(std::string_view(run, static_cast<size_t>(lineEnd - run)));
    loader.Add(kCrLf);
    run = line = next;
  }
  loader.Add(std::string_view(run, static_cast<size_t>(end - run)));
  loader.Show();
}

bool RowList::focusNextPrevChild(bool next) {
  return QWidget::focusNextPrevChild(next);
}

}  // namespace spelkub
