#include "handin/handin.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "coupon/games.h"
#include "io/save_file.h"
#include "text/coupon_text.h"

namespace spelkub {

namespace {

constexpr std::string_view kExtension = ".txt";

constexpr int kMostDraw = 999999;

// A packed row of the game's matches with no sign code 3 and nothing beyond
// its last match.
void CheckRows(const GameRules& rules, std::span<const PackedRow> rows) {
  const int matches = rules.matches;
  const uint32_t low = 0x55555555u & ((uint32_t{1} << (2 * matches)) - 1);
  for (const PackedRow row : rows) {
    if ((row >> (2 * matches)) != 0 || (row & (row >> 1) & low) != 0) {
      throw std::invalid_argument("SplitForHandIn: not a " + std::to_string(matches) +
                                  "-match row");
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

bool Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

// "1 234 567" for a count.
std::string Grouped(int64_t count) {
  const std::string digits = std::to_string(count);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ' ';
    grouped += digits[i];
  }
  return grouped;
}

std::string KronorText(int64_t ore) {
  std::string text = Grouped(ore / 100);
  if (ore % 100 != 0) {
    text += ',';
    text += static_cast<char>('0' + ore % 100 / 10);
    text += static_cast<char>('0' + ore % 10);
  }
  return text + " kr";
}

std::string MLinesText(const GameRules& rules, const HandInTicket& ticket,
                       std::span<const MSystem> systems) {
  std::string text = HandInHeader(rules, ticket);
  for (const MSystem& system : systems) text += system.Line() + std::string(kLineBreak);
  return text;
}

}  // namespace

int64_t RowPriceOre(const GameRules& rules) {
  return std::llround(rules.rowPrice * 100);
}

HandInSplit SplitForHandIn(const GameRules& rules, const HandInTicket& ticket,
                           std::span<const PackedRow> rows, HandInForm form) {
  (void)HandInHeader(rules, ticket);  // refuses a game that cannot be handed in, rows or not
  CheckRows(rules, rows);
  const int64_t rowPriceOre = RowPriceOre(rules) * ticket.stake;
  if (rowPriceOre < 1 || rowPriceOre > kHandInStakeCapOre) {
    throw HandInRefused("En rad för " + KronorText(rowPriceOre) + " ryms inte i en fil: högst " +
                        KronorText(kHandInStakeCapOre) + " per fil.");
  }
  const int64_t rowsByStake = kHandInStakeCapOre / rowPriceOre;
  HandInSplit split;
  split.form = form;
  if (form == HandInForm::kRows) {
    const int64_t perFile = std::min(kHandInRowsPerFile, rowsByStake);
    for (size_t begin = 0; begin < rows.size(); begin += static_cast<size_t>(perFile)) {
      HandInFile file;
      const auto part = rows.subspan(begin, std::min<size_t>(perFile, rows.size() - begin));
      file.text = HandInText(rules, ticket, part);
      file.rows.assign(part.begin(), part.end());
      file.lines = static_cast<int64_t>(part.size());
      split.files.push_back(std::move(file));
    }
    if (split.files.size() > 1) {
      split.why = perFile == kHandInRowsPerFile
                      ? "Högst " + Grouped(kHandInRowsPerFile) + " rader per fil."
                      : "Högst " + KronorText(kHandInStakeCapOre) +
                            " per fil: " + Grouped(perFile) + " rader à " +
                            KronorText(rowPriceOre) + ".";
    }
    return split;
  }
  const int matches = rules.matches;
  const std::vector<MSystem> systems =
      SplitIntoMSystems(matches, rows, std::min(kLargestMSystem, rowsByStake));
  bool byStake = false;
  size_t begin = 0;
  while (begin < systems.size()) {
    size_t end = begin;
    int64_t fileRows = 0;
    while (end < systems.size() && static_cast<int64_t>(end - begin) < kHandInMLinesPerFile) {
      if (fileRows + systems[end].Rows() > rowsByStake) {
        byStake = true;
        break;
      }
      fileRows += systems[end].Rows();
      ++end;
    }
    HandInFile file;
    const std::span<const MSystem> part(systems.data() + begin, end - begin);
    file.text = MLinesText(rules, ticket, part);
    for (const MSystem& system : part) {
      const std::vector<PackedRow> expanded = system.Expand();
      file.rows.insert(file.rows.end(), expanded.begin(), expanded.end());
    }
    file.lines = static_cast<int64_t>(part.size());
    split.files.push_back(std::move(file));
    begin = end;
  }
  if (split.files.size() > 1) {
    split.why = byStake ? "Högst " + KronorText(kHandInStakeCapOre) +
                              " per fil: " + Grouped(rowsByStake) + " rader à " +
                              KronorText(rowPriceOre) + "."
                        : "Högst " + Grouped(kHandInMLinesPerFile) + " M-rader per fil.";
  }
  return split;
}

std::vector<std::string> HandInFileNames(const std::string& path, size_t files) {
  if (files <= 1) return {path};
  std::vector<std::string> names;
  names.reserve(files);
  for (size_t k = 1; k <= files; ++k) names.push_back(NumberedName(path, static_cast<int64_t>(k)));
  return names;
}

std::vector<std::string> LeftoverHandInFiles(const std::string& path, size_t files) {
  std::vector<std::string> leftovers;
  if (files > 1 && Exists(path)) leftovers.push_back(path);
  for (int64_t k = files <= 1 ? 1 : static_cast<int64_t>(files) + 1;; ++k) {
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
  if (rules.handInProduct.empty()) throw HandInRefused(HandInRefusal(rules));
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

void CheckHandInTarget(const std::string& path, size_t files) {
  if (files <= 1) return;
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
