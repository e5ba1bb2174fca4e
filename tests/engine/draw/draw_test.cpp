#include "draw/draw_service.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "draw/draw_coupon.h"
#include "support/draw_answers.h"

namespace spelkub {
namespace {

using test::DrawBody;
using test::ResultBody;
using Json = nlohmann::json;

// The number a "%.2f" text of `value` stands for.
double Hundredths(double value) {
  return std::strtod(std::to_string(std::round(value * 100) / 100).c_str(), nullptr);
}

TEST(ServiceNumber, ReadsDecimalCommasAndSpacedThousands) {
  const struct {
    const char* text;
    double number;
  } cases[] = {
      {"2,45", 2.45},
      {"12 345 678,00", 12345678.0},
      {"12\xC2\xA0"
       "345,5",
       12345.5},
      {"1\xE2\x80\xAF"
       "000",
       1000.0},
      {"45", 45.0},
      {" 7,5 ", 7.5},
      {"0", 0.0},
  };
  for (const auto& c : cases) {
    const std::optional<double> number = ServiceNumber(c.text);
    ASSERT_TRUE(number.has_value()) << c.text;
    EXPECT_DOUBLE_EQ(*number, c.number) << c.text;
  }
  EXPECT_TRUE(std::isnan(ServiceNumber("").value()));
  EXPECT_TRUE(std::isnan(ServiceNumber("  ").value()));
}

TEST(ServiceNumber, RefusesWhatIsNoNumber) {
  for (const char* text : {"abc", "2.45", "2,4,5", ",5", "5,", "1 ,5", "12 345 x", "1e5", "inf",
                           "nan", "--1", "1-", "0x10", "1\xC2"}) {
    EXPECT_FALSE(ServiceNumber(text).has_value()) << text;
  }
}

TEST(DrawProducts, AreKeyedByTheGameWord) {
  ASSERT_NE(DrawProductOf("stryktipset"), nullptr);
  EXPECT_EQ(DrawProductOf("stryktipset")->productId, 1);
  EXPECT_EQ(DrawProductOf("topptipset-stryk")->path, "topptipsetstryk");
  EXPECT_FALSE(DrawProductOf("topptipset")->listsDraws);
  EXPECT_EQ(DrawProductOf("supertoto"), nullptr);
  const DrawProduct& europa = *DrawProductOf("europatipset");
  EXPECT_EQ(DrawAddress("http://127.0.0.1:8080", europa, 812),
            "http://127.0.0.1:8080/draw/1/europatipset/draws/812");
  EXPECT_EQ(ResultAddress("https://x", europa, 812),
            "https://x/draw/1/europatipset/draws/812/result");
  EXPECT_EQ(OpenDrawsAddress("https://x", europa), "https://x/draw/1/europatipset/draws");
  EXPECT_EQ(JackpotsAddress("https://x"), "https://x/draw/1/jackpots");
}

TEST(ParseDraw, ReadsEveryFieldOfARecordedStyleDraw) {
  const DrawParse<Draw> parsed = ParseDraw(Json{{"draw", DrawBody(4929)}}.dump(), 4929, 13);
  ASSERT_TRUE(parsed.value.has_value()) << parsed.error;
  const Draw& draw = *parsed.value;
  EXPECT_EQ(draw.number, 4929);
  EXPECT_TRUE(draw.IsOpen());
  EXPECT_EQ(draw.closeTime, "2026-12-12T15:59:00+01:00");
  EXPECT_DOUBLE_EQ(draw.turnover, test::kDrawTurnover);
  EXPECT_DOUBLE_EQ(draw.rowPrice, 1.0);
  ASSERT_EQ(draw.events.size(), 13u);
  for (int m = 1; m <= 13; ++m) {
    const DrawEvent& event = draw.events[m - 1];
    const test::EventNumbers numbers = test::NumbersOfEvent(m);
    EXPECT_EQ(event.number, m);
    EXPECT_EQ(event.home, "Hemma " + std::to_string(m));
    EXPECT_EQ(event.away, "Borta " + std::to_string(m));
    EXPECT_FALSE(event.cancelled);
    for (int sign = 0; sign < 3; ++sign) {
      EXPECT_DOUBLE_EQ(event.odds[sign], Hundredths(numbers.odds[sign])) << m;
      EXPECT_DOUBLE_EQ(event.streck[sign], std::floor(numbers.streck[sign])) << m;
      EXPECT_DOUBLE_EQ(event.refStreck[sign], std::floor(numbers.refStreck[sign])) << m;
    }
    EXPECT_DOUBLE_EQ(event.startOdds[1], 3.4);
  }
}

TEST(ParseDraw, TakesTheOneElementListAndPlacesEventsByNumber) {
  Json body = DrawBody(4929);
  std::swap(body["drawEvents"][0], body["drawEvents"][12]);
  const DrawParse<Draw> parsed = ParseDraw(Json{{"draws", {body}}}.dump(), 4929, 13);
  ASSERT_TRUE(parsed.value.has_value()) << parsed.error;
  EXPECT_EQ(parsed.value->events[0].home, "Hemma 1");
  EXPECT_EQ(parsed.value->events[12].home, "Hemma 13");
}

TEST(ParseDraw, LeavesOddsAndStreckNotGivenYetAsNone) {
  Json body = DrawBody(4929);
  body["drawEvents"][0]["odds"] = nullptr;
  body["drawEvents"][1].erase("svenskaFolket");
  body["drawEvents"][2]["odds"] = {{"one", ""}, {"x", ""}, {"two", ""}};
  body["drawEvents"][3]["svenskaFolket"] = {{"one", "0"}, {"x", "0"}, {"two", "0"}};
  body.erase("currentNetSale");
  const DrawParse<Draw> parsed = ParseDraw(Json{{"draw", body}}.dump(), 4929, 13);
  ASSERT_TRUE(parsed.value.has_value()) << parsed.error;
  EXPECT_TRUE(std::isnan(parsed.value->events[0].odds[0]));
  EXPECT_TRUE(std::isnan(parsed.value->events[1].streck[2]));
  EXPECT_TRUE(std::isnan(parsed.value->events[2].odds[1]));
  EXPECT_TRUE(std::isnan(parsed.value->events[3].streck[0]));
  EXPECT_TRUE(std::isnan(parsed.value->events[3].refStreck[0]));
  EXPECT_TRUE(std::isnan(parsed.value->turnover));
}

// Each case breaks one field of a sound answer; the message names it.
TEST(ParseDraw, RefusesWhatDoesNotFitNamingTheField) {
  const struct {
    void (*breakIt)(Json&);
    const char* message;
  } cases[] = {
      {[](Json& a) { a["draw"]["drawEvents"][2]["odds"]["one"] = "abc"; },
       "Fel i svaret, fältet draw.drawEvents[2].odds.one: \"abc\" är inget tal"},
      {[](Json& a) { a["draw"]["drawEvents"][2]["odds"]["x"] = true; },
       "Fel i svaret, fältet draw.drawEvents[2].odds.x: väntade ett tal, fick true"},
      {[](Json& a) { a["draw"]["drawEvents"][4]["odds"]["two"] = "1,00"; },
       "Fel i svaret, fältet draw.drawEvents[4].odds.two: odds måste vara större än 1"},
      {[](Json& a) { a["draw"]["drawEvents"][4]["odds"]["two"] = "0,50"; },
       "Fel i svaret, fältet draw.drawEvents[4].odds.two: \"0,50\" ligger utanför 1 till "
       "10000"},
      {[](Json& a) { a["draw"]["drawEvents"][4]["odds"]["two"] = ""; },
       "Fel i svaret, fältet draw.drawEvents[4].odds: har värden för bara 2 av 1, X och 2"},
      {[](Json& a) { a["draw"]["drawEvents"][4]["odds"].erase("x"); },
       "Fel i svaret: fältet draw.drawEvents[4].odds.x saknas"},
      {[](Json& a) { a["draw"]["drawEvents"][1]["svenskaFolket"]["one"] = "150"; },
       "Fel i svaret, fältet draw.drawEvents[1].svenskaFolket.one: \"150\" ligger utanför 0 "
       "till 100"},
      {[](Json& a) { a["draw"]["drawEvents"][1]["svenskaFolket"]["one"] = "80"; },
       "Fel i svaret, fältet draw.drawEvents[1].svenskaFolket: strecken 80, 25 och 17 "
       "summerar inte till 100"},
      {[](Json& a) { a["draw"]["drawEvents"][0].erase("eventNumber"); },
       "Fel i svaret: fältet draw.drawEvents[0].eventNumber saknas"},
      {[](Json& a) { a["draw"]["drawEvents"][0]["eventNumber"] = "1"; },
       "Fel i svaret, fältet draw.drawEvents[0].eventNumber: väntade ett heltal, fick texten "
       "\"1\""},
      {[](Json& a) { a["draw"]["drawEvents"][0]["eventNumber"] = 14; },
       "Fel i svaret, fältet draw.drawEvents[0].eventNumber: 14 ligger utanför 1 till 13"},
      {[](Json& a) { a["draw"]["drawEvents"][0]["eventNumber"] = 2; },
       "Fel i svaret, fältet draw.drawEvents[1].eventNumber: nummer 2 finns två gånger"},
      {[](Json& a) { a["draw"]["drawEvents"][6]["cancelled"] = "nej"; },
       "Fel i svaret, fältet draw.drawEvents[6].cancelled: väntade true eller false, fick "
       "texten \"nej\""},
      {[](Json& a) { a["draw"]["drawEvents"][3]["match"]["participants"].erase(1); },
       "Fel i svaret, fältet draw.drawEvents[3].match.participants: saknar bortalaget"},
      {[](Json& a) { a["draw"]["drawEvents"][3]["match"]["participants"][0]["name"] = 5; },
       "Fel i svaret, fältet draw.drawEvents[3].match.participants[0].name: väntade text, fick "
       "talet 5"},
      {[](Json& a) { a["draw"]["drawEvents"][3].erase("match"); },
       "Fel i svaret: fältet draw.drawEvents[3].match saknas"},
      {[](Json& a) { a["draw"]["drawEvents"].erase(12); },
       "Fel i svaret: omgång 4929 har 12 matcher, spelet har 13"},
      {[](Json& a) { a["draw"]["drawEvents"] = "inga"; },
       "Fel i svaret, fältet draw.drawEvents: väntade en lista, fick texten \"inga\""},
      {[](Json& a) { a["draw"]["currentNetSale"] = "-5,00"; },
       "Fel i svaret, fältet draw.currentNetSale: \"-5,00\" ligger utanför 0 till "
       "1000000000000"},
      {[](Json& a) { a["draw"]["drawNumber"] = 4930; },
       "Fel i svaret, fältet draw.drawNumber: väntade omgång 4929, fick 4930"},
      {[](Json& a) { a["draw"].erase("drawState"); }, "Fel i svaret: fältet draw.drawState saknas"},
      {[](Json& a) {
         a = {{"error", {{"code", 404}}}};
       },
       "Fel i svaret: fältet draw saknas"},
      {[](Json& a) { a["draw"] = Json::array(); },
       "Fel i svaret, fältet draw: väntade ett objekt, fick en lista"},
  };
  for (const auto& c : cases) {
    Json answer = {{"draw", DrawBody(4929)}};
    c.breakIt(answer);
    const DrawParse<Draw> parsed = ParseDraw(answer.dump(), 4929, 13);
    EXPECT_FALSE(parsed.value.has_value()) << c.message;
    EXPECT_EQ(parsed.error, c.message);
  }
}

TEST(ParseDraw, RefusesTextThatIsNoAnswer) {
  const struct {
    std::string text;
    const char* message;
  } cases[] = {
      {"", "Svaret är tomt"},
      {"<html><body>Not found</body></html>", "Svaret är ingen giltig JSON (fel vid tecken 1)"},
      {R"({"draw": {"drawNumber": 4)", "Svaret är ingen giltig JSON (fel vid tecken 26)"},
      {"[1, 2]", "Fel i svaret, fältet (svaret): väntade ett objekt, fick en lista"},
      {std::string(100, '[') + std::string(100, ']'),
       "Svaret är inte tjänstens: för djupt nästlat"},
  };
  for (const auto& c : cases) {
    const DrawParse<Draw> parsed = ParseDraw(c.text, 4929, 13);
    EXPECT_FALSE(parsed.value.has_value());
    EXPECT_EQ(parsed.error, c.message);
  }
  const std::string huge(kMaxDrawAnswerBytes + 1, ' ');
  EXPECT_EQ(ParseDraw(huge, 1, 13).error, "Svaret är för stort: 4194305 byte, högst 4194304 byte");
}

TEST(ParseOpenDraws, ReadsEveryListedDraw) {
  const Json answer = {{"draws", {DrawBody(4929), DrawBody(4930)}}};
  const auto parsed = ParseOpenDraws(answer.dump(), 13);
  ASSERT_TRUE(parsed.value.has_value()) << parsed.error;
  ASSERT_EQ(parsed.value->size(), 2u);
  EXPECT_EQ((*parsed.value)[1].number, 4930);
  EXPECT_EQ(ParseOpenDraws(R"({"draws": []})", 13).value->size(), 0u);
  EXPECT_EQ(ParseOpenDraws(Json{{"draws", {DrawBody(4929, 12)}}}.dump(), 13).error,
            "Fel i svaret: omgång 4929 har 12 matcher, spelet har 13");
  EXPECT_EQ(ParseOpenDraws(R"({"draws": {}})", 13).error,
            "Fel i svaret, fältet draws: väntade en lista, fick ett objekt");
}

TEST(ParseDrawResult, ReadsSignsCancelledMatchesAndPayoutsHighestFirst) {
  for (const Json& answer :
       {Json{{"result", ResultBody(4929)}}, Json{{"result", Json::array({ResultBody(4929)})}}}) {
    const DrawParse<DrawResult> parsed = ParseDrawResult(answer.dump(), 4929, 13);
    ASSERT_TRUE(parsed.value.has_value()) << parsed.error;
    const DrawResult& result = *parsed.value;
    ASSERT_EQ(result.events.size(), 13u);
    EXPECT_EQ(result.events[0].outcome, 0);
    EXPECT_EQ(OpenSigns(result.events[0]), 1u);
    EXPECT_EQ(result.events[1].outcome, 1);
    // Cancelled with the drawn sign published: that sign only.
    EXPECT_TRUE(result.events[2].cancelled);
    EXPECT_EQ(OpenSigns(result.events[2]), 2u);
    // Cancelled and not drawn yet: every sign open.
    EXPECT_TRUE(result.events[4].cancelled);
    EXPECT_EQ(result.events[4].outcome, kOutcomeOpen);
    EXPECT_EQ(OpenSigns(result.events[4]), 7u);
    EXPECT_FALSE(result.Complete());
    ASSERT_EQ(result.payouts.size(), 4u);
    EXPECT_EQ(result.payouts[0].right, 13);
    EXPECT_EQ(result.payouts[0].winners, 3);
    EXPECT_DOUBLE_EQ(result.payouts[0].amount, 1234567.0);
    EXPECT_EQ(result.payouts[1].winners, 112);
    EXPECT_EQ(result.payouts[3].right, 10);
    EXPECT_DOUBLE_EQ(result.payouts[3].amount, 35.0);
    EXPECT_DOUBLE_EQ(result.turnover, 23456789.0);
  }
}

TEST(ParseDrawResult, RefusesWhatDoesNotFit) {
  const struct {
    void (*breakIt)(Json&);
    const char* message;
  } cases[] = {
      {[](Json& a) { a["result"]["events"][0]["outcome"] = "x"; },
       "Fel i svaret, fältet result.events[0].outcome: väntade 1, X eller 2, fick \"x\""},
      {[](Json& a) { a["result"]["distribution"][0]["name"] = "tio rätt"; },
       "Fel i svaret, fältet result.distribution[0].name: väntade \"N rätt\" med N från 1 till "
       "13, fick \"tio rätt\""},
      {[](Json& a) { a["result"]["distribution"][0]["name"] = "13 rätt"; },
       "Fel i svaret, fältet result.distribution[1].name: 13 rätt finns två gånger"},
      {[](Json& a) { a["result"]["distribution"][2]["winners"] = "1,5"; },
       "Fel i svaret, fältet result.distribution[2].winners: väntade ett antal, fick \"1,5\""},
      {[](Json& a) { a["result"]["distribution"][2].erase("amount"); },
       "Fel i svaret: fältet result.distribution[2].amount saknas"},
      {[](Json& a) { a["result"]["events"].erase(0); },
       "Fel i svaret: resultatet har 12 matcher, spelet har 13"},
      {[](Json& a) { a["result"]["drawNumber"] = 4000; },
       "Fel i svaret, fältet result.drawNumber: väntade omgång 4929"},
      {[](Json& a) { a["result"] = Json::array(); }, "Omgång 4929 har inget resultat ännu"},
      {[](Json& a) { a.erase("result"); }, "Fel i svaret: fältet result saknas"},
  };
  for (const auto& c : cases) {
    Json answer = {{"result", ResultBody(4929)}};
    c.breakIt(answer);
    const DrawParse<DrawResult> parsed = ParseDrawResult(answer.dump(), 4929, 13);
    EXPECT_FALSE(parsed.value.has_value()) << c.message;
    EXPECT_EQ(parsed.error, c.message);
  }
}

TEST(ParseJackpot, SumsTheAmountsOfTheProductsDraw) {
  const std::string text = test::JackpotsBody().dump();
  const DrawProduct& stryk = *DrawProductOf("stryktipset");
  EXPECT_DOUBLE_EQ(ParseJackpot(text, stryk, 4929).value.value(), 10500000.0);
  // No entry for the draw is no jackpot known, not a jackpot of 0.
  EXPECT_TRUE(std::isnan(ParseJackpot(text, stryk, 4931).value.value()));
  Json empty = test::JackpotsBody();
  empty["jackpots"][2]["jackpots"] = Json::array();
  EXPECT_DOUBLE_EQ(ParseJackpot(empty.dump(), stryk, 4930).value.value(), 0.0);
  EXPECT_DOUBLE_EQ(ParseJackpot(text, *DrawProductOf("europatipset"), 4929).value.value(), 7.0);
  Json broken = test::JackpotsBody();
  broken["jackpots"][0]["jackpots"][1]["jackpotAmount"] = "mycket";
  EXPECT_EQ(ParseJackpot(broken.dump(), stryk, 4929).error,
            "Fel i svaret, fältet jackpots[0].jackpots[1].jackpotAmount: \"mycket\" är inget tal");
  // An entry of another product is read as strictly.
  broken = test::JackpotsBody();
  broken["jackpots"][1]["jackpots"][0]["jackpotAmount"] = true;
  EXPECT_EQ(ParseJackpot(broken.dump(), stryk, 4929).error,
            "Fel i svaret, fältet jackpots[1].jackpots[0].jackpotAmount: väntade ett tal, fick "
            "true");
  broken = test::JackpotsBody();
  broken["jackpots"][2]["productId"] = "1";
  EXPECT_EQ(ParseJackpot(broken.dump(), stryk, 4929).error,
            "Fel i svaret, fältet jackpots[2].productId: väntade ett heltal, fick texten \"1\"");
}

// The draw numbers a product is looked for at: its entries', highest first.
// A product's draw listed twice is refused: its jackpot would be unclear (and
// summed, could pass what a coupon document holds).
TEST(ParseJackpot, NamesTheDrawsOfAProduct) {
  Json answer = test::JackpotsBody();
  answer["jackpots"].push_back(
      {{"productId", 1}, {"drawNumber", 4925}, {"jackpots", Json::array()}});
  const std::vector<JackpotEntry> entries = ParseJackpots(answer.dump()).value.value();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(JackpotDrawNumbers(entries, *DrawProductOf("stryktipset")),
            (std::vector<int>{4930, 4929, 4925}));
  answer["jackpots"][3]["drawNumber"] = 4929;
  EXPECT_EQ(ParseJackpots(answer.dump()).error,
            "Fel i svaret, fältet jackpots[3]: produkt 1 omgång 4929 finns två gånger");
  EXPECT_EQ(JackpotDrawNumbers(entries, *DrawProductOf("europatipset")), (std::vector<int>{4929}));
  EXPECT_TRUE(JackpotDrawNumbers(entries, *DrawProductOf("topptipset")).empty());
  EXPECT_DOUBLE_EQ(JackpotOf(entries, *DrawProductOf("stryktipset"), 4929), 10500000.0);
  EXPECT_TRUE(std::isnan(JackpotOf(entries, *DrawProductOf("topptipset"), 4929)));
}

Draw TestDraw(int number = 4929) {
  return ParseDraw(Json{{"draw", DrawBody(number)}}.dump(), number, 13).value.value();
}

DrawSnapshot SnapshotAt(const Draw& draw, const char* time) {
  return SnapshotOfDraw(draw, time, "stryktipset omgång " + std::to_string(draw.number));
}

TEST(PutDrawInDocument, GivesTeamsOddsStreckTurnoverAndTheOddsChances) {
  const Draw draw = TestDraw();
  for (OddsMethod method : {OddsMethod::kProportional, OddsMethod::kPower}) {
    CouponDocument document = NewCouponDocument(kStryktipset);
    document.oddsMethod = method;
    document.marks[0] = true;
    document.results[0] = 2;
    ASSERT_EQ(PutDrawInDocument(draw, SnapshotAt(draw, "2026-12-08T17:30:00Z"), document), "");
    EXPECT_TRUE(document.marks[0]);
    EXPECT_EQ(document.results[0], 2);
    EXPECT_DOUBLE_EQ(document.pool.turnover, test::kDrawTurnover);
    ASSERT_EQ(document.snapshots.size(), 1u);
    EXPECT_EQ(document.chosenSnapshot, 0);
    EXPECT_EQ(document.snapshots[0].draw, 4929);
    EXPECT_EQ(document.snapshots[0].time, "2026-12-08T17:30:00Z");
    std::string error;
    const auto chances = OddsToChances(document.values, 13, &error, method);
    ASSERT_TRUE(chances.has_value()) << error;
    for (int m = 0; m < 13; ++m) {
      EXPECT_EQ(document.values.match[m].home, draw.events[m].home);
      for (int sign = 0; sign < 3; ++sign) {
        EXPECT_EQ(document.values.match[m].odds[sign], draw.events[m].odds[sign]);
        EXPECT_EQ(document.values.match[m].streck[sign], draw.events[m].streck[sign]);
        EXPECT_EQ(document.snapshots[0].refStreck[m][sign], draw.events[m].refStreck[sign]);
        EXPECT_DOUBLE_EQ(document.values.match[m].chance[sign], 100 * (*chances)[m][sign]);
      }
    }
    // The document reads back as it was written, snapshots and method too.
    const std::string text = CouponDocumentText(document);
    const DocumentResult read = LoadCouponDocument(text);
    ASSERT_TRUE(read.document.has_value()) << read.error;
    EXPECT_EQ(CouponDocumentText(*read.document), text);
    EXPECT_EQ(read.document->oddsMethod, method);
  }
}

TEST(PutDrawInDocument, RefusesAnotherGamesDrawAndLeavesTheDocument) {
  const Draw draw = TestDraw();
  CouponDocument document = NewCouponDocument(kSupertoto);
  document.values.match[0].home = "AIK";
  EXPECT_EQ(PutDrawInDocument(draw, SnapshotAt(draw, "t"), document),
            "Omgången har 13 matcher, Supertoto har 14");
  EXPECT_EQ(document.values.match[0].home, "AIK");
  EXPECT_TRUE(std::isnan(document.pool.turnover));
  EXPECT_TRUE(document.snapshots.empty());
}

// Each fetch adds a snapshot; choosing an older one brings its numbers back,
// and the streck moves are told against the one before and the measurement.
TEST(Snapshots, EachFetchAddsOneAndTheChosenGivesTheValues) {
  Json later = DrawBody(4929);
  later["drawEvents"][0]["svenskaFolket"] = {{"one", "70"},    {"x", "20"},    {"two", "10"},
                                             {"refOne", "59"}, {"refX", "25"}, {"refTwo", "16"}};
  later["drawEvents"][0]["odds"] = {{"one", "1,30"}, {"x", "5,00"}, {"two", "9,00"}};
  later["currentNetSale"] = "20 000 000,00";
  const Draw first = TestDraw();
  const Draw second = ParseDraw(Json{{"draw", later}}.dump(), 4929, 13).value.value();
  CouponDocument document = NewCouponDocument(kStryktipset);
  ASSERT_EQ(PutDrawInDocument(first, SnapshotAt(first, "2026-12-08T10:00:00Z"), document), "");
  const StreckMove none = StreckMoveOf(document, 1);
  EXPECT_TRUE(std::isnan(none.sincePrevious[0]));
  EXPECT_EQ(none.sinceMeasurement[0], 59.0 - 57.0);
  ASSERT_EQ(PutDrawInDocument(second, SnapshotAt(second, "2026-12-08T18:00:00Z"), document), "");
  ASSERT_EQ(document.snapshots.size(), 2u);
  EXPECT_EQ(document.chosenSnapshot, 1);
  EXPECT_EQ(document.values.match[0].streck, (SignValues{70, 20, 10}));
  EXPECT_EQ(document.pool.turnover, 20000000.0);
  const StreckMove moved = StreckMoveOf(document, 1);
  EXPECT_EQ(moved.sincePrevious, (SignValues{70.0 - 59, 20.0 - 25, 10.0 - 16}));
  EXPECT_EQ(moved.sinceMeasurement, (SignValues{70.0 - 59, 20.0 - 25, 10.0 - 16}));
  EXPECT_EQ(StreckMoveOf(document, 2).sincePrevious, (SignValues{0, 0, 0}));

  // A snapshot's jackpot becomes the pool's; one without leaves the pool's.
  document.snapshots[0].jackpot = 2500000;
  document.pool.jackpot = 100;
  ChooseSnapshot(document, 1);
  EXPECT_EQ(document.pool.jackpot, 100.0);
  ChooseSnapshot(document, 0);
  EXPECT_EQ(document.pool.jackpot, 2500000.0);
  EXPECT_EQ(document.values.match[0].streck, first.events[0].streck);
  EXPECT_EQ(document.values.match[0].odds, first.events[0].odds);
  EXPECT_EQ(document.pool.turnover, test::kDrawTurnover);
  EXPECT_TRUE(std::isnan(StreckMoveOf(document, 1).sincePrevious[0]));
  const DocumentResult read = LoadCouponDocument(CouponDocumentText(document));
  ASSERT_TRUE(read.document.has_value()) << read.error;
  EXPECT_EQ(read.document->chosenSnapshot, 0);

  // Another draw starts the snapshots afresh.
  const Draw next = TestDraw(4930);
  ASSERT_EQ(PutDrawInDocument(next, SnapshotAt(next, "2026-12-15T10:00:00Z"), document), "");
  ASSERT_EQ(document.snapshots.size(), 1u);
  EXPECT_EQ(document.snapshots[0].draw, 4930);
}

TEST(Snapshots, TheReaderRefusesWhatDoesNotFit) {
  CouponDocument document = NewCouponDocument(kStryktipset);
  const Draw draw = TestDraw();
  ASSERT_EQ(PutDrawInDocument(draw, SnapshotAt(draw, "2026-12-08T10:00:00Z"), document), "");
  const std::string good = CouponDocumentText(document);
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
  };
  const auto refusal = [](const std::string& text) {
    const DocumentResult read = LoadCouponDocument(text);
    EXPECT_FALSE(read.document.has_value());
    return read.error.substr(read.error.find(':') + 2);
  };
  EXPECT_EQ(refusal(replaced("draw = 4929", "draw = 0")),
            "[[snapshot]]: \"draw\" ska vara ett positivt heltal");
  EXPECT_EQ(refusal(replaced("chosen = true\n", "chosen = true\nextra = 1\n")),
            "[[snapshot]]: okänd nyckel \"extra\"");
  EXPECT_EQ(refusal(replaced("odds = [[", "odds = [[], [")),
            "[[snapshot]]: \"odds\" ska ha en lista per match, 13 listor");
  EXPECT_EQ(refusal(replaced("streck = [[59.0, 25.0, 16.0]", "streck = [[59.0, 25.0]")),
            "\"streck\" ska vara en lista med tre tal, för 1, X och 2");
  EXPECT_EQ(refusal(replaced("\nsource = ", "\nsourc = ")), "[[snapshot]]: okänd nyckel \"sourc\"");
  const std::string block = good.substr(good.find("\n[[snapshot]]"));
  EXPECT_EQ(refusal(good + block), "[[snapshot]]: bara en ögonblicksbild kan vara vald");
  EXPECT_EQ(refusal("odds_method = \"shin\"\n" + good),
            "okänd metod \"shin\", väntade proportional eller power");
}

TEST(PutResultInDocument, GivesTheSignsAndLeavesOpenMatchesWithout) {
  const DrawResult result =
      ParseDrawResult(Json{{"result", ResultBody(4929)}}.dump(), 4929, 13).value.value();
  CouponDocument document = NewCouponDocument(kStryktipset);
  ASSERT_EQ(PutResultInDocument(result, document), "");
  EXPECT_EQ(document.results[0], 0);
  EXPECT_EQ(document.results[2], 1);
  EXPECT_EQ(document.results[4], kNoResult);
  EXPECT_EQ(document.results[12], 0);
}

// The power method against its definition: the three (1/o)^k sum to 1 and
// share one exponent; a plain scan of k brackets the same root.
TEST(PowerMethod, SolvesTheExponentSoTheChancesSumToOne) {
  std::mt19937 random(20261208);
  std::uniform_real_distribution<double> odds(1.05, 30.0);
  for (int trial = 0; trial < 200; ++trial) {
    MatchValues values;
    values.match[0].odds = {odds(random), odds(random), odds(random)};
    std::string error;
    const auto power = OddsToChances(values, 1, &error, OddsMethod::kPower);
    ASSERT_TRUE(power.has_value()) << error;
    const SignValues& o = values.match[0].odds;
    const double k = PowerMethodExponent(o);
    const auto sum = [&](double exponent) {
      return std::pow(1 / o[0], exponent) + std::pow(1 / o[1], exponent) +
             std::pow(1 / o[2], exponent);
    };
    EXPECT_NEAR((*power)[0][0] + (*power)[0][1] + (*power)[0][2], 1, 1e-12);
    for (int sign = 0; sign < 3; ++sign)
      EXPECT_DOUBLE_EQ((*power)[0][sign], std::pow(1 / o[sign], k));
    // A scan in steps of 1/1000 finds the sign change at the same k.
    double scanned = 0;
    while (sum(scanned + 0.001) > 1) scanned += 0.001;
    EXPECT_GE(k, scanned - 1e-12);
    EXPECT_LE(k, scanned + 0.001 + 1e-12);
  }
}

TEST(PowerMethod, TakesMoreOfTheMarginFromTheLongShot) {
  MatchValues values;
  values.match[0].odds = {1.30, 5.00, 9.00};  // 107 % book
  std::string error;
  const auto power = OddsToChances(values, 1, &error, OddsMethod::kPower);
  const auto proportional = OddsToChances(values, 1, &error, OddsMethod::kProportional);
  ASSERT_TRUE(power && proportional);
  EXPECT_GT((*power)[0][0], (*proportional)[0][0]);
  EXPECT_LT((*power)[0][2], (*proportional)[0][2]);
  // Without a margin both leave the odds' chances as they are.
  values.match[0].odds = {2.0, 4.0, 4.0};
  const auto fair = OddsToChances(values, 1, &error, OddsMethod::kPower);
  EXPECT_NEAR((*fair)[0][0], 0.5, 1e-12);
  EXPECT_NEAR((*fair)[0][2], 0.25, 1e-12);
}

}  // namespace
}  // namespace spelkub
