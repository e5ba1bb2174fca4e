#include "commands/hand_in_command.h"

#include <filesystem>
#include <utility>

#include "coupon/games.h"
#include "coupon/messages.h"

namespace spelkub {

namespace {

// The window's box names this many older files; its details list them all.
constexpr size_t kLeftoversNamed = 5;

std::string FileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

std::string Joined(const std::vector<std::string>& parts, std::string_view separator) {
  std::string joined;
  for (const std::string& part : parts) {
    if (!joined.empty()) joined += separator;
    joined += part;
  }
  return joined;
}

}  // namespace

std::optional<Refusal> CheckHandInGame(int32_t game) {
  if (!Rules(game).handInProduct.empty()) return std::nullopt;
  return Refusal{HandInRefusal(game), std::string(kHandInCaption)};
}

Refusable<HandInFiles> PrepareHandIn(int32_t game, std::span<const PackedRow> rows, bool plus13,
                                     const HandInTicket& ticket) {
  using Answer = Refusable<HandInFiles>;
  if (rows.empty()) return Answer::Refused(std::string(kNoRowsRefusal), kHandInCaption);
  if (auto refusal = CheckHandInGame(game)) return Answer::Refused(std::move(*refusal));
  const GameRules& rules = Rules(game);
  if (std::string problem = HandInTicketProblem(rules, ticket); !problem.empty()) {
    return Answer::Refused(std::move(problem), kHandInCaption);
  }
  HandInFiles files;
  files.game = game;
  files.ticket = ticket;
  files.rows = static_cast<int64_t>(rows.size());
  files.texts = HandInTexts(rules, ticket, rows);
  files.plus13Note = plus13 && Rules(game).plus13;
  return {std::move(files), {}};
}

Refusable<HandInFiles> PrepareHandIn(const ReadResult& read, const HandInTicket& ticket) {
  if (!read.coupon) return Refusable<HandInFiles>::Refused(ReaderRefusal(read));
  HandInTicket used = ticket;
  if (read.coupon->draw > 0) used = {read.coupon->draw, read.coupon->stake};
  return PrepareHandIn(read.coupon->game, read.coupon->rows, read.coupon->plus13, used);
}

Refusable<std::string_view> HandInToOutput(const HandInFiles& files) {
  if (files.texts.size() != 1) {
    return Refusable<std::string_view>::Refused(
        std::to_string(files.rows) + " rader ryms inte i en fil (högst " +
            std::to_string(kHandInRowsPerFile) + "): spara dem med -o FIL",
        kHandInCaption);
  }
  return {files.texts.front(), {}};
}

Refusable<HandInSaved> SaveHandIn(const HandInFiles& files, const std::string& path,
                                  const HandInWriter& write) {
  try {
    CheckHandInTarget(path, files.rows);
  } catch (const HandInRefused& refusal) {
    return Refusable<HandInSaved>::Refused(refusal.what(), kHandInCaption);
  }
  HandInSaved saved;
  saved.names = HandInFileNames(path, files.rows);
  WriteHandInFiles(saved.names, files.texts, write);
  saved.leftovers = LeftoverHandInFiles(path, files.rows);

  const std::vector<std::string>& names = saved.names;
  saved.text = names.size() == 1 ? "1 fil sparad för inlämning: " + FileName(names.front()) + "."
                                 : std::to_string(names.size()) +
                                       " filer sparade för inlämning: " + FileName(names.front()) +
                                       " till " + FileName(names.back()) + ".";
  saved.lines.push_back(names.size() == 1 ? "Sparade 1 fil: " + names.front()
                                          : "Sparade " + std::to_string(names.size()) + " filer: " +
                                                names.front() + " till " + names.back());
  if (!saved.leftovers.empty()) {
    std::vector<std::string> all;
    for (const std::string& name : saved.leftovers) all.push_back(FileName(name));
    std::string named =
        Joined({all.begin(), all.begin() + std::min(kLeftoversNamed, all.size())}, ", ");
    if (all.size() > kLeftoversNamed) {
      named += " … och " + std::to_string(all.size() - kLeftoversNamed) + " till";
      saved.details = "Äldre filer som inte ska lämnas in:\n" + Joined(all, "\n");
    }
    saved.text += "\nObs! Äldre filer ligger kvar och ska inte lämnas in: " + named + ".";
    saved.lines.push_back("Äldre filer ligger kvar, lämna inte in dem: " +
                          Joined(saved.leftovers, ", "));
  }
  if (files.plus13Note) {
    saved.text.append("\n").append(kPlus13Note);
    saved.lines.emplace_back(kPlus13Note);
  }
  return {std::move(saved), {}};
}

}  // namespace spelkub
