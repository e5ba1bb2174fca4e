// The session: the rows it is given read exactly as their coupon text would,
// a hand edit makes the view's text the source until it is read back once,
// and observers hear every change.
#include "session/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "coupon/games.h"
#include "coupon/row_set.h"
#include "coupon/validation.h"
#include "support/coupon_builder.h"
#include "text/coupon_text.h"

namespace spelkub {
namespace {

using testing::MakeCoupon;

// A random coupon of `game` with 1..3 signs in each match, few enough rows.
CouponState RandomCoupon(std::mt19937& random, int32_t game) {
  CouponState state;
  state.Game = game;
  const char* const signs[] = {"1", "X", "2", "1X", "X2", "12", "1X2"};
  for (int match = 1; match <= MatchesInPlay(game); ++match) {
    const bool wide = random() % 4 == 0;
    testing::MarkMatch(state, match, signs[wide ? random() % 7 : random() % 3]);
  }
  return state;
}

void ExpectSameRows(const CouponRows& given, const CouponRows& read) {
  // Text with neither a header nor a row says nothing of its game; the
  // session still knows it.
  if (!read.rows.empty() || read.headerForm != HeaderForm::kNone) {
    EXPECT_EQ(given.game, read.game);
  }
  EXPECT_EQ(given.headerForm, read.headerForm);
  EXPECT_EQ(given.header, read.header);
  EXPECT_EQ(given.plus13, read.plus13);
  EXPECT_EQ(given.goals, read.goals);
  EXPECT_EQ(given.rows, read.rows);
  EXPECT_EQ(given.lines, read.lines);
}

// The reader over the rendered text is the oracle: the session's rows are
// what a tool would have read from the row list.
TEST(CouponRowsOf, ReadsAsTheCouponTextOfTheRowsWould) {
  std::mt19937 random(20261208);
  for (int trial = 0; trial < 60; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    const GameRules& rules = kGames[trial % kGames.size()];
    CouponState state = RandomCoupon(random, rules.game);
    Plus13Choice plus13 = kPlus13No;
    if (rules.plus13 && trial % 2 == 0) {
      plus13 = kPlus13Yes;
      state.Goals = 1 + static_cast<int32_t>(random() % 4);
    }
    const RowSet set = GenerateSystem(ShapeOf(state), Rules(state.Game), HeaderLine(state, plus13));
    const ReadResult whole = ReadCouponText(CouponText(set));
    ASSERT_TRUE(whole.coupon) << whole.error;
    ExpectSameRows(CouponRowsOf(set), *whole.coupon);

    std::vector<uint32_t> kept;
    for (uint32_t i = 0; i < set.size(); ++i) {
      if (random() % 3 == 0) kept.insert(kept.begin(), i);  // any order, reversed here
    }
    const ReadResult part = ReadCouponText(CouponText(set, kept));
    ASSERT_TRUE(part.coupon) << part.error;
    ExpectSameRows(CouponRowsOf(set, kept), *part.coupon);
  }
}

class Heard final : public SessionObserver {
 public:
  int rows = 0;
  int documents = 0;
  void RowsChanged() override { ++rows; }
  void DocumentChanged() override { ++documents; }
};

RowSet NineRows(CouponState& state) {
  state = MakeCoupon(kStryktipset,
                     {"1X2", "1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
  return GenerateSystem(ShapeOf(state), Rules(state.Game), HeaderLine(state, kPlus13No));
}

TEST(Session, ToolsGetTheGivenRowsWithoutReadingTheView) {
  CouponState state;
  Session session(state);
  const RowSet set = NineRows(state);
  Heard heard;
  session.AddObserver(&heard);
  session.SetRows(set, RowsOrigin::kGenerated);
  EXPECT_EQ(heard.rows, 1);
  ASSERT_NE(session.Rows(), nullptr);
  EXPECT_EQ(session.Rows()->origin, RowsOrigin::kGenerated);
  EXPECT_EQ(session.Rows()->radix, set.radix);

  int viewReads = 0;
  const ReadResult read = session.CurrentRows([&] {
    ++viewReads;
    return std::string_view("not coupon text");
  });
  EXPECT_EQ(viewReads, 0);
  ASSERT_TRUE(read.coupon);
  EXPECT_EQ(read.coupon->rows, set.rows);
}

TEST(Session, AHandEditMakesTheViewTheSourceUntilItIsReadBackOnce) {
  CouponState state;
  Session session(state);
  const RowSet set = NineRows(state);
  Heard heard;
  session.AddObserver(&heard);
  session.SetRows(set, RowsOrigin::kReduced);
  session.MarkRowsEdited();
  session.MarkRowsEdited();  // one edit after another: heard once
  EXPECT_EQ(heard.rows, 2);
  EXPECT_EQ(session.Rows(), nullptr);
  EXPECT_TRUE(session.RowsEdited());

  // Text that does not read: refused, and the view stays the source.
  std::string view = "Stryktipset,13plus=Nej\r\nE,1,1,1\r\n";
  int viewReads = 0;
  const auto text = [&] {
    ++viewReads;
    return std::string_view(view);
  };
  const ReadResult bad = session.CurrentRows(text);
  EXPECT_FALSE(bad.coupon);
  EXPECT_FALSE(bad.error.empty());
  EXPECT_TRUE(session.RowsEdited());

  // The player mends it: read once, kept, and not read again.
  view = "Stryktipset,13plus=Nej\r\nE,1,1,1,1,1,1,1,1,1,1,1,1,2\r\n";
  const ReadResult good = session.CurrentRows(text);
  ASSERT_TRUE(good.coupon) << good.error;
  ASSERT_EQ(good.coupon->rows.size(), 1u);
  EXPECT_FALSE(session.RowsEdited());
  ASSERT_NE(session.Rows(), nullptr);
  EXPECT_EQ(session.Rows()->origin, RowsOrigin::kRowList);
  const ReadResult again = session.CurrentRows(text);
  EXPECT_EQ(viewReads, 2);
  ASSERT_TRUE(again.coupon);
  EXPECT_EQ(again.coupon->rows, good.coupon->rows);
}

TEST(Session, WithoutRowsTheViewIsWhatThePlayerSees) {
  CouponState state;
  Session session(state);
  EXPECT_FALSE(session.HasRows());
  const ReadResult read = session.CurrentRows([] { return std::string_view("Dina Rader:\r\n"); });
  ASSERT_TRUE(read.coupon) << read.error;
  EXPECT_TRUE(read.coupon->rows.empty());

  const RowSet set = NineRows(state);
  session.SetRows(set, RowsOrigin::kGenerated);
  session.ClearRows();
  EXPECT_FALSE(session.HasRows());
  const ReadResult cleared = session.CurrentRows([] { return std::string_view(); });
  ASSERT_TRUE(cleared.coupon);
  EXPECT_TRUE(cleared.coupon->rows.empty());
}

TEST(Session, TheDocumentJoinsTheCouponsMarksAndItsChangesAreHeard) {
  CouponState state;
  Session session(state);
  Heard heard;
  session.AddObserver(&heard);
  NineRows(state);
  CouponDocument document = NewCouponDocument(kEuropatipset);
  document.pool.turnover = 1234;
  session.SetDocument(document);
  session.document().pool.turnover = 4321;
  session.DocumentEdited();
  EXPECT_EQ(heard.documents, 2);

  const CouponDocument now = session.DocumentNow();
  EXPECT_EQ(now.game, state.Game);  // the coupon's game, not the document's
  EXPECT_EQ(now.pool.turnover, 4321);
  CouponState back;
  SetCouponFromDocument(now, back);
  EXPECT_TRUE(std::equal(std::begin(back.Marks), std::end(back.Marks), std::begin(state.Marks)));

  session.RemoveObserver(&heard);
  session.DocumentEdited();
  EXPECT_EQ(heard.documents, 2);
}

}  // namespace
}  // namespace spelkub
