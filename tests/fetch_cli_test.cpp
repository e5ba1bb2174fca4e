// spelkub_rader --fetch and --fetch-result against a local server that
// answers as the draw service does, and as it should not.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "net/draw_client.h"
#include "support/companion_run.h"
#include "support/draw_answers.h"
#include "support/local_server.h"
#include "temp_folder.h"

namespace spelkub {
namespace {

using Json = nlohmann::json;
using test::DrawBody;
using test::LocalServer;
using test::ServedAnswer;
using testing::RunCompanion;

const std::string kDraws = "/draw/1/stryktipset/draws";

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
  };
}

class FetchCliTest : public ::testing::Test {
 protected:
  FetchCliTest() : server(ServiceAnswers()), folder("spelkub_fetch") {}

  std::string Path(const char* name) const { return folder.Path(name).string(); }

  LocalServer server;
  testing::TempFolder folder;
};

// The numbers typed as --chances, --streck and --turnover give the same
// --value figures as the fetched document.
TEST_F(FetchCliTest, AFetchedDrawIsValuedAsTheSameNumbersTyped) {
  const std::string coupon = Path("vecka.spelkub");
  const auto fetched = RunCompanion(
      {"--fetch", "stryktipset", "--api-base", server.Base(), "--save-coupon", coupon});
  ASSERT_EQ(fetched.status, 0) << fetched.err;
  EXPECT_EQ(fetched.err,
            "spelkub_rader: Stryktipset omgång 4929 hämtad, kupongen sparad: " + coupon + "\n");
  EXPECT_EQ(server.Requests(kDraws), 1);

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
                                   "--turnover", "12345678", "--tsv"});
  const auto fromCoupon = RunCompanion({"--coupon", coupon, "--value", rows, "--tsv"});
  ASSERT_EQ(typed.status, 0) << typed.err;
  ASSERT_EQ(fromCoupon.status, 0) << fromCoupon.err;
  EXPECT_EQ(fromCoupon.out, typed.out);
  EXPECT_FALSE(fromCoupon.out.empty());

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
