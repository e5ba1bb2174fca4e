#include "coupon/coupon_state.h"

#include <gtest/gtest.h>

#include "support/coupon_builder.h"

namespace spelkub {
namespace {

using testing::MakeCoupon;
using testing::UniformCoupon;

TEST(CouponState, StartsWithTheDocumentedValues) {
  const CouponState state;
  EXPECT_EQ(state.Game, kStryktipset);
  EXPECT_EQ(state.Goals, 0);
  EXPECT_EQ(state.Reduction, kReductionNone);
  EXPECT_EQ(state.GuaranteeLevel, 0);
  EXPECT_EQ(state.TargetRows, 0);
  EXPECT_EQ(state.SizeProduct, 1);
  EXPECT_EQ(state.MatchCount, 0);
  for (int32_t mark : state.Marks) EXPECT_EQ(mark, 0);
  static_assert(sizeof(CouponState) == (7 + kCellCount) * sizeof(int32_t));
}

TEST(MarkCell, MapsCellsToMatchAndOutcome) {
  EXPECT_EQ(CellMatch(0), 1);
  EXPECT_EQ(CellOutcome(0), 0);
  EXPECT_EQ(CellMatch(4), 2);
  EXPECT_EQ(CellOutcome(4), 1);
  EXPECT_EQ(CellMatch(41), 14);
  EXPECT_EQ(CellOutcome(41), 2);
  for (int cell = 0; cell < kCellCount; ++cell) {
    EXPECT_EQ(CellIndex(CellMatch(cell), CellOutcome(cell)), cell);
  }
}

TEST(ToggleMark, FlipsTheFlagAndGivesTheCellText) {
  CouponState state;
  EXPECT_EQ(ToggleMark(state, 0), "1");
  EXPECT_EQ(state.Marks[0], 1);
  EXPECT_EQ(ToggleMark(state, 4), "X");
  EXPECT_EQ(ToggleMark(state, 41), "2");
  EXPECT_EQ(ToggleMark(state, 0), "");
  EXPECT_EQ(state.Marks[0], 0);
  EXPECT_EQ(CellText(state, 4), "X");
  EXPECT_EQ(CellText(state, 0), "");
}

TEST(SystemSize, IsZeroWhileAMatchInPlayIsUnmarked) {
  CouponState state;
  ToggleMark(state, 0);
  EXPECT_EQ(SystemSize(state), 0);

  CouponState supertoto = UniformCoupon(kSupertoto, "1");
  testing::MarkMatch(supertoto, 14, "");
  EXPECT_EQ(SystemSize(supertoto), 0);
  ToggleMark(supertoto, CellIndex(14, 1));
  EXPECT_EQ(SystemSize(supertoto), 1);
}

TEST(SystemSize, MultipliesTheMarksOfTheMatchesInPlay) {
  CouponState single = UniformCoupon(kStryktipset, "1");
  EXPECT_EQ(SystemSize(single), 1);

  CouponState six = MakeCoupon(
      kEuropatipset, {"1X", "1X2", "2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "X"});
  EXPECT_EQ(SystemSize(six), 6);

  CouponState full13 = UniformCoupon(kStryktipset, "1X2");
  EXPECT_EQ(SystemSize(full13), 1594323);

  CouponState full14 = UniformCoupon(kSupertoto, "1X2");
  EXPECT_EQ(SystemSize(full14), 4782969);
}

TEST(SystemSize, LeavesTheAccumulatorAtOneAndTheLastMatchCount) {
  CouponState state = MakeCoupon(
      kSupertoto, {"1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "X2"});
  EXPECT_EQ(SystemSize(state), 6);
  EXPECT_EQ(state.SizeProduct, 1);
  EXPECT_EQ(state.MatchCount, 2);  // match 14
  state.Game = kStryktipset;
  EXPECT_EQ(SystemSize(state), 3);
  EXPECT_EQ(state.MatchCount, 1);  // match 13
}

TEST(SystemSize, CountsMatch14OnlyForSupertoto) {
  CouponState state = UniformCoupon(kSupertoto, "1X2");
  EXPECT_EQ(SystemSize(state), 4782969);
  state.Game = kStryktipset;
  EXPECT_EQ(SystemSize(state), 1594323);
  testing::MarkMatch(state, 14, "");
  EXPECT_EQ(SystemSize(state), 1594323);  // an empty match 14 does not matter here
  state.Game = kSupertoto;
  EXPECT_EQ(SystemSize(state), 0);
}

}  // namespace
}  // namespace spelkub
