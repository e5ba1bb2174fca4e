#include "commands/select_command.h"

#include <algorithm>
#include <array>
#include <utility>

#include "commands/optimize_command.h"
#include "coupon/games.h"
#include "coupon/messages.h"
#include "cover/coverage.h"
#include "reduce/reduction.h"

namespace spelkub {
namespace {

// A stage's fractions as a part [from, to] of the whole command's.
class StageProgress final : public Progress {
 public:
  StageProgress(const Work& work, double from, double to) : work_(work), from_(from), to_(to) {}
  void Fraction(double done) override { work_.Fraction(from_ + (to_ - from_) * done); }
  void Phase(std::string_view name) override { work_.Phase(name); }
  Work Of() { return Work{work_.stop, this}; }

 private:
  const Work& work_;
  double from_, to_;
};

// The value command's figures the report compares, in its order.
std::vector<std::string> ComparedKeys(int matches) {
  std::vector<std::string> keys{"expected_return_kr", "return_ore_per_row"};
  for (int right = matches; right >= std::max(0, matches - 3); --right) {
    std::string key(1, 'p');
    key.append(std::to_string(right));
    if (right < matches) key.append("plus");
    keys.push_back(std::move(key));
  }
  return keys;
}

const ValueFigure* FigureOf(const SelectColumn& column, std::string_view key) {
  for (const ValueFigure& figure : column.figures) {
    if (figure.key == key) return &figure;
  }
  return nullptr;
}

// A cover with its signs relabelled match by match: the sign it holds most
// often becomes the marked sign that ranks first by `rank` (higher first),
// and so on. Within a match of an unfiltered system every relabelling of the
// marked signs maps the system onto itself, so the cover stays one.
std::vector<PackedRow> Relabelled(const std::vector<PackedRow>& rows, const SystemShape& shape,
                                  const SignTable& rank) {
  std::array<std::array<int, 3>, kMaxMatches> map{};
  for (int m = 0; m < shape.matches; ++m) {
    std::array<int64_t, 3> count{};
    for (const PackedRow row : rows) ++count[PackedOutcome(row, m + 1)];
    const int radix = shape.radix[m];
    std::array<int, 3> byCount{}, byRank{};
    for (int i = 0; i < radix; ++i) byCount[i] = byRank[i] = shape.outcomes[m][i];
    std::stable_sort(byCount.begin(), byCount.begin() + radix,
                     [&](int a, int b) { return count[a] > count[b]; });
    std::stable_sort(byRank.begin(), byRank.begin() + radix,
                     [&](int a, int b) { return rank[m][a] > rank[m][b]; });
    map[m] = {0, 1, 2};
    for (int i = 0; i < radix; ++i) map[m][byCount[i]] = byRank[i];
  }
  std::vector<PackedRow> relabelled;
  relabelled.reserve(rows.size());
  for (const PackedRow row : rows) {
    PackedRow out = 0;
    for (int m = 0; m < shape.matches; ++m)
      out |= static_cast<PackedRow>(map[m][PackedOutcome(row, m + 1)]) << (2 * m);
    relabelled.push_back(out);
  }
  return relabelled;
}

// The covers the selection may start from; empty when stopped.
std::vector<std::vector<PackedRow>> Covers(const System& system, int32_t game, int guarantee,
                                           const ValueModel& model, const Work& work) {
  std::vector<std::vector<PackedRow>> covers;
  OptimizeResult searched = SearchCover(system, guarantee, Effort::kQuick, work, 1);
  if (work.Stopped()) return {};
  covers.push_back(std::move(searched.rows));
  const RowSet full = GenerateSystem(system.shape(), Rules(game), std::string());
  for (const bool reversed : {false, true}) {
    const std::optional<ReductionResult> reduced =
        ReduceToGuarantee(full, system, guarantee, reversed, work);
    if (!reduced) return {};
    std::vector<PackedRow> rows;
    rows.reserve(reduced->kept.size());
    for (const uint32_t index : reduced->kept) rows.push_back(full.rows[index]);
    covers.push_back(std::move(rows));
  }
  if (!system.filtered()) {
    SignTable spelvarde{};
    for (int m = 0; m < model.matches; ++m) {
      for (int sign = 0; sign < 3; ++sign) {
        const double q = model.streck[m][sign];
        spelvarde[m][sign] = q > 0 ? model.chance[m][sign] / q : model.chance[m][sign] * 1e300;
      }
    }
    const size_t found = covers.size();
    for (size_t i = 0; i < found; ++i) {
      covers.push_back(Relabelled(covers[i], system.shape(), model.chance));
      covers.push_back(Relabelled(covers[i], system.shape(), spelvarde));
    }
  }
  return covers;
}

// The report's table: a line per figure, the three columns side by side.
std::string ReportTable(const std::vector<SelectColumn>& columns, int matches) {
  std::vector<std::vector<std::string>> cells;
  cells.push_back({""});
  for (const SelectColumn& column : columns) cells.back().push_back(column.title);
  for (const std::string& key : ComparedKeys(matches)) {
    const ValueFigure* first = FigureOf(columns.front(), key);
    if (first == nullptr) continue;
    std::vector<std::string> line{first->label};
    for (const SelectColumn& column : columns) {
      const ValueFigure* figure = FigureOf(column, key);
      line.push_back(figure != nullptr ? figure->text : std::string());
    }
    cells.push_back(std::move(line));
  }
  // Columns padded to their widest cell, counted in characters.
  const auto width = [](const std::string& text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
      return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
  };
  std::vector<size_t> widths(cells.front().size(), 0);
  for (const auto& line : cells) {
    for (size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], width(line[i]));
  }
  std::string text;
  for (const auto& line : cells) {
    std::string row;
    for (size_t i = 0; i < line.size(); ++i) {
      if (i > 0) row += "  ";
      row += line[i];
      if (i + 1 < line.size()) row.append(widths[i] - width(line[i]), ' ');
    }
    text += row + "\n";
  }
  return text;
}

}  // namespace

std::string SelectObjectiveText(const SelectObjective& objective, int matches) {
  if (objective.goal == SelectGoal::kReturn) return "förväntad återbetalning";
  std::string text = objective.right == matches ? "P(" : "P(≥";
  text.append(std::to_string(objective.right)).append(")");
  return text;
}

Refusable<int64_t> SelectBudgetRows(const SelectInput& input) {
  const double price = input.value.pool.rowPrice * std::max(1, input.value.stake);
  int64_t rows = input.budgetRows;
  if (!std::isnan(input.budgetKronor)) {
    if (!std::isfinite(input.budgetKronor) || input.budgetKronor < 0 || !(price > 0))
      return Refusable<int64_t>::Refused("Budgeten måste vara ett belopp i kr", kSelectCaption);
    // A budget of exactly a number of rows buys them, whatever the rounding.
    const double whole = std::floor(input.budgetKronor / price * (1 + 1e-12));
    rows = whole > 1e12 ? int64_t{1000000000000} : static_cast<int64_t>(whole);
  }
  if (rows < 1) {
    return Refusable<int64_t>::Refused(
        "Budgeten räcker inte till en rad (radpris " + KronorText(price) + ")", kSelectCaption);
  }
  return {rows, {}};
}

Refusable<SelectOutcome> RunSelectCommand(const SelectInput& input, const Work& work) {
  using Result = Refusable<SelectOutcome>;
  if (const auto refusal = CheckMarks(input.state, input.plus13)) return Result::Refused(*refusal);
  ValueInput valueInput = input.value;
  valueInput.game = input.state.Game;
  const ValueModelOutcome made = MakeCommandModel(valueInput);
  if (!made.model) return Result::Refused(made.refusal, kSelectCaption);
  const ValueModel& model = *made.model;
  const Refusable<int64_t> budget = SelectBudgetRows(input);
  if (!budget.value) return Result::Refused(budget.refusal);
  const int matches = model.matches;
  if (input.guarantee != 0) {
    const GameRules& rules = Rules(input.state.Game);
    if (input.guarantee < rules.minGuarantee || input.guarantee > rules.maxGuarantee) {
      return Result::Refused("Garantin kan vara " + std::to_string(rules.minGuarantee) + " till " +
                                 std::to_string(rules.maxGuarantee) + " rätt",
                             kSelectCaption);
    }
  }
  if (input.minDistance < 0 || input.minDistance > matches) {
    return Result::Refused("Minsta avstånd kan vara 0 till " + std::to_string(matches) + " tecken",
                           kSelectCaption);
  }

  work.Phase("Villkor");
  StageProgress conditionsStage(work, 0, 0.05);
  Refusable<System> system =
      ConditionedSystem(ShapeOf(input.state), input.conditions, conditionsStage.Of());
  if (!system.value) {
    if (work.Stopped()) return {};
    return Result::Refused(system.refusal);
  }

  SelectOptions options;
  options.objective = input.objective;
  options.budgetRows = *budget.value;
  options.stake = std::max(1, input.value.stake);
  options.minDistance = input.minDistance;
  if (input.guarantee != 0) {
    work.Phase("Garanti");
    StageProgress coverStage(work, 0.05, 0.25);
    options.starts =
        Covers(*system.value, input.state.Game, input.guarantee, model, coverStage.Of());
    if (work.Stopped()) return {};
  }
  if (input.guarantee != 0) {
    size_t smallest = options.starts.front().size();
    for (const auto& cover : options.starts) smallest = std::min(smallest, cover.size());
    if (static_cast<int64_t>(smallest) > options.budgetRows) {
      return Result::Refused(
          "Budgeten räcker inte till garantin " + std::to_string(input.guarantee) +
              " rätt: den minsta täckningen har " + GroupedNumber(smallest) + " rader",
          kSelectCaption);
    }
  }
  work.Phase("Väljer rader");
  StageProgress selectStage(work, input.guarantee != 0 ? 0.25 : 0.05, 0.7);
  const std::optional<SelectResult> selected =
      SelectRows(model, *system.value, options, selectStage.Of());
  if (!selected) return {};

  SelectOutcome outcome;
  outcome.coverRows = selected->startRows;
  outcome.exhausted = selected->exhausted;
  const Coverage coverage = ComputeCoverage(*system.value, selected->rows, work);
  if (coverage.stopped) return {};
  outcome.verifiedGuarantee = matches - coverage.maxDistance;
  if (input.guarantee != 0 && outcome.verifiedGuarantee < input.guarantee) {
    // The rows hold a cover that the search verified; this is a fault of ours.
    return Result::Refused("Garantin kunde inte bekräftas", kSelectCaption);
  }

  // The comparisons: as many rows from "Antal Rader", and the rows best alone.
  work.Phase("Jämför");
  const int64_t count = static_cast<int64_t>(selected->rows.size());
  std::vector<PackedRow> greedy;
  {
    const RowSet full =
        GenerateSystem(system.value->shape(), Rules(input.state.Game), std::string());
    const std::optional<ReductionResult> reduced =
        ReduceToRowCount(full, *system.value, static_cast<int32_t>(count), false, work);
    if (!reduced) return {};
    if (reduced->outcome == ReductionOutcome::kDone) {
      for (const uint32_t index : reduced->kept) greedy.push_back(full.rows[index]);
    }
  }
  std::vector<PackedRow> top = selected->topRows;
  if (static_cast<int64_t>(top.size()) > count) top.resize(static_cast<size_t>(count));

  const std::array<std::pair<const char*, const char*>, 3> names{
      {{"chosen", "Valda"}, {"greedy", "Antal Rader"}, {"top", "Bästa var för sig"}}};
  std::array<std::vector<PackedRow>*, 3> sets{};
  std::vector<PackedRow> chosen = selected->rows;
  sets = {&chosen, &greedy, &top};
  for (size_t i = 0; i < sets.size(); ++i) {
    SelectColumn column;
    column.key = names[i].first;
    column.title = names[i].second;
    column.rows = *sets[i];
    StageProgress valueStage(work, 0.7 + 0.1 * static_cast<double>(i),
                             0.8 + 0.1 * static_cast<double>(i));
    const SystemValueOutcome valued =
        RunSystemValueCommand(valueInput, column.rows, valueStage.Of());
    if (valued.stopped || !valued.value) return {};
    column.figures = valued.figures;
    outcome.columns.push_back(std::move(column));
  }
  outcome.notes = made.notes;
  outcome.conditionsText = ConditionsLine(*system.value);
  outcome.rows = CouponRowSet(input.state, input.plus13, std::move(chosen));

  std::string& report = outcome.report;
  report = RowCountText(static_cast<size_t>(count)) + " valda efter " +
           SelectObjectiveText(input.objective, matches) + "\n";
  if (outcome.exhausted) {
    report += "Budgeten gav " + GroupedNumber(*budget.value) +
              " rader, men systemet har inte fler som uppfyller villkoren och avståndet.\n";
  }
  report += ReportTable(outcome.columns, matches);
  report += "Garanti: " + std::to_string(outcome.verifiedGuarantee) + " rätt (kontrollerad)";
  if (outcome.coverRows > 0)
    report += ", " + GroupedNumber(outcome.coverRows) + " av raderna ger den";
  report += "\n";
  if (input.minDistance > 1)
    report += "Minst " + std::to_string(input.minDistance) + " tecken skiljer två rader.\n";
  if (!outcome.conditionsText.empty()) report += outcome.conditionsText + "\n";
  report += outcome.notes;
  outcome.status = "Värdereducering klar!";
  work.Fraction(1);
  return {std::move(outcome), {}};
}

}  // namespace spelkub
