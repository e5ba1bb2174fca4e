// The draw service's answers on any bytes: every reader of engine/draw (the
// open draws, one draw, a result, the jackpots, the service's numbers) either
// refuses with a message or gives values within the ranges it promises, and a
// draw it reads goes into a coupon document that reads back.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "document/coupon_document.h"
#include "draw/draw_coupon.h"
#include "draw/draw_service.h"
#include "fuzz_check.h"

namespace {

using namespace spelkub;

// The draw number the seeds' answers are about.
constexpr int kDrawNumber = 4929;

template <typename T>
bool Refused(const DrawParse<T>& parse) {
  SPELKUB_FUZZ_CHECK(parse.value.has_value() == parse.error.empty());
  return !parse.value;
}

void CheckTriple(const SignValues& values, double lowest, double highest) {
  const bool none = std::isnan(values[0]);
  for (const double value : values) {
    SPELKUB_FUZZ_CHECK(std::isnan(value) == none);
    if (!none) SPELKUB_FUZZ_CHECK(value >= lowest && value <= highest);
  }
}

void CheckDraw(const Draw& draw, int matches) {
  SPELKUB_FUZZ_CHECK(draw.number >= 1);
  SPELKUB_FUZZ_CHECK(draw.events.size() == static_cast<size_t>(matches));
  SPELKUB_FUZZ_CHECK(std::isnan(draw.turnover) || draw.turnover >= 0);
  SPELKUB_FUZZ_CHECK(std::isnan(draw.rowPrice) || draw.rowPrice > 0);
  for (size_t i = 0; i < draw.events.size(); ++i) {
    const DrawEvent& event = draw.events[i];
    SPELKUB_FUZZ_CHECK(event.number == static_cast<int>(i) + 1);
    CheckTriple(event.odds, 1, 10000);
    CheckTriple(event.startOdds, 1, 10000);
    CheckTriple(event.streck, 0, 100);
    CheckTriple(event.refStreck, 0, 100);
    for (const double odds : event.odds) SPELKUB_FUZZ_CHECK(std::isnan(odds) || odds > 1);
    if (!std::isnan(event.streck[0])) {
      SPELKUB_FUZZ_CHECK(std::abs(event.streck[0] + event.streck[1] + event.streck[2] - 100) <= 3);
    }
  }
}

// A draw read is put into a fresh document of the game, which must be
// written and read back with the same snapshot.
void CheckInDocument(const Draw& draw, int32_t game, const DrawProduct& product, double jackpot) {
  CouponDocument document = NewCouponDocument(game);
  const DrawSnapshot snapshot = SnapshotOfDraw(draw, "2026-12-08T17:30:00Z",
                                               std::string(product.option) + " omgång", jackpot);
  SPELKUB_FUZZ_CHECK(PutDrawInDocument(draw, snapshot, document).empty());
  SPELKUB_FUZZ_CHECK(document.chosenSnapshot == 0);
  const DocumentResult read = LoadCouponDocument(CouponDocumentText(document));
  if (!read.document) {
    std::fprintf(stderr, "the document of a draw read does not read back: %s\n",
                 read.error.c_str());
    SPELKUB_FUZZ_CHECK(read.document.has_value());
  }
  SPELKUB_FUZZ_CHECK(read.document->snapshots.size() == 1);
  SPELKUB_FUZZ_CHECK(read.document->snapshots[0].draw == draw.number);
}

void CheckResult(const DrawResult& result, int matches) {
  SPELKUB_FUZZ_CHECK(result.drawNumber == kDrawNumber);
  SPELKUB_FUZZ_CHECK(result.events.size() == static_cast<size_t>(matches));
  for (size_t i = 0; i < result.events.size(); ++i) {
    const EventOutcome& event = result.events[i];
    SPELKUB_FUZZ_CHECK(event.number == static_cast<int>(i) + 1);
    SPELKUB_FUZZ_CHECK(event.outcome >= kOutcomeOpen && event.outcome <= 2);
    const unsigned open = OpenSigns(event);
    SPELKUB_FUZZ_CHECK(event.outcome == kOutcomeOpen ? open == 7u : open == (1u << event.outcome));
  }
  for (size_t i = 0; i < result.payouts.size(); ++i) {
    const PrizePayout& payout = result.payouts[i];
    SPELKUB_FUZZ_CHECK(payout.right >= 1 && payout.right <= matches);
    if (i > 0) SPELKUB_FUZZ_CHECK(result.payouts[i - 1].right > payout.right);
    SPELKUB_FUZZ_CHECK(payout.winners >= 0);
    SPELKUB_FUZZ_CHECK(std::isfinite(payout.amount) && payout.amount >= 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz::GameAndText input = fuzz::SplitGame(data, size);
  const int32_t game = input.rules->game;
  const int matches = MatchesInPlay(game);
  const DrawProduct* own = DrawProductOf(input.rules->option);
  const DrawProduct& product = own != nullptr ? *own : kDrawProducts[0];

  const DrawParse<std::vector<JackpotEntry>> entries = ParseJackpots(input.text);
  const DrawParse<double> jackpot = ParseJackpot(input.text, product, kDrawNumber);
  SPELKUB_FUZZ_CHECK(Refused(entries) == Refused(jackpot));
  if (entries.value) {
    for (const JackpotEntry& entry : *entries.value) {
      SPELKUB_FUZZ_CHECK(std::isfinite(entry.amount) && entry.amount >= 0);
    }
    const double amount = JackpotOf(*entries.value, product, kDrawNumber);
    SPELKUB_FUZZ_CHECK(std::isnan(amount) == std::isnan(*jackpot.value));
    SPELKUB_FUZZ_CHECK(std::isnan(amount) || amount == *jackpot.value);
    const std::vector<int> numbers = JackpotDrawNumbers(*entries.value, product);
    for (size_t i = 1; i < numbers.size(); ++i) SPELKUB_FUZZ_CHECK(numbers[i - 1] > numbers[i]);
  }

  const DrawParse<std::vector<Draw>> draws = ParseOpenDraws(input.text, matches);
  if (!Refused(draws)) {
    for (const Draw& draw : *draws.value) CheckDraw(draw, matches);
  }
  const DrawParse<Draw> draw = ParseDraw(input.text, kDrawNumber, matches);
  if (!Refused(draw)) {
    SPELKUB_FUZZ_CHECK(draw.value->number == kDrawNumber);
    CheckDraw(*draw.value, matches);
    CheckInDocument(*draw.value, game, product,
                    entries.value && !std::isnan(*jackpot.value) ? *jackpot.value : kNoValue);
  }
  const DrawParse<DrawResult> result = ParseDrawResult(input.text, kDrawNumber, matches);
  if (!Refused(result)) CheckResult(*result.value, matches);

  if (const std::optional<double> number = ServiceNumber(input.text)) {
    SPELKUB_FUZZ_CHECK(std::isnan(*number) || std::isfinite(*number));
  }
  return 0;
}
