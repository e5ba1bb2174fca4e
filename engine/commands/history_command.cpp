#include "commands/history_command.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fstream>
#include <sstream>

#include "commands/value_command.h"
#include "coupon/games.h"
#include "handin/handin.h"
#include "handin/handin_reader.h"
#include "io/save_file.h"
#include "text/coupon_reader.h"
#include "value/system_value.h"

namespace spelkub {

namespace {

using history::KronorText;

// The bytes of a file, or the reason it cannot be read.
std::optional<std::string> FileBytes(const std::string& path, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "Kan inte läsa \"" + path + "\": " + ReadErrorReason(errno);
    return std::nullopt;
  }
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

// The expected return of the rows under the document's values, when it has
// them all; nullopt also when stopped.
std::optional<int64_t> ExpectedReturn(const RecordInput& input, const Work& work, bool& stopped) {
  if (!input.document) return std::nullopt;
  const ValueModelOutcome model =
      MakeCommandModel({input.game, input.document->values, input.document->pool});
  if (!model.model) return std::nullopt;
  const std::optional<SystemValue> value = ComputeSystemValue(*model.model, input.rows, {}, work);
  if (!value) {
    stopped = true;
    return std::nullopt;
  }
  const double factor = input.rowPriceOre ? static_cast<double>(*input.rowPriceOre) /
                                                static_cast<double>(RowPriceOre(Rules(input.game)))
                                          : 1.0;
  return static_cast<int64_t>(std::llround(value->expectedReturn * factor * 100));
}

std::string Pad(std::string text, size_t width, bool right) {
  // Width in characters: UTF-8 continuation bytes take no column.
  size_t columns = 0;
  for (const char c : text) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  if (columns >= width) return text;
  const std::string fill(width - columns, ' ');
  return right ? fill + text : text + fill;
}

}  // namespace

Refusable<RecordInput> ReadPlayedFiles(std::span<const std::string> paths) {
  using Answer = Refusable<RecordInput>;
  if (paths.empty()) return Answer::Refused("Välj minst en inlämningsfil.", kRecordCaption);
  RecordInput input;
  input.source = std::string(history::kSourceImport);
  for (size_t i = 0; i < paths.size(); ++i) {
    std::string error;
    const std::optional<std::string> bytes = FileBytes(paths[i], error);
    if (!bytes) return Answer::Refused(error, kRecordCaption);
    HandInRead read = ReadHandInText(*bytes);
    if (!read.content) {
      return Answer::Refused("\"" + paths[i] + "\": " + read.error, kRecordCaption);
    }
    if (i > 0 && read.content->game != input.game) {
      return Answer::Refused("Filerna är från olika spel.", kRecordCaption);
    }
    // The draw and the row stake the header hands the rows in with.
    const std::optional<int64_t> price =
        read.content->stake > 1
            ? std::optional<int64_t>(RowPriceOre(Rules(read.content->game)) * read.content->stake)
            : std::nullopt;
    if (i > 0 && (read.content->draw != input.draw || price != input.rowPriceOre)) {
      return Answer::Refused("Filerna har olika omgång eller insats.", kRecordCaption);
    }
    input.game = read.content->game;
    input.draw = read.content->draw;
    input.rowPriceOre = price;
    input.files.push_back(
        {paths[i], history::Sha256Hex(*bytes), static_cast<int64_t>(read.content->rows.size())});
    input.rows.insert(input.rows.end(), read.content->rows.begin(), read.content->rows.end());
  }
  if (input.rows.empty()) return Answer::Refused(std::string(kNoRowsRefusal), kRecordCaption);
  return {std::move(input), {}};
}

Refusable<RecordInput> ReadPlayedRows(const std::string& path) {
  using Answer = Refusable<RecordInput>;
  std::string error;
  const std::optional<std::string> bytes = FileBytes(path, error);
  if (!bytes) return Answer::Refused(error, kRecordCaption);
  HandInRead handIn = ReadHandInText(*bytes);
  if (handIn.content) {
    Refusable<RecordInput> input = ReadPlayedFiles(std::vector<std::string>{path});
    if (input.value) input.value->source = std::string(history::kSourceRows);
    return input;
  }
  const ReadResult read = ReadCouponText(*bytes);
  if (!read.coupon) return Answer::Refused("\"" + path + "\": " + read.error, kRecordCaption);
  if (read.coupon->rows.empty())
    return Answer::Refused(std::string(kNoRowsRefusal), kRecordCaption);
  RecordInput input;
  input.game = read.coupon->game;
  input.rows = read.coupon->rows;
  return {std::move(input), {}};
}

Refusable<Recorded> RecordPlayed(history::Database& database, const RecordInput& input,
                                 const Work& work) {
  using Answer = Refusable<Recorded>;
  if (input.rows.empty()) return Answer::Refused(std::string(kNoRowsRefusal), kRecordCaption);
  if (input.draw < 1) {
    return Answer::Refused("Ange omgångens nummer, ett positivt heltal.", kRecordCaption);
  }
  if (input.document && input.document->game != input.game) {
    return Answer::Refused("Kupongen är för " + std::string(Rules(input.document->game).name) +
                               " men raderna för " + std::string(Rules(input.game).name) + ".",
                           kRecordCaption);
  }
  history::PlayedCoupon coupon;
  coupon.game = input.game;
  coupon.draw = input.draw;
  coupon.closeTime = input.closeTime;
  if (input.document && CouponDocumentProblem(*input.document).empty()) {
    coupon.document = CouponDocumentText(*input.document);
  }
  coupon.rows = input.rows;
  coupon.files = input.files;
  const int64_t price = input.rowPriceOre.value_or(RowPriceOre(Rules(input.game)));
  coupon.stakeOre = price * static_cast<int64_t>(input.rows.size());
  coupon.payoutFactor = std::max<int64_t>(1, price / RowPriceOre(Rules(input.game)));
  coupon.source = input.source;
  bool stopped = false;
  coupon.expectedReturnOre = ExpectedReturn(input, work, stopped);
  if (stopped) return {};
  try {
    Recorded recorded;
    recorded.id = database.Record(coupon);
    recorded.text = "Bokförd: " + std::string(Rules(input.game).name) + " omgång " +
                    std::to_string(input.draw) + ", " + std::to_string(input.rows.size()) +
                    " rader, " + KronorText(coupon.stakeOre) + ".";
    if (coupon.expectedReturnOre) {
      recorded.text +=
          " Förväntad återbetalning enligt värderingen: " + KronorText(*coupon.expectedReturnOre) +
          ".";
    }
    return {std::move(recorded), {}};
  } catch (const history::HistoryError& error) {
    return Answer::Refused(error.what(), kRecordCaption);
  }
}

Refusable<std::vector<int>> ParseDrawSigns(std::string_view text, int32_t game) {
  const int matches = Rules(game).matches;
  std::string compact;
  for (const char c : text) {
    if (c != ' ' && c != ',') compact += c;
  }
  if (auto signs = history::SignsOf(compact, matches)) return {std::move(*signs), {}};
  return Refusable<std::vector<int>>::Refused(
      "Resultatet ska vara ett tecken 1, X eller 2 för var och en av " + std::to_string(matches) +
          " matcher, inte \"" + std::string(text) + "\".",
      kSettleCaption);
}

Refusable<std::vector<history::LevelPayout>> ParsePayouts(std::string_view text, int32_t game) {
  using Answer = Refusable<std::vector<history::LevelPayout>>;
  const GameRules& rules = Rules(game);
  std::vector<history::LevelPayout> payouts;
  std::string_view rest = text;
  while (true) {
    const size_t begin = rest.find_first_not_of(" ,;\t");
    if (begin == std::string_view::npos) break;
    rest.remove_prefix(begin);
    // A level ends where the next "N=" begins.
    size_t end = rest.find_first_of(",;\t=");
    if (end == std::string_view::npos || rest[end] != '=') {
      return Answer::Refused(
          "Utdelningen skrivs som 13=12345 12=230 …, inte \"" + std::string(rest) + "\".",
          kSettleCaption);
    }
    const std::string_view level = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    size_t amountEnd = rest.find_first_of(";\t");
    // A comma may be the decimal comma: the amount runs to the next blank
    // that precedes another "N=", or to a semicolon.
    for (size_t i = 0; i < rest.size() && i < amountEnd; ++i) {
      if (rest[i] == ' ' || rest[i] == ',') {
        const size_t next = rest.find_first_not_of(" ,", i);
        const size_t equals = rest.find('=', i);
        const size_t space = rest.find_first_of(" ,", next == std::string_view::npos ? i : next);
        if (equals != std::string_view::npos &&
            (space == std::string_view::npos || equals < space)) {
          amountEnd = i;
          break;
        }
      }
    }
    const std::string_view amount = rest.substr(0, std::min(amountEnd, rest.size()));
    rest.remove_prefix(amount.size());
    int correct = 0;
    for (const char c : level) {
      if (c < '0' || c > '9' || correct > 100) {
        return Answer::Refused("\"" + std::string(level) + "\" är ingen nivå.", kSettleCaption);
      }
      correct = correct * 10 + (c - '0');
    }
    bool known = false;
    for (const PrizeLevel& share : rules.prizeLevels) known = known || share.right == correct;
    if (level.empty() || !known) {
      return Answer::Refused(
          std::string(rules.name) + " har ingen vinstnivå \"" + std::string(level) + " rätt\".",
          kSettleCaption);
    }
    const std::optional<int64_t> ore = history::OreOf(amount);
    if (!ore) {
      return Answer::Refused("Utdelningen för " + std::to_string(correct) + " rätt, \"" +
                                 std::string(amount) + "\", är inget belopp i kronor.",
                             kSettleCaption);
    }
    for (const history::LevelPayout& given : payouts) {
      if (given.correct == correct) {
        return Answer::Refused(std::to_string(correct) + " rätt står två gånger.", kSettleCaption);
      }
    }
    payouts.push_back({correct, std::nullopt, *ore});
  }
  if (payouts.empty()) {
    return Answer::Refused("Ange utdelningen per vinstnivå, som 13=12345 12=230.", kSettleCaption);
  }
  std::sort(payouts.begin(), payouts.end(),
            [](const auto& a, const auto& b) { return a.correct > b.correct; });
  return {std::move(payouts), {}};
}

Refusable<history::DrawOutcome> OutcomeOfFetchedResult(const DrawResult& result, int32_t game,
                                                       std::string source) {
  using Answer = Refusable<history::DrawOutcome>;
  const GameRules& rules = Rules(game);
  const std::string draw = "Omgång " + std::to_string(result.drawNumber);
  if (result.events.size() != static_cast<size_t>(rules.matches)) {
    return Answer::Refused(draw + " har " + std::to_string(result.events.size()) + " matcher, " +
                               std::string(rules.name) + " har " + std::to_string(rules.matches) +
                               ".",
                           kSettleCaption);
  }
  history::DrawOutcome outcome;
  outcome.game = game;
  outcome.draw = result.drawNumber;
  outcome.source = std::move(source);
  for (const EventOutcome& event : result.events) {
    if (event.outcome == kOutcomeOpen) {
      return Answer::Refused(
          draw + " är inte avgjord än: match " + std::to_string(event.number) +
              (event.cancelled ? " är inställd och inte lottad än." : " har inget resultat än."),
          kSettleCaption);
    }
    outcome.signs.push_back(event.outcome);
  }
  if (result.payouts.empty()) {
    return Answer::Refused(
        "Utdelningen för omgång " + std::to_string(result.drawNumber) + " är inte publicerad än.",
        kSettleCaption);
  }
  for (const PrizePayout& payout : result.payouts) {
    const bool paid =
        std::any_of(rules.prizeLevels.begin(), rules.prizeLevels.end(),
                    [&](const PrizeLevel& level) { return level.right == payout.right; });
    if (!paid) {
      // A level the game does not pay may be listed with nothing paid.
      if (payout.amount == 0) continue;
      return Answer::Refused("Tjänsten anger utdelning för " + std::to_string(payout.right) +
                                 " rätt, en nivå som " + std::string(rules.name) + " inte har.",
                             kSettleCaption);
    }
    outcome.payouts.push_back(
        {payout.right, payout.winners, static_cast<int64_t>(std::llround(payout.amount * 100))});
  }
  return {std::move(outcome), {}};
}

Refusable<Settled> SettlePlayed(history::Database& database, const history::DrawOutcome& outcome) {
  Settled settled;
  try {
    settled.settlements = database.Settle(outcome);
  } catch (const history::HistoryError& error) {
    return Refusable<Settled>::Refused(error.what(), kSettleCaption);
  }
  const std::string name(Rules(outcome.game).name);
  settled.text = name + " omgång " + std::to_string(outcome.draw) + ", rätt rad " +
                 history::SignsText(outcome.signs) + ":";
  if (settled.settlements.empty()) {
    settled.text += "\nIngen bokförd kupong spelades på omgången; resultatet är sparat.";
  }
  int64_t total = 0;
  for (const history::Settlement& settlement : settled.settlements) {
    settled.text.append("\nKupong ").append(std::to_string(settlement.playedId)).append(":");
    for (const history::LevelWin& win : settlement.levels) {
      settled.text.append(" ")
          .append(std::to_string(win.correct))
          .append(" rätt: ")
          .append(std::to_string(win.rows))
          .append(win.rows == 1 ? " rad," : " rader,");
    }
    settled.text += " vinst " + KronorText(settlement.wonOre) + ".";
    total += settlement.wonOre;
  }
  if (settled.settlements.size() > 1) settled.text += "\nSammanlagt: " + KronorText(total) + ".";
  return {std::move(settled), {}};
}

HistoryTotals TotalsOf(std::span<const history::PlayedSummary> list) {
  HistoryTotals totals;
  for (const history::PlayedSummary& line : list) {
    ++totals.coupons;
    totals.stakeOre += line.stakeOre;
    if (!line.wonOre) continue;
    ++totals.settled;
    totals.wonOre += *line.wonOre;
    totals.settledStakeOre += line.stakeOre;
    if (line.expectedReturnOre) {
      totals.expectedOre += *line.expectedReturnOre;
      totals.expectedStakeOre += line.stakeOre;
    }
  }
  return totals;
}

std::vector<ReturnPoint> CumulativeReturn(std::span<const history::PlayedSummary> list) {
  std::vector<ReturnPoint> points;
  int64_t net = 0;
  std::optional<int64_t> expected;
  for (const history::PlayedSummary& line : list) {
    if (!line.wonOre) continue;
    net += *line.wonOre - line.stakeOre;
    if (line.expectedReturnOre) {
      expected = expected.value_or(0) + *line.expectedReturnOre - line.stakeOre;
    }
    points.push_back({line.date, net, expected});
  }
  return points;
}

std::string HistoryText(std::span<const history::PlayedSummary> list, bool tsv) {
  std::string text;
  if (tsv) {
    text = "id\tdatum\tspel\tomgang\trader\tinsats_kr\tvinst_kr\tnetto_kr\tforvantat_kr\n";
    for (const history::PlayedSummary& line : list) {
      text += std::to_string(line.id) + "\t" + line.date + "\t" + line.gameName + "\t" +
              std::to_string(line.draw) + "\t" + std::to_string(line.rows) + "\t" +
              history::KronorPlain(line.stakeOre) + "\t" +
              (line.wonOre ? history::KronorPlain(*line.wonOre) : "") + "\t" +
              (line.wonOre ? history::KronorPlain(*line.wonOre - line.stakeOre) : "") + "\t" +
              (line.expectedReturnOre ? history::KronorPlain(*line.expectedReturnOre) : "") + "\n";
    }
    return text;
  }
  text = Pad("Datum", 21, false) + Pad("Spel", 14, false) + Pad("Omgång", 8, true) +
         Pad("Rader", 10, true) + Pad("Insats", 16, true) + Pad("Vinst", 16, true) +
         Pad("Netto", 16, true) + "\n";
  for (const history::PlayedSummary& line : list) {
    text += Pad(line.date, 21, false) + Pad(line.gameName, 14, false) +
            Pad(std::to_string(line.draw), 8, true) + Pad(std::to_string(line.rows), 10, true) +
            Pad(KronorText(line.stakeOre), 16, true) +
            Pad(line.wonOre ? KronorText(*line.wonOre) : "ej rättad", 16, true) +
            Pad(line.wonOre ? KronorText(*line.wonOre - line.stakeOre) : "", 16, true) + "\n";
  }
  const HistoryTotals totals = TotalsOf(list);
  text += std::to_string(totals.coupons) + " kuponger, " + std::to_string(totals.settled) +
          " rättade. Insats " + KronorText(totals.stakeOre) + ", vinst " +
          KronorText(totals.wonOre) + ", netto för de rättade " +
          KronorText(totals.wonOre - totals.settledStakeOre) + ".\n";
  if (totals.expectedStakeOre > 0) {
    text += "Värderingen väntade netto " +
            KronorText(totals.expectedOre - totals.expectedStakeOre) +
            " för de rättade kuponger den värderade.\n";
  }
  return text;
}

}  // namespace spelkub
