#include "commands/hand_in_command.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "coupon/games.h"
#include "coupon/messages.h"
#include "history/history_types.h"
#include "io/save_file.h"

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

// Why a written file is not what was meant: the strict reader's refusal, or
// the first difference from its rows; empty when it is right.
std::string ReadBackProblem(std::string_view bytes, int32_t game, const HandInFile& file) {
  const HandInRead read = ReadHandInText(bytes);
  if (!read.content) return read.error;
  if (read.content->game != game) return "spelet är ett annat";
  std::vector<PackedRow> got = read.content->rows;
  std::vector<PackedRow> meant = file.rows;
  if (got.size() != meant.size()) {
    return std::to_string(got.size()) + " rader i stället för " + std::to_string(meant.size());
  }
  // E rows keep their order; an M line's rows are compared as a set.
  if (read.content->form == HandInForm::kMLines) {
    std::sort(got.begin(), got.end());
    std::sort(meant.begin(), meant.end());
  }
  for (size_t i = 0; i < got.size(); ++i) {
    if (got[i] != meant[i]) return "rad " + std::to_string(i + 1) + " skiljer sig";
  }
  return {};
}

void CheckReadBack(const std::string& name, std::string_view bytes, int32_t game,
                   const HandInFile& file) {
  const std::string problem = ReadBackProblem(bytes, game, file);
  if (!problem.empty()) {
    throw SaveError("Filen \"" + name + "\" stämmer inte med raderna när den läses tillbaka (" +
                    problem + "). Lämna inte in den; spara igen.");
  }
}

}  // namespace

std::string ReadBackFile(const std::string& name) {
  std::ifstream file(name, std::ios::binary);
  if (!file) {
    throw SaveError("Kan inte läsa tillbaka \"" + name + "\": " + ReadErrorReason(errno) + ".");
  }
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

std::optional<Refusal> CheckHandInGame(int32_t game) {
  if (!Rules(game).handInProduct.empty()) return std::nullopt;
  return Refusal{HandInRefusal(Rules(game)), std::string(kHandInCaption)};
}

Refusable<HandInFiles> PrepareHandIn(int32_t game, std::span<const PackedRow> rows, bool plus13,
                                     const HandInChoice& choice) {
  using Answer = Refusable<HandInFiles>;
  if (rows.empty()) return Answer::Refused(std::string(kNoRowsRefusal), kHandInCaption);
  if (auto refusal = CheckHandInGame(game)) return Answer::Refused(std::move(*refusal));
  const GameRules& rules = Rules(game);
  const HandInTicket& ticket = choice.ticket;
  if (std::string problem = HandInTicketProblem(rules, ticket); !problem.empty()) {
    return Answer::Refused(std::move(problem), kHandInCaption);
  }
  HandInFiles files;
  files.game = game;
  files.ticket = ticket;
  files.rows = static_cast<int64_t>(rows.size());
  try {
    files.split = SplitForHandIn(rules, ticket, rows, choice.form);
  } catch (const HandInRefused& refusal) {
    return Answer::Refused(refusal.what(), kHandInCaption);
  }
  files.plus13Note = plus13 && Rules(game).plus13;
  return {std::move(files), {}};
}

Refusable<HandInFiles> PrepareHandIn(const ReadResult& read, const HandInChoice& choice) {
  if (!read.coupon) return Refusable<HandInFiles>::Refused(ReaderRefusal(read));
  HandInChoice used = choice;
  if (read.coupon->draw > 0) used.ticket = {read.coupon->draw, read.coupon->stake};
  return PrepareHandIn(read.coupon->game, read.coupon->rows, read.coupon->plus13, used);
}

Refusable<std::string_view> HandInToOutput(const HandInFiles& files) {
  if (files.split.files.size() != 1) {
    return Refusable<std::string_view>::Refused(std::to_string(files.rows) +
                                                    " rader ryms inte i en fil (" +
                                                    files.split.why + "): spara dem med -o FIL",
                                                kHandInCaption);
  }
  return {files.split.files.front().text, {}};
}

Refusable<HandInSaved> SaveHandIn(const HandInFiles& files, const std::string& path,
                                  const HandInWriter& write, const HandInReadBack& readBack) {
  const size_t count = files.split.files.size();
  try {
    CheckHandInTarget(path, count);
  } catch (const HandInRefused& refusal) {
    return Refusable<HandInSaved>::Refused(refusal.what(), kHandInCaption);
  }
  HandInSaved saved;
  saved.names = HandInFileNames(path, count);
  std::vector<std::string> texts;
  for (const HandInFile& file : files.split.files) texts.push_back(file.text);
  WriteHandInFiles(saved.names, texts, write);
  for (size_t i = 0; i < count; ++i) {
    // A pipe or a device took the bytes as they came: there is nothing to read back.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(saved.names[i], error);
    if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
      saved.sha256.push_back(history::Sha256Hex(texts[i]));
      continue;
    }
    const std::string bytes = readBack(saved.names[i]);
    CheckReadBack(saved.names[i], bytes, files.game, files.split.files[i]);
    saved.sha256.push_back(history::Sha256Hex(bytes));
  }
  saved.leftovers = LeftoverHandInFiles(path, count);

  const std::vector<std::string>& names = saved.names;
  saved.text = names.size() == 1 ? "1 fil sparad för inlämning: " + FileName(names.front()) + "."
                                 : std::to_string(names.size()) +
                                       " filer sparade för inlämning: " + FileName(names.front()) +
                                       " till " + FileName(names.back()) + ".";
  saved.lines.push_back(names.size() == 1 ? "Sparade 1 fil: " + names.front()
                                          : "Sparade " + std::to_string(names.size()) + " filer: " +
                                                names.front() + " till " + names.back());
  if (!files.split.why.empty()) {
    saved.text += " " + files.split.why;
    saved.lines.push_back(files.split.why);
  }

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
