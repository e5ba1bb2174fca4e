// Results fetched from the draw service into the companion's tools: --settle
// without --result and --payout, and RESULT fetch:GAME:N of --grade and
// --follow, against a local server; each gives what the same result typed
// gives, and a hostile answer one line and no change to the database.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "net/fetch.h"
#include "support/companion_run.h"
#include "support/draw_answers.h"
#include "support/local_server.h"
#include "support/temp_folder.h"

namespace spelkub {
namespace {

using Json = nlohmann::json;
using test::LocalServer;
using test::ResultBody;
using test::ServedAnswer;
using testing::RunCompanion;

const std::string kDraws = "/draw/1/stryktipset/draws";

// The result of draw `number` with match 5's sign drawn too: final.
Json FinalResult(int number) {
  Json result = ResultBody(number);
  result["events"][4]["outcome"] = "1";
  return result;
}

ServedAnswer Served(const Json& result) {
  ServedAnswer answer;
  answer.body = Json{{"result", result}}.dump();
  return answer;
}

std::map<std::string, ServedAnswer> Answers() {
  Json noPayouts = FinalResult(4714);
  noPayouts.erase("distribution");
  Json wrongType = FinalResult(4715);
  wrongType["distribution"][1]["winners"] = Json::array({3});
  Json unpaidLevel = FinalResult(4716);
  unpaidLevel["distribution"].push_back({{"name", "9 rätt"}, {"winners", 9}, {"amount", "5,00"}});
  ServedAnswer cut = Served(FinalResult(4717));
  cut.cut = true;
  return {
      {kDraws + "/4711/result", Served(FinalResult(4711))},
      {kDraws + "/4713/result", Served(ResultBody(4713))},
      {kDraws + "/4714/result", Served(noPayouts)},
      {kDraws + "/4715/result", Served(wrongType)},
      {kDraws + "/4716/result", Served(unpaidLevel)},
      {kDraws + "/4717/result", cut},
      {kDraws + "/4929", {.body = Json{{"draw", test::DrawBody(4929)}}.dump()}},
      {kDraws + "/4929/result", Served(ResultBody(4929))},
  };
}

class FetchedResultTest : public ::testing::Test {
 protected:
  FetchedResultTest() : server(Answers()), folder("spelkub_fetched_result") {}

  std::string Path(const char* name) const { return folder.Path(name).string(); }

  // A database with one coupon of 3 rows recorded on `draw`.
  std::string RecordedDatabase(const char* name, int draw) {
    const std::string handIn = Path("inl.txt");
    EXPECT_EQ(RunCompanion({"--upload", "-o", handIn, "1X2", "X", "X", "1", "1", "2", "1", "X", "2",
                            "1", "X", "2", "1"})
                  .status,
              0);
    const std::string db = Path(name);
    const auto recorded = RunCompanion({"--record", handIn, "--draw", std::to_string(draw),
                                        "--close", "2026-12-12T15:59", "--database", db});
    EXPECT_EQ(recorded.status, 0) << recorded.err;
    return db;
  }

  LocalServer server;
  testing::TempFolder folder;
};

// The fetched result and payouts settle as the same ones typed; a cancelled
// match settles by its drawn sign.
TEST_F(FetchedResultTest, SettleFetchesTheResultAndPaysAsTyped) {
  const std::string fetchedDb = RecordedDatabase("hamtad.sqlite", 4711);
  const std::string typedDb = RecordedDatabase("inskriven.sqlite", 4711);
  const auto fetched = RunCompanion({"--settle", "stryktipset", "--draw", "4711", "--api-base",
                                     server.Base(), "--database", fetchedDb});
  ASSERT_EQ(fetched.status, 0) << fetched.err;
  EXPECT_EQ(server.Requests(kDraws + "/4711/result"), 1);
  const auto typed =
      RunCompanion({"--settle", "stryktipset", "--draw", "4711", "--result", "1XX1121X21X21",
                    "--payout", "13=1234567 12=12345 11=456 10=35", "--database", typedDb});
  ASSERT_EQ(typed.status, 0) << typed.err;
  EXPECT_EQ(fetched.out, typed.out);
  EXPECT_EQ(fetched.out,
            "Stryktipset omgång 4711, rätt rad 1XX1121X21X21:\n"
            "Kupong 1: 13 rätt: 1 rad, 12 rätt: 2 rader, 11 rätt: 0 rader, 10 rätt: 0 rader, "
            "vinst 1 259 257,00 kr.\n");
  EXPECT_EQ(RunCompanion({"--history", "--tsv", "--database", fetchedDb}).out,
            RunCompanion({"--history", "--tsv", "--database", typedDb}).out);

  // The environment's address serves as well.
  const std::string envDb = RecordedDatabase("miljo.sqlite", 4711);
  setenv(net::kApiBaseVariable, server.Base().c_str(), 1);
  const auto fromEnvironment =
      RunCompanion({"--settle", "stryktipset", "--draw", "4711", "--database", envDb});
  unsetenv(net::kApiBaseVariable);
  EXPECT_EQ(fromEnvironment.out, typed.out);
}

// Every answer that does not settle the draw: one line, exit 1, and the
// database as it was (it is not even opened).
TEST_F(FetchedResultTest, AHostileAnswerSaysWhyAndLeavesTheDatabase) {
  const std::string base = server.Base();
  const struct {
    int draw;
    std::string message;
  } cases[] = {
      {4712, "Omgång 4712 har inget resultat ännu"},
      {4713, "Omgång 4713 är inte avgjord än: match 5 är inställd och inte lottad än."},
      {4714, "Utdelningen för omgång 4714 är inte publicerad än."},
      {4715, "Fel i svaret, fältet result.distribution[1].winners: väntade ett tal, fick en lista"},
      {4716, "Tjänsten anger utdelning för 9 rätt, en nivå som Stryktipset inte har."},
      {4717,
       "Svaret från " + base + kDraws + "/4717/result kom inte fram helt (förbindelsen bröts)"},
  };
  for (const auto& c : cases) {
    const std::string db = RecordedDatabase("h.sqlite", c.draw);
    const std::string before = testing::ReadFile(db);
    const std::string listed = RunCompanion({"--history", "--tsv", "--database", db}).out;
    const auto run = RunCompanion({"--settle", "stryktipset", "--draw", std::to_string(c.draw),
                                   "--api-base", base, "--database", db});
    EXPECT_EQ(run.status, 1) << c.draw;
    EXPECT_EQ(run.err, "spelkub_rader: " + c.message + "\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(testing::ReadFile(db), before) << c.draw;
    EXPECT_EQ(RunCompanion({"--history", "--tsv", "--database", db}).out, listed);
    std::filesystem::remove(db);
  }
  // Nothing is fetched for a database that would not open either, and no
  // database is made for an answer refused.
  const std::string none = Path("ingen.sqlite");
  EXPECT_EQ(RunCompanion({"--settle", "stryktipset", "--draw", "4713", "--api-base", base,
                          "--database", none})
                .status,
            1);
  EXPECT_FALSE(std::filesystem::exists(none));
}

TEST_F(FetchedResultTest, SettleArgumentsGoTogether) {
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"--settle", "stryktipset", "--draw", "1", "--result", "1111111111111"},
       "--settle GAME tar --result och --payout tillsammans, eller ingen av dem för att hämta "
       "resultatet"},
      {{"--settle", "stryktipset", "--draw", "1", "--result", "1111111111111", "--payout", "13=1",
        "--api-base", "http://127.0.0.1:1"},
       "--api-base hör till ett hämtat resultat, inte till --result och --payout"},
      {{"--settle", "stryktipset", "--draw", "1", "--api-base", "ftp://x"},
       "Tjänstens adress ska vara http://VÄRD eller https://VÄRD, inte \"ftp://x\""},
      {{"--settle", "stryktipset"}, "--settle GAME kräver --draw"},
  };
  for (const auto& c : cases) {
    const auto run = RunCompanion(c.args);
    EXPECT_EQ(run.status, 2) << c.message;
    EXPECT_EQ(run.err, "spelkub_rader: " + c.message + " (se --help)\n");
  }
  // A game the service has no results for.
  const auto topp = RunCompanion({"--settle", "topptipset-europa", "--draw", "3", "--api-base",
                                  server.Base(), "--database", Path("h.sqlite")});
  EXPECT_EQ(topp.status, 1);
  EXPECT_EQ(topp.err,
            "spelkub_rader: Omgångstjänsten har inga resultat för Topptipset Europa: ange --result "
            "och --payout.\n");
}

// --grade and --follow with RESULT fetch:GAME:N give what the same result
// typed gives: an open match -, a cancelled one waiting for its drawn sign L.
TEST_F(FetchedResultTest, GradeAndFollowTakeAFetchedResult) {
  setenv(net::kApiBaseVariable, server.Base().c_str(), 1);
  const std::string rows = Path("rader.txt");
  ASSERT_EQ(RunCompanion(
                {"-o", rows, "1X2", "1X", "X", "1", "1X2", "2", "1", "X", "2", "1", "X", "2", "12"})
                .status,
            0);
  const auto fetchedGrade = RunCompanion({"--grade", "fetch:stryktipset:4929", rows});
  const auto typedGrade = RunCompanion({"--grade", "1XX1-21X21X21", rows});
  ASSERT_EQ(fetchedGrade.status, 0) << fetchedGrade.err;
  EXPECT_EQ(fetchedGrade.out, typedGrade.out);
  EXPECT_FALSE(typedGrade.out.empty());

  const std::string coupon = Path("vecka.spelkub");
  ASSERT_EQ(
      RunCompanion({"--fetch", "stryktipset", "--draw", "4929", "--save-coupon", coupon}).status,
      0);
  const auto fetchedFollow =
      RunCompanion({"--coupon", coupon, "--follow", "fetch:stryktipset:4929", rows});
  const auto typedFollow =
      RunCompanion({"--coupon", coupon, "--follow", "1 X X 1 L 2 1 X 2 1 X 2 1", rows});
  ASSERT_EQ(fetchedFollow.status, 0) << fetchedFollow.err;
  EXPECT_EQ(fetchedFollow.out, typedFollow.out);
  const auto tsv =
      RunCompanion({"--coupon", coupon, "--follow", "fetch:stryktipset:4929", rows, "--tsv"});
  EXPECT_NE(tsv.out.find("match5_state\t"), std::string::npos) << tsv.out;

  // Refusals: no result yet, another game's result, a malformed RESULT.
  const auto missing = RunCompanion({"--grade", "fetch:stryktipset:4930", rows});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "spelkub_rader: Omgång 4930 har inget resultat ännu\n");
  server.Set("/draw/1/europatipset/draws/4929/result", Served(ResultBody(4929)));
  const auto otherGame =
      RunCompanion({"--coupon", coupon, "--follow", "fetch:europatipset:4929", rows});
  EXPECT_EQ(otherGame.status, 1);
  EXPECT_EQ(otherGame.err, "spelkub_rader: Resultatet gäller Europatipset, kupongen Stryktipset\n");
  const auto malformed = RunCompanion({"--grade", "fetch:stryktipset:x", rows});
  EXPECT_EQ(malformed.status, 2);
  EXPECT_EQ(malformed.err,
            "spelkub_rader: RESULT fetch:GAME:N tar omgångens nummer N, ett positivt heltal, inte "
            "\"x\" (se --help)\n");
  const auto noGame = RunCompanion({"--coupon", coupon, "--follow", "fetch:lotto:1", rows});
  EXPECT_EQ(noGame.status, 1);
  EXPECT_EQ(noGame.err,
            "spelkub_rader: RESULT fetch:GAME:N tar GAME stryktipset, europatipset, topptipset, "
            "topptipset-stryk eller topptipset-extra, inte \"lotto\"\n");
  unsetenv(net::kApiBaseVariable);
}

}  // namespace
}  // namespace spelkub
