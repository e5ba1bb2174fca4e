#include "handin/handin.h"

#include <cerrno>
#include <filesystem>
#include <stdexcept>

#include "coupon/games.h"
#include "io/save_file.h"
#include "text/coupon_text.h"

namespace spelkub {

namespace {

constexpr std::string_view kExtension = ".txt";

constexpr int kMostDraw = 999999;

const GameRules& KnownGame(int32_t game) {
  if (!IsGame(game)) {
    throw std::invalid_argument("HandInText: unknown game " + std::to_string(game));
  }
  return Rules(game);
}

// A packed row of the game's matches with no sign code 3 and nothing beyond
// its last match.
void CheckRows(const GameRules& rules, std::span<const PackedRow> rows) {
  const int matches = rules.matches;
  const uint32_t low = 0x55555555u & ((uint32_t{1} << (2 * matches)) - 1);
  for (const PackedRow row : rows) {
    if ((row >> (2 * matches)) != 0 || (row & (row >> 1) & low) != 0) {
      throw std::invalid_argument("SaveForHandIn: not a " + std::to_string(matches) + "-match row");
    }
  }
}

bool EndsWithExtension(const std::string& path) {
  if (path.size() < kExtension.size()) return false;
  for (size_t i = 0; i < kExtension.size(); ++i) {
    const char c = path[path.size() - kExtension.size() + i];
    if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != kExtension[i]) return false;
  }
  return true;
}

std::string NumberedName(const std::string& path, int64_t number) {
  const bool has = EndsWithExtension(path);
  const std::string stem = has ? path.substr(0, path.size() - kExtension.size()) : path;
  const std::string extension = has ? path.substr(path.size() - kExtension.size()) : ".txt";
  return stem + "-" + std::to_string(number) + extension;
}

int64_t FileCount(int64_t rows) {
  return rows <= kHandInRowsPerFile ? 1 : (rows + kHandInRowsPerFile - 1) / kHandInRowsPerFile;
}

bool Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

std::span<const PackedRow> FileRows(std::span<const PackedRow> rows, size_t file) {
  const size_t begin = file * kHandInRowsPerFile;
  return rows.subspan(begin, std::min<size_t>(kHandInRowsPerFile, rows.size() - begin));
}

}  // namespace

std::vector<std::string> HandInFileNames(const std::string& path, int64_t rows) {
  const int64_t files = FileCount(rows);
  if (files == 1) return {path};
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(files));
  for (int64_t k = 1; k <= files; ++k) names.push_back(NumberedName(path, k));
  return names;
}

std::vector<std::string> LeftoverHandInFiles(const std::string& path, int64_t rows) {
  const int64_t files = FileCount(rows);
  std::vector<std::string> leftovers;
  if (files > 1 && Exists(path)) leftovers.push_back(path);
  for (int64_t k = files == 1 ? 1 : files + 1;; ++k) {
    std::string name = NumberedName(path, k);
    if (!Exists(name)) break;
    leftovers.push_back(std::move(name));
  }
  return leftovers;
}

std::string StakeList(const GameRules& rules) {
  if (rules.stakes.empty()) return "1";
  std::string list;
  for (size_t i = 0; i < rules.stakes.size(); ++i) {
    if (i > 0) list += i + 1 == rules.stakes.size() ? " eller " : ", ";
    list += std::to_string(rules.stakes[i]);
  }
  return list;
}

std::string HandInTicketProblem(const GameRules& rules, const HandInTicket& ticket) {
  if (!rules.handInDrawAndStake) return {};
  if (ticket.draw == 0) return "Ange omgången för " + std::string(rules.name) + ".";
  if (ticket.draw < 1 || ticket.draw > kMostDraw) {
    return "Omgången ska vara ett heltal från 1 till " + std::to_string(kMostDraw) + ".";
  }
  if (!TakesStake(rules, ticket.stake)) {
    return std::string(rules.name) + " tar insatsen " + StakeList(rules) + " kr per rad.";
  }
  return {};
}

std::string HandInHeader(const GameRules& rules, const HandInTicket& ticket) {
  if (rules.handInProduct.empty()) throw HandInRefused(HandInRefusal(rules.game));
  const std::string problem = HandInTicketProblem(rules, ticket);
  if (!problem.empty()) throw HandInRefused(problem);
  std::string header(rules.handInProduct);
  if (rules.handInDrawAndStake) {
    if (!rules.handInVariant.empty()) header.append(",").append(rules.handInVariant);
    header.append(",Omg=").append(std::to_string(ticket.draw));
    header.append(",Insats=").append(std::to_string(ticket.stake));
  }
  header += kLineBreak;
  return header;
}

std::string HandInText(const GameRules& rules, const HandInTicket& ticket,
                       std::span<const PackedRow> rows) {
  RowSet set;
  set.game = rules.game;
  set.matches = rules.matches;
  set.header = HandInHeader(rules, ticket);
  set.rows.assign(rows.begin(), rows.end());
  return CouponText(set);
}

std::string HandInText(int32_t game, std::span<const PackedRow> rows) {
  return HandInText(KnownGame(game), {}, rows);
}

void CheckHandInTarget(const std::string& path, int64_t rows) {
  const int64_t files = FileCount(rows);
  if (files == 1) return;
  // The numbered names are made from the chosen one: a folder, or no name at
  // all, is refused as a single save would refuse it, not turned into "-1.txt".
  std::error_code error;
  if (path.empty() || std::filesystem::path(path).filename().empty() ||
      std::filesystem::is_directory(path, error)) {
    throw SaveError(CannotCreateMessage(path, path.empty() ? ENOENT : EISDIR));
  }
  // Numbered files beside a device or a pipe would be new files where none
  // were asked for (in /dev, for one), and the pipe would get nothing.
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    throw HandInRefused("Raderna behöver " + std::to_string(files) + " filer, och \"" + path +
                        "\" är ingen vanlig fil. Ange en vanlig fil eller ett nytt namn.");
  }
}

std::vector<std::string> HandInTexts(const GameRules& rules, const HandInTicket& ticket,
                                     std::span<const PackedRow> rows) {
  (void)HandInHeader(rules, ticket);  // refuses a game that cannot be handed in, rows or not
  std::vector<std::string> texts;
  texts.reserve(static_cast<size_t>(FileCount(static_cast<int64_t>(rows.size()))));
  for (size_t begin = 0; begin < rows.size(); begin += kHandInRowsPerFile) {
    texts.push_back(HandInText(rules, ticket, FileRows(rows, begin / kHandInRowsPerFile)));
  }
  return texts;
}

std::vector<std::string> HandInTexts(int32_t game, std::span<const PackedRow> rows) {
  return HandInTexts(KnownGame(game), {}, rows);
}

void WriteHandInFiles(std::span<const std::string> names, std::span<const std::string> texts,
                      const HandInWriter& write) {
  try {
    write(names, texts);
  } catch (const SaveFilesError& error) {
    if (names.size() == 1) throw SaveError(error.what());
    throw SaveError(HandInSaveFailure(error.what(), error.named(), names.size()));
  }
}

void SaveHandInFiles(std::span<const std::string> names, std::span<const std::string> texts) {
  if (names.size() == 1 && texts.size() == 1) {
    SaveTextFile(names.front(), texts.front());
    return;
  }
  const std::vector<std::string_view> views(texts.begin(), texts.end());
  SaveTextFiles(names, views);
}

std::vector<std::string> SaveForHandIn(const std::string& path, const GameRules& rules,
                                       const HandInTicket& ticket,
                                       std::span<const PackedRow> rows) {
  (void)HandInHeader(rules, ticket);  // refuses a game that cannot be handed in
  if (rows.empty()) throw HandInRefused(std::string(kNoRowsRefusal));
  CheckRows(rules, rows);
  CheckHandInTarget(path, static_cast<int64_t>(rows.size()));
  std::vector<std::string> names = HandInFileNames(path, static_cast<int64_t>(rows.size()));
  WriteHandInFiles(names, HandInTexts(rules, ticket, rows), SaveHandInFiles);
  return names;
}

std::vector<std::string> SaveForHandIn(const std::string& path, int32_t game,
                                       std::span<const PackedRow> rows) {
  return SaveForHandIn(path, KnownGame(game), {}, rows);
}

std::string HandInSaveFailure(std::string_view reason, size_t saved, size_t files) {
  std::string message(reason);
  if (!message.empty() && !message.ends_with('.')) message += '.';
  if (saved == 0) {
    message += " Ingen av de " + std::to_string(files) + " filerna sparades.";
  } else {
    message += " Fil 1 till " + std::to_string(saved) + " av " + std::to_string(files) +
               " sparades, övriga inte: spara igen innan du lämnar in.";
  }
  return message;
}

}  // namespace spelkub
