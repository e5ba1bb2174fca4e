// spelkub_rader's calls of the draw service: --fetch GAME puts a draw into a
// coupon document, --fetch-result GAME --draw N shows the result and the
// official payouts. They take their own few options and no MARKS.
#include <charconv>
#include <cmath>
#include <map>

#include "cli/commands.h"
#include "coupon/games.h"
#include "coupon/shown_text.h"
#include "draw/draw_coupon.h"
#include "io/save_file.h"
#include "net/draw_client.h"

namespace spelkub::cli {

namespace {

constexpr std::string_view kFetchedResultPrefix = "fetch:";

constexpr std::string_view kFetchOptions[] = {"--fetch",   "--fetch-result", "--draw",
                                              "--coupon",  "--save-coupon",  "--odds-method",
                                              "--api-base"};

struct FetchArguments {
  bool result = false;  // --fetch-result
  std::string game;
  std::optional<int> draw;
  std::optional<std::string> couponPath;
  std::string savePath;
  std::optional<OddsMethod> method;  // the document's when not given
  std::string apiBase;
};

// The games the service has a product for, as "stryktipset eller europatipset".
std::string FetchableGames() {
  std::string list;
  std::vector<std::string_view> words;
  for (const DrawProduct& product : kDrawProducts) {
    if (GameOfOption(product.option)) words.push_back(product.option);
  }
  for (size_t i = 0; i < words.size(); ++i) {
    if (i > 0) list += i + 1 == words.size() ? " eller " : ", ";
    list += words[i];
  }
  return list;
}

std::string TakeFetchValue(std::string_view flag, std::string_view value, FetchArguments& read) {
  if (flag == "--fetch" || flag == "--fetch-result") {
    if (!DrawProductOf(value) || !GameOfOption(value)) {
      return std::string(flag) + " tar " + FetchableGames() + ", inte " + Quoted(value);
    }
    read.result = flag == "--fetch-result";
    read.game = value;
  } else if (flag == "--draw") {
    int number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end != value.data() + value.size() || number < 1 ||
        number > 10'000'000) {
      return "--draw tar omgångens nummer, ett positivt heltal, inte " + Quoted(value);
    }
    read.draw = number;
  } else if (flag == "--coupon") {
    read.couponPath = std::string(value);
  } else if (flag == "--save-coupon") {
    read.savePath = value;
  } else if (flag == "--odds-method") {
    if (value != "proportional" && value != "power")
      return "--odds-method tar proportional eller power, inte " + Quoted(value);
    read.method = value == "power" ? OddsMethod::kPower : OddsMethod::kProportional;
  } else if (flag == "--api-base") {
    read.apiBase = value;
    if (std::string problem = net::ApiBaseProblem(read.apiBase); !problem.empty()) return problem;
  }
  return {};
}

std::string ParseFetchArguments(std::span<const std::string_view> args, FetchArguments& read) {
  std::map<std::string_view, int> seen;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const auto known = std::find(std::begin(kFetchOptions), std::end(kFetchOptions), arg);
    if (known == std::end(kFetchOptions)) {
      return "--fetch och --fetch-result tar bara --draw, --coupon, --save-coupon, "
             "--odds-method och --api-base, inte " +
             Quoted(arg);
    }
    if (seen[arg]++ > 0) return "flaggan " + std::string(arg) + " anges två gånger";
    if (i + 1 >= args.size()) return "flaggan " + std::string(arg) + " kräver ett värde";
    if (std::string error = TakeFetchValue(arg, args[++i], read); !error.empty()) return error;
  }
  if (seen["--fetch"] + seen["--fetch-result"] > 1)
    return "--fetch och --fetch-result utesluter varandra";
  if (read.result) {
    if (!read.draw) return "--fetch-result GAME kräver --draw N";
    if (seen["--odds-method"])
      return "--fetch-result GAME tar bara --draw, --coupon, --save-coupon och --api-base";
    if (seen["--coupon"] && !seen["--save-coupon"])
      return "--fetch-result GAME --coupon DOC kräver --save-coupon FILE";
  } else if (read.savePath.empty()) {
    return "--fetch GAME kräver --save-coupon FILE";
  }
  return {};
}

// 1234567 kr as "1 234 567 kr", with öre only when there are some.
std::string Kronor(double amount) {
  const auto ore = static_cast<long long>(std::llround(amount * 100));
  const std::string digits = std::to_string(ore / 100);
  std::string whole;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) whole += ' ';
    whole += digits[i];
  }
  if (ore % 100 != 0) {
    const std::string cents = std::to_string(ore % 100 + 100).substr(1);
    whole += "," + cents;
  }
  return whole + " kr";
}

// The result as --grade RESULT takes it, then the cancelled matches and the
// payouts per level.
std::string ResultText(const DrawResult& result, const DrawProduct& product) {
  std::string text =
      std::string(product.name) + " omgång " + std::to_string(result.drawNumber) + "\n";
  std::string cancelled;
  for (const EventOutcome& event : result.events) {
    if (!event.cancelled) continue;
    cancelled += cancelled.empty() ? "" : ", ";
    cancelled +=
        "match " + std::to_string(event.number) +
        (event.outcome == kOutcomeOpen ? " (ej lottad än)"
                                       : std::string(" (lottad ") + "1X2"[event.outcome] + ")");
  }
  text += "Rätt rad: " + GradeResultText(result) + "\n";
  if (!cancelled.empty()) text += "Inställda: " + cancelled + "\n";
  if (result.payouts.empty()) text += "Utdelningen är inte publicerad än\n";
  for (const PrizePayout& payout : result.payouts) {
    text += std::to_string(payout.right) + " rätt: " + std::to_string(payout.winners) +
            " vinnare, " + Kronor(payout.amount) + "\n";
  }
  return text;
}

net::FetchOptions CommandLineFetch() {
  return {};
}

// The document a fetch goes into: --coupon's, which must be of the game, or
// a fresh one; nullopt after telling why not.
std::optional<CouponDocument> DocumentToFill(const FetchArguments& read, Output& output) {
  const int32_t game = *GameOfOption(read.game);
  if (!read.couponPath) return NewCouponDocument(game);
  DocumentResult opened = ReadCouponDocumentFile(*read.couponPath);
  if (!opened.document) {
    Tell(output, kProgramName, opened.error);
    return std::nullopt;
  }
  if (opened.document->game != game) {
    Tell(output, kProgramName,
         "Kupongen gäller " + std::string(Rules(opened.document->game).name) + ", inte " +
             std::string(DrawProductOf(read.game)->name));
    return std::nullopt;
  }
  return std::move(opened.document);
}

bool Save(const FetchArguments& read, const CouponDocument& document, Output& output) {
  try {
    SaveCouponDocument(read.savePath, document);
  } catch (const std::exception& error) {
    Tell(output, kProgramName, error.what());
    return false;
  }
  return true;
}

int FetchResultCommand(const FetchArguments& read, Output& output) {
  const DrawProduct& product = *DrawProductOf(read.game);
  const int matches = MatchesInPlay(*GameOfOption(read.game));
  const net::Fetched<DrawResult> fetched = net::FetchDrawResult(
      net::ApiBase(read.apiBase), product, *read.draw, matches, CommandLineFetch());
  if (!fetched.value) {
    Tell(output, kProgramName, fetched.error);
    return kExitRefused;
  }
  if (!read.savePath.empty()) {
    std::optional<CouponDocument> document = DocumentToFill(read, output);
    if (!document) return kExitRefused;
    if (std::string problem = PutResultInDocument(*fetched.value, *document); !problem.empty()) {
      Tell(output, kProgramName, problem);
      return kExitRefused;
    }
    if (!Save(read, *document, output)) return kExitRefused;
  }
  return WriteAll(output, ResultText(*fetched.value, product)) ? kExitDone : kExitRefused;
}

int FetchDrawCommand(const FetchArguments& read, Output& output) {
  const DrawProduct& product = *DrawProductOf(read.game);
  const int32_t game = *GameOfOption(read.game);
  std::optional<CouponDocument> opened = DocumentToFill(read, output);
  if (!opened) return kExitRefused;
  CouponDocument& document = *opened;
  const std::string base = net::ApiBase(read.apiBase);
  const int matches = MatchesInPlay(game);
  const net::Fetched<net::DrawWithJackpot> fetched =
      net::FetchDrawWithJackpot(base, product, read.draw, matches, CommandLineFetch());
  if (!fetched.value) {
    Tell(output, kProgramName, fetched.error);
    return kExitRefused;
  }
  const Draw& draw = fetched.value->draw;
  if (read.method) document.oddsMethod = *read.method;
  if (std::string problem = PutDrawInDocument(
          draw, net::FetchedSnapshot(draw, product, fetched.value->jackpot), document);
      !problem.empty()) {
    Tell(output, kProgramName, problem);
    return kExitRefused;
  }
  if (!Save(read, document, output)) return kExitRefused;
  if (!fetched.value->jackpotNote.empty()) Tell(output, kProgramName, fetched.value->jackpotNote);
  Tell(output, kProgramName,
       std::string(product.name) + " omgång " + std::to_string(draw.number) +
           " hämtad, kupongen sparad: " + read.savePath);
  return kExitDone;
}

// "fetch:GAME:N" read; nullopt with `error` when malformed.
struct FetchedDraw {
  std::string game;
  int draw = 0;
};
std::optional<FetchedDraw> ReadFetchedDraw(std::string_view results, std::string* error) {
  std::string_view rest = results.substr(kFetchedResultPrefix.size());
  const size_t colon = rest.find(':');
  FetchedDraw wanted;
  wanted.game = rest.substr(0, colon);
  if (!DrawProductOf(wanted.game) || !GameOfOption(wanted.game)) {
    *error = "RESULT fetch:GAME:N tar GAME " + FetchableGames() + ", inte " + Quoted(wanted.game);
    return std::nullopt;
  }
  const std::string_view number =
      colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  const auto [end, failure] =
      std::from_chars(number.data(), number.data() + number.size(), wanted.draw);
  if (number.empty() || failure != std::errc() || end != number.data() + number.size() ||
      wanted.draw < 1 || wanted.draw > 10'000'000) {
    *error =
        "RESULT fetch:GAME:N tar omgångens nummer N, ett positivt heltal, inte " + Quoted(number);
    return std::nullopt;
  }
  return wanted;
}

}  // namespace

bool IsFetchedResult(std::string_view results) {
  return results.starts_with(kFetchedResultPrefix);
}

std::string FetchedResultProblem(std::string_view results) {
  std::string error;
  ReadFetchedDraw(results, &error);
  return error;
}

std::optional<FetchedResultText> FetchResultText(std::string_view results, bool forFollow,
                                                 Output& output) {
  std::string error;
  const std::optional<FetchedDraw> wanted = ReadFetchedDraw(results, &error);
  if (!wanted) {
    Tell(output, kProgramName, error);
    return std::nullopt;
  }
  const DrawProduct& product = *DrawProductOf(wanted->game);
  const int32_t game = *GameOfOption(wanted->game);
  const net::Fetched<DrawResult> fetched = net::FetchDrawResult(
      net::ApiBase(""), product, wanted->draw, MatchesInPlay(game), CommandLineFetch());
  if (!fetched.value) {
    Tell(output, kProgramName, fetched.error);
    return std::nullopt;
  }
  FetchedResultText read{
      game, forFollow ? FollowResultText(*fetched.value) : GradeResultText(*fetched.value)};
  return read;
}

bool IsFetchCall(std::span<const std::string_view> args) {
  for (const std::string_view arg : args) {
    if (arg == "--") return false;
    if (arg == "--fetch" || arg == "--fetch-result") return true;
  }
  return false;
}

int FetchCommand(std::span<const std::string_view> args, Output& output) {
  FetchArguments read;
  if (std::string error = ParseFetchArguments(args, read); !error.empty()) {
    Tell(output, kProgramName, error + std::string(kSeeHelp));
    return kExitMalformed;
  }
  return read.result ? FetchResultCommand(read, output) : FetchDrawCommand(read, output);
}

std::string_view FetchHelpText() {
  static const std::string help =
      "\n"
      "This week's draw from the operator's draw service:\n"
      "  --fetch GAME    the open draw of GAME (" +
      FetchableGames() +
      "): teams, odds, the public's\n"
      "                  streck, the turnover, the jackpot, and the chances the odds imply,\n"
      "                  into the document of --save-coupon FILE (with --coupon DOC: into a\n"
      "                  copy of DOC, keeping its marks and conditions); each fetch adds a\n"
      "                  snapshot (time, source, odds, streck, turnover, jackpot) and the\n"
      "                  coupon takes its values. A draw whose jackpot cannot be had is\n"
      "                  fetched all the same, with a line saying so and no jackpot.\n"
      "                  Topptipset lists no draws: its open draw is looked for by number,\n"
      "                  from the draw the jackpot list names, in at most " +
      std::to_string(net::kMaxDrawTries) +
      " requests\n"
      "  --draw N        the draw numbered N instead of the open one\n"
      "  --odds-method M how the odds' margin is taken out: proportional (default) or power;\n"
      "                  kept in the document\n"
      "  --fetch-result GAME --draw N  the draw's result as --grade RESULT takes it (- for a\n"
      "                  sign not yet decided; a cancelled match stays - until its sign is\n"
      "                  drawn) and the official payout per level; with --save-coupon FILE\n"
      "                  (and --coupon DOC) the signs go into the document's results too\n"
      "  --api-base URL  the service's address (default " +
      std::string(net::kDefaultApiBase) + ", or the\n                  environment's " +
      net::kApiBaseVariable +
      ")\n"
      "  The service is unofficial: the operator documents none of it and can change it\n"
      "  any week. Every field is checked; an answer that does not fit is refused with a\n"
      "  message naming the field, and no file is written.\n"
      "  Example: spelkub_rader --fetch stryktipset --save-coupon vecka.spelkub\n";
  return help;
}

}  // namespace spelkub::cli
