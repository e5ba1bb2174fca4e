// "Värdereducering" as a command shared by the window and the companion: the
// rows of the coupon's system (what its conditions leave) that do most for the
// player's objective within a budget, optionally holding a verified guarantee
// and keeping rows apart, reported beside the same number of rows from
// "Antal Rader" and the rows best alone.
//
// Policy: with a guarantee the rows start from a cover (the optimizer's quick
// search and the greedy guarantee reduction, forwards and backwards, and on a
// system without conditions each of them with its signs relabelled towards the
// player's chances and towards the spelvärde), the one with the highest
// objective that fits the budget; a budget that holds no cover is refused
// with the smallest cover's size. The guarantee of the rows is verified over
// every outcome of the system before it is reported. Every figure of the
// report is the exact value of the rows written (the value command's own).
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "commands/conditions_command.h"
#include "commands/refusal.h"
#include "commands/value_command.h"
#include "coupon/coupon_state.h"
#include "coupon/row_set.h"
#include "coupon/work.h"
#include "select/select_rows.h"

namespace spelkub {

inline constexpr std::string_view kSelectCaption = "Värdereducering";

struct SelectInput {
  CouponState state;  // the game and the marks
  Plus13Choice plus13 = kPlus13No;
  // Match values, pool and the row stake (value.game is state.Game): with a
  // stake each row counts that many times, as --value counts it, and a
  // budget in kronor buys rows at the row price times the stake.
  ValueInput value;
  ConditionInput conditions;
  SelectObjective objective;
  // The budget: rows, or kronor when budgetKronor is given (whole rows of
  // the game's row price).
  int64_t budgetRows = 0;
  double budgetKronor = std::nan("");
  int guarantee = 0;    // 0: none
  int minDistance = 0;  // 0 or 1: none
};

// One set of rows as the report shows it: its title, its rows and the value
// command's figures of them.
struct SelectColumn {
  std::string key;    // "chosen", "greedy", "top"
  std::string title;  // "Valda", "Antal Rader", "Bästa var för sig"
  std::vector<PackedRow> rows;
  std::vector<ValueFigure> figures;  // rows, cost_kr, p13 …, expected_return_kr, return_ore_per_row
};

struct SelectOutcome {
  RowSet rows;                        // the chosen rows under the coupon's header line
  std::vector<SelectColumn> columns;  // the chosen rows first
  // The guarantee the chosen rows give on the system, verified over its
  // every outcome (0: not even the matches with one sign).
  int verifiedGuarantee = 0;
  int64_t coverRows = 0;       // rows of the cover they start from (0 without a guarantee)
  bool exhausted = false;      // fewer rows than the budget: no candidate left
  std::string conditionsText;  // ConditionsLine(), empty without conditions
  std::string notes;           // the model's notes on scaled percentages
  // The report as the window and the companion show it: a table of the
  // three columns, then the guarantee and the conditions.
  std::string report;
  // The status bar's line.
  std::string status;
};

// The budget in rows the input asks for, or a refusal: "Budgeten räcker inte
// till en rad (radpris 1 kr)".
Refusable<int64_t> SelectBudgetRows(const SelectInput& input);

// The whole command. Stopped: neither a value nor a refusal's text.
Refusable<SelectOutcome> RunSelectCommand(const SelectInput& input, const Work& work = {});

// The objective's name for the report: "förväntad återbetalning", "P(≥11)",
// "P(13)".
std::string SelectObjectiveText(const SelectObjective& objective, int matches);

}  // namespace spelkub
