#include "text/coupon_reader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "coupon/choices.h"
#include "coupon/games.h"
#include "coupon/shown_text.h"
#include "io/save_file.h"

namespace spelkub {

std::string HeaderNames(int matches) {
  std::vector<std::string_view> names;
  for (const GameRules& rules : Games()) {
    if (!rules.header.empty() && rules.matches == matches) names.push_back(rules.name);
  }
  if (names.empty()) {
    for (const GameRules& rules : Games()) {
      if (!rules.header.empty()) names.push_back(rules.name);
    }
  }
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " eller " : ", ";
    text += Quoted(names[i]);
  }
  return text;
}

const GameRules* HeaderlessGame() {
  for (const GameRules& rules : Games()) {
    if (rules.header.empty()) return &rules;
  }
  return nullptr;
}

namespace {

// The longest line accepted is a 42-character header; anything much longer is
// refused without reading on to its end.
constexpr size_t kMaxLineLength = 64;
constexpr size_t kChunkBytes = size_t{1} << 20;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kInitialText = "Dina Rader:";

std::string AtLine(int64_t line, std::string_view what) {
  std::string message = "Rad " + std::to_string(line) + ": ";
  message += what;
  return message;
}

std::string SignsExpected(int matches) {
  return "väntade " + std::to_string(matches) + " tecken 1, X eller 2";
}

// 0 "1", 1 "X", 2 "2", 3 anything else.
constexpr std::array<uint8_t, 256> kSignCode = [] {
  std::array<uint8_t, 256> code{};
  for (size_t c = 0; c < code.size(); ++c) {
    const int outcome = SignOutcome(static_cast<char>(c));
    code[c] = outcome < 0 ? uint8_t{3} : static_cast<uint8_t>(outcome);
  }
  return code;
}();

bool IsBlank(std::string_view line) {
  for (const char c : line) {
    if (c != ' ' && c != '\t') return false;
  }
  return true;
}

struct Header {
  int32_t game;
  HeaderForm form;
  bool plus13 = false;
  int32_t goals = kGoalsNone;
  int draw = 0;
  int stake = 0;
};

// A whole number from 1 to 999999 without leading zeros, and the text after it.
std::optional<int> LeadingNumber(std::string_view& text) {
  size_t digits = 0;
  while (digits < text.size() && digits < 7 && text[digits] >= '0' && text[digits] <= '9') {
    ++digits;
  }
  if (digits == 0 || digits > 6 || text[0] == '0') return std::nullopt;
  int number = 0;
  for (size_t i = 0; i < digits; ++i) number = 10 * number + (text[i] - '0');
  text.remove_prefix(digits);
  return number;
}

// The hand-in header of a game handed in with its draw and stake:
// "Topptipset,Stryk,Omg=2841,Insats=5".
std::optional<Header> ParseHandInHeader(std::string_view line, const GameRules& rules) {
  if (!rules.handInDrawAndStake) return std::nullopt;
  std::string_view rest = line;
  const auto take = [&rest](std::string_view word) {
    if (!rest.starts_with(word)) return false;
    rest.remove_prefix(word.size());
    return true;
  };
  if (!take(rules.handInProduct)) return std::nullopt;
  if (!rules.handInVariant.empty() && !(take(",") && take(rules.handInVariant))) {
    return std::nullopt;
  }
  if (!take(",Omg=")) return std::nullopt;
  const std::optional<int> draw = LeadingNumber(rest);
  if (!draw || !take(",Insats=")) return std::nullopt;
  const std::optional<int> stake = LeadingNumber(rest);
  if (!stake || !rest.empty() || !TakesStake(rules, *stake)) return std::nullopt;
  return Header{.game = rules.game, .form = HeaderForm::kHandIn, .draw = *draw, .stake = *stake};
}

// The product name alone, a hand-in header, or a header line as generation
// writes it.
std::optional<Header> ParseHeader(std::string_view line) {
  for (const GameRules& rules : Games()) {
    if (rules.header.empty()) continue;  // its rows stand without a header
    // A game handed in with draw and stake has no header of the name alone
    // but the one generation writes.
    if (line == rules.name && !rules.handInDrawAndStake) {
      return Header{rules.game, HeaderForm::kProductName};
    }
    if (const std::optional<Header> handIn = ParseHandInHeader(line, rules)) return handIn;
    if (!line.starts_with(rules.header)) continue;
    const std::string_view rest = line.substr(rules.header.size());
    Header header{rules.game, HeaderForm::kGenerated};
    if (!rules.plus13) {
      if (rest.empty()) return header;
      continue;
    }
    if (rest == ",13plus=Nej") return header;
    constexpr std::string_view kYes = ",13plus=Ja,Antal=";
    if (!rest.starts_with(kYes)) continue;
    const std::optional<GoalsChoice> goals = GoalsOfText(rest.substr(kYes.size()));
    if (!goals) continue;
    header.plus13 = true;
    header.goals = *goals;
    return header;
  }
  return std::nullopt;
}

bool LooksLikeHeader(std::string_view line) {
  for (const GameRules& rules : Games()) {
    if (rules.header.empty()) continue;
    if (line.starts_with(rules.name) || line.starts_with(rules.header)) return true;
    if (!rules.handInProduct.empty() && line.starts_with(rules.handInProduct)) return true;
  }
  return false;
}

// The name of the first game with a header line, as the example of one.
std::string_view FirstHeaderName() {
  for (const GameRules& rules : Games()) {
    if (!rules.header.empty()) return rules.name;
  }
  return Games().front().name;
}

// A row line taken apart at its commas, for the row and for saying exactly
// what is wrong with it.
struct RowFields {
  bool prefixE = false;
  int signs = 0;     // fields after the prefix
  int badMatch = 0;  // first field that is not one sign, 1-based; 0 none
  std::string_view badField;
  PackedRow row = 0;

  // Whether the line has the game's form: "E," or not, and its number of signs.
  bool HasForm(const GameRules& rules) const {
    return prefixE == rules.rowPrefixE && signs == rules.matches;
  }
  bool IsRow(const GameRules& rules) const { return badMatch == 0 && HasForm(rules); }
};

RowFields SplitRow(std::string_view line) {
  RowFields fields;
  size_t start = 0;
  bool first = true;
  for (;;) {
    const size_t comma = line.find(',', start);
    const std::string_view field = line.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    if (first && field == "E") {
      fields.prefixE = true;
    } else {
      const int match = ++fields.signs;
      const uint8_t code =
          field.size() == 1 ? kSignCode[static_cast<unsigned char>(field[0])] : uint8_t{3};
      if (code == 3) {
        if (fields.badMatch == 0) {
          fields.badMatch = match;
          fields.badField = field;
        }
      } else if (match <= kMaxMatches) {
        fields.row |= PackedRow{code} << (2 * (match - 1));
      }
    }
    first = false;
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

// The common case at full speed: a row line of the game as generation writes it.
bool FastRow(std::string_view line, const GameRules& rules, PackedRow* row) {
  if (line.size() != static_cast<size_t>(RowLineLength(rules))) return false;
  const int matches = rules.matches;
  const char* sign = line.data();
  if (rules.rowPrefixE) {
    if (sign[0] != 'E' || sign[1] != ',') return false;
    sign += 2;
  }
  PackedRow packed = 0;
  for (int m = 0; m < matches; ++m) {
    const uint8_t code = kSignCode[static_cast<unsigned char>(sign[2 * m])];
    if (code == 3 || (m + 1 < matches && sign[2 * m + 1] != ',')) return false;
    packed |= PackedRow{code} << (2 * m);
  }
  *row = packed;
  return true;
}

class Parser {
 public:
  explicit Parser(size_t bytesHint, const RowVisitor* visit = nullptr)
      : bytesHint_(bytesHint), visit_(visit) {}

  // One line without its LF (`whole`), or the first kLongestLineSeen bytes
  // of a line that has no LF among them. False once the text is refused.
  bool Line(std::string_view line, bool whole) {
    // The end of a line whose blanks LongPart passed over.
    const bool continued = std::exchange(continuing_, false);
    if (continued) {
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (line.find_first_not_of(" \t") != std::string_view::npos) {
        return Refuse("raden är för lång");
      }
      return true;
    }
    ++lineNumber_;
    if (whole && state_ == State::kRows) {
      // The common case first: a whole row line of the game needs no other check.
      std::string_view content = line;
      if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
      PackedRow row;
      if (FastRow(content, *rules_, &row)) return Add(row);
    }
    if (lineNumber_ == 1 && line.starts_with(kByteOrderMark)) line.remove_prefix(3);
    // Left to right, the first fault counts: a byte that has no place in coupon
    // text, or a character beyond the longest line. A CR is allowed only as the
    // last byte of a whole line.
    bool blank = true;  // so far: a blank line may be of any length
    for (size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (c == '\r' && whole && i + 1 == line.size()) {
        line.remove_suffix(1);
        break;
      }
      if (c == '\r') {
        return Refuse("radslut med bara CR (byte 0x0D): spara filen med radslut LF eller CR LF");
      }
      blank = blank && (c == ' ' || c == '\t');
      if (i >= kMaxLineLength && !blank) return Refuse("raden är för lång");
      const auto byte = static_cast<unsigned char>(c);
      if ((byte < 0x20 && c != '\t') || byte >= 0x7F) return RefuseByte(byte);
    }
    // A part of a line is never short enough to be read as one.
    if (!whole) return Refuse("raden är för lång");
    if (IsBlank(line)) return true;

    switch (state_) {
      case State::kStart:
        return FirstLine(line);
      case State::kInitialText:
        return Refuse("efter " + Quoted(kInitialText) + " kan inga rader stå");
      case State::kRows:
        return RowLine(line);
    }
    return false;
  }

  // The first (or next) kLongestLineSeen bytes of a line with no LF among
  // them: passed over when they are blanks, else the line is refused as too
  // long. False once refused.
  bool LongPart(std::string_view part) {
    std::string_view blanks = part;
    if (!continuing_ && lineNumber_ == 0 && blanks.starts_with(kByteOrderMark)) {
      blanks.remove_prefix(kByteOrderMark.size());
    }
    // A CR at the end may be the first half of the line's CR LF.
    if (blanks.ends_with('\r')) blanks.remove_suffix(1);
    if (blanks.find_first_not_of(" \t") == std::string_view::npos) {
      if (!continuing_) ++lineNumber_;
      continuing_ = true;
      return true;
    }
    // Not blank: refused, naming the first fault from the left.
    if (!continuing_) return Line(part, false);
    continuing_ = false;
    return Refuse("raden är för lång");
  }

  // How much of a line Line() needs to see to refuse it as too long: a line
  // with no LF among its first kLongestLineSeen bytes has more than
  // kMaxLineLength characters even after a byte-order mark and a CR.
  static constexpr size_t kLongestLineSeen = kByteOrderMark.size() + kMaxLineLength + 2;

  ReadResult Finish() {
    ReadResult result;
    if (!error_.empty()) {
      result.error = std::move(error_);
      result.headerlessLine = headerlessLine_;
      result.headerlessSigns = headerlessSigns_;
      return result;
    }
    result.coupon = std::move(coupon_);
    return result;
  }

  bool Refused() const { return !error_.empty(); }

  bool Refuse(std::string_view what) {
    error_ = AtLine(lineNumber_, what);
    coupon_ = CouponRows{};
    return false;
  }

 private:
  enum class State { kStart, kInitialText, kRows };

  bool RefuseByte(unsigned byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string what = "otillåtet tecken (byte 0x";
    what += kHex[byte >> 4];
    what += kHex[byte & 15];
    what += ')';
    return Refuse(what);
  }

  bool FirstLine(std::string_view line) {
    if (const std::optional<Header> header = ParseHeader(line)) {
      SetGame(header->game);
      coupon_.headerForm = header->form;
      coupon_.draw = header->draw;
      coupon_.stake = header->stake;
      coupon_.header = std::string(line);
      coupon_.plus13 = header->plus13;
      coupon_.goals = header->goals;
      state_ = State::kRows;
      return true;
    }
    if (line == kInitialText) {
      state_ = State::kInitialText;
      return true;
    }
    const RowFields fields = SplitRow(line);
    for (const GameRules& rules : Games()) {
      if (!rules.header.empty() || !fields.IsRow(rules)) continue;
      SetGame(rules.game);
      state_ = State::kRows;
      return Add(fields.row);
    }
    if (fields.prefixE)
      return Refuse("rubrik saknas: " + HeaderNames(fields.signs) + " ska stå före raderna");
    if (LooksLikeHeader(line)) return Refuse("okänd rubrik " + Quoted(line));
    const GameRules* headerless = HeaderlessGame();
    if (headerless != nullptr &&
        (line[0] == 'x' || kSignCode[static_cast<unsigned char>(line[0])] != 3)) {
      if (fields.badMatch == 0) {
        headerlessLine_ = lineNumber_;
        headerlessSigns_ = fields.signs;
      }
      return RowProblem(fields, *headerless);
    }
    return Refuse("väntade en rubrik som " + Quoted(FirstHeaderName()) + " eller en rad");
  }

  void SetGame(int32_t game) {
    coupon_.game = game;
    rules_ = &Rules(game);
  }

  bool RowLine(std::string_view line) {
    const RowFields fields = SplitRow(line);
    const GameRules& rules = *rules_;
    if (fields.IsRow(rules)) return Add(fields.row);
    if (ParseHeader(line)) return Refuse("rubriken kan bara stå först");
    // A whole row of another game's form: say which.
    for (const GameRules& other : Games()) {
      if (other.matches == rules.matches && other.rowPrefixE == rules.rowPrefixE) continue;
      if (!fields.IsRow(other)) continue;
      if (!coupon_.header.empty()) {
        return Refuse("en " + std::string(other.name) + "-rad med " +
                      std::to_string(other.matches) + " tecken passar inte under rubriken " +
                      Quoted(coupon_.header));
      }
      const std::string what = other.rowPrefixE
                                   ? "en rad med " + Quoted("E,")
                                   : "en rad med " + std::to_string(other.matches) + " tecken";
      return Refuse(what + " passar inte bland " + std::string(rules.name) + "-raderna");
    }
    return RowProblem(fields, rules);
  }

  bool RowProblem(const RowFields& fields, const GameRules& rules) {
    const int matches = rules.matches;
    if (fields.HasForm(rules) && fields.badMatch > 0) {
      const std::string match = "match " + std::to_string(fields.badMatch);
      if (fields.badField.empty()) return Refuse(match + " saknar tecken");
      return Refuse(match + " har " + Quoted(fields.badField) + ", väntade 1, X eller 2");
    }
    return Refuse(SignsExpected(matches));
  }

  bool Add(PackedRow row) {
    if (lineNumber_ > std::numeric_limits<uint32_t>::max()) return Refuse("för många rader");
    if (++rowCount_ > kMaxCouponRows) {
      static_assert(kMaxCouponRows == 10'000'000, "the message below names the limit");
      return Refuse("för många rader, högst 10 000 000");
    }
    if (visit_ != nullptr) {
      (*visit_)(row, lineNumber_);
      return true;
    }
    if (coupon_.rows.empty() && bytesHint_ > 0) {
      // Reserved, not touched: only the pages of rows really read become memory.
      // Where even the reservation is refused, the vectors grow as they go.
      // A row line takes at least the shortest game's row line and a LF.
      const size_t most = bytesHint_ / static_cast<size_t>(ShortestRowLineBytes() - 1) + 1;
      try {
        coupon_.rows.reserve(most);
        coupon_.lines.reserve(most);
      } catch (const std::bad_alloc&) {
        coupon_.rows.shrink_to_fit();
        coupon_.lines.shrink_to_fit();
      }
    }
    coupon_.rows.push_back(row);
    coupon_.lines.push_back(static_cast<uint32_t>(lineNumber_));
    return true;
  }

  size_t bytesHint_;
  const RowVisitor* visit_;
  int64_t rowCount_ = 0;
  bool continuing_ = false;                        // in a blank line that LongPart passed over
  const GameRules* rules_ = &Rules(kStryktipset);  // of coupon_.game
  State state_ = State::kStart;
  int64_t lineNumber_ = 0;
  CouponRows coupon_;
  std::string error_;
  int64_t headerlessLine_ = 0;
  int headerlessSigns_ = 0;
};

// Hands the complete lines of data to the parser; with `last`, the rest too.
// Returns how many bytes were used; the rest (shorter than a line the parser
// would refuse as too long) waits for more data. A line with no LF within
// Parser::kLongestLineSeen bytes is refused on that part alone, so nothing
// after it is ever skipped unread.
size_t FeedLines(Parser& parser, const char* data, size_t size, bool last) {
  size_t pos = 0;
  while (pos < size && !parser.Refused()) {
    const size_t rest = size - pos;
    const size_t look = std::min(rest, Parser::kLongestLineSeen);
    const auto* newline = static_cast<const char*>(std::memchr(data + pos, '\n', look));
    if (newline != nullptr) {
      const size_t length = static_cast<size_t>(newline - (data + pos));
      parser.Line(std::string_view(data + pos, length), true);
      pos += length + 1;
    } else if (rest >= Parser::kLongestLineSeen) {
      // Too long for any line but a blank one, which may be of any length:
      // passed over, or refused.
      if (!parser.LongPart(std::string_view(data + pos, look))) break;
      pos += look;
    } else if (last) {
      parser.Line(std::string_view(data + pos, rest), true);
      pos = size;
    } else {
      break;
    }
  }
  return pos;
}

std::string ReadProblem(const std::string& path, int error) {
  const std::string reason = ReadErrorReason(error);
  return "Kan inte läsa " + Quoted(path == "-" ? "standard in" : ShownText(path)) + ": " + reason;
}

ReadResult Refused(std::string message) {
  ReadResult result;
  result.error = std::move(message);
  return result;
}

struct CloseFile {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Standard C++ and C file calls only, so that the reader builds wherever the
// engine does.
ReadResult ReadStream(std::FILE* file, const std::string& path, size_t sizeHint, size_t chunk,
                      const RowVisitor* visit = nullptr) {
  Parser parser(visit != nullptr ? 0 : sizeHint, visit);
  std::vector<char> buffer(chunk + Parser::kLongestLineSeen);
  size_t pending = 0;
  for (;;) {
    errno = 0;
    const size_t got = std::fread(buffer.data() + pending, 1, chunk, file);
    if (got == 0 && std::ferror(file)) {
      if (errno == EINTR) {
        std::clearerr(file);
        continue;
      }
      return Refused(ReadProblem(path, errno != 0 ? errno : EIO));
    }
    const size_t size = pending + got;
    const bool last = got == 0;
    const size_t used = FeedLines(parser, buffer.data(), size, last);
    if (parser.Refused() || last) break;
    pending = size - used;
    std::memmove(buffer.data(), buffer.data() + used, pending);
  }
  return parser.Finish();
}

// A small file needs no megabyte of buffer.
size_t ChunkFor(size_t sizeHint) {
  return sizeHint > 0 ? std::clamp(sizeHint + 1, size_t{4096}, kChunkBytes) : kChunkBytes;
}

}  // namespace

ReadResult ReadCouponText(std::string_view text) {
  try {
    Parser parser(text.size());
    FeedLines(parser, text.data(), text.size(), true);
    return parser.Finish();
  } catch (const std::bad_alloc&) {
    return Refused("Raderna får inte plats i minnet");
  }
}

namespace detail {

ReadResult ReadCouponFileInChunks(const std::string& path, size_t chunkBytes,
                                  const RowVisitor* visit) {
  try {
    if (path == "-") {
      return ReadStream(stdin, path, 0, chunkBytes == 0 ? ChunkFor(0) : chunkBytes, visit);
    }
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (std::filesystem::is_directory(status)) return Refused(ReadProblem(path, EISDIR));
    errno = 0;
    const std::unique_ptr<std::FILE, CloseFile> file(std::fopen(path.c_str(), "rb"));
    if (!file) return Refused(ReadProblem(path, errno != 0 ? errno : ENOENT));
    // Unbuffered: the chunks go straight into our buffer, not through stdio's.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    const uintmax_t size =
        std::filesystem::is_regular_file(status) ? std::filesystem::file_size(path, error) : 0;
    const size_t sizeHint = error ? 0 : static_cast<size_t>(size);
    return ReadStream(file.get(), path, sizeHint, chunkBytes == 0 ? ChunkFor(sizeHint) : chunkBytes,
                      visit);
  } catch (const std::bad_alloc&) {
    return Refused("Raderna får inte plats i minnet");
  }
}

}  // namespace detail

ReadResult ReadCouponFile(const std::string& path) {
  return detail::ReadCouponFileInChunks(path, 0);
}

ReadResult ReadCouponFileVisiting(const std::string& path, const RowVisitor& visit) {
  return detail::ReadCouponFileInChunks(path, 0, &visit);
}

}  // namespace spelkub
