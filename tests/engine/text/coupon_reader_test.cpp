#include "text/coupon_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "support/coupon_builder.h"
#include "support/temp_folder.h"
#include "text/coupon_text.h"

namespace spelkub {
namespace {

using testing::MakeCoupon;
using testing::TempFolder;
using testing::UniformCoupon;

constexpr std::string_view kRowA = "E,1,X,2,1,X,2,1,X,2,1,X,2,1";
constexpr std::string_view kRowB = "E,2,2,2,2,2,2,2,2,2,2,2,2,X";
constexpr std::string_view kTotoA = "1,X,2,1,X,2,1,X,2,1,X,2,1,X";
constexpr std::string_view kTotoB = "2,2,2,2,2,2,2,2,2,2,2,2,2,1";

// A row line rendered independently of the reader and of generation.
std::string Render(PackedRow row, int32_t game) {
  std::string line = game == kSupertoto ? "" : "E";
  for (int match = 1; match <= MatchesInPlay(game); ++match) {
    if (!line.empty()) line += ',';
    line += OutcomeSign(PackedOutcome(row, match));
  }
  return line;
}

// The row of a line's signs, packed independently of the reader.
PackedRow Packed(std::string_view line) {
  if (line.starts_with("E,")) line.remove_prefix(2);
  PackedRow row = 0;
  for (size_t i = 0; i < line.size(); i += 2) {
    const int outcome = line[i] == '1' ? 0 : line[i] == 'X' ? 1 : 2;
    row |= PackedRow(outcome) << (i);  // sign i/2 sits in bits 2*(i/2) = i
  }
  return row;
}

std::string Crlf(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (std::string_view line : lines) text.append(line).append("\r\n");
  return text;
}

CouponRows Accepted(std::string_view text) {
  ReadResult result = ReadCouponText(text);
  EXPECT_TRUE(result.coupon.has_value()) << "refused: " << result.error;
  EXPECT_EQ(result.error, "");
  return result.coupon.value_or(CouponRows{});
}

std::string Refusal(std::string_view text) {
  const ReadResult result = ReadCouponText(text);
  EXPECT_FALSE(result.coupon.has_value());
  return result.error;
}

// ---- Accepted forms ----

struct HeaderCase {
  const char* header;
  int32_t game;
  HeaderForm form;
  bool plus13;
  int32_t goals;
};

void PrintTo(const HeaderCase& c, std::ostream* out) {
  *out << '"' << c.header << '"';
}

class EveryHeaderForm : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(EveryHeaderForm, IsReadWithItsGameAndRows) {
  const HeaderCase& c = GetParam();
  const CouponRows coupon = Accepted(Crlf({c.header, kRowA, kRowB}));
  EXPECT_EQ(coupon.game, c.game);
  EXPECT_EQ(coupon.headerForm, c.form);
  EXPECT_EQ(coupon.header, c.header);
  EXPECT_EQ(coupon.plus13, c.plus13);
  EXPECT_EQ(coupon.goals, c.goals);
  EXPECT_EQ(coupon.rows, (std::vector<PackedRow>{Packed(kRowA), Packed(kRowB)}));
  EXPECT_EQ(coupon.lines, (std::vector<uint32_t>{2, 3}));
}

INSTANTIATE_TEST_SUITE_P(
    CouponReader, EveryHeaderForm,
    ::testing::Values(
        HeaderCase{"Stryktipset,13plus=Nej", kStryktipset, HeaderForm::kGenerated, false, 0},
        HeaderCase{"Stryktipset,13plus=Ja,Antal=0-1", kStryktipset, HeaderForm::kGenerated, true,
                   kGoals0To1},
        HeaderCase{"Stryktipset,13plus=Ja,Antal=2", kStryktipset, HeaderForm::kGenerated, true,
                   kGoals2},
        HeaderCase{"Stryktipset,13plus=Ja,Antal=3", kStryktipset, HeaderForm::kGenerated, true,
                   kGoals3},
        HeaderCase{"Stryktipset,13plus=Ja,Antal=F", kStryktipset, HeaderForm::kGenerated, true,
                   kGoalsF},
        HeaderCase{"Italienska stryktipset,13plus=Nej", kEuropatipset, HeaderForm::kGenerated,
                   false, 0},
        HeaderCase{"Italienska stryktipset,13plus=Ja,Antal=0-1", kEuropatipset,
                   HeaderForm::kGenerated, true, kGoals0To1},
        HeaderCase{"Italienska stryktipset,13plus=Ja,Antal=2", kEuropatipset,
                   HeaderForm::kGenerated, true, kGoals2},
        HeaderCase{"Italienska stryktipset,13plus=Ja,Antal=3", kEuropatipset,
                   HeaderForm::kGenerated, true, kGoals3},
        HeaderCase{"Italienska stryktipset,13plus=Ja,Antal=F", kEuropatipset,
                   HeaderForm::kGenerated, true, kGoalsF},
        HeaderCase{"Stryktipset", kStryktipset, HeaderForm::kProductName, false, 0},
        HeaderCase{"Europatipset", kEuropatipset, HeaderForm::kProductName, false, 0}),
    [](const ::testing::TestParamInfo<HeaderCase>& info) {
      std::string name;
      for (const char* c = info.param.header; *c != '\0'; ++c) {
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
      }
      return name;
    });

TEST(CouponReader, ReadsSupertotoRowsWithoutHeader) {
  const CouponRows coupon = Accepted(Crlf({kTotoA, kTotoB}));
  EXPECT_EQ(coupon.game, kSupertoto);
  EXPECT_EQ(coupon.headerForm, HeaderForm::kNone);
  EXPECT_EQ(coupon.header, "");
  EXPECT_EQ(coupon.rows, (std::vector<PackedRow>{Packed(kTotoA), Packed(kTotoB)}));
  EXPECT_EQ(coupon.lines, (std::vector<uint32_t>{1, 2}));
}

TEST(CouponReader, AcceptsLfBlankLinesAndALastLineWithoutBreak) {
  const std::string text =
      "\n  \r\nStryktipset\n\n" + std::string(kRowA) + "\r\n\t\n" + std::string(kRowB);
  const CouponRows coupon = Accepted(text);
  EXPECT_EQ(coupon.game, kStryktipset);
  EXPECT_EQ(coupon.rows, (std::vector<PackedRow>{Packed(kRowA), Packed(kRowB)}));
  EXPECT_EQ(coupon.lines, (std::vector<uint32_t>{5, 7}));
}

TEST(CouponReader, AcceptsALastLineEndedByCarriageReturnOnly) {
  const CouponRows coupon = Accepted("Stryktipset\r\n" + std::string(kRowA) + "\r");
  EXPECT_EQ(coupon.rows, std::vector<PackedRow>{Packed(kRowA)});
}

TEST(CouponReader, AcceptsAByteOrderMarkBeforeTheHeader) {
  const CouponRows coupon = Accepted("\xEF\xBB\xBF" + Crlf({"Europatipset", kRowA}));
  EXPECT_EQ(coupon.game, kEuropatipset);
  EXPECT_EQ(coupon.header, "Europatipset");
  EXPECT_EQ(coupon.rows.size(), 1u);
}

TEST(CouponReader, ReadsTheInitialTextAloneAsNoRows) {
  for (std::string_view text : {"Dina Rader:", "Dina Rader:\r\n", "\r\nDina Rader:\n\n"}) {
    const CouponRows coupon = Accepted(text);
    EXPECT_TRUE(coupon.rows.empty()) << text;
    EXPECT_EQ(coupon.headerForm, HeaderForm::kNone);
  }
}

TEST(CouponReader, ReadsAnEmptyTextAndAHeaderAloneAsNoRows) {
  EXPECT_TRUE(Accepted("").rows.empty());
  EXPECT_TRUE(Accepted("\r\n\r\n").rows.empty());
  const CouponRows header = Accepted("Stryktipset,13plus=Nej\r\n");
  EXPECT_TRUE(header.rows.empty());
  EXPECT_EQ(header.headerForm, HeaderForm::kGenerated);
}

// ---- Round trip with generation ----

TEST(CouponReader, ReadsBackEveryRowThatGenerationWrites) {
  struct Case {
    CouponState state;
    Plus13Choice plus13;
  };
  std::vector<Case> cases;
  cases.push_back({MakeCoupon(kStryktipset, {"1X2", "X2", "1", "2", "X", "12", "1X2", "1", "1", "1",
                                             "1X", "1", "2"}),
                   kPlus13No});
  CouponState withGoals = cases.back().state;
  withGoals.Goals = kGoalsF;
  cases.push_back({withGoals, kPlus13Yes});
  CouponState europa = cases.back().state;
  europa.Game = kEuropatipset;
  europa.Goals = kGoals0To1;
  cases.push_back({europa, kPlus13Yes});
  cases.push_back({MakeCoupon(kSupertoto, {"1X2", "X2", "1", "2", "X", "12", "1X2", "1", "1", "1",
                                           "1X", "1", "2", "1X2"}),
                   kPlus13No});
  for (const Case& c : cases) {
    const RowSet set = GenerateFullSystem(c.state, c.plus13);
    const CouponRows coupon = Accepted(CouponText(set));
    EXPECT_EQ(coupon.game, set.game);
    EXPECT_EQ(coupon.header + (set.header.empty() ? "" : "\r\n"), set.header);
    EXPECT_EQ(coupon.rows, set.rows);
    const uint32_t first = set.header.empty() ? 1 : 2;
    ASSERT_EQ(coupon.lines.size(), set.rows.size());
    for (size_t i = 0; i < coupon.lines.size(); ++i) {
      ASSERT_EQ(coupon.lines[i], first + i);
    }
  }
}

TEST(CouponReader, ReadsBackTheRowsOfAReductionInTheirOrder) {
  const RowSet set = GenerateFullSystem(UniformCoupon(kStryktipset, "1X2"), kPlus13No);
  std::mt19937 random(7);
  std::vector<uint32_t> indices(500);
  for (uint32_t& index : indices) index = random() % set.rows.size();
  const CouponRows coupon = Accepted(CouponText(set, indices));
  ASSERT_EQ(coupon.rows.size(), indices.size());
  for (size_t i = 0; i < indices.size(); ++i) EXPECT_EQ(coupon.rows[i], set.rows[indices[i]]);
}

// ---- Refusals, each naming its line ----

TEST(CouponReaderRefuses, ARowWithTooFewOrTooManySigns) {
  const std::string header = "Stryktipset,13plus=Nej";
  EXPECT_EQ(Refusal(Crlf({header, kRowA, "E,1,X,2,1,X,2,1,X,2,1,X,2"})),
            "Rad 3: väntade 13 tecken 1, X eller 2");
  EXPECT_EQ(Refusal(Crlf({header, "E,1,X,2,1,X,2,1,X,2,1,X,2,1,1"})),
            "Rad 2: väntade 13 tecken 1, X eller 2");
  EXPECT_EQ(Refusal(Crlf({header, "E,1,X,2,1,X,2,1,X,2,1,X,2,1,"})),
            "Rad 2: väntade 13 tecken 1, X eller 2");
  EXPECT_EQ(Refusal(Crlf({header, "E1X21X21X21X21"})), "Rad 2: väntade 13 tecken 1, X eller 2");
  EXPECT_EQ(Refusal(Crlf({kTotoA, "1,X,2"})), "Rad 2: väntade 14 tecken 1, X eller 2");
}

TEST(CouponReaderRefuses, ASignOtherThan1X2AndNamesTheMatch) {
  EXPECT_EQ(Refusal(Crlf({"Stryktipset", kRowA, kRowA, "E,1,X,2,1,x,2,1,X,2,1,X,2,1"})),
            "Rad 4: match 5 har \"x\", väntade 1, X eller 2");
  EXPECT_EQ(Refusal(Crlf({"Stryktipset", "E,1,X,2,1,X,2,1,X,2,1,X,2, 1"})),
            "Rad 2: match 13 har \" 1\", väntade 1, X eller 2");
  EXPECT_EQ(Refusal(Crlf({"Stryktipset", "E,1,,2,1,X,2,1,X,2,1,X,2,1"})),
            "Rad 2: match 2 saknar tecken");
  EXPECT_EQ(Refusal(Crlf({kTotoA, "1,X,2,1,X,2,1,X,2,1,X,2,1,0"})),
            "Rad 2: match 14 har \"0\", väntade 1, X eller 2");
  EXPECT_EQ(Refusal(Crlf({"Stryktipset", "E,1,X,2,1,X,2,1,X,2,1,X,2,1 "})),
            "Rad 2: match 13 har \"1 \", väntade 1, X eller 2");
}

TEST(CouponReaderRefuses, RowsOfAnotherGameThanTheHeader) {
  EXPECT_EQ(Refusal(Crlf({"Stryktipset,13plus=Nej", kRowA, kTotoA})),
            "Rad 3: en Supertoto-rad med 14 tecken passar inte under rubriken "
            "\"Stryktipset,13plus=Nej\"");
  EXPECT_EQ(Refusal(Crlf({"Europatipset", kTotoA})),
            "Rad 2: en Supertoto-rad med 14 tecken passar inte under rubriken \"Europatipset\"");
  EXPECT_EQ(Refusal(Crlf({kTotoA, kTotoB, kRowA})),
            "Rad 3: en rad med \"E,\" passar inte bland Supertoto-raderna");
}

TEST(CouponReaderRefuses, StryktipsetRowsWithoutHeader) {
  EXPECT_EQ(Refusal(Crlf({kRowA, kRowB})),
            "Rad 1: rubrik saknas: \"Stryktipset\" eller \"Europatipset\" ska stå före raderna");
  EXPECT_EQ(Refusal("\r\n\r\n" + Crlf({kRowA})),
            "Rad 3: rubrik saknas: \"Stryktipset\" eller \"Europatipset\" ska stå före raderna");
}

TEST(CouponReaderRefuses, AHeaderThatGenerationNeverWrites) {
  for (std::string_view header :
       {"Stryktipset,13plus=Ja", "Stryktipset,13plus=Ja,Antal=4", "Stryktipset,13plus=nej",
        "Stryktipset,13plus=Ja,Antal=", "Europatipset,13plus=Nej", "Italienska stryktipset",
        "Stryktipset ", "Stryktipset,13plus=Nej,Antal=2"}) {
    EXPECT_EQ(Refusal(Crlf({header, kRowA})),
              "Rad 1: okänd rubrik \"" + std::string(header) + "\"");
  }
  EXPECT_EQ(Refusal(Crlf({"Supertoto", kTotoA})),
            "Rad 1: väntade en rubrik som \"Stryktipset\" eller en rad");
  EXPECT_EQ(Refusal(Crlf({"Italienska Stryktipset,13plus=Nej", kRowA})),
            "Rad 1: väntade en rubrik som \"Stryktipset\" eller en rad");
}

TEST(CouponReaderRefuses, ASecondHeaderAmongTheRows) {
  EXPECT_EQ(Refusal(Crlf({"Stryktipset", kRowA, "Stryktipset,13plus=Nej", kRowB})),
            "Rad 3: rubriken kan bara stå först");
  EXPECT_EQ(Refusal(Crlf({kTotoA, "Stryktipset"})), "Rad 2: rubriken kan bara stå först");
}

TEST(CouponReaderRefuses, RowsAfterTheInitialText) {
  EXPECT_EQ(Refusal(Crlf({"Dina Rader:", kTotoA})),
            "Rad 2: efter \"Dina Rader:\" kan inga rader stå");
  EXPECT_EQ(Refusal(Crlf({"Stryktipset", kRowA, "Dina Rader:"})),
            "Rad 3: väntade 13 tecken 1, X eller 2");
}

TEST(CouponReaderRefuses, ControlAndNonAsciiBytesByTheirCode) {
  EXPECT_EQ(Refusal(Crlf({"Stryktipset", kRowA}) + std::string("E,1\0,X", 6)),
            "Rad 3: otillåtet tecken (byte 0x00)");
  // A CR within a line ends it, as old systems end lines: said so.
  EXPECT_EQ(Refusal("Stryktipset\r\nE,1,X\r,2\r\n"),
            "Rad 2: radslut med bara CR (byte 0x0D): spara filen med radslut LF eller CR LF");
  EXPECT_EQ(Refusal("Stryktipset,13plus=Nej\r" + std::string(kRowA) + "\r"),
            "Rad 1: radslut med bara CR (byte 0x0D): spara filen med radslut LF eller CR LF");
  EXPECT_EQ(Refusal("Stryktipset\r\n\x1B[7m\r\n"), "Rad 2: otillåtet tecken (byte 0x1B)");
  EXPECT_EQ(Refusal("Stryktipset \xC3\xA4\r\n"), "Rad 1: otillåtet tecken (byte 0xC3)");
  EXPECT_EQ(Refusal("\x7F"
                    "ELF\x02\x01"),
            "Rad 1: otillåtet tecken (byte 0x7F)");
}

TEST(CouponReaderRefuses, ALineFarLongerThanAnyCouponLine) {
  EXPECT_EQ(Refusal("Stryktipset\r\n" + std::string(65, 'E')), "Rad 2: raden är för lång");
  EXPECT_EQ(Refusal("Stryktipset\r\n" + std::string(1000, ',') + "\r\n"),
            "Rad 2: raden är för lång");
}

TEST(CouponReaderRefuses, AnythingElseOnTheFirstLine) {
  EXPECT_EQ(Refusal("Hej\r\n"), "Rad 1: väntade en rubrik som \"Stryktipset\" eller en rad");
  EXPECT_EQ(Refusal("x,X,2,1,X,2,1,X,2,1,X,2,1,X\r\n"),
            "Rad 1: match 1 har \"x\", väntade 1, X eller 2");
  EXPECT_EQ(Refusal("1X21X21X21X21X\r\n"), "Rad 1: väntade 14 tecken 1, X eller 2");
}

TEST(CouponReaderRefuses, WholeTextWhenOneLineIsBad) {
  const std::string good = Crlf({"Stryktipset", kRowA, kRowB, kRowA});
  const ReadResult result = ReadCouponText(good + "E,1\r\n" + Crlf({kRowB}));
  EXPECT_FALSE(result.coupon.has_value());
  EXPECT_EQ(result.error, "Rad 5: väntade 13 tecken 1, X eller 2");
}

// A plain line-by-line reading of the same rules, for comparison: the header
// forms as a list, rows by their fixed sign positions.
struct Reference {
  bool accepted = false;
  int64_t refusedLine = 0;
  // For a line refused for its bytes or its length: the start of the message.
  std::string refusal;
  std::vector<PackedRow> rows;
  std::vector<uint32_t> lines;
};

Reference ReadPlainly(const std::string& text) {
  static const std::vector<std::pair<std::string, int32_t>> kHeaders = {
      {"Stryktipset,13plus=Nej", kStryktipset},
      {"Stryktipset,13plus=Ja,Antal=0-1", kStryktipset},
      {"Stryktipset,13plus=Ja,Antal=2", kStryktipset},
      {"Stryktipset,13plus=Ja,Antal=3", kStryktipset},
      {"Stryktipset,13plus=Ja,Antal=F", kStryktipset},
      {"Italienska stryktipset,13plus=Nej", kEuropatipset},
      {"Italienska stryktipset,13plus=Ja,Antal=0-1", kEuropatipset},
      {"Italienska stryktipset,13plus=Ja,Antal=2", kEuropatipset},
      {"Italienska stryktipset,13plus=Ja,Antal=3", kEuropatipset},
      {"Italienska stryktipset,13plus=Ja,Antal=F", kEuropatipset},
      {"Stryktipset", kStryktipset},
      {"Europatipset", kEuropatipset}};
  auto rowOf = [](const std::string& line, int32_t game) -> std::optional<PackedRow> {
    if (line.size() != 27) return std::nullopt;
    if (game != kSupertoto && line[0] != 'E') return std::nullopt;
    PackedRow row = 0;
    for (int m = 1; m <= MatchesInPlay(game); ++m) {
      const char sign = line[SignPosition(Rules(game), m)];
      if (sign != '1' && sign != 'X' && sign != '2') return std::nullopt;
      row |= PackedRow(sign == '1' ? 0 : sign == 'X' ? 1 : 2) << (2 * (m - 1));
    }
    for (size_t i = 1; i < 27; i += 2) {
      if (line[i] != ',') return std::nullopt;
    }
    return row;
  };
  Reference reference;
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (end < text.size() || !line.empty()) lines.push_back(line);
    start = end + 1;
  }
  int32_t game = 0;  // 0 before the first line that is not blank
  bool initialText = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string line = lines[i];
    const auto refuse = [&] {
      reference.refusedLine = static_cast<int64_t>(i + 1);
      reference.rows.clear();
      reference.lines.clear();
      return reference;
    };
    if (i == 0 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    // The first fault from the left: a byte outside printable ASCII and tab,
    // or a 65th character of a line that is not blank.
    for (size_t at = 0; at < line.size(); ++at) {
      const auto byte = static_cast<unsigned char>(line[at]);
      if (at >= 64 && line.find_first_not_of(" \t") <= at) {
        reference.refusal = "raden är för lång";
        return refuse();
      }
      if ((byte < 0x20 && byte != '\t') || byte >= 0x7F) {
        reference.refusal = "otillåtet tecken";
        return refuse();
      }
    }
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    if (initialText) return refuse();
    if (game == 0) {
      for (const auto& [header, headerGame] : kHeaders) {
        if (line == header) game = headerGame;
      }
      if (game != 0) continue;
      if (line == "Dina Rader:") {
        initialText = true;
        continue;
      }
      game = kSupertoto;
    }
    const std::optional<PackedRow> row = rowOf(line, game);
    if (!row) return refuse();
    reference.rows.push_back(*row);
    reference.lines.push_back(static_cast<uint32_t>(i + 1));
  }
  reference.accepted = true;
  return reference;
}

TEST(CouponReader, AgreesWithAPlainReadingOnRandomTexts) {
  std::mt19937 random(23);
  const std::vector<std::string> headers = {"Stryktipset,13plus=Nej",
                                            "Stryktipset,13plus=Ja,Antal=3",
                                            "Italienska stryktipset,13plus=Ja,Antal=0-1",
                                            "Europatipset",
                                            "Stryktipset",
                                            "Dina Rader:",
                                            "Stryktipset,13plus=Ja",
                                            ""};
  auto randomRow = [&](int32_t game) {
    PackedRow row = 0;
    for (int m = 0; m < MatchesInPlay(game); ++m) row |= PackedRow(random() % 3) << (2 * m);
    return Render(row, game);
  };
  int accepted = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    const int32_t game = random() % 3 == 0 ? kSupertoto : kStryktipset;
    std::string text;
    const auto lineBreak = [&] { return random() % 2 == 0 ? "\r\n" : "\n"; };
    if (game != kSupertoto || random() % 8 == 0) {
      text += headers[random() % headers.size()] + lineBreak();
    }
    const int count = static_cast<int>(random() % 6);
    for (int i = 0; i < count; ++i) {
      std::string line = randomRow(random() % 10 == 0 ? kStryktipset + kSupertoto - game : game);
      switch (random() % 12) {
        case 0:
          line[random() % line.size()] = "1X2E,x 0"[random() % 8];
          break;
        case 1:
          line = random() % 2 == 0 ? "" : " \t";
          break;
        case 2:
          line.erase(random() % line.size(), 1);
          break;
        default:
          break;
      }
      text += line;
      if (i + 1 < count || random() % 4 != 0) text += lineBreak();
    }
    const Reference expected = ReadPlainly(text);
    const ReadResult result = ReadCouponText(text);
    ASSERT_EQ(result.coupon.has_value(), expected.accepted) << text << "\n" << result.error;
    if (expected.accepted) {
      ++accepted;
      ASSERT_EQ(result.coupon->rows, expected.rows) << text;
    } else {
      ASSERT_TRUE(result.error.starts_with("Rad " + std::to_string(expected.refusedLine) + ": "))
          << text << "\n"
          << result.error;
    }
  }
  EXPECT_GT(accepted, 300);
  EXPECT_LT(accepted, 2700);
}

// Texts of rows among blank lines of any length, byte-order marks in and out
// of place, LF and CR LF, read whole and from files in chunks of every size:
// the same rows on the same lines as a plain reading, or the same refusal.
TEST(CouponReader, AgreesWithAPlainReadingOverBlanksMarksLineEndsAndChunkEnds) {
  const unsigned seed = 20240616;
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  TempFolder folder("coupon_reader");
  const auto path = folder.Path("rader.txt");
  const std::string bom = "\xEF\xBB\xBF";
  auto blanks = [&] {
    // Mostly short; now and then around the longest line and beyond.
    const size_t length = random() % 6 == 0 ? 56 + random() % 14 : random() % 8;
    std::string line;
    for (size_t i = 0; i < length; ++i) line += random() % 5 == 0 ? '\t' : ' ';
    return line;
  };
  auto randomRow = [&](int32_t game) {
    PackedRow row = 0;
    for (int m = 0; m < MatchesInPlay(game); ++m) row |= PackedRow(random() % 3) << (2 * m);
    return Render(row, game);
  };
  const auto check = [](const std::string& text, const ReadResult& result, const char* how) {
    const Reference expected = ReadPlainly(text);
    ASSERT_EQ(result.coupon.has_value(), expected.accepted)
        << how << "\n"
        << ::testing::PrintToString(text) << "\n"
        << result.error;
    if (expected.accepted) {
      ASSERT_EQ(result.coupon->rows, expected.rows) << how << ::testing::PrintToString(text);
      ASSERT_EQ(result.coupon->lines, expected.lines) << how << ::testing::PrintToString(text);
    } else {
      ASSERT_TRUE(result.error.starts_with("Rad " + std::to_string(expected.refusedLine) + ": " +
                                           expected.refusal))
          << how << "\n"
          << ::testing::PrintToString(text) << "\n"
          << result.error;
    }
  };
  int accepted = 0;
  for (int trial = 0; trial < 600; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    const int32_t game = random() % 3 == 0 ? kSupertoto : kStryktipset;
    const auto lineBreak = [&] { return random() % 2 == 0 ? "\r\n" : "\n"; };
    std::string text;
    if (random() % 2 == 0) text += bom;
    if (random() % 3 != 0) text += blanks() + lineBreak();
    if (game != kSupertoto) text += std::string(random() % 2 == 0 ? "Stryktipset" : "Europatipset");
    if (game != kSupertoto || random() % 3 == 0) text += lineBreak();
    const int count = static_cast<int>(random() % 40);
    for (int i = 0; i < count; ++i) {
      switch (random() % 64) {
        case 0:
          text += bom + randomRow(game);
          break;
        case 1:
          text += blanks() + randomRow(game);
          break;
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 7:
          text += blanks();
          break;
        default:
          text += randomRow(game);
          break;
      }
      if (i + 1 < count || random() % 3 != 0) text += lineBreak();
    }
    const ReadResult whole = ReadCouponText(text);
    check(text, whole, "text");
    accepted += whole.coupon.has_value();
    testing::WriteFile(path, text);
    const size_t chunk = 1 + random() % 200;
    check(text, detail::ReadCouponFileInChunks(path.string(), chunk),
          ("chunks of " + std::to_string(chunk)).c_str());
    if (::testing::Test::HasFatalFailure()) return;
  }
  EXPECT_GT(accepted, 120);
  EXPECT_LT(accepted, 480);
}

// The reader's own chunks of a megabyte: the rows after a first line of a
// byte-order mark and blanks all count, however many blanks there are.
TEST(CouponReaderFile, ReadsEveryRowAfterAMarkAndBlanksAcrossMegabyteChunks) {
  TempFolder folder("coupon_reader");
  const auto path = folder.Path("rader.txt");
  for (const size_t width : {60, 61, 62, 63, 64}) {
    std::string text = "\xEF\xBB\xBF" + std::string(width, ' ') + "\r\n";
    for (int i = 0; i < 6; ++i) text += "\r\n";
    for (int i = 0; i < 56155; ++i) text.append(kTotoA).append("\r\n");
    ASSERT_GT(text.size(), 1u << 20);
    testing::WriteFile(path, text);
    const ReadResult result = ReadCouponFile(path.string());
    ASSERT_TRUE(result.coupon.has_value()) << width << ": " << result.error;
    EXPECT_EQ(result.coupon->rows.size(), 56155u) << width;
    EXPECT_EQ(result.coupon->lines.back(), 56155u + 7) << width;
    EXPECT_EQ(ReadCouponText(text).coupon->rows.size(), 56155u) << width;
  }
  // Blank lines are allowed at any length, across chunks too; a long line
  // that is not all blanks is not.
  for (const size_t width : {size_t{65}, size_t{1000}, size_t{(3u << 20) + 5}}) {
    testing::WriteFile(path, "\xEF\xBB\xBF" + std::string(width, ' ') + "\r\n" + Crlf({kTotoA}));
    const ReadResult blank = ReadCouponFile(path.string());
    ASSERT_TRUE(blank.coupon) << width << ": " << blank.error;
    EXPECT_EQ(blank.coupon->lines, std::vector<uint32_t>{2}) << width;
  }
  testing::WriteFile(path, std::string(65, ' ') + "x\r\n" + Crlf({kTotoA}));
  EXPECT_EQ(ReadCouponFile(path.string()).error, "Rad 1: raden är för lång");
  testing::WriteFile(path, std::string(3u << 20, ' ') + "x\r\n" + Crlf({kTotoA}));
  EXPECT_EQ(ReadCouponFile(path.string()).error, "Rad 1: raden är för lång");
}

// ---- Files, huge and hostile ----

void Sparse(const std::filesystem::path& path, std::string_view start, off_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, start.data(), start.size()), static_cast<ssize_t>(start.size()));
  ASSERT_EQ(::ftruncate(fd, size), 0);
  ::close(fd);
}

TEST(CouponReaderFile, ReadsAFileLikeTheSameText) {
  TempFolder folder("coupon_reader");
  const RowSet set =
      GenerateFullSystem(MakeCoupon(kEuropatipset, {"1X2", "1X2", "1X2", "1X2", "1X2", "1X2", "1X2",
                                                    "1X2", "1X2", "1X2", "1X", "X", "2"}),
                         kPlus13No);
  const std::string text = CouponText(set);
  ASSERT_GT(text.size(), 2u << 20);  // more than one chunk, lines across chunk ends
  testing::WriteFile(folder.Path("rader.txt"), text);
  const ReadResult result = ReadCouponFile(folder.Path("rader.txt").string());
  ASSERT_TRUE(result.coupon.has_value()) << result.error;
  EXPECT_EQ(result.coupon->rows, set.rows);
  EXPECT_EQ(result.coupon->game, kEuropatipset);
  EXPECT_EQ(result.coupon->lines.back(), set.rows.size() + 1);
}

TEST(CouponReaderFile, ReadsStandardInputForADash) {
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  const std::string text = Crlf({kTotoA, kTotoB});
  ASSERT_EQ(::write(pipeEnds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  ::close(pipeEnds[1]);
  const int savedInput = ::dup(STDIN_FILENO);
  ::dup2(pipeEnds[0], STDIN_FILENO);
  ::close(pipeEnds[0]);
  const ReadResult result = ReadCouponFile("-");
  ::dup2(savedInput, STDIN_FILENO);
  ::close(savedInput);
  ASSERT_TRUE(result.coupon.has_value()) << result.error;
  EXPECT_EQ(result.coupon->rows, (std::vector<PackedRow>{Packed(kTotoA), Packed(kTotoB)}));
}

TEST(CouponReaderFile, RefusesAMissingFileAndAFolderInSwedish) {
  TempFolder folder("coupon_reader");
  const std::string missing = folder.Path("saknas.txt").string();
  EXPECT_EQ(ReadCouponFile(missing).error, "Kan inte läsa \"" + missing + "\": filen finns inte");
  EXPECT_EQ(ReadCouponFile(folder.path().string()).error,
            "Kan inte läsa \"" + folder.path().string() + "\": det är en mapp");
}

TEST(CouponReaderFile, RefusesATwoGigabyteFileOfZeroBytesAtItsFirstLine) {
  TempFolder folder("coupon_reader");
  const auto path = folder.Path("noll.txt");
  Sparse(path, "", off_t{2} << 30);
  EXPECT_EQ(ReadCouponFile(path.string()).error, "Rad 1: otillåtet tecken (byte 0x00)");
}

TEST(CouponReaderFile, RefusesAHoleAfterGoodRowsAtTheLineAfterThem) {
  TempFolder folder("coupon_reader");
  const auto path = folder.Path("hal.txt");
  Sparse(path, Crlf({"Stryktipset", kRowA, kRowB}), off_t{2} << 30);
  EXPECT_EQ(ReadCouponFile(path.string()).error, "Rad 4: otillåtet tecken (byte 0x00)");
}

TEST(CouponReaderFile, RefusesALineOfManyMegabytes) {
  TempFolder folder("coupon_reader");
  const auto path = folder.Path("lang.txt");
  testing::WriteFile(path, "Stryktipset\r\nE," + std::string(5u << 20, 'X') + "\r\n");
  EXPECT_EQ(ReadCouponFile(path.string()).error, "Rad 2: raden är för lång");
}

TEST(CouponReaderFile, RefusesRandomBinaryWithoutCrashing) {
  TempFolder folder("coupon_reader");
  std::mt19937 random(11);
  for (int trial = 0; trial < 50; ++trial) {
    std::string bytes(1 + random() % 5000, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    const auto path = folder.Path("slump.bin");
    testing::WriteFile(path, bytes);
    const ReadResult result = ReadCouponFile(path.string());
    EXPECT_FALSE(result.coupon.has_value());
    EXPECT_TRUE(result.error.starts_with("Rad ")) << result.error;
  }
}

TEST(CouponReaderFile, RefusesEveryMutationOfAGoodTextOrReadsTheSameSigns) {
  // Single-byte changes: either refused with a line number, or read as rows
  // whose lines all still parse the way the changed text says.
  const std::string good = Crlf({"Stryktipset,13plus=Nej", kRowA, kRowB});
  std::mt19937 random(3);
  for (int trial = 0; trial < 2000; ++trial) {
    std::string text = good;
    text[random() % text.size()] = "1X2E,\r\n x0\t"[random() % 12];
    const ReadResult result = ReadCouponText(text);
    if (!result.coupon) {
      EXPECT_TRUE(result.error.starts_with("Rad ")) << result.error;
      continue;
    }
    std::string again = result.coupon->header.empty() ? "" : result.coupon->header + "\r\n";
    for (PackedRow row : result.coupon->rows) again += Render(row, result.coupon->game) + "\r\n";
    std::string normalised;
    for (char c : text) {
      if (c != '\r' && c != '\n' && c != ' ' && c != '\t') normalised += c;
    }
    std::string normalisedAgain;
    for (char c : again) {
      if (c != '\r' && c != '\n') normalisedAgain += c;
    }
    EXPECT_EQ(normalisedAgain, normalised) << text;
  }
}

}  // namespace
}  // namespace spelkub
