// spelkub_rader --fetch and --fetch-result against a local server that
// answers as the draw service does, and as it should not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "coupon/games.h"
#include "net/draw_client.h"
#include "support/companion_run.h"
#include "support/draw_answers.h"
#include "support/local_server.h"
#include "support/temp_folder.h"

namespace spelkub {
namespace {

using Json = nlohmann::json;
using test::DrawBody;
using test::LocalServer;
using test::ServedAnswer;
using testing::RunCompanion;

const std::string kDraws = "/draw/1/stryktipset/draws";
const std::string kJackpots = "/draw/1/jackpots";

std::map<std::string, ServedAnswer> ServiceAnswers() {
  Json closed = DrawBody(4928);
  closed["drawState"] = "Closed";
  Json later = DrawBody(4930);
  Json brokenType = DrawBody(4934);
  brokenType["drawEvents"][6]["svenskaFolket"]["x"] = Json::array({25});
  Json missing = DrawBody(4935);
  missing["drawEvents"][8].erase("eventNumber");
  return {
      {kDraws, {.body = Json{{"draws", {closed, DrawBody(4929), later}}}.dump()}},
      {kDraws + "/4929", {.body = Json{{"draw", DrawBody(4929)}}.dump()}},
      {kDraws + "/4929/result", {.body = Json{{"result", {test::ResultBody(4929)}}}.dump()}},
      {kDraws + "/4931", {.status = 500, .body = "{}"}},
      {kDraws + "/4932", {.body = Json{{"draw", DrawBody(4932)}}.dump(), .cut = true}},
      {kDraws + "/4933", {.body = "", .endlessBytes = size_t{50} << 20}},
      {kDraws + "/4934", {.body = Json{{"draw", brokenType}}.dump()}},
      {kDraws + "/4935", {.body = Json{{"draw", missing}}.dump()}},
      {kDraws + "/4936", {.body = Json{{"draw", DrawBody(4936, 12)}}.dump()}},
      {kDraws + "/4937", {.body = "<html>Underhåll pågår</html>"}},
      {kJackpots, {.body = test::JackpotsBody().dump()}},
  };
}

class FetchCliTest : public ::testing::Test {
 protected:
  FetchCliTest() : server(ServiceAnswers()), folder("spelkub_fetch") {}

  std::string Path(const char* name) const { return folder.Path(name).string(); }

  LocalServer server;
  testing::TempFolder folder;
};

// The numbers typed as --chances, --streck, --turnover and --jackpot give the
// same --value figures as the fetched document.
TEST_F(FetchCliTest, AFetchedDrawIsValuedAsTheSameNumbersTyped) {
  const std::string coupon = Path("vecka.spelkub");
  const auto fetched = RunCompanion(
      {"--fetch", "stryktipset", "--api-base", server.Base(), "--save-coupon", coupon});
  ASSERT_EQ(fetched.status, 0) << fetched.err;
  EXPECT_EQ(fetched.err,
            "spelkub_rader: Stryktipset omgång 4929 hämtad, kupongen sparad: " + coupon + "\n");
  EXPECT_EQ(server.Requests(kDraws), 1);
  EXPECT_EQ(server.Requests(kJackpots), 1);

  const std::string rows = Path("rader.txt");
  ASSERT_EQ(RunCompanion(
                {"-o", rows, "1X2", "1X", "1", "1", "2", "X", "1", "1", "1", "1", "1", "12", "1"})
                .status,
            0);
  std::string chances;
  std::string streck;
  char number[40];
  for (int m = 1; m <= 13; ++m) {
    const test::EventNumbers numbers = test::NumbersOfEvent(m);
    double odds[3];
    double sum = 0;
    for (int sign = 0; sign < 3; ++sign) {
      // The odds as the service wrote them: two decimals.
      odds[sign] = std::round(numbers.odds[sign] * 100) / 100;
      sum += 1 / odds[sign];
    }
    for (int sign = 0; sign < 3; ++sign) {
      std::snprintf(number, sizeof number, "%.17g ", 100 * ((1 / odds[sign]) / sum));
      chances += number;
      streck += std::to_string(static_cast<int>(numbers.streck[sign]));
      streck += ' ';
    }
  }
  const auto typed = RunCompanion({"--value", rows, "--chances", chances, "--streck", streck,
                                   "--turnover", "12345678", "--jackpot", "10500000", "--tsv"});
  const auto fromCoupon = RunCompanion({"--coupon", coupon, "--value", rows, "--tsv"});
  ASSERT_EQ(typed.status, 0) << typed.err;
  ASSERT_EQ(fromCoupon.status, 0) << fromCoupon.err;
  EXPECT_EQ(fromCoupon.out, typed.out);
  EXPECT_FALSE(fromCoupon.out.empty());
  // The jackpot counts: without it the figures differ.
  const auto noJackpot = RunCompanion({"--value", rows, "--chances", chances, "--streck", streck,
                                       "--turnover", "12345678", "--tsv"});
  EXPECT_NE(noJackpot.out, typed.out);

  // A chosen draw, and the power method, which moves the chances.
  const std::string power = Path("power.spelkub");
  ASSERT_EQ(RunCompanion({"--fetch", "stryktipset", "--draw", "4929", "--odds-method", "power",
                          "--api-base", server.Base(), "--save-coupon", power})
                .status,
            0);
  EXPECT_EQ(server.Requests(kDraws + "/4929"), 1);
  const auto valuedPower = RunCompanion({"--coupon", power, "--value", rows, "--tsv"});
  ASSERT_EQ(valuedPower.status, 0) << valuedPower.err;
  EXPECT_NE(valuedPower.out, fromCoupon.out);
}

TEST_F(FetchCliTest, KeepsTheMarksOfTheCouponItFetchesInto) {
  const std::string coupon = Path("kupong.spelkub");
  ASSERT_EQ(RunCompanion({"--save-coupon", coupon, "1X2", "1X", "1", "1", "2", "X", "1", "1", "1",
                          "1", "1", "12", "1"})
                .status,
            0);
  setenv(net::kApiBaseVariable, server.Base().c_str(), 1);
  const auto fetched = RunCompanion(
      {"--fetch", "stryktipset", "--draw", "4929", "--coupon", coupon, "--save-coupon", coupon});
  unsetenv(net::kApiBaseVariable);
  ASSERT_EQ(fetched.status, 0) << fetched.err;
  const std::string text = testing::ReadFile(coupon);
  EXPECT_NE(text.find("mark = \"1X2\""), std::string::npos) << text;
  EXPECT_NE(text.find("home = \"Hemma 1\""), std::string::npos) << text;
  EXPECT_NE(text.find("turnover = 12345678"), std::string::npos) << text;
}

// Every hostile answer: one line, exit 1, and the coupon as it was.
TEST_F(FetchCliTest, EveryHostileAnswerGivesOneLineAndLeavesTheCoupon) {
  const std::string coupon = Path("kupong.spelkub");
  ASSERT_EQ(RunCompanion({"--save-coupon", coupon, "1X2", "1X", "1", "1", "2", "X", "1", "1", "1",
                          "1", "1", "12", "1"})
                .status,
            0);
  const std::string before = testing::ReadFile(coupon);
  const std::string base = server.Base();
  const struct {
    const char* draw;
    std::string message;
  } cases[] = {
      {"4930", "Stryktipset har ingen omgång 4930"},
      {"4931", base + kDraws + "/4931 svarade med fel 500"},
      {"4932", "Svaret från " + base + kDraws + "/4932 kom inte fram helt (förbindelsen bröts)"},
      {"4933", "Svaret från " + base + kDraws + "/4933 är större än 4 MB och lästes inte"},
      {"4934",
       "Fel i svaret, fältet draw.drawEvents[6].svenskaFolket.x: väntade ett tal, fick en lista"},
      {"4935", "Fel i svaret: fältet draw.drawEvents[8].eventNumber saknas"},
      {"4936", "Fel i svaret: omgång 4936 har 12 matcher, spelet har 13"},
      {"4937", "Svaret är ingen giltig JSON (fel vid tecken 1)"},
  };
  // 4930 is listed but has no page of its own: the server says 404.
  for (const auto& c : cases) {
    const auto run = RunCompanion({"--fetch", "stryktipset", "--draw", c.draw, "--api-base", base,
                                   "--coupon", coupon, "--save-coupon", coupon});
    EXPECT_EQ(run.status, 1) << c.draw;
    EXPECT_EQ(run.err, "spelkub_rader: " + c.message + "\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(testing::ReadFile(coupon), before) << c.draw;
  }
  EXPECT_EQ(folder.Entries().size(), 1u);
}

// A jackpot answer that fails or names no jackpot for the draw: the draw is
// fetched all the same, without a jackpot, and a line says so.
TEST_F(FetchCliTest, ADrawWithoutItsJackpotIsFetchedWithALineSayingSo) {
  const std::string base = server.Base();
  Json otherDraw = test::JackpotsBody();
  otherDraw["jackpots"][0]["drawNumber"] = 4928;
  otherDraw["jackpots"][2]["drawNumber"] = 4927;
  Json wrongType = test::JackpotsBody();
  wrongType["jackpots"][0]["jackpots"][0]["jackpotAmount"] = Json::object();
  const auto served = [](int status, std::string body, bool cut = false) {
    ServedAnswer answer;
    answer.status = status;
    answer.body = std::move(body);
    answer.cut = cut;
    return answer;
  };
  const struct {
    ServedAnswer answer;
    std::string line;
  } cases[] = {
      {served(404, "saknas"),
       "Jackpotten kunde inte hämtas, omgång 4929 har ingen jackpott i kupongen: " + base +
           kJackpots + " finns inte (404)"},
      {served(200, test::JackpotsBody().dump(), true),
       "Jackpotten kunde inte hämtas, omgång 4929 har ingen jackpott i kupongen: Svaret från " +
           base + kJackpots + " kom inte fram helt (förbindelsen bröts)"},
      {served(200, wrongType.dump()),
       "Jackpotten kunde inte hämtas, omgång 4929 har ingen jackpott i kupongen: Fel i svaret, "
       "fältet jackpots[0].jackpots[0].jackpotAmount: väntade ett tal, fick ett objekt"},
      {served(200, otherDraw.dump()),
       "Jackpottlistan nämner inte omgång 4929: kupongen har ingen jackpott"},
  };
  for (const auto& c : cases) {
    server.Set(kJackpots, c.answer);
    const std::string coupon = Path("utan.spelkub");
    const auto run = RunCompanion(
        {"--fetch", "stryktipset", "--draw", "4929", "--api-base", base, "--save-coupon", coupon});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "spelkub_rader: " + c.line +
                           "\nspelkub_rader: Stryktipset omgång 4929 hämtad, kupongen sparad: " +
                           coupon + "\n");
    const CouponDocument document = ReadCouponDocumentFile(coupon).document.value();
    ASSERT_EQ(document.snapshots.size(), 1u);
    EXPECT_TRUE(std::isnan(document.snapshots[0].jackpot));
    EXPECT_EQ(document.pool.jackpot, 0.0);
    EXPECT_EQ(document.values.match[0].home, "Hemma 1");
  }
  // The jackpot answer is back: the next snapshot has it, and the coupon too.
  server.Set(kJackpots, {.body = test::JackpotsBody().dump()});
  const std::string coupon = Path("utan.spelkub");
  ASSERT_EQ(RunCompanion({"--fetch", "stryktipset", "--draw", "4929", "--api-base", base,
                          "--coupon", coupon, "--save-coupon", coupon})
                .status,
            0);
  const CouponDocument document = ReadCouponDocumentFile(coupon).document.value();
  ASSERT_EQ(document.snapshots.size(), 2u);
  EXPECT_EQ(document.snapshots[1].jackpot, 10500000.0);
  EXPECT_EQ(document.pool.jackpot, 10500000.0);
}

TEST_F(FetchCliTest, NothingListeningIsTheOfflineMessage) {
  const std::string coupon = Path("kupong.spelkub");
  std::string base;
  {
    LocalServer gone({});
    base = gone.Base();
  }
  const auto run =
      RunCompanion({"--fetch", "europatipset", "--api-base", base, "--save-coupon", coupon});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "spelkub_rader: Kan inte nå " + base +
                         "/draw/1/europatipset/draws: ingen förbindelse (är datorn ansluten till "
                         "nätet?)\n");
  EXPECT_FALSE(std::filesystem::exists(coupon));
}

TEST_F(FetchCliTest, FetchResultShowsTheRowTheCancelledMatchesAndThePayouts) {
  const auto run = RunCompanion(
      {"--fetch-result", "stryktipset", "--draw", "4929", "--api-base", server.Base()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "Stryktipset omgång 4929\n"
            "Rätt rad: 1XX1-21X21X21\n"
            "Inställda: match 3 (lottad X), match 5 (ej lottad än)\n"
            "13 rätt: 3 vinnare, 1 234 567 kr\n"
            "12 rätt: 112 vinnare, 12 345 kr\n"
            "11 rätt: 2300 vinnare, 456 kr\n"
            "10 rätt: 40000 vinnare, 35 kr\n");
  // The row is what --grade takes.
  const std::string rows = Path("rader.txt");
  ASSERT_EQ(
      RunCompanion({"-o", rows, "1", "X", "X", "1", "1X2", "2", "1", "X", "2", "1", "X", "2", "1"})
          .status,
      0);
  const auto graded = RunCompanion({"--grade", "1XX1-21X21X21", rows});
  EXPECT_EQ(graded.status, 0) << graded.err;
  // With a document: the signs become its results, an open one none.
  const std::string coupon = Path("kupong.spelkub");
  const auto saved = RunCompanion({"--fetch-result", "stryktipset", "--draw", "4929", "--api-base",
                                   server.Base(), "--save-coupon", coupon});
  ASSERT_EQ(saved.status, 0) << saved.err;
  const CouponDocument document = ReadCouponDocumentFile(coupon).document.value();
  EXPECT_EQ(document.results[2], 1);
  EXPECT_EQ(document.results[4], kNoResult);
  EXPECT_EQ(document.results[12], 0);
  const auto noResult = RunCompanion(
      {"--fetch-result", "stryktipset", "--draw", "4930", "--api-base", server.Base()});
  EXPECT_EQ(noResult.status, 1);
  EXPECT_EQ(noResult.err, "spelkub_rader: Omgång 4930 har inget resultat ännu\n");
}

TEST_F(FetchCliTest, MalformedArgumentsAreExplained) {
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"--fetch", "stryktipset"}, "--fetch GAME kräver --save-coupon FILE"},
      {{"--fetch", "supertoto", "--save-coupon", "x"},
       "--fetch tar stryktipset, europatipset, topptipset, topptipset-stryk eller "
       "topptipset-extra, inte \"supertoto\""},
      {{"--fetch-result", "stryktipset"}, "--fetch-result GAME kräver --draw N"},
      {{"--fetch-result", "stryktipset", "--draw", "0"},
       "--draw tar omgångens nummer, ett positivt heltal, inte \"0\""},
      {{"--fetch", "stryktipset", "--save-coupon", "x", "--api-base", "ftp://x"},
       "Tjänstens adress ska vara http://VÄRD eller https://VÄRD, inte \"ftp://x\""},
      {{"--fetch", "stryktipset", "--save-coupon", "x", "--rows", "5"},
       "--fetch och --fetch-result tar bara --draw, --coupon, --save-coupon, --odds-method och "
       "--api-base, inte \"--rows\""},
      {{"--fetch", "stryktipset", "--save-coupon", "x", "--odds-method", "shin"},
       "--odds-method tar proportional eller power, inte \"shin\""},
      {{"--fetch-result", "stryktipset", "--draw", "5", "--odds-method", "power"},
       "--fetch-result GAME tar bara --draw, --coupon, --save-coupon och --api-base"},
      {{"--fetch-result", "stryktipset", "--draw", "5", "--coupon", "x"},
       "--fetch-result GAME --coupon DOC kräver --save-coupon FILE"},
  };
  for (const auto& c : cases) {
    const auto run = RunCompanion(c.args);
    EXPECT_EQ(run.status, 2) << c.message;
    EXPECT_EQ(run.err, "spelkub_rader: " + c.message + " (se --help)\n");
  }
}

// A Topptipset draw of `state` in the service's answer.
ServedAnswer ToppDraw(int number, const char* state = "Open") {
  Json draw = DrawBody(number, 8);
  draw["drawState"] = state;
  return {.body = Json{{"draw", draw}}.dump()};
}

// The jackpot answer naming `number` for the product, beside other products'
// draws.
ServedAnswer JackpotNaming(const DrawProduct& product, int number) {
  Json answer = test::JackpotsBody();
  answer["jackpots"].push_back({{"productId", product.productId},
                                {"drawNumber", number},
                                {"jackpots", {{{"jackpotAmount", "250 000,00"}}}}});
  return {.body = answer.dump()};
}

// The three Topptipset products list no draws: the open one is looked for
// from the draw the jackpot answer names, up past finished ones and down past
// numbers not there yet, in a bounded number of requests.
TEST(FetchTopptipset, TheOpenDrawIsFoundByNumber) {
  testing::TempFolder folder("spelkub_topp");
  const struct {
    const char* option;
    int named;                         // in the jackpot answer
    std::map<int, const char*> draws;  // the rest are 404
    int found;                         // 0: none
    std::vector<int> asked;            // each once
    std::string message;               // when none is found
  } cases[] = {
      // Named finished, the next open (and the one after too).
      {"topptipset",
       3000,
       {{3000, "Closed"}, {3001, "Open"}, {3002, "Open"}},
       3001,
       {3000, 3001},
       ""},
      // Named not there yet: down to the open ones, and to the lowest.
      {"topptipset-stryk",
       5001,
       {{4998, "Finalized"}, {4999, "Open"}, {5000, "Open"}},
       4999,
       {5001, 5000, 4999, 4998},
       ""},
      // Named open, the one below unknown.
      {"topptipset-extra", 700, {{700, "Open"}}, 700, {700, 699}, ""},
      // Finished and then nothing yet: none open.
      {"topptipset",
       900,
       {{900, "Closed"}, {901, "Closed"}},
       0,
       {900, 901, 902},
       "Topptipset har ingen öppen omgång just nu (sökte bland omgång 900–902)"},
      // A long run of finished draws: the requests stop.
      {"topptipset-extra",
       100,
       {{100, "Closed"},
        {101, "Closed"},
        {102, "Closed"},
        {103, "Closed"},
        {104, "Closed"},
        {105, "Closed"},
        {106, "Open"}},
       0,
       {100, 101, 102, 103, 104, 105},
       "Ingen öppen omgång av Topptipset Extra bland omgång 100–105: ange omgångens nummer"},
  };
  for (const auto& c : cases) {
    const DrawProduct& product = *DrawProductOf(c.option);
    const std::string draws = "/draw/1/" + std::string(product.path) + "/draws";
    std::map<std::string, ServedAnswer> answers{
        {"/draw/1/jackpots", JackpotNaming(product, c.named)}};
    for (const auto& [number, state] : c.draws)
      answers[draws + "/" + std::to_string(number)] = ToppDraw(number, state);
    LocalServer server(answers);
    const std::string coupon = folder.Path("topp.spelkub").string();
    std::filesystem::remove(coupon);
    const auto run =
        RunCompanion({"--fetch", c.option, "--api-base", server.Base(), "--save-coupon", coupon});
    SCOPED_TRACE(std::string(c.option) + " " + std::to_string(c.named));
    int asked = 0;
    for (int number = c.named - 10; number <= c.named + 10; ++number) {
      const int requests = server.Requests(draws + "/" + std::to_string(number));
      const bool expected = std::find(c.asked.begin(), c.asked.end(), number) != c.asked.end();
      EXPECT_EQ(requests, expected ? 1 : 0) << number;
      asked += requests;
    }
    EXPECT_LE(asked, net::kMaxDrawTries);
    EXPECT_EQ(server.Requests(draws), 0);
    if (c.found == 0) {
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.err, "spelkub_rader: " + c.message + "\n");
      EXPECT_FALSE(std::filesystem::exists(coupon));
      continue;
    }
    ASSERT_EQ(run.status, 0) << run.err;
    // Only the named draw has a jackpot; the others are fetched without.
    const std::string note = c.found == c.named
                                 ? ""
                                 : "spelkub_rader: Jackpottlistan nämner inte omgång " +
                                       std::to_string(c.found) + ": kupongen har ingen jackpott\n";
    EXPECT_EQ(run.err, note + "spelkub_rader: " + std::string(product.name) + " omgång " +
                           std::to_string(c.found) + " hämtad, kupongen sparad: " + coupon + "\n");
    // The jackpot answer is read once, for the search and the snapshot.
    EXPECT_EQ(server.Requests("/draw/1/jackpots"), 1);
    const CouponDocument document = ReadCouponDocumentFile(coupon).document.value();
    EXPECT_EQ(document.game, *GameOfOption(c.option));
    ASSERT_EQ(document.snapshots.size(), 1u);
    EXPECT_EQ(document.snapshots[0].draw, c.found);
    EXPECT_EQ(document.values.match[7].away, "Borta 8");
    EXPECT_EQ(document.pool.jackpot, c.found == c.named ? 250000.0 : 0.0);
  }
}

TEST(FetchTopptipset, WithoutADrawInTheJackpotAnswerTheNumberIsAskedFor) {
  Json answer = test::JackpotsBody();
  LocalServer server({{"/draw/1/jackpots", {.body = answer.dump()}}});
  const auto run = RunCompanion(
      {"--fetch", "topptipset-stryk", "--api-base", server.Base(), "--save-coupon", "x"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "spelkub_rader: Topptipset Stryk listar inga omgångar och jackpottlistan nämner ingen"
            ": ange omgångens nummer\n");
  server.Set("/draw/1/jackpots", {.status = 500, .body = "{}"});
  const auto failed =
      RunCompanion({"--fetch", "topptipset", "--api-base", server.Base(), "--save-coupon", "x"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.err,
            "spelkub_rader: Topptipset listar inga omgångar och jackpottlistan kunde "
            "inte läsas (" +
                server.Base() + "/draw/1/jackpots svarade med fel 500): ange omgångens nummer\n");
  // With the number it needs no jackpot answer.
  server.Set("/draw/1/topptipset/draws/42", ToppDraw(42));
  testing::TempFolder folder("spelkub_topp");
  const std::string coupon = folder.Path("topp.spelkub").string();
  const auto numbered = RunCompanion({"--fetch", "topptipset", "--draw", "42", "--api-base",
                                      server.Base(), "--save-coupon", coupon});
  EXPECT_EQ(numbered.status, 0) << numbered.err;
}

TEST_F(FetchCliTest, AProductWithoutAListingNeedsTheDrawNumber) {
  const auto fetched = net::FetchDraws(server.Base(), *DrawProductOf("topptipset"), 8, {});
  EXPECT_EQ(fetched.error, "Topptipset listar inga omgångar: ange omgångens nummer");
  EXPECT_EQ(server.Requests("/draw/1/topptipset/draws"), 0);
}

TEST_F(FetchCliTest, HelpSaysTheServiceIsUnofficial) {
  const auto help = RunCompanion({"--help"});
  EXPECT_NE(help.out.find("--fetch GAME"), std::string::npos);
  EXPECT_NE(help.out.find("The service is unofficial"), std::string::npos);
}

}  // namespace
}  // namespace spelkub
