#include "document/coupon_document.h"
#include "value/value_model.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "coupon/choices.h"
#include "io/save_file.h"
#include "support/temp_folder.h"

namespace spelkub {
namespace {

using testing::TempFolder;

bool SameNumber(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

// Field by field, for the matches in play; numbers bit for bit.
void ExpectSameDocument(const CouponDocument& expected, const CouponDocument& actual) {
  EXPECT_EQ(expected.game, actual.game);
  EXPECT_EQ(expected.goals, actual.goals);
  const int matches = MatchesInPlay(expected.game);
  for (int match = 1; match <= matches; ++match) {
    SCOPED_TRACE("match " + std::to_string(match));
    for (int outcome = 0; outcome < 3; ++outcome) {
      EXPECT_EQ(expected.marks[CellIndex(match, outcome)], actual.marks[CellIndex(match, outcome)]);
    }
    const MatchValue& e = expected.values.match[match - 1];
    const MatchValue& a = actual.values.match[match - 1];
    EXPECT_EQ(e.home, a.home);
    EXPECT_EQ(e.away, a.away);
    for (int sign = 0; sign < 3; ++sign) {
      EXPECT_TRUE(SameNumber(e.odds[sign], a.odds[sign])) << e.odds[sign] << " " << a.odds[sign];
      EXPECT_TRUE(SameNumber(e.chance[sign], a.chance[sign]))
          << e.chance[sign] << " " << a.chance[sign];
      EXPECT_TRUE(SameNumber(e.streck[sign], a.streck[sign]))
          << e.streck[sign] << " " << a.streck[sign];
    }
    EXPECT_EQ(expected.results[match - 1], actual.results[match - 1]);
  }
  EXPECT_TRUE(SameNumber(expected.pool.rowPrice, actual.pool.rowPrice));
  EXPECT_TRUE(SameNumber(expected.pool.payoutShare, actual.pool.payoutShare));
  EXPECT_TRUE(SameNumber(expected.pool.minimumPayout, actual.pool.minimumPayout));
  EXPECT_TRUE(SameNumber(expected.pool.turnover, actual.pool.turnover));
  EXPECT_TRUE(SameNumber(expected.pool.jackpot, actual.pool.jackpot));
  ASSERT_EQ(expected.pool.levels.size(), actual.pool.levels.size());
  for (size_t i = 0; i < expected.pool.levels.size(); ++i) {
    EXPECT_EQ(expected.pool.levels[i].right, actual.pool.levels[i].right);
    EXPECT_TRUE(SameNumber(expected.pool.levels[i].share, actual.pool.levels[i].share));
  }
  EXPECT_EQ(expected.conditions, actual.conditions);
  EXPECT_EQ(expected.maxBroken, actual.maxBroken);
  EXPECT_EQ(expected.useConditions, actual.useConditions);
}

CouponDocument Loaded(std::string_view text) {
  DocumentResult result = LoadCouponDocument(text);
  EXPECT_TRUE(result.document.has_value()) << result.error << "\n" << text;
  return result.document.value_or(CouponDocument{});
}

// --- Random documents.

class RandomDocuments {
 public:
  explicit RandomDocuments(uint32_t seed) : random_(seed) {}

  CouponDocument Next() {
    CouponDocument document = NewCouponDocument(kGames[Below(kGames.size())].game);
    const GameRules& rules = Rules(document.game);
    if (rules.plus13 && Chance(0.6)) document.goals = kGoalsNames[Below(4)].goals;
    if (Chance(0.5)) document.draw = 1 + static_cast<int32_t>(Below(kMostDraw));
    if (!rules.stakes.empty()) document.stake = rules.stakes[Below(rules.stakes.size())];
    const int matches = MatchesInPlay(document.game);
    for (int match = 1; match <= matches; ++match) {
      for (int outcome = 0; outcome < 3; ++outcome) {
        document.marks[CellIndex(match, outcome)] = Chance(0.5);
      }
      MatchValue& value = document.values.match[match - 1];
      if (Chance(0.5)) value.home = Name();
      if (Chance(0.5)) value.away = Name();
      if (Chance(0.6)) value.odds = Odds();
      if (Chance(0.6)) value.chance = Triple();
      if (Chance(0.6)) value.streck = Triple();
      if (Chance(0.4)) document.results[match - 1] = static_cast<int>(Below(3));
    }
    PoolModel& pool = document.pool;
    // Pool numbers within what a pool can hold; their digits as exotic as any.
    if (Chance(0.5)) pool.rowPrice = std::min(Positive(), kLargestRowPrice);
    if (Chance(0.5)) pool.payoutShare = Share();
    if (Chance(0.5)) pool.minimumPayout = Chance(0.2) ? 0.0 : std::min(Positive(), kLargestAmount);
    if (Chance(0.7)) pool.turnover = std::min(Positive(), kLargestAmount);
    if (Chance(0.3)) pool.jackpot = std::min(Positive(), kLargestAmount);
    if (Chance(0.5)) {
      // Any subset of the levels, in any order, with shares that sum to at most 1.
      pool.levels.clear();
      std::vector<int> rights;
      for (int right = 1; right <= matches; ++right) {
        if (Chance(0.3)) rights.push_back(right);
      }
      std::shuffle(rights.begin(), rights.end(), random_);
      for (const int right : rights) {
        pool.levels.push_back({right, Share() / static_cast<double>(rights.size())});
      }
    }
    const int conditions = static_cast<int>(Below(5));
    for (int i = 0; i < conditions; ++i) document.conditions.push_back(Name() + " 2-5");
    document.maxBroken = Chance(0.3) ? static_cast<int32_t>(random_() >> 1) : Below(4);
    document.useConditions = Chance(0.5);
    return document;
  }

 private:
  uint32_t Below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(random_); }
  bool Chance(double p) { return std::bernoulli_distribution(p)(random_); }

  // Numbers of every kind a person or a computation gives: whole, short
  // decimals, full doubles, and very large and small ones.
  double Positive() {
    switch (Below(5)) {
      case 0:
        return static_cast<double>(1 + Below(100000000));
      case 1:
        return static_cast<double>(1 + Below(100000)) / 100;
      case 2:
        return std::uniform_real_distribution<double>(1e-6, 1e6)(random_);
      case 3:
        return std::ldexp(std::uniform_real_distribution<double>(1, 2)(random_),
                          static_cast<int>(Below(400)) - 200);
      default:
        return std::uniform_real_distribution<double>(1e-4, 1e-3)(random_);
    }
  }
  double Share() {
    return Chance(0.3) ? static_cast<double>(1 + Below(100)) / 100
                       : std::uniform_real_distribution<double>(0.001, 1.0)(random_);
  }
  SignValues Triple() {
    SignValues values{};
    for (double& value : values) value = Positive();
    if (Chance(0.3)) values[Below(3)] = 0;
    return values;
  }
  SignValues Odds() {
    SignValues values{};
    for (double& value : values) {
      value = 1 + Positive();
      if (value == 1) value = std::nextafter(1.0, 2.0);  // 1 plus a tiny number
    }
    return values;
  }
  std::string Name() {
    static const char* const kParts[] = {
        "AIK",         "Malmö FF", "IFK Göteborg", "Örgryte",
        "\"Blåvitt\"", "C:\\lag",  "Ajax #1",      "Bayern München",
        "é ü ß",       "Šibenik",  "日本",         "😀",
        "a = b",       "[x]",      "'en'",         "tab",
    };
    std::string name;
    const int parts = 1 + static_cast<int>(Below(3));
    for (int i = 0; i < parts; ++i) {
      if (i > 0) name += ' ';
      name += kParts[Below(std::size(kParts))];
    }
    return name;
  }

  std::mt19937 random_;
};

TEST(CouponDocumentRoundTrip, RandomDocumentsReadBackAndWriteTheSameBytes) {
  const uint32_t seed = 20261208;
  SCOPED_TRACE("seed " + std::to_string(seed));
  RandomDocuments documents(seed);
  for (int i = 0; i < 400; ++i) {
    SCOPED_TRACE("document " + std::to_string(i));
    const CouponDocument document = documents.Next();
    ASSERT_EQ(CouponDocumentProblem(document), "");
    const std::string text = CouponDocumentText(document);
    const DocumentResult loaded = LoadCouponDocument(text);
    ASSERT_TRUE(loaded.document.has_value()) << loaded.error << "\n" << text;
    CouponDocument expected = document;
    std::sort(expected.pool.levels.begin(), expected.pool.levels.end(),
              [](const PrizeLevel& a, const PrizeLevel& b) { return a.right > b.right; });
    ExpectSameDocument(expected, *loaded.document);
    ASSERT_EQ(CouponDocumentText(*loaded.document), text);
  }
}

TEST(CouponDocumentRoundTrip, LineEndingsAndByteOrderMarkDoNotMatter) {
  RandomDocuments documents(7);
  const CouponDocument document = documents.Next();
  const std::string text = CouponDocumentText(document);
  std::string crlf = "\xEF\xBB\xBF";
  for (const char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  EXPECT_EQ(CouponDocumentText(Loaded(crlf)), text);
}

TEST(CouponDocumentText, WritesNumbersShortAndPlain) {
  CouponDocument document = NewCouponDocument(kStryktipset);
  document.values.match[0].odds = {2.1, 3.0, 1e20};
  document.values.match[0].chance = {0.1, 1e-7, 33.333333333333336};
  document.pool.turnover = 43000000;
  const std::string text = CouponDocumentText(document);
  EXPECT_NE(text.find("odds = [2.1, 3.0, 1e+20]\n"), std::string::npos) << text;
  EXPECT_NE(text.find("chance = [0.1, 1e-07, 33.333333333333336]\n"), std::string::npos) << text;
  EXPECT_NE(text.find("turnover = 43000000.0\n"), std::string::npos) << text;
  // No jackpot, no line; one follows the turnover.
  EXPECT_EQ(text.find("jackpot"), std::string::npos) << text;
  document.pool.jackpot = 12500000;
  EXPECT_NE(CouponDocumentText(document).find("turnover = 43000000.0\njackpot = 12500000.0\n"),
            std::string::npos);

  // The extremes of double read back bit for bit.
  document.values.match[1].streck = {std::numeric_limits<double>::denorm_min(),
                                     std::numeric_limits<double>::max(), 0.1 + 0.2};
  document.values.match[1].odds = {std::nextafter(1.0, 2.0), 1e-4 + 1, 9.999999999999999e15};
  const CouponDocument loaded = Loaded(CouponDocumentText(document));
  ExpectSameDocument(document, loaded);
}

TEST(CouponDocumentText, FreshDocumentShowsThePoolDefaults) {
  const std::string text = CouponDocumentText(NewCouponDocument(kSupertoto));
  const std::string head =
      "format = 1\n"
      "game = \"supertoto\"\n"
      "\n"
      "[pool]\n"
      "row_price = 1.0\n"
      "payout_share = 0.65\n"
      "minimum_payout = 15.0\n"
      "\n"
      "[pool.level_share]\n"
      "14 = 0.4\n"
      "13 = 0.15\n"
      "12 = 0.12\n"
      "11 = 0.25\n"
      "\n"
      "[conditions]\n"
      "use = false\n"
      "max_broken = 0\n"
      "list = []\n"
      "\n"
      "[[match]]\n"
      "number = 1\n"
      "mark = \"\"\n";
  std::string expected = head;
  for (int match = 2; match <= 14; ++match) {
    expected += "\n[[match]]\nnumber = " + std::to_string(match) + "\nmark = \"\"\n";
  }
  EXPECT_EQ(text, expected);
}

// Each game's split of the pot comes from its table row.
TEST(CouponDocumentText, EuropatipsetSplitsItsPotItsOwnWay) {
  const std::string text = CouponDocumentText(NewCouponDocument(kEuropatipset));
  EXPECT_NE(text.find("[pool.level_share]\n13 = 0.39\n12 = 0.22\n11 = 0.12\n10 = 0.25\n"),
            std::string::npos)
      << text;
}

TEST(CouponDocumentText, RefusesWhatWouldNotReadBack) {
  const auto problem = [](auto change) {
    CouponDocument document = NewCouponDocument(kStryktipset);
    change(document);
    const std::string found = CouponDocumentProblem(document);
    EXPECT_THROW((void)CouponDocumentText(document), std::invalid_argument) << found;
    return found;
  };
  EXPECT_EQ(problem([](CouponDocument& d) { d.game = 9; }), "Okänt spel");
  EXPECT_EQ(problem([](CouponDocument& d) { d.goals = 7; }), "Okänt antal mål");
  EXPECT_EQ(problem([](CouponDocument& d) { d.stake = 5; }),
            "Insatsen: Stryktipset tar insatsen 1 kr per rad");
  EXPECT_EQ(problem([](CouponDocument& d) {
              d.game = kTopptipset;
              d.pool = PoolModelOf(Rules(kTopptipset));
              d.stake = 3;
            }),
            "Insatsen: Topptipset tar insatsen 1, 2, 5 eller 10 kr per rad");
  EXPECT_EQ(problem([](CouponDocument& d) { d.draw = kMostDraw + 1; }),
            "Omgången ska vara ett heltal från 1 till 999999");
  EXPECT_EQ(problem([](CouponDocument& d) { d.values.match[2].odds[1] = 2.5; }),
            "Match 3: oddsen ska anges för alla tre tecken eller inget");
  EXPECT_EQ(problem([](CouponDocument& d) {
              d.values.match[2].odds = {2, 1, 3};
            }),
            "Match 3: oddsen ska vara större än 1");
  EXPECT_EQ(problem([](CouponDocument& d) {
              d.values.match[0].chance = {0, 0, 0};
            }),
            "Match 1: chanserna ska ha en summa över 0");
  EXPECT_EQ(problem([](CouponDocument& d) {
              d.values.match[0].streck = {1, -1, 50};
            }),
            "Match 1: strecken får inte vara negativa");
  EXPECT_EQ(problem([](CouponDocument& d) {
              d.values.match[0].streck = {1, INFINITY, 50};
            }),
            "Match 1: strecken ska vara ändliga tal");
  EXPECT_EQ(problem([](CouponDocument& d) { d.values.match[12].home = "A\nB"; }),
            "Match 13: lagnamnet får inte innehålla styrtecken");
  EXPECT_EQ(problem([](CouponDocument& d) { d.values.match[12].away = "\xC3"; }),
            "Match 13: lagnamnet är inte giltig UTF-8");
  EXPECT_EQ(problem([](CouponDocument& d) { d.results[4] = 3; }), "Match 5: okänt resultat");
  EXPECT_EQ(problem([](CouponDocument& d) { d.pool.rowPrice = 0; }),
            "Potten: radpriset ska vara ett tal större än 0");
  EXPECT_EQ(problem([](CouponDocument& d) { d.pool.payoutShare = 1.01; }),
            "Potten: utdelningsandelen ska vara större än 0 och högst 1");
  EXPECT_EQ(problem([](CouponDocument& d) { d.pool.minimumPayout = NAN; }),
            "Potten: minsta utdelningen ska vara ett tal, minst 0");
  EXPECT_EQ(problem([](CouponDocument& d) { d.pool.turnover = -5; }),
            "Potten: omsättningen ska vara ett tal större än 0");
  EXPECT_EQ(problem([](CouponDocument& d) { d.pool.turnover = 1e300; }),
            "Potten: omsättningen är orimligt stor");
  EXPECT_EQ(problem([](CouponDocument& d) { d.pool.rowPrice = 1e308; }),
            "Potten: radpriset är orimligt stort");
  EXPECT_EQ(problem([](CouponDocument& d) { d.pool.jackpot = -1; }),
            "Potten: jackpotten ska vara ett tal, minst 0");
  EXPECT_EQ(problem([](CouponDocument& d) { d.pool.jackpot = INFINITY; }),
            "Potten: jackpotten ska vara ett tal, minst 0");
  EXPECT_EQ(problem([](CouponDocument& d) {
              d.values.match[2].chance = {1e308, 1e308, 1e308};
            }),
            "Match 3: chanserna är för stora att lägga ihop");
  EXPECT_EQ(problem([](CouponDocument& d) {
              d.pool.levels.push_back({14, 0});
            }),
            "Potten: nivån 14 rätt finns inte i Stryktipset");
  EXPECT_EQ(problem([](CouponDocument& d) {
              d.pool.levels.push_back({12, 0});
            }),
            "Potten: nivån 12 rätt finns två gånger");
  EXPECT_EQ(problem([](CouponDocument& d) { d.pool.levels[1].share = 0.5; }),
            "Potten: andelarna per nivå ska tillsammans vara högst 1");
  EXPECT_EQ(problem([](CouponDocument& d) {
              d.conditions = {"kryss 2-5", " "};
            }),
            "Villkor 2 är tomt");
  EXPECT_EQ(problem([](CouponDocument& d) { d.maxBroken = -1; }),
            "Antalet tillåtna fel får inte vara negativt");
}

TEST(CouponDocumentText, MatchFourteenIsNotPartOfAThirteenMatchGame) {
  CouponDocument document = NewCouponDocument(kEuropatipset);
  document.marks[CellIndex(14, 0)] = true;
  document.values.match[13].odds = {1, 1, 1};  // would be refused in play
  document.results[13] = 2;
  const std::string text = CouponDocumentText(document);
  EXPECT_EQ(CouponDocumentText(NewCouponDocument(kEuropatipset)), text);
  const CouponDocument loaded = Loaded(text);
  EXPECT_FALSE(loaded.marks[CellIndex(14, 0)]);
  EXPECT_EQ(loaded.results[13], kNoResult);
}

// --- Reading what a person wrote.

constexpr std::string_view kHandWritten = R"(# Omgång 48, skriven för hand
format = 1
game = "europatipset"
goals = "F"

[[match]]
number = 1
home = "Arsenal"
away = "Chelsea"
mark = "X1"   # ordningen spelar ingen roll
odds = [1.85, 3.6, 4.4]
chance = [50, 27, 23]
streck = [61.5, 22, 16.5]
result = "1"

[[match]]
number = 2
mark = "2"
result = ""

[[match]]
number = 3
mark = ""
[[match]]
number = 4
mark = "1X2"
[[match]]
number = 5
mark = "1"
[[match]]
number = 6
mark = "1"
[[match]]
number = 7
mark = "1"
[[match]]
number = 8
mark = "1"
[[match]]
number = 9
mark = "1"
[[match]]
number = 10
mark = "1"
[[match]]
number = 11
mark = "1"
[[match]]
number = 12
mark = "1"
[[match]]
number = 13
mark = "2X"

[pool]
turnover = 12_500_000

[pool.level_share]
13 = 0.5
10 = 0.5

[conditions]
use = true
list = ["kryss 2-5", "tvåor 0-1 i 1-4"]
)";

TEST(CouponDocumentLoad, ReadsAHandWrittenDocument) {
  const CouponDocument document = Loaded(kHandWritten);
  EXPECT_EQ(document.game, kEuropatipset);
  EXPECT_EQ(document.goals, kGoalsF);
  const MatchValue& first = document.values.match[0];
  EXPECT_EQ(first.home, "Arsenal");
  EXPECT_EQ(first.away, "Chelsea");
  EXPECT_EQ(first.odds, (SignValues{1.85, 3.6, 4.4}));
  EXPECT_EQ(first.chance, (SignValues{50, 27, 23}));
  EXPECT_EQ(first.streck, (SignValues{61.5, 22, 16.5}));
  EXPECT_EQ(document.results[0], 0);
  EXPECT_EQ(document.results[1], kNoResult);

  std::string marks;
  for (int match = 1; match <= 13; ++match) {
    if (match > 1) marks += ',';
    for (int outcome = 0; outcome < 3; ++outcome) {
      if (document.marks[CellIndex(match, outcome)]) marks += OutcomeSign(outcome);
    }
  }
  EXPECT_EQ(marks, "1X,2,,1X2,1,1,1,1,1,1,1,1,X2");

  EXPECT_EQ(document.pool.turnover, 12500000);
  EXPECT_EQ(document.pool.rowPrice, 1.0);
  EXPECT_EQ(document.pool.payoutShare, 0.65);
  ASSERT_EQ(document.pool.levels.size(), 2u);
  EXPECT_EQ(document.pool.levels[0].right, 13);
  EXPECT_EQ(document.pool.levels[1].right, 10);
  EXPECT_EQ(document.pool.levels[1].share, 0.5);
  EXPECT_TRUE(document.useConditions);
  EXPECT_EQ(document.maxBroken, 0);
  EXPECT_EQ(document.conditions, (std::vector<std::string>{"kryss 2-5", "tvåor 0-1 i 1-4"}));

  // Written back in the canonical form, which reads back the same.
  const std::string text = CouponDocumentText(document);
  EXPECT_NE(text.find("mark = \"1X\"\nodds = [1.85, 3.6, 4.4]\nchance = [50.0, 27.0, 23.0]\n"),
            std::string::npos)
      << text;
  ExpectSameDocument(document, Loaded(text));
}

std::string MinimalText(std::string_view game, int matches) {
  std::string text = "format = 1\ngame = \"" + std::string(game) + "\"\n";
  for (int match = 1; match <= matches; ++match) {
    text += "[[match]]\nnumber = " + std::to_string(match) + "\nmark = \"1\"\n";
  }
  return text;
}

TEST(CouponDocumentLoad, MissingOptionalFieldsTakeTheirDefaults) {
  for (const GameRules& game : kGames) {
    SCOPED_TRACE(game.option);
    const int matches = MatchesInPlay(game.game);
    const CouponDocument document = Loaded(MinimalText(game.option, matches));
    CouponDocument expected = NewCouponDocument(game.game);
    for (int match = 1; match <= matches; ++match) expected.marks[CellIndex(match, 0)] = true;
    ExpectSameDocument(expected, document);
    EXPECT_EQ(document.goals, kGoalsNone);
    EXPECT_TRUE(std::isnan(document.pool.turnover));
    EXPECT_EQ(document.pool.levels.front().right, matches);
    EXPECT_TRUE(std::isnan(document.values.match[0].odds[0]));
  }
  // A pool or conditions table given in part keeps the defaults of the rest.
  const CouponDocument partial =
      Loaded(MinimalText("stryktipset", 13) +
             "[pool]\nminimum_payout = 20\n[conditions]\nmax_broken = 2\n");
  CouponDocument expected = NewCouponDocument(kStryktipset);
  for (int match = 1; match <= 13; ++match) expected.marks[CellIndex(match, 0)] = true;
  expected.pool.minimumPayout = 20;
  expected.maxBroken = 2;
  ExpectSameDocument(expected, partial);
  // An empty goals text is no goals choice, as an empty result is no result.
  EXPECT_EQ(Loaded("goals = \"\"\n" + MinimalText("stryktipset", 13)).goals, kGoalsNone);
}

// --- Refusals, each with its line.

// A document using every key, whose lines the refusal cases change.
std::string FullText() {
  CouponDocument document = NewCouponDocument(kStryktipset);
  document.goals = kGoals2;
  for (int match = 1; match <= 13; ++match) document.marks[CellIndex(match, match % 3)] = true;
  MatchValue& second = document.values.match[1];
  second.home = "Hemmalag";
  second.away = "Bortalag";
  second.odds = {2.5, 3.25, 2.75};
  second.chance = {40, 30, 30};
  second.streck = {45, 30, 25};
  document.results[1] = 1;
  document.pool.turnover = 1e7;
  document.conditions = {"kryss 2-5", "skrällar 1-3"};
  document.maxBroken = 1;
  return CouponDocumentText(document);
}

// The full text with the first line equal to `from` replaced by `to` (which
// may hold several lines); and that line's number.
std::pair<std::string, int> Changed(std::string_view from, std::string_view to) {
  const std::string text = FullText();
  std::string changed;
  int at = 0;
  int line = 0;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    const std::string_view current(text.data() + start, end - start);
    ++line;
    if (current == from && at == 0) {
      at = line;
      changed.append(to);
    } else {
      changed.append(current);
    }
    changed += '\n';
    start = end + 1;
  }
  EXPECT_NE(at, 0) << "missing: " << from;
  return {changed, at};
}

struct RefusalCase {
  std::string_view from;
  std::string_view to;
  std::string_view error;  // after "Rad N: ", N the changed line
  int below = 0;           // or so many lines below it
};

TEST(CouponDocumentLoad, TheFullTextLoads) {
  const std::string text = FullText();
  EXPECT_EQ(CouponDocumentText(Loaded(text)), text);
}

TEST(CouponDocumentLoad, RefusesWithTheLine) {
  const RefusalCase cases[] = {
      // The TOML itself.
      {"game = \"stryktipset\"", "game = stryktipset", "okänt värde"},
      {"game = \"stryktipset\"", "game = \"stryktipset", "otillåtet styrtecken"},
      {"max_broken = 1", "max_broken = 1 1", "oväntat tecken \"1\""},
      {"use = false", "use = false\nuse = true", "nyckeln finns redan", 1},
      {"row_price = 1.0", "row_price = 1.0.0", "felaktigt tal"},
      {"turnover = 10000000.0", "turnover = 1e400", "talet kan inte läsas"},
      {"home = \"Hemmalag\"", "home = \"Hemma\\qlag\"", "okänd escape-sekvens i texten"},
      {"away = \"Bortalag\"", "away = \"Borta\xC3lag\"", "ogiltig UTF-8"},
      // The version, before anything else.
      {"format = 1", "format = 2", "kupongen har format 2, programmet läser format 1"},
      {"format = 1", "format = 1.0", "\"format\" ska vara ett heltal"},
      // Keys this version does not know.
      {"goals = \"2\"", "goals = \"2\"\nvalue = 3", "okänd nyckel \"value\"", 1},
      {"row_price = 1.0", "row_prise = 1.0", "[pool]: okänd nyckel \"row_prise\""},
      {"use = false", "used = false", "[conditions]: okänd nyckel \"used\""},
      {"home = \"Hemmalag\"", "hemma = \"Hemmalag\"", "match 2: okänd nyckel \"hemma\""},
      // Game and goals.
      {"game = \"stryktipset\"", "game = \"Stryktipset\"",
       "okänt spel \"Stryktipset\", väntade stryktipset, europatipset, supertoto, topptipset, "
       "topptipset-stryk, topptipset-extra eller topptipset-europa"},
      {"game = \"stryktipset\"", "game = \"supertoto\"",
       "kupongen har 13 matcher, Supertoto har 14 matcher"},
      {"game = \"stryktipset\"", "game = 1", "\"game\" ska vara en text"},
      {"goals = \"2\"", "goals = \"4\"", "okänt antal mål \"4\", väntade 0-1, 2, 3 eller F"},
      {"goals = \"2\"", "goals = \"2\"\ndraw = 0",
       "\"draw\" ska vara ett omgångsnummer från 1 till 999999", 1},
      {"goals = \"2\"", "goals = \"2\"\ndraw = 1000000",
       "\"draw\" ska vara ett omgångsnummer från 1 till 999999", 1},
      {"goals = \"2\"", "goals = \"2\"\ndraw = \"2841\"", "\"draw\" ska vara ett heltal", 1},
      {"goals = \"2\"", "goals = \"2\"\nstake = 2",
       "\"stake\": Stryktipset tar insatsen 1 kr per rad", 1},
      // Matches and marks.
      {"number = 2", "number = 3", "matchnumret ska vara 2"},
      {"number = 2", "number = \"2\"", "\"number\" ska vara ett heltal"},
      {"mark = \"X\"", "mark = \"Xx\"", "match 1 har tecknet \"x\", väntade 1, X eller 2"},
      {"mark = \"X\"", "mark = \"1X1\"", "match 1 har tecknet 1 två gånger"},
      {"mark = \"X\"", "mark = \"Ö\"", "match 1 har tecknet \"Ö\", väntade 1, X eller 2"},
      {"mark = \"X\"", "mark = [\"X\"]", "\"mark\" ska vara en text"},
      {"result = \"X\"", "result = \"1X\"", "match 2 har resultatet \"1X\", väntade 1, X eller 2"},
      {"home = \"Hemmalag\"", "home = \"Hemma\\tlag\"",
       "match 2: lagnamnet får inte innehålla styrtecken"},
      // Odds, chances and streck.
      {"odds = [2.5, 3.25, 2.75]", "odds = [2.5, 3.25]",
       "\"odds\" ska vara en lista med tre tal, för 1, X och 2"},
      {"odds = [2.5, 3.25, 2.75]", "odds = [2.5, 1, 2.75]", "match 2: oddsen ska vara större än 1"},
      {"odds = [2.5, 3.25, 2.75]", "odds = [2.5, \"3\", 2.75]", "\"odds\" ska vara ett tal"},
      {"odds = [2.5, 3.25, 2.75]", "odds = [2.5, inf, 2.75]",
       "match 2: oddsen ska vara ändliga tal"},
      {"chance = [40.0, 30.0, 30.0]", "chance = [40, -30, 30]",
       "match 2: chanserna får inte vara negativa"},
      {"chance = [40.0, 30.0, 30.0]", "chance = [0, 0, 0.0]",
       "match 2: chanserna ska ha en summa över 0"},
      {"streck = [45.0, 30.0, 25.0]", "streck = [nan, 30, 25]",
       "match 2: strecken ska vara ändliga tal"},
      // The pool.
      {"row_price = 1.0", "row_price = 0", "radpriset ska vara ett tal större än 0"},
      {"payout_share = 0.65", "payout_share = 1.5",
       "utdelningsandelen ska vara större än 0 och högst 1"},
      {"minimum_payout = 15.0", "minimum_payout = -1",
       "minsta utdelningen ska vara ett tal, minst 0"},
      {"turnover = 10000000.0", "turnover = 0.0", "omsättningen ska vara ett tal större än 0"},
      {"turnover = 10000000.0", "turnover = \"10 Mkr\"", "\"turnover\" ska vara ett tal"},
      {"12 = 0.15", "14 = 0.15", "okänd nivå \"14\", väntade antal rätt 1-13"},
      {"12 = 0.15", "012 = 0.15", "okänd nivå \"012\", väntade antal rätt 1-13"},
      {"12 = 0.15", "12 = 1.5", "andelen för 12 rätt ska vara mellan 0 och 1"},
      {"[pool.level_share]", "[pool.level_share]\n9 = 0.2",
       "andelarna per nivå ska tillsammans vara högst 1"},
      // Conditions.
      {"use = false", "use = 0", "\"use\" ska vara true eller false"},
      {"max_broken = 1", "max_broken = -1", "\"max_broken\" får inte vara negativt"},
      {"max_broken = 1", "max_broken = 2147483648", "\"max_broken\" är för stort"},
      {"max_broken = 1", "max_broken = 1.5", "\"max_broken\" ska vara ett heltal"},
      {"  \"skrällar 1-3\",", "  \"\",", "villkor 2 är tomt"},
      {"  \"skrällar 1-3\",", "  3,", "\"list\" ska vara en lista med texter"},
  };
  for (const RefusalCase& refusal : cases) {
    const auto [text, line] = Changed(refusal.from, refusal.to);
    SCOPED_TRACE(std::string(refusal.to));
    const DocumentResult result = LoadCouponDocument(text);
    EXPECT_FALSE(result.document.has_value());
    EXPECT_EQ(result.error,
              "Rad " + std::to_string(line + refusal.below) + ": " + std::string(refusal.error));
  }
}

// Refusals that point elsewhere than at a changed line.
TEST(CouponDocumentLoad, RefusesMissingAndSurplusParts) {
  const auto error = [](std::string_view text) {
    const DocumentResult result = LoadCouponDocument(text);
    EXPECT_FALSE(result.document.has_value());
    return result.error;
  };
  const std::string minimal = MinimalText("stryktipset", 13);
  // Lines: 1 format, 2 game, then three per match from line 3.
  EXPECT_EQ(error(minimal.substr(minimal.find('\n') + 1)), "Rad 1: \"format\" saknas");
  EXPECT_EQ(error("format = 1\n"), "Rad 1: \"game\" saknas");
  EXPECT_EQ(error("format = 1\ngame = \"stryktipset\"\n"),
            "Rad 2: kupongen har 0 matcher, Stryktipset har 13 matcher");
  EXPECT_EQ(error(minimal + "[[match]]\nnumber = 14\nmark = \"1\"\n"),
            "Rad 42: en match för mycket, Stryktipset har 13 matcher");
  EXPECT_EQ(error(MinimalText("stryktipset", 12)),
            "Rad 2: kupongen har 12 matcher, Stryktipset har 13 matcher");
  std::string noMark = minimal;
  noMark.replace(noMark.find("mark = \"1\"\n[[match]]\nnumber = 3"), 11, "");
  EXPECT_EQ(error(noMark), "Rad 6: \"mark\" saknas i match 2");
  std::string noNumber = minimal;
  noNumber.replace(noNumber.find("number = 5\n"), 11, "");
  EXPECT_EQ(error(noNumber), "Rad 15: \"number\" saknas i match 5");
  const std::string head = "format = 1\ngame = \"stryktipset\"\n";
  EXPECT_EQ(error(head + "pool = 5\n" + minimal.substr(head.size())),
            "Rad 3: \"pool\" ska vara en tabell [pool]");
  EXPECT_EQ(error(minimal + "[conditions]\nlist = \"kryss 2-5\"\n"),
            "Rad 43: \"list\" ska vara en lista med texter");
  EXPECT_EQ(error("format = 1\ngame = \"stryktipset\"\nmatch = [1, 2]\n"),
            "Rad 3: \"match\" ska vara tabeller [[match]], en per match");
  // A newer version is refused for its version, whatever else it holds.
  EXPECT_EQ(error("# ny\nformat = 3\nnew_key = true\n"),
            "Rad 2: kupongen har format 3, programmet läser format 1");
  EXPECT_EQ(error(""), "Rad 1: \"format\" saknas");
  EXPECT_EQ(error("format = 1\ngame = \"stryktipset\"\n\x01"), "Rad 3: otillåtet styrtecken");
}

// --- Files.

TEST(CouponDocumentFile, SavesAndReadsBack) {
  TempFolder folder("document");
  const std::string path = folder.Path("kupong.spelkub").string();
  RandomDocuments documents(11);
  const CouponDocument first = documents.Next();
  SaveCouponDocument(path, first);
  const DocumentResult read = ReadCouponDocumentFile(path);
  ASSERT_TRUE(read.document.has_value()) << read.error;
  EXPECT_EQ(CouponDocumentText(*read.document), CouponDocumentText(first));

  // A document that cannot be written leaves the old file as it was.
  CouponDocument bad = first;
  bad.game = 0;
  EXPECT_THROW(SaveCouponDocument(path, bad), std::invalid_argument);
  EXPECT_EQ(testing::ReadFile(folder.Path("kupong.spelkub")), CouponDocumentText(first));
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"kupong.spelkub"});
}

TEST(CouponDocumentFile, RefusesWhatIsNoCouponFile) {
  TempFolder folder("document");
  const auto error = [](const std::filesystem::path& path) {
    const DocumentResult result = ReadCouponDocumentFile(path.string());
    EXPECT_FALSE(result.document.has_value());
    return result.error;
  };
  const std::filesystem::path missing = folder.Path("saknas.spelkub");
  EXPECT_EQ(error(missing), "Kan inte läsa \"" + missing.string() + "\": filen finns inte");
  EXPECT_EQ(error(folder.path()),
            "Kan inte läsa \"" + folder.path().string() + "\": det är en mapp");

  const std::filesystem::path pipe = folder.Path("rör");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(error(pipe), "Kan inte läsa \"" + pipe.string() + "\": det är ingen vanlig fil");

  const std::filesystem::path large = folder.Path("stor.spelkub");
  const std::string text = MinimalText("stryktipset", 13);
  testing::WriteFile(large, text + "#" + std::string(kMaxCouponDocumentBytes - text.size(), 'x'));
  EXPECT_EQ(error(large), "Kan inte läsa \"" + large.string() +
                              "\": filen är för stor för en kupong (över 1 MiB)");
  // Exactly at the limit is still read.
  testing::WriteFile(large,
                     text + "#" + std::string(kMaxCouponDocumentBytes - text.size() - 1, 'x'));
  EXPECT_EQ(ReadCouponDocumentFile(large.string()).error, "");

  const std::filesystem::path damaged = folder.Path("trasig.spelkub");
  testing::WriteFile(damaged, text + "[[match]]\nnumber = 14\nmark = \"1\"\n");
  EXPECT_EQ(error(damaged), "Rad 42: en match för mycket, Stryktipset har 13 matcher");

  const std::filesystem::path link = folder.Path("länk.spelkub");
  std::filesystem::create_symlink(damaged, link);
  testing::WriteFile(damaged, text);
  EXPECT_EQ(ReadCouponDocumentFile(link.string()).error, "");
}

// --- The coupon's marks.

TEST(CouponDocumentCoupon, MarksGameAndGoalsGoBothWays) {
  std::mt19937 random(5);
  for (int round = 0; round < 50; ++round) {
    CouponState state;
    state.Game = kGames[random() % 3].game;
    state.Goals = static_cast<int32_t>(random() % 5);
    state.Reduction = kReductionGuarantee;
    for (int32_t& mark : state.Marks) mark = static_cast<int32_t>(random() % 2);
    CouponDocument document = NewCouponDocument(kStryktipset);
    SetDocumentFromCoupon(state, document);
    EXPECT_EQ(document.game, state.Game);
    EXPECT_EQ(document.goals, state.Goals);

    CouponState back;
    back.Reduction = kReductionRowCount;
    for (int32_t& mark : back.Marks) mark = 1;
    SetCouponFromDocument(Loaded(CouponDocumentText(document)), back);
    EXPECT_EQ(back.Game, state.Game);
    EXPECT_EQ(back.Goals, state.Goals);
    EXPECT_EQ(back.Reduction, kReductionRowCount);
    for (int cell = 0; cell < kCellCount; ++cell) {
      const bool inPlay = CellMatch(cell) <= MatchesInPlay(state.Game);
      EXPECT_EQ(back.Marks[cell], inPlay ? state.Marks[cell] : 0) << "cell " << cell;
    }
  }
}

// A game of another pool brings its own pool and stakes; what was typed of
// the pool (turnover, jackpot) and the draw stay.
TEST(CouponDocumentCoupon, ChangingTheGameChangesThePoolItsTableGives) {
  CouponDocument document = NewCouponDocument(kStryktipset);
  document.pool.turnover = 1234567;
  document.pool.jackpot = 500000;
  document.draw = 4929;
  CouponState state;
  const auto expectPool = [&document](int32_t game) {
    const PoolModel expected = PoolModelOf(Rules(game));
    EXPECT_EQ(document.pool.payoutShare, expected.payoutShare);
    EXPECT_EQ(document.pool.minimumPayout, expected.minimumPayout);
    ASSERT_EQ(document.pool.levels.size(), expected.levels.size());
    for (size_t i = 0; i < expected.levels.size(); ++i) {
      EXPECT_EQ(document.pool.levels[i].right, expected.levels[i].right);
      EXPECT_EQ(document.pool.levels[i].share, expected.levels[i].share);
    }
    EXPECT_EQ(document.pool.turnover, 1234567);
    EXPECT_EQ(document.pool.jackpot, 500000);
    EXPECT_EQ(document.draw, 4929);
    EXPECT_EQ(CouponDocumentProblem(document), "");
  };
  state.Game = kEuropatipset;  // same form, other shares: the table's
  SetDocumentFromCoupon(state, document);
  expectPool(kEuropatipset);
  state.Game = kTopptipsetStryk;
  SetDocumentFromCoupon(state, document);
  expectPool(kTopptipsetStryk);
  document.stake = 10;
  state.Game = kTopptipset;  // the stake stays where the game takes it
  SetDocumentFromCoupon(state, document);
  EXPECT_EQ(document.stake, 10);
  state.Game = kSupertoto;  // and goes back to 1 where it does not
  SetDocumentFromCoupon(state, document);
  expectPool(kSupertoto);
  EXPECT_EQ(document.stake, 1);
}

TEST(CouponDocumentCoupon, TheDrawIsTheDocumentsOrTheChosenSnapshots) {
  CouponDocument document = NewCouponDocument(kTopptipset);
  EXPECT_EQ(CouponDraw(document), 0);
  document.snapshots.resize(2);
  document.snapshots[0].draw = 100;
  document.snapshots[1].draw = 101;
  EXPECT_EQ(CouponDraw(document), 0);  // none chosen
  document.chosenSnapshot = 0;
  EXPECT_EQ(CouponDraw(document), 100);
  document.draw = 2841;
  EXPECT_EQ(CouponDraw(document), 2841);
}

TEST(CouponDocumentCoupon, PrizeLevelsFollowTheNumberOfMatches) {
  CouponDocument document = NewCouponDocument(kEuropatipset);
  document.pool.levels = {{13, 0.5}, {12, 0.2}, {1, 0.1}};
  CouponState state;
  state.Game = kSupertoto;
  SetDocumentFromCoupon(state, document);
  ASSERT_EQ(document.pool.levels.size(), 3u);
  EXPECT_EQ(document.pool.levels[0].right, 14);
  EXPECT_EQ(document.pool.levels[1].right, 13);
  EXPECT_EQ(document.pool.levels[2].right, 2);
  EXPECT_EQ(document.pool.levels[0].share, 0.5);
  state.Game = kStryktipset;
  SetDocumentFromCoupon(state, document);
  EXPECT_EQ(document.pool.levels[0].right, 13);
  EXPECT_EQ(document.pool.levels[2].right, 1);
  // A level that would fall below one right is dropped.
  document.game = kSupertoto;
  SetDocumentFromCoupon(state, document);
  ASSERT_EQ(document.pool.levels.size(), 2u);
  EXPECT_EQ(CouponDocumentProblem(document), "");

  state.Game = kSupertoto;
  CouponDocument fresh = NewCouponDocument(kStryktipset);
  SetDocumentFromCoupon(state, fresh);
  const PoolModel expected = DefaultPoolModel(14);
  ASSERT_EQ(fresh.pool.levels.size(), expected.levels.size());
  for (size_t i = 0; i < expected.levels.size(); ++i) {
    EXPECT_EQ(fresh.pool.levels[i].right, expected.levels[i].right);
    EXPECT_EQ(fresh.pool.levels[i].share, expected.levels[i].share);
  }
}

}  // namespace
}  // namespace spelkub
