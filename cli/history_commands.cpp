// --record FILE --draw N, --settle GAME --draw N --result SIGNS --payout
// LEVELS, --history: the played-coupon database from the command line.
#include "cli/history_commands.h"

#include <charconv>
#include <cstdlib>
#include <map>
#include <string>

#include "cli/commands.h"
#include "commands/history_command.h"
#include "coupon/games.h"
#include "draw/draw_service.h"
#include "history/history_database.h"
#include "net/draw_client.h"

namespace spelkub::cli {

namespace {

constexpr std::string_view kHelp =
    "\n"
    "The history of played coupons (a database in $XDG_DATA_HOME/spelkub-lite/, by default\n"
    "~/.local/share/spelkub-lite/historik.sqlite):\n"
    "spelkub_rader --record FILE --draw N [--coupon DOC] [--close TIME] [--row-price KR]\n"
    "spelkub_rader --settle GAME --draw N [--result SIGNS --payout LEVELS | --api-base URL]\n"
    "spelkub_rader --history [--game GAME] [--from DATE] [--to DATE] [--tsv | --csv]\n"
    "  --record FILE   records the rows of FILE (a hand-in file with E rows or M lines, or any\n"
    "                  coupon text) as played on draw N; with --coupon, the document is kept\n"
    "                  and its values give the expected return\n"
    "  --close TIME    the draw's closing time, as the list shows it (2026-12-12T15:59)\n"
    "  --row-price KR  what one row cost, when a stake multiplies the game's row price\n"
    "  --settle GAME   the draw's result (one sign per match) and official payouts per winning\n"
    "                  row (\"13=12345,50 12=230 11=18 10=0\"; a level left out paid nothing)\n"
    "                  settle every coupon recorded on it; without --result and --payout\n"
    "                  both are fetched from the draw service (--api-base as for --fetch),\n"
    "                  once every match has its sign (a cancelled match its drawn one) and\n"
    "                  the payouts are published\n"
    "  --history       every recorded coupon: date, game, draw, rows, stake, won, net; --tsv\n"
    "                  for machines, --csv the plain export; --from and --to take dates\n"
    "                  (2026-12-01) and --game one game\n"
    "  --database DB   use DB instead of the default database\n";

struct HistoryOptions {
  std::string command;  // --record, --settle or --history
  std::map<std::string, std::string, std::less<>> values;
  bool tsv = false;
  bool csv = false;
};

constexpr std::string_view kCommands[] = {"--record", "--settle", "--history"};
constexpr std::string_view kValued[] = {
    "--record", "--settle", "--draw", "--coupon",   "--close",     "--result",  "--payout",
    "--game",   "--from",   "--to",   "--database", "--row-price", "--api-base"};

bool IsValued(std::string_view arg) {
  for (const std::string_view flag : kValued) {
    if (arg == flag) return true;
  }
  return false;
}

// The options, or the explanation of why they are malformed.
std::string Parse(std::span<const std::string_view> args, HistoryOptions& options) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    bool command = false;
    for (const std::string_view name : kCommands) command = command || arg == name;
    if (command) {
      if (!options.command.empty()) {
        return "--record, --settle och --history utesluter varandra";
      }
      options.command = std::string(arg);
    }
    if (arg == "--tsv" || arg == "--csv") {
      (arg == "--tsv" ? options.tsv : options.csv) = true;
      continue;
    }
    if (arg == "--history") continue;
    if (!IsValued(arg)) return "okänd flagga för historiken: \"" + std::string(arg) + "\"";
    if (i + 1 >= args.size()) return std::string(arg) + " saknar sitt värde";
    if (!options.values.emplace(std::string(arg), std::string(args[++i])).second) {
      return std::string(arg) + " står två gånger";
    }
  }
  const auto only = [&](std::initializer_list<std::string_view> allowed) {
    for (const auto& [flag, value] : options.values) {
      bool ok = false;
      for (const std::string_view name : allowed) ok = ok || flag == name;
      if (!ok) return flag;
    }
    return std::string();
  };
  std::string stray;
  if (options.command == "--record") {
    stray = only({"--record", "--draw", "--coupon", "--close", "--row-price", "--database"});
    if (options.tsv || options.csv) stray = options.tsv ? "--tsv" : "--csv";
    if (stray.empty() && !options.values.contains("--draw")) return "--record FILE kräver --draw N";
  } else if (options.command == "--settle") {
    stray = only({"--settle", "--draw", "--result", "--payout", "--api-base", "--database"});
    if (options.tsv || options.csv) stray = options.tsv ? "--tsv" : "--csv";
    if (stray.empty() && !options.values.contains("--draw")) return "--settle GAME kräver --draw";
    const bool result = options.values.contains("--result");
    const bool payout = options.values.contains("--payout");
    if (stray.empty() && result != payout) {
      return "--settle GAME tar --result och --payout tillsammans, eller ingen av dem för att "
             "hämta resultatet";
    }
    if (stray.empty() && result && options.values.contains("--api-base")) {
      return "--api-base hör till ett hämtat resultat, inte till --result och --payout";
    }
    if (const auto base = options.values.find("--api-base");
        stray.empty() && base != options.values.end()) {
      if (std::string problem = net::ApiBaseProblem(base->second); !problem.empty()) return problem;
    }
  } else {
    stray = only({"--game", "--from", "--to", "--database"});
    if (options.tsv && options.csv) return "--tsv och --csv utesluter varandra";
  }
  if (!stray.empty()) return options.command + " tar inte " + stray;
  return {};
}

std::optional<int64_t> Draw(const HistoryOptions& options) {
  const std::string& text = options.values.at("--draw");
  int64_t draw = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), draw);
  if (error != std::errc() || end != text.data() + text.size() || draw < 1) return std::nullopt;
  return draw;
}

std::optional<int32_t> Game(const std::string& word) {
  return GameOfOption(word);
}

std::string DatabasePath(const HistoryOptions& options) {
  if (const auto given = options.values.find("--database"); given != options.values.end()) {
    return given->second;
  }
  return history::DefaultHistoryPath(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

int Refuse(Output& output, std::string_view text) {
  Tell(output, kProgramName, text);
  return kExitRefused;
}

int Record(const HistoryOptions& options, history::Database& database, Output& output) {
  Refusable<RecordInput> input = ReadPlayedRows(options.values.at("--record"));
  if (!input.value) return Refuse(output, input.refusal.text);
  if (input.value->draw > 0 && input.value->draw != *Draw(options)) {
    return Refuse(output, "Filen lämnas in på omgång " + std::to_string(input.value->draw) +
                              ", inte " + std::to_string(*Draw(options)) + ".");
  }
  input.value->draw = *Draw(options);
  if (const auto close = options.values.find("--close"); close != options.values.end()) {
    input.value->closeTime = close->second;
  }
  if (const auto price = options.values.find("--row-price"); price != options.values.end()) {
    const std::optional<int64_t> ore = history::OreOf(price->second);
    if (!ore || *ore < 1) return Refuse(output, "--row-price tar ett belopp i kronor");
    input.value->rowPriceOre = ore;
  }
  if (const auto coupon = options.values.find("--coupon"); coupon != options.values.end()) {
    DocumentResult document = ReadCouponDocumentFile(coupon->second);
    if (!document.document) return Refuse(output, document.error);
    input.value->document = std::move(document.document);
  }
  const Refusable<Recorded> recorded = RecordPlayed(database, *input.value);
  if (!recorded.value) return Refuse(output, recorded.refusal.text);
  output.WriteErr(recorded.value->text + "\n");
  return WriteAll(output, std::to_string(recorded.value->id) + "\n") ? kExitDone : kExitRefused;
}

// The outcome of --settle without --result and --payout: fetched before the
// database is opened, so that an answer that does not fit changes nothing.
Refusable<history::DrawOutcome> FetchedOutcome(const HistoryOptions& options) {
  const int32_t game = *Game(options.values.at("--settle"));
  const DrawProduct* product = DrawProductOf(Rules(game).option);
  if (product == nullptr) {
    return Refusable<history::DrawOutcome>::Refused("Omgångstjänsten har inga resultat för " +
                                                        std::string(Rules(game).name) +
                                                        ": ange --result och --payout.",
                                                    kSettleCaption);
  }
  const auto base = options.values.find("--api-base");
  const std::string apiBase = net::ApiBase(base == options.values.end() ? "" : base->second);
  const int64_t number = *Draw(options);
  if (number > 10'000'000) {
    return Refusable<history::DrawOutcome>::Refused(
        "Omgång " + std::to_string(number) + " finns inte hos omgångstjänsten.", kSettleCaption);
  }
  const int draw = static_cast<int>(number);
  const net::Fetched<DrawResult> fetched =
      net::FetchDrawResult(apiBase, *product, draw, MatchesInPlay(game), {});
  if (!fetched.value)
    return Refusable<history::DrawOutcome>::Refused(fetched.error, kSettleCaption);
  return OutcomeOfFetchedResult(*fetched.value, game, ResultAddress(apiBase, *product, draw));
}

int Settle(const HistoryOptions& options, history::Database& database, Output& output,
           const std::optional<history::DrawOutcome>& fetched) {
  if (fetched) {
    const Refusable<Settled> settled = SettlePlayed(database, *fetched);
    if (!settled.value) return Refuse(output, settled.refusal.text);
    return WriteAll(output, settled.value->text + "\n") ? kExitDone : kExitRefused;
  }
  history::DrawOutcome outcome;
  outcome.game = *Game(options.values.at("--settle"));
  outcome.draw = *Draw(options);
  outcome.source = "inskrivet";
  const Refusable<std::vector<int>> signs =
      ParseDrawSigns(options.values.at("--result"), outcome.game);
  if (!signs.value) return Refuse(output, signs.refusal.text);
  outcome.signs = *signs.value;
  const Refusable<std::vector<history::LevelPayout>> payouts =
      ParsePayouts(options.values.at("--payout"), outcome.game);
  if (!payouts.value) return Refuse(output, payouts.refusal.text);
  outcome.payouts = *payouts.value;
  const Refusable<Settled> settled = SettlePlayed(database, outcome);
  if (!settled.value) return Refuse(output, settled.refusal.text);
  return WriteAll(output, settled.value->text + "\n") ? kExitDone : kExitRefused;
}

int List(const HistoryOptions& options, history::Database& database, Output& output) {
  history::HistoryFilter filter;
  if (const auto game = options.values.find("--game"); game != options.values.end()) {
    filter.game = Game(game->second);
  }
  if (const auto from = options.values.find("--from"); from != options.values.end()) {
    filter.from = from->second;
  }
  if (const auto to = options.values.find("--to"); to != options.values.end()) {
    filter.to = to->second;
  }
  const std::vector<history::PlayedSummary> list = database.List(filter);
  const std::string text = options.csv ? history::CsvText(list) : HistoryText(list, options.tsv);
  return WriteAll(output, text) ? kExitDone : kExitRefused;
}

// A date "2026-12-01".
bool IsDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i != 4 && i != 7 && (text[i] < '0' || text[i] > '9')) return false;
  }
  return true;
}

}  // namespace

std::string_view HistoryHelpText() {
  return kHelp;
}

std::optional<int> RunHistoryCommand(std::span<const std::string_view> args, Output& output) {
  bool asked = false;
  for (const std::string_view arg : args) {
    if (arg == "--") break;
    for (const std::string_view name : kCommands) asked = asked || arg == name;
  }
  if (!asked) return std::nullopt;
  HistoryOptions options;
  std::string error = Parse(args, options);
  if (error.empty() && options.values.contains("--draw") && !Draw(options)) {
    error = "--draw tar ett positivt heltal, inte \"" + options.values.at("--draw") + "\"";
  }
  for (const char* flag : {"--settle", "--game"}) {
    const auto game = options.values.find(flag);
    if (error.empty() && game != options.values.end() && !Game(game->second)) {
      error = std::string(flag) + " tar " +
              GameList([](const GameRules& rules) { return std::string(rules.option); }) +
              ", inte \"" + game->second + "\"";
    }
  }
  for (const char* flag : {"--from", "--to"}) {
    const auto date = options.values.find(flag);
    if (error.empty() && date != options.values.end() && !IsDate(date->second)) {
      error = std::string(flag) + " tar ett datum som 2026-12-01, inte \"" + date->second + "\"";
    }
  }
  if (!error.empty()) {
    Tell(output, kProgramName, error + std::string(kSeeHelp));
    return kExitMalformed;
  }
  const std::string path = DatabasePath(options);
  if (path.empty()) {
    return Refuse(output, "Hittar ingen plats för historiken: sätt HOME eller XDG_DATA_HOME.");
  }
  std::optional<history::DrawOutcome> fetched;
  if (options.command == "--settle" && !options.values.contains("--result")) {
    Refusable<history::DrawOutcome> outcome = FetchedOutcome(options);
    if (!outcome.value) return Refuse(output, outcome.refusal.text);
    fetched = std::move(outcome.value);
  }
  try {
    history::Database database(path);
    if (!database.backup().empty()) {
      output.WriteErr("Historiken uppgraderades; en kopia av den gamla finns i " +
                      database.backup() + "\n");
    }
    if (options.command == "--record") return Record(options, database, output);
    if (options.command == "--settle") return Settle(options, database, output, fetched);
    return List(options, database, output);
  } catch (const history::HistoryError& error) {
    return Refuse(output, error.what());
  }
}

}  // namespace spelkub::cli
