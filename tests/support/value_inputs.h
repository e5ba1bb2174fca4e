// Inputs for the value commands' tests: random match values (each match's
// numbers summing to anything, as players type them), random rows, and their
// coupon text. Every random input comes from a seed the test prints.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "commands/value_command.h"
#include "coupon/games.h"
#include "coupon/row_set.h"
#include "coupon/validation.h"
#include "text/coupon_text.h"

namespace spelkub::testing {

// Chances and streck for every match of the game, a few of them zero, and a
// turnover; the game's pool.
inline ValueInput RandomValueInput(uint32_t seed, int32_t game) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> percent(0, 70);
  ValueInput input;
  input.game = game;
  input.pool = PoolModelOf(Rules(game));
  input.pool.turnover = std::uniform_real_distribution<double>(1e5, 5e7)(random);
  for (int m = 0; m < Rules(game).matches; ++m) {
    for (int sign = 0; sign < 3; ++sign) {
      input.values.match[m].chance[sign] = percent(random) + 1;
      // Some signs the public leaves alone entirely.
      input.values.match[m].streck[sign] = random() % 17 == 0 ? 0 : percent(random) + 1;
    }
  }
  return input;
}

inline std::vector<PackedRow> RandomRows(uint32_t seed, int matches, size_t count) {
  std::mt19937 random(seed);
  std::vector<PackedRow> rows;
  for (size_t i = 0; i < count; ++i) {
    PackedRow row = 0;
    for (int m = 1; m <= matches; ++m) row |= static_cast<PackedRow>(random() % 3) << (2 * (m - 1));
    rows.push_back(row);
  }
  return rows;
}

// The rows as the row list holds them for the game.
inline std::string RowsText(int32_t game, std::vector<PackedRow> rows) {
  RowSet set;
  set.game = game;
  set.matches = Rules(game).matches;
  CouponState state;
  state.Game = game;
  set.header = HeaderLine(state, kPlus13No);
  set.rows = std::move(rows);
  return CouponText(set);
}

}  // namespace spelkub::testing
