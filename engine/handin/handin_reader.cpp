#include "handin/handin_reader.h"

#include <sys/stat.h>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <sstream>

#include "coupon/games.h"
#include "handin/m_lines.h"
#include "io/save_file.h"
#include "text/coupon_reader.h"

namespace spelkub {

namespace {

constexpr uintmax_t kMaxHandInBytes = uintmax_t{64} << 20;

std::string Line(int64_t number, std::string_view what) {
  return "Rad " + std::to_string(number) + ": " + std::string(what);
}

bool Blank(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

// The game handed in under this product name.
const GameRules* GameOfProduct(std::string_view header) {
  for (const GameRules& rules : kGames) {
    if (!rules.handInProduct.empty() && rules.handInProduct == header) return &rules;
  }
  return nullptr;
}

// Splits into lines without their CR LF or LF.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// One M line of `matches` groups, or the refusal.
std::string ParseMLine(std::string_view line, int matches, int64_t number, MSystem& system) {
  line.remove_prefix(1);  // "M"
  const size_t comma = line.find(',');
  int64_t declared = 0;
  const std::string_view count = line.substr(0, comma);
  const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), declared);
  if (count.empty() || error != std::errc() || end != count.data() + count.size() || declared < 1) {
    return Line(number, "M-raden ska börja med antalet rader, som \"M12,\"");
  }
  system.matches = matches;
  std::string_view rest = comma == std::string_view::npos ? std::string_view() : line.substr(comma);
  for (int m = 0; m < matches; ++m) {
    if (rest.empty() || rest.front() != ',') {
      return Line(number, "M-raden ska ha " + std::to_string(matches) + " grupper av tecken");
    }
    rest.remove_prefix(1);
    const size_t next = rest.find(',');
    const std::string_view group = rest.substr(0, next);
    rest = next == std::string_view::npos ? std::string_view() : rest.substr(next);
    int last = -1;
    for (const char c : group) {
      const int sign = c == '1' ? 0 : c == 'X' ? 1 : c == '2' ? 2 : -1;
      if (sign < 0) {
        return Line(number, "match " + std::to_string(m + 1) + " har \"" + std::string(group) +
                                "\", väntade tecknen 1, X och 2 i den ordningen");
      }
      if (sign <= last) {
        return Line(number,
                    "match " + std::to_string(m + 1) + " har \"" + std::string(group) +
                        "\", väntade tecknen 1, X och 2 i den ordningen, vart och ett en gång");
      }
      last = sign;
      system.signs[m] = uint8_t(system.signs[m] | (1u << sign));
    }
    if (group.empty()) return Line(number, "match " + std::to_string(m + 1) + " saknar tecken");
  }
  if (!rest.empty()) {
    return Line(number, "M-raden ska ha " + std::to_string(matches) + " grupper av tecken");
  }
  if (system.Rows() != declared) {
    return Line(number, "M-raden säger " + std::to_string(declared) + " rader men grupperna ger " +
                            std::to_string(system.Rows()));
  }
  if (declared > kLargestMSystem) {
    return Line(number, "M-raden har " + std::to_string(declared) + " rader, högst " +
                            std::to_string(kLargestMSystem) + " går på en rad");
  }
  return {};
}

}  // namespace

HandInRead ReadHandInText(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  const std::vector<std::string_view> lines = Lines(text);
  size_t first = 0;
  while (first < lines.size() && Blank(lines[first])) ++first;
  bool hasM = false;
  for (size_t i = first + 1; i < lines.size(); ++i) hasM = hasM || lines[i].starts_with('M');
  if (!hasM) {
    ReadResult read = ReadCouponText(text);
    if (!read.coupon) return {std::nullopt, read.error};
    // The product's name alone, or with the draw and the stake for a game
    // whose form carries them ("Topptipset,Omg=2841,Insats=5").
    if (read.coupon->headerForm != HeaderForm::kProductName &&
        read.coupon->headerForm != HeaderForm::kHandIn) {
      return {std::nullopt,
              "Filen är ingen inlämningsfil: den ska börja med spelets namn, som "
              "\"Stryktipset\"."};
    }
    HandInContent content;
    content.game = read.coupon->game;
    content.lines = static_cast<int64_t>(read.coupon->rows.size());
    content.rows = std::move(read.coupon->rows);
    content.draw = read.coupon->draw;
    content.stake = read.coupon->stake;
    return {std::move(content), {}};
  }
  const GameRules* rules = GameOfProduct(lines[first]);
  ReadResult header;
  if (rules == nullptr) {
    // A game handed in with its draw and stake: "Topptipset,Omg=2841,Insats=5".
    header = ReadCouponText(lines[first]);
    if (header.coupon && header.coupon->headerForm == HeaderForm::kHandIn)
      rules = &Rules(header.coupon->game);
  }
  if (rules == nullptr) {
    return {std::nullopt, Line(static_cast<int64_t>(first) + 1,
                               "väntade spelets namn, som \"Stryktipset\", före M-raderna")};
  }
  HandInContent content;
  content.game = rules->game;
  content.form = HandInForm::kMLines;
  if (header.coupon) {
    content.draw = header.coupon->draw;
    content.stake = header.coupon->stake;
  }
  for (size_t i = first + 1; i < lines.size(); ++i) {
    const int64_t number = static_cast<int64_t>(i) + 1;
    if (Blank(lines[i])) continue;
    if (!lines[i].starts_with('M')) {
      return {std::nullopt, Line(number, "en fil har E-rader eller M-rader, inte båda")};
    }
    MSystem system;
    std::string error = ParseMLine(lines[i], rules->matches, number, system);
    if (!error.empty()) return {std::nullopt, std::move(error)};
    if (++content.lines > kHandInMLinesPerFile) {
      return {std::nullopt,
              Line(number, "högst " + std::to_string(kHandInMLinesPerFile) + " M-rader i en fil")};
    }
    const std::vector<PackedRow> rows = system.Expand();
    content.rows.insert(content.rows.end(), rows.begin(), rows.end());
  }
  return {std::move(content), {}};
}

HandInRead ReadHandInFile(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return {std::nullopt, "Kan inte läsa \"" + path + "\": " + ReadErrorReason(errno)};
  }
  if (!S_ISREG(status.st_mode)) {
    return {std::nullopt, "Kan inte läsa \"" + path + "\": det är ingen vanlig fil"};
  }
  if (static_cast<uintmax_t>(status.st_size) > kMaxHandInBytes) {
    return {std::nullopt, "\"" + path + "\" är för stor för en inlämningsfil"};
  }
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  if (!file && !file.eof()) {
    return {std::nullopt, "Kan inte läsa \"" + path + "\": " + ReadErrorReason(EIO)};
  }
  return ReadHandInText(bytes.str());
}

}  // namespace spelkub
