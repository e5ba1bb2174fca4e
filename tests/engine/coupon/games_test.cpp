// The game table: its rows are consistent, and every game's rows go through
// the coupon text and the hand-in form and come back as they were, each step
// asking only the table.
#include "coupon/games.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "coupon/choices.h"
#include "handin/handin.h"
#include "text/coupon_reader.h"
#include "text/coupon_text.h"
#include "value/match_values.h"

namespace spelkub {
namespace {

// A row line written out by hand from the table's row form: "E," when the
// game has it, then one sign per match, commas between.
std::string ExpectedLine(const GameRules& rules, PackedRow row) {
  std::string line = rules.rowPrefixE ? "E," : "";
  for (int match = 1; match <= rules.matches; ++match) {
    if (match > 1) line += ',';
    line += OutcomeSign(PackedOutcome(row, match));
  }
  return line;
}

// Every sign once in each match across the rows, then random rows.
std::vector<PackedRow> SomeRows(const GameRules& rules, std::mt19937& random) {
  std::vector<PackedRow> rows;
  for (PackedRow sign = 0; sign < 3; ++sign) {
    PackedRow row = 0;
    for (int m = 0; m < rules.matches; ++m) row |= sign << (2 * m);
    rows.push_back(row);
  }
  for (int i = 0; i < 20; ++i) {
    PackedRow row = 0;
    for (int m = 0; m < rules.matches; ++m) row |= PackedRow(random() % 3) << (2 * m);
    rows.push_back(row);
  }
  return rows;
}

CouponState StateOf(const GameRules& rules, int32_t goals) {
  CouponState state;
  state.Game = rules.game;
  state.Goals = goals;
  return state;
}

TEST(GameTable, EveryGameIsConsistent) {
  for (const GameRules& rules : kGames) {
    SCOPED_TRACE(rules.name);
    EXPECT_GE(rules.matches, 1);
    EXPECT_LE(rules.matches, kMaxMatches);
    // Its last sign ends the row line.
    EXPECT_EQ(SignPosition(rules, rules.matches), RowLineLength(rules) - 1);

    // Prize levels: highest first, the top one all right, shares that add
    // up to at most the whole paid-out pool.
    EXPECT_EQ(rules.prizeLevels.front().right, rules.matches);
    double shares = 0;
    for (size_t i = 0; i < rules.prizeLevels.size(); ++i) {
      const PrizeLevel& level = rules.prizeLevels[i];
      EXPECT_GE(level.right, 1);
      if (i > 0) {
        EXPECT_LT(level.right, rules.prizeLevels[i - 1].right);
      }
      EXPECT_GT(level.share, 0.0);
      shares += level.share;
    }
    EXPECT_LE(shares, 1.0);
    EXPECT_GT(rules.rowPrice, 0.0);
    EXPECT_GT(rules.payoutShare, 0.0);
    EXPECT_LE(rules.payoutShare, 1.0);
    EXPECT_GE(rules.minimumPayout, 0.0);

    // Guarantees: within 1..matches, and lowest no lower than LowestGuarantee().
    EXPECT_GE(rules.minGuarantee, 1);
    EXPECT_LE(rules.minGuarantee, rules.maxGuarantee);
    EXPECT_LE(rules.maxGuarantee, rules.matches);
    EXPECT_GE(rules.minGuarantee, LowestGuarantee());

    // A header is written before "E," rows only: rows without "E," and
    // without a header are how the reader recognises a headerless game.
    if (!rules.header.empty()) {
      EXPECT_TRUE(rules.rowPrefixE);
    }
    // 13plus is written in the header line, so a game with it has one.
    if (rules.plus13) {
      EXPECT_FALSE(rules.header.empty());
    }

    // The lookups find the game again.
    EXPECT_TRUE(IsGame(rules.game));
    EXPECT_EQ(&Rules(rules.game), &rules);
    EXPECT_EQ(MatchesInPlay(rules.game), rules.matches);
    EXPECT_EQ(GameOfOption(rules.option), rules.game);
    const GameRules* form = GameOfRowForm(rules.matches, rules.rowPrefixE);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->matches, rules.matches);
    EXPECT_EQ(form->rowPrefixE, rules.rowPrefixE);
    EXPECT_EQ(Rules(GameWithMatches(rules.matches)).matches, rules.matches);
    EXPECT_LE(rules.matches, MostMatches());

    // The pool of a new coupon is the table's.
    const PoolModel pool = PoolModelOf(rules);
    EXPECT_EQ(pool.rowPrice, rules.rowPrice);
    EXPECT_EQ(pool.payoutShare, rules.payoutShare);
    EXPECT_EQ(pool.minimumPayout, rules.minimumPayout);
    ASSERT_EQ(pool.levels.size(), rules.prizeLevels.size());
    for (size_t i = 0; i < pool.levels.size(); ++i) {
      EXPECT_EQ(pool.levels[i].right, rules.prizeLevels[i].right);
      EXPECT_EQ(pool.levels[i].share, rules.prizeLevels[i].share);
    }
  }
}

TEST(GameTable, NamesAndFormsAreUnique) {
  std::set<int32_t> games;
  std::set<std::string_view> names, options, headers;
  std::set<std::pair<int, bool>> headerlessForms;
  for (const GameRules& rules : kGames) {
    SCOPED_TRACE(rules.name);
    EXPECT_TRUE(games.insert(rules.game).second);
    EXPECT_TRUE(names.insert(rules.name).second);
    EXPECT_TRUE(options.insert(rules.option).second);
    EXPECT_FALSE(rules.name.empty());
    EXPECT_FALSE(rules.option.empty());
    if (!rules.header.empty()) {
      EXPECT_TRUE(headers.insert(rules.header).second);
    } else {
      // Nothing but the row form tells a headerless game's rows apart.
      EXPECT_TRUE(headerlessForms.insert({rules.matches, rules.rowPrefixE}).second);
    }
  }
  // A game's name alone is also read as its header: no name may be another
  // game's header.
  for (const GameRules& rules : kGames) {
    for (const GameRules& other : kGames) {
      if (other.game != rules.game && !other.header.empty()) {
        EXPECT_NE(rules.name, other.header);
      }
    }
  }
  EXPECT_FALSE(IsGame(0));
  EXPECT_FALSE(GameOfOption("Stryktipset"));  // the words are lower case
}

// Rows of each game written as coupon text, under every header the game can
// have, and read back: same game, same header, same rows, in the row form
// the table gives.
TEST(GameTable, CouponTextOfEveryGameIsReadBack) {
  std::mt19937 random(1317);
  for (const GameRules& rules : kGames) {
    SCOPED_TRACE(rules.name);
    const std::vector<PackedRow> rows = SomeRows(rules, random);
    std::vector<std::pair<Plus13Choice, int32_t>> choices = {{kPlus13No, kGoalsNone}};
    if (rules.plus13) {
      for (const GoalsName& goals : kGoalsNames) choices.push_back({kPlus13Yes, goals.goals});
    }
    for (const auto& [plus13, goals] : choices) {
      RowSet set;
      set.game = rules.game;
      set.matches = rules.matches;
      set.header = HeaderLine(StateOf(rules, goals), plus13);
      set.rows = rows;
      const std::string text = CouponText(set);
      SCOPED_TRACE(set.header);

      std::string expected = set.header;
      if (!rules.header.empty()) {
        EXPECT_TRUE(expected.starts_with(rules.header));
      }
      for (const PackedRow row : rows) expected += ExpectedLine(rules, row) + "\r\n";
      EXPECT_EQ(text, expected);

      const ReadResult read = ReadCouponText(text);
      ASSERT_TRUE(read.coupon) << read.error;
      EXPECT_EQ(read.coupon->game, rules.game);
      EXPECT_EQ(read.coupon->headerForm,
                rules.header.empty() ? HeaderForm::kNone : HeaderForm::kGenerated);
      EXPECT_EQ(read.coupon->plus13, plus13 == kPlus13Yes);
      EXPECT_EQ(read.coupon->goals, goals);
      EXPECT_EQ(read.coupon->rows, rows);
    }
  }
}

// The hand-in form of a game that has a product: the product name alone, or
// with the draw and stake for a game that carries them, then the rows, read
// back as a game of the same form; a game without one is refused.
TEST(GameTable, HandInFormFollowsTheProduct) {
  std::mt19937 random(17);
  const HandInTicket ticket{.draw = 2841, .stake = 2};
  for (const GameRules& rules : kGames) {
    SCOPED_TRACE(rules.name);
    const std::vector<PackedRow> rows = SomeRows(rules, random);
    if (rules.handInProduct.empty()) {
      try {
        HandInText(rules, {}, rows);
        ADD_FAILURE() << "handed in";
      } catch (const HandInRefused& refused) {
        EXPECT_EQ(std::string(refused.what()),
                  std::string(rules.name) + " kan inte lämnas in på det här sättet.");
      }
      continue;
    }
    const std::string text = HandInText(rules, ticket, rows);
    EXPECT_TRUE(text.starts_with(std::string(rules.handInProduct)));
    const ReadResult read = ReadCouponText(text);
    ASSERT_TRUE(read.coupon) << read.error;
    EXPECT_EQ(Rules(read.coupon->game).handInProduct, rules.handInProduct);
    EXPECT_EQ(Rules(read.coupon->game).handInVariant, rules.handInVariant);
    EXPECT_EQ(read.coupon->rows, rows);
    if (rules.handInDrawAndStake) {
      EXPECT_EQ(read.coupon->headerForm, HeaderForm::kHandIn);
      EXPECT_EQ(read.coupon->draw, ticket.draw);
      EXPECT_EQ(read.coupon->stake, ticket.stake);
    } else {
      EXPECT_EQ(read.coupon->game, rules.game);
      EXPECT_EQ(text, HandInText(rules, {}, rows));  // the ticket has no place in it
      EXPECT_EQ(read.coupon->headerForm, HeaderForm::kProductName);
    }
  }
}

// The selectors' tables and their item indices.
TEST(GameTable, SelectorItemsMapBothWays) {
  for (size_t i = 0; i < kPlus13Names.size(); ++i) {
    const Plus13Choice choice = Plus13OfItem(static_cast<int>(i));
    EXPECT_EQ(choice, kPlus13Names[i].choice);
    EXPECT_EQ(Plus13Item(choice), static_cast<int>(i));
  }
  EXPECT_EQ(Plus13OfItem(-1), kPlus13Unset);
  EXPECT_EQ(Plus13OfItem(static_cast<int>(kPlus13Names.size())), kPlus13Unset);
  EXPECT_EQ(Plus13Item(kPlus13Unset), -1);
  EXPECT_EQ(ItemAt(kGuaranteeChoices, -1), nullptr);
  EXPECT_EQ(ItemAt(kGuaranteeChoices, static_cast<int>(kGuaranteeChoices.size())), nullptr);
  // "Välj Garanti:" offers only levels every game of "Välj spel:" takes, in
  // rising order; validation refuses those another game does not take.
  for (size_t i = 0; i < kGuaranteeChoices.size(); ++i) {
    if (i > 0) {
      EXPECT_EQ(kGuaranteeChoices[i], kGuaranteeChoices[i - 1] + 1);
    }
    for (const GameRules& rules : SelectorGames()) {
      EXPECT_GE(kGuaranteeChoices[i], rules.minGuarantee);
      EXPECT_LE(kGuaranteeChoices[i], rules.maxGuarantee);
    }
  }
}

}  // namespace
}  // namespace spelkub
