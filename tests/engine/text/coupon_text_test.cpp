#include "text/coupon_text.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "support/coupon_builder.h"
#include "text/detail/row_line.h"

namespace spelkub {
namespace {

using testing::MakeCoupon;
using testing::UniformCoupon;

// The signs of the full system's row `index`, computed from its mixed-radix
// digits, independently of the generator's odometer.
std::string ExpectedRowLine(const CouponState& state, int64_t index) {
  const int matches = MatchesInPlay(state.Game);
  std::string line = state.Game == kSupertoto ? "" : "E,";
  for (int match = 1; match <= matches; ++match) {
    std::string signs;
    for (int outcome = 0; outcome < 3; ++outcome) {
      if (state.Marks[CellIndex(match, outcome)]) signs += OutcomeSign(outcome);
    }
    const int64_t radix = static_cast<int64_t>(signs.size());
    line += signs[index % radix];
    index /= radix;
    if (match < matches) line += ',';
  }
  return line;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "text does not end with CR LF";
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

const std::vector<std::string_view> kExampleMarks = {"1X", "X2", "1", "1", "1", "1", "1",
                                                     "1",  "1",  "1", "1", "1", "1"};

TEST(CouponText, StryktipsetExampleIsExact) {
  const CouponState state = MakeCoupon(kStryktipset, kExampleMarks);
  EXPECT_EQ(CouponText(GenerateFullSystem(state, kPlus13No)),
            "Stryktipset,13plus=Nej\r\n"
            "E,1,X,1,1,1,1,1,1,1,1,1,1,1\r\n"
            "E,X,X,1,1,1,1,1,1,1,1,1,1,1\r\n"
            "E,1,2,1,1,1,1,1,1,1,1,1,1,1\r\n"
            "E,X,2,1,1,1,1,1,1,1,1,1,1,1\r\n");
}

TEST(CouponText, SupertotoExampleHasNoHeader) {
  CouponState state = MakeCoupon(kSupertoto, kExampleMarks);
  testing::MarkMatch(state, 14, "2");
  EXPECT_EQ(CouponText(GenerateFullSystem(state, kPlus13Yes)),
            "1,X,1,1,1,1,1,1,1,1,1,1,1,2\r\n"
            "X,X,1,1,1,1,1,1,1,1,1,1,1,2\r\n"
            "1,2,1,1,1,1,1,1,1,1,1,1,1,2\r\n"
            "X,2,1,1,1,1,1,1,1,1,1,1,1,2\r\n");
}

TEST(CouponText, OneRowSystemPerGame) {
  for (int32_t game : {kStryktipset, kEuropatipset, kSupertoto}) {
    const CouponState state = UniformCoupon(game, "X");
    const RowSet set = GenerateFullSystem(state, kPlus13No);
    ASSERT_EQ(set.size(), 1);
    const std::vector<std::string> lines = Lines(CouponText(set));
    ASSERT_EQ(lines.size(), game == kSupertoto ? 1u : 2u);
    EXPECT_EQ(lines.back(),
              game == kSupertoto ? "X,X,X,X,X,X,X,X,X,X,X,X,X,X" : "E,X,X,X,X,X,X,X,X,X,X,X,X,X");
  }
}

TEST(CouponText, SelectedRowsFollowTheGivenOrder) {
  const CouponState state = MakeCoupon(kStryktipset, kExampleMarks);
  const RowSet set = GenerateFullSystem(state, kPlus13No);
  const std::vector<uint32_t> order = {3, 0};
  EXPECT_EQ(CouponText(set, order),
            "Stryktipset,13plus=Nej\r\n"
            "E,X,2,1,1,1,1,1,1,1,1,1,1,1\r\n"
            "E,1,X,1,1,1,1,1,1,1,1,1,1,1\r\n");
  EXPECT_EQ(CouponText(set, std::vector<uint32_t>{}), "Stryktipset,13plus=Nej\r\n");
}

// 7,776 and 8,192 rows lie on both sides of the row list's 8,001-row blocks.
TEST(GenerateFullSystem, SystemsAroundTheBlockSizeHoldEveryRowOnceInOdometerOrder) {
  const CouponState below = MakeCoupon(kEuropatipset, {"1X2", "12", "X2", "1X2", "1X", "1X2", "12",
                                                       "1X2", "2", "1X2", "X", "1X", "1"});
  CouponState above = UniformCoupon(kSupertoto, "1X");
  testing::MarkMatch(above, 14, "2");
  for (const CouponState& state : {below, above}) {
    CouponState sized = state;
    const int64_t size = SystemSize(sized);
    const RowSet set = GenerateFullSystem(state, kPlus13No);
    ASSERT_EQ(set.size(), size);
    const std::vector<std::string> lines = Lines(CouponText(set));
    const size_t header = state.Game == kSupertoto ? 0 : 1;
    ASSERT_EQ(lines.size(), size + header);
    std::set<std::string> distinct(lines.begin() + header, lines.end());
    EXPECT_EQ(static_cast<int64_t>(distinct.size()), size);
    for (int64_t i = 0; i < size; ++i) {
      ASSERT_EQ(lines[header + i], ExpectedRowLine(state, i)) << "row " << i;
    }
  }
  CouponState b = below;
  EXPECT_EQ(SystemSize(b), 7776);
  CouponState a = above;
  EXPECT_EQ(SystemSize(a), 8192);
}

TEST(GenerateFullSystem, MatchesRandomSystemsOfEveryGame) {
  std::mt19937 random(20080918);
  for (int round = 0; round < 200; ++round) {
    CouponState state;
    state.Game = 1 + static_cast<int32_t>(random() % 3);
    for (int cell = 0; cell < kCellCount; ++cell) state.Marks[cell] = random() % 4 == 0;
    for (int match = 1; match <= kMaxMatches; ++match) {
      if (MarkedCount(state, match) == 0) state.Marks[CellIndex(match, random() % 3)] = 1;
    }
    const RowSet set = GenerateFullSystem(state, kPlus13No);
    CouponState sized = state;
    ASSERT_EQ(set.size(), SystemSize(sized));
    for (int64_t i = 0; i < set.size(); ++i) {
      ASSERT_EQ(RowLine(set.rows[i], Rules(state.Game)), ExpectedRowLine(state, i));
    }
  }
}

TEST(GenerateFullSystem, IgnoresMatch14OutsideSupertoto) {
  CouponState state = MakeCoupon(kStryktipset, kExampleMarks);
  testing::MarkMatch(state, 14, "1X2");
  const RowSet set = GenerateFullSystem(state, kPlus13No);
  EXPECT_EQ(set.size(), 4);
  EXPECT_EQ(set.matches, 13);
  EXPECT_EQ(RowLine(set.rows.back(), Rules(state.Game)), "E,X,2,1,1,1,1,1,1,1,1,1,1,1");
}

TEST(GenerateFullSystem, FullThirteenMatchSystem) {
  const CouponState state = UniformCoupon(kStryktipset, "1X2");
  const RowSet set = GenerateFullSystem(state, kPlus13No);
  ASSERT_EQ(set.size(), 1594323);
  const std::string text = CouponText(set);
  EXPECT_EQ(text.size(), 46235391u);
  EXPECT_EQ(text.substr(0, 24 + 29), "Stryktipset,13plus=Nej\r\nE,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n");
  EXPECT_EQ(text.substr(24 + 29, 29), "E,X,1,1,1,1,1,1,1,1,1,1,1,1\r\n");
  EXPECT_EQ(text.substr(text.size() - 29), "E,2,2,2,2,2,2,2,2,2,2,2,2,2\r\n");
}

TEST(GenerateFullSystem, FullFourteenMatchSystem) {
  const CouponState state = UniformCoupon(kSupertoto, "1X2");
  const RowSet set = GenerateFullSystem(state, kPlus13Yes);
  ASSERT_EQ(set.size(), 4782969);
  const std::string text = CouponText(set);
  EXPECT_EQ(text.size(), 138706101u);
  EXPECT_EQ(text.substr(0, 29), "1,1,1,1,1,1,1,1,1,1,1,1,1,1\r\n");
  EXPECT_EQ(text.substr(text.size() - 58),
            "X,2,2,2,2,2,2,2,2,2,2,2,2,2\r\n2,2,2,2,2,2,2,2,2,2,2,2,2,2\r\n");
}

TEST(GenerateFullSystem, ReportsRowsBegunUpToTheSystemSize) {
  struct Recorder : Progress {
    std::vector<int64_t> reports;
    void RowsGenerated(int64_t rows) override { reports.push_back(rows); }
  } recorder;
  const CouponState state = UniformCoupon(kStryktipset, "1X");
  GenerateFullSystem(state, kPlus13No, &recorder);
  ASSERT_FALSE(recorder.reports.empty());
  EXPECT_TRUE(std::is_sorted(recorder.reports.begin(), recorder.reports.end()));
  EXPECT_EQ(recorder.reports.back(), 8192);
}

TEST(HeaderLine, CoversEveryGameAndGoalsChoice) {
  struct Case {
    int32_t game;
    Plus13Choice plus13;
    int32_t goals;
    const char* line;
  };
  const Case cases[] = {
      {kStryktipset, kPlus13No, kGoalsF, "Stryktipset,13plus=Nej\r\n"},
      {kStryktipset, kPlus13Yes, kGoals0To1, "Stryktipset,13plus=Ja,Antal=0-1\r\n"},
      {kStryktipset, kPlus13Yes, kGoals2, "Stryktipset,13plus=Ja,Antal=2\r\n"},
      {kStryktipset, kPlus13Yes, kGoals3, "Stryktipset,13plus=Ja,Antal=3\r\n"},
      {kStryktipset, kPlus13Yes, kGoalsF, "Stryktipset,13plus=Ja,Antal=F\r\n"},
      {kEuropatipset, kPlus13No, kGoals2, "Italienska stryktipset,13plus=Nej\r\n"},
      {kEuropatipset, kPlus13Yes, kGoals0To1, "Italienska stryktipset,13plus=Ja,Antal=0-1\r\n"},
      {kEuropatipset, kPlus13Yes, kGoals2, "Italienska stryktipset,13plus=Ja,Antal=2\r\n"},
      {kEuropatipset, kPlus13Yes, kGoals3, "Italienska stryktipset,13plus=Ja,Antal=3\r\n"},
      {kEuropatipset, kPlus13Yes, kGoalsF, "Italienska stryktipset,13plus=Ja,Antal=F\r\n"},
      {kSupertoto, kPlus13Yes, kGoalsF, ""},
      // "Nej" with a goals choice left from before, and "Nej" with none.
      {kStryktipset, kPlus13No, kGoalsNone, "Stryktipset,13plus=Nej\r\n"},
      {kSupertoto, kPlus13No, kGoalsNone, ""},
  };
  for (const Case& c : cases) {
    CouponState state;
    state.Game = c.game;
    state.Goals = c.goals;
    EXPECT_EQ(HeaderLine(state, c.plus13), c.line) << c.game << " " << c.plus13 << " " << c.goals;
  }
}

class ValidateCouponTest : public ::testing::Test {
 protected:
  CouponState valid_ = UniformCoupon(kStryktipset, "1");
};

TEST_F(ValidateCouponTest, AcceptsACompleteCoupon) {
  EXPECT_FALSE(ValidateCoupon(valid_, kPlus13No));
}

TEST_F(ValidateCouponTest, ReportsTheFirstUnmarkedMatch) {
  for (int match = 1; match <= 13; ++match) {
    CouponState state = valid_;
    testing::MarkMatch(state, match, "");
    if (match < 13) testing::MarkMatch(state, 13, "");  // a later fault stays unreported
    state.Reduction = kReductionGuarantee;
    const auto failure = ValidateCoupon(state, kPlus13Yes);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->check, match);
    EXPECT_EQ(failure->message.text, "Klicka i ett giltigt system!");
    EXPECT_EQ(failure->message.caption, "Felaktig rad!");
  }
}

TEST_F(ValidateCouponTest, Match14CountsOnlyForSupertoto) {
  CouponState state = valid_;
  EXPECT_FALSE(ValidateCoupon(state, kPlus13No));  // match 14 unmarked, Stryktipset
  state.Game = kSupertoto;
  auto failure = ValidateCoupon(state, kPlus13No);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->check, 14);
  EXPECT_EQ(failure->message.text, "Klicka i ett giltigt system!");
  testing::MarkMatch(state, 14, "X");
  EXPECT_FALSE(ValidateCoupon(state, kPlus13No));
}

TEST_F(ValidateCouponTest, Plus13YesNeedsGoalsExceptForSupertoto) {
  CouponState state = valid_;
  auto failure = ValidateCoupon(state, kPlus13Yes);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->check, 15);
  EXPECT_EQ(failure->message.text, "Kolla dina val gällande dubbelvinsten!!");
  EXPECT_EQ(failure->message.caption, "Felaktigt val!");

  state.Game = kEuropatipset;
  EXPECT_TRUE(ValidateCoupon(state, kPlus13Yes));
  state.Goals = kGoals3;
  EXPECT_FALSE(ValidateCoupon(state, kPlus13Yes));

  CouponState supertoto = UniformCoupon(kSupertoto, "1");
  EXPECT_FALSE(ValidateCoupon(supertoto, kPlus13Yes));
}

TEST_F(ValidateCouponTest, EachReductionModeChecksOnlyItsOwnChoice) {
  CouponState state = valid_;
  state.Reduction = kReductionGuarantee;
  auto failure = ValidateCoupon(state, kPlus13No);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->check, 16);
  EXPECT_EQ(failure->message.text, "Kolla dina val gällande garanti reducering!!");
  EXPECT_EQ(failure->message.caption, "Felaktigt val!");
  state.GuaranteeLevel = 10;
  EXPECT_FALSE(ValidateCoupon(state, kPlus13No));  // no row count needed for "Garanti"

  state.Reduction = kReductionRowCount;
  failure = ValidateCoupon(state, kPlus13No);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->check, 17);
  EXPECT_EQ(failure->message.text, "Kolla dina val gällande antal rader!!");
  state.GuaranteeLevel = 0;
  state.TargetRows = 5;
  EXPECT_FALSE(ValidateCoupon(state, kPlus13No));

  state.Reduction = kReductionNone;
  state.TargetRows = 0;
  EXPECT_FALSE(ValidateCoupon(state, kPlus13No));
}

TEST_F(ValidateCouponTest, OnlyTheFirstOfSeveralFaultsIsReported) {
  CouponState state = valid_;
  testing::MarkMatch(state, 3, "");
  state.Reduction = kReductionRowCount;
  auto failure = ValidateCoupon(state, kPlus13Yes);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->check, 3);

  testing::MarkMatch(state, 3, "2");
  failure = ValidateCoupon(state, kPlus13Yes);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->check, 15);
}

}  // namespace
}  // namespace spelkub
