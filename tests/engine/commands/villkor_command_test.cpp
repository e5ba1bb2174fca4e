// Conditions through the commands and the companion: the filtered system of
// "Generera Rader", the reductions, "Optimerad garanti" and "Garantianalys" on
// it, each checked against a plain brute force over every outcome of the
// marks; the refusals; and conditions that keep every row changing nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "cli/rader.h"
#include "commands/check_commands.h"
#include "commands/conditions_command.h"
#include "commands/generate_command.h"
#include "commands/optimize_command.h"
#include "coupon/games.h"
#include "coupon/messages.h"
#include "coupon/row_set.h"
#include "coupon/system_shape.h"
#include "document/coupon_document.h"
#include "support/companion_run.h"
#include "support/cover_oracle.h"
#include "support/temp_folder.h"
#include "support/value_inputs.h"
#include "text/coupon_reader.h"

namespace spelkub {
namespace {

using testing::PlainDistance;
using testing::TempFolder;
using testing::TestRandom;

// ---- The plain answer: a condition counted sign by sign.

enum class Kind { kOnes, kDraws, kTwos, kFavourites, kUpsets, kPoints };
constexpr const char* kKindNames[] = {"ettor", "kryss", "tvåor", "favoriter", "skrällar", "poäng"};

struct PlainCondition {
  Kind kind = Kind::kDraws;
  std::optional<int> low;
  std::optional<int> high;
  std::vector<int> matches;  // 1-based; empty for all
  std::string text;
};

struct PlainConditions {
  std::vector<PlainCondition> list;
  int maxBroken = 0;
  MatchValues values;
  int matches = 13;

  int Favourite(int m) const {
    const SignValues& streck = values.match[m - 1].streck;
    int best = 0;
    for (int sign = 1; sign < 3; ++sign) {
      if (streck[sign] > streck[best]) best = sign;
    }
    return best;
  }

  int64_t Count(const PlainCondition& condition, PackedRow row) const {
    int64_t count = 0;
    for (int m = 1; m <= matches; ++m) {
      if (!condition.matches.empty() &&
          std::find(condition.matches.begin(), condition.matches.end(), m) ==
              condition.matches.end()) {
        continue;
      }
      const int sign = PackedOutcome(row, m);
      switch (condition.kind) {
        case Kind::kOnes:
        case Kind::kDraws:
        case Kind::kTwos:
          count += sign == static_cast<int>(condition.kind);
          break;
        case Kind::kFavourites:
          count += sign == Favourite(m);
          break;
        case Kind::kUpsets:
          count += sign != Favourite(m);
          break;
        case Kind::kPoints: {
          const SignValues& chance = values.match[m - 1].chance;
          count += std::lround(100.0 * chance[sign] / (chance[0] + chance[1] + chance[2]));
          break;
        }
      }
    }
    return count;
  }

  bool Keeps(PackedRow row) const {
    int broken = 0;
    for (const PlainCondition& condition : list) {
      const int64_t count = Count(condition, row);
      broken +=
          (condition.low && count < *condition.low) || (condition.high && count > *condition.high);
    }
    return broken <= maxBroken;
  }

  ConditionInput Input() const {
    ConditionInput input;
    for (const PlainCondition& condition : list) input.conditions.push_back(condition.text);
    input.maxBroken = maxBroken;
    input.values = values;
    input.pool = PoolModelOf(Rules(kStryktipset));
    return input;
  }
};

// Whole-number streck (so favourites can tie) and chances.
MatchValues RandomValues(TestRandom& random) {
  MatchValues values;
  for (int m = 0; m < kMaxMatches; ++m) {
    for (int sign = 0; sign < 3; ++sign) {
      values.match[m].chance[sign] = 1 + random.Below(60);
      values.match[m].streck[sign] = 5 * (1 + random.Below(8));
    }
  }
  return values;
}

PlainCondition RandomCondition(TestRandom& random, int matches) {
  PlainCondition condition;
  condition.kind = static_cast<Kind>(random.Below(6));
  if (random.Below(2) == 0) {
    for (int m = 1; m <= matches; ++m) {
      if (random.Below(3) == 0) condition.matches.push_back(m);
    }
  }
  const int span = condition.matches.empty() ? matches : static_cast<int>(condition.matches.size());
  const int top = condition.kind == Kind::kPoints ? 100 * span : span;
  const int a = static_cast<int>(random.Below(static_cast<uint32_t>(top / 2 + 1)));
  const int b = a + static_cast<int>(random.Below(static_cast<uint32_t>(top / 2 + 1)));
  std::string range;
  switch (random.Below(4)) {
    case 0:
      condition.low = a;
      condition.high = b;
      range = std::to_string(a) + "-" + std::to_string(b);
      break;
    case 1:
      condition.low = a;
      range = std::to_string(a) + "-";
      break;
    case 2:
      condition.high = b;
      range = "-" + std::to_string(b);
      break;
    default:
      condition.low = condition.high = a;
      range = std::to_string(a);
      break;
  }
  condition.text = std::string(kKindNames[static_cast<int>(condition.kind)]) + " " + range;
  if (!condition.matches.empty()) {
    condition.text += " i ";
    for (size_t i = 0; i < condition.matches.size(); ++i) {
      if (i > 0) condition.text += ',';
      condition.text += std::to_string(condition.matches[i]);
    }
  }
  return condition;
}

// A Stryktipset coupon with `full` three-sign and `half` two-sign matches at
// random places, singles elsewhere.
CouponState RandomCoupon(TestRandom& random, int full, int half) {
  const SystemShape shape = testing::RandomShape(random, 13, full, half);
  CouponState state;
  state.Game = kStryktipset;
  for (int m = 1; m <= 13; ++m) {
    for (int d = 0; d < shape.radix[m - 1]; ++d)
      state.Marks[CellIndex(m, shape.outcomes[m - 1][d])] = 1;
  }
  return state;
}

PlainConditions RandomConditions(TestRandom& random) {
  PlainConditions plain;
  plain.values = RandomValues(random);
  const int count = 1 + static_cast<int>(random.Below(3));
  for (int c = 0; c < count; ++c) plain.list.push_back(RandomCondition(random, 13));
  plain.maxBroken = static_cast<int>(random.Below(2));
  return plain;
}

// The outcomes of the marks that the plain conditions keep, in generation order.
std::vector<PackedRow> PlainSystem(const CouponState& state, const PlainConditions& plain) {
  const RowSet full = GenerateFullSystem(state, kPlus13No);
  std::vector<PackedRow> kept;
  for (const PackedRow row : full.rows) {
    if (plain.Keeps(row)) kept.push_back(row);
  }
  return kept;
}

// The least, over `outcomes`, of the most right any row gets.
int PlainGuarantee(const std::vector<PackedRow>& outcomes, const std::vector<PackedRow>& rows,
                   int matches) {
  int least = matches;
  for (const PackedRow outcome : outcomes) {
    int best = 0;
    for (const PackedRow row : rows)
      best = std::max(best, matches - PlainDistance(outcome, row, matches));
    least = std::min(least, best);
  }
  return least;
}

std::string PlainLine(size_t kept, int64_t all) {
  return "Villkor: " + GroupedNumber(static_cast<int64_t>(kept)) + " av " + GroupedNumber(all) +
         " rader uppfyller villkoren.";
}

std::vector<PackedRow> KeptRows(const GenerateOutcome& outcome) {
  std::vector<PackedRow> rows;
  for (const uint32_t index : outcome.reduction.kept) rows.push_back(outcome.rows.rows.at(index));
  return rows;
}

// Counts what the window hears of a reduction.
class Recorder final : public GenerateListener {
 public:
  void SelectionStarted(int64_t lines) override { rowListLines = lines; }
  void CandidatesExamined(int64_t count) override { mostExamined = std::max(mostExamined, count); }
  void Refused(const Message& message) override { refused = std::string(message.text); }
  int64_t rowListLines = 0;
  int64_t mostExamined = 0;
  std::string refused;
};

// ---- Generera Rader

TEST(ConditionedGeneration, WritesThePlainFilterOfTheFullSystemInGenerationOrder) {
  int used = 0;  // seeds whose conditions left out some rows but not all
  for (uint64_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TestRandom random(seed);
    CouponState state = RandomCoupon(random, 5 + static_cast<int>(random.Below(3)), 2);
    const PlainConditions plain = RandomConditions(random);
    const std::vector<PackedRow> expected = PlainSystem(state, plain);
    const int64_t all = GenerateFullSystem(state, kPlus13No).size();
    GenerateControls controls;
    controls.conditions = plain.Input();
    Recorder recorder;
    const GenerateOutcome outcome = RunGenerateCommand(state, controls, &recorder);
    if (expected.empty()) {
      EXPECT_EQ(outcome.end, GenerateEnd::kRefused);
      EXPECT_EQ(outcome.refusal.text, kNoRowKeptText);
      EXPECT_EQ(recorder.refused, kNoRowKeptText);
      continue;
    }
    ASSERT_EQ(outcome.end, GenerateEnd::kGenerated);
    used += !outcome.conditionsText.empty();
    EXPECT_EQ(outcome.rows.rows, expected);
    EXPECT_EQ(outcome.rows.header, "Stryktipset,13plus=Nej\r\n");
    EXPECT_EQ(outcome.conditionsText,
              static_cast<int64_t>(expected.size()) == all ? "" : PlainLine(expected.size(), all));
  }
  EXPECT_GE(used, 5);
}

TEST(ConditionedGeneration, ConditionsThatKeepEveryRowChangeNothing) {
  TestRandom random(7);
  CouponState state = RandomCoupon(random, 6, 2);
  for (const int32_t reduction : {kReductionNone, kReductionGuarantee, kReductionRowCount}) {
    state.Reduction = reduction;
    state.GuaranteeLevel = 11;
    state.TargetRows = 40;
    GenerateControls controls;
    const GenerateOutcome plain = RunGenerateCommand(state, controls);
    controls.conditions.conditions = {"kryss 0-", "ettor -13", "tvåor 0-13 i 1-13"};
    const GenerateOutcome conditioned = RunGenerateCommand(state, controls);
    EXPECT_EQ(conditioned.end, plain.end) << reduction;
    EXPECT_EQ(conditioned.rows.rows, plain.rows.rows) << reduction;
    EXPECT_EQ(conditioned.reduction.kept, plain.reduction.kept) << reduction;
    EXPECT_EQ(conditioned.reportText, plain.reportText) << reduction;
    EXPECT_EQ(conditioned.conditionsText, "") << reduction;
  }
}

TEST(ConditionedGeneration, GuaranteeHoldsForEveryOutcomeThatMeetsTheConditions) {
  int used = 0;  // seeds whose conditions left out some rows but not all
  for (uint64_t seed = 100; seed < 130; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TestRandom random(seed);
    CouponState state = RandomCoupon(random, 5 + static_cast<int>(random.Below(2)), 2);
    const PlainConditions plain = RandomConditions(random);
    const std::vector<PackedRow> allowed = PlainSystem(state, plain);
    if (allowed.empty()) continue;
    state.Reduction = kReductionGuarantee;
    state.GuaranteeLevel = 13 - 1 - static_cast<int>(random.Below(2));
    GenerateControls controls;
    controls.guaranteeReversed = random.Below(2) == 0;
    controls.conditions = plain.Input();
    Recorder recorder;
    const GenerateOutcome outcome = RunGenerateCommand(state, controls, &recorder);
    ASSERT_EQ(outcome.end, GenerateEnd::kReduced);
    used += !outcome.conditionsText.empty();
    // The row list holds the filtered system; the kept rows are among it.
    EXPECT_EQ(outcome.rows.rows, allowed);
    const std::vector<PackedRow> kept = KeptRows(outcome);
    for (const PackedRow row : kept) EXPECT_TRUE(plain.Keeps(row));
    EXPECT_GE(PlainGuarantee(allowed, kept, 13), state.GuaranteeLevel);
    const std::string line = outcome.conditionsText;
    EXPECT_EQ(outcome.reportText,
              std::string(kGuaranteeReducedMessage.text) + (line.empty() ? "" : "\n" + line));
    EXPECT_EQ(recorder.rowListLines, static_cast<int64_t>(allowed.size()) + 1);
    EXPECT_LE(recorder.mostExamined, static_cast<int64_t>(allowed.size()));
    EXPECT_LE(outcome.reduction.examinedInLastPass, static_cast<int64_t>(allowed.size()));
  }
  EXPECT_GE(used, 5);
}

TEST(ConditionedGeneration, RowCountKeepsTheTargetAndItsReportedGuaranteeHolds) {
  int used = 0;  // seeds whose conditions left out some rows but not all
  for (uint64_t seed = 200; seed < 230; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TestRandom random(seed);
    CouponState state = RandomCoupon(random, 5 + static_cast<int>(random.Below(2)), 2);
    const PlainConditions plain = RandomConditions(random);
    const std::vector<PackedRow> allowed = PlainSystem(state, plain);
    if (allowed.empty()) continue;
    state.Reduction = kReductionRowCount;
    state.TargetRows =
        1 + static_cast<int32_t>(random.Below(static_cast<uint32_t>(allowed.size())));
    GenerateControls controls;
    controls.rowCountReversed = random.Below(2) == 0;
    controls.conditions = plain.Input();
    const GenerateOutcome outcome = RunGenerateCommand(state, controls);
    ASSERT_EQ(outcome.end, GenerateEnd::kReduced);
    used += !outcome.conditionsText.empty();
    const std::vector<PackedRow> kept = KeptRows(outcome);
    EXPECT_EQ(static_cast<int32_t>(kept.size()), state.TargetRows);
    for (const PackedRow row : kept) EXPECT_TRUE(plain.Keeps(row));
    const int reported = outcome.reduction.guarantee;
    EXPECT_GE(PlainGuarantee(allowed, kept, 13), reported);
    const std::string line = outcome.conditionsText;
    EXPECT_EQ(outcome.reportText,
              GuaranteeReportText(reported) + (line.empty() ? "" : "\n" + line));

    // One row more than the system has is refused, and the system stays.
    state.TargetRows = static_cast<int32_t>(allowed.size()) + 1;
    const GenerateOutcome above = RunGenerateCommand(state, controls);
    EXPECT_EQ(above.end, GenerateEnd::kTargetAboveRowCount);
    EXPECT_EQ(above.rows.rows, allowed);
  }
  EXPECT_GE(used, 5);
}

TEST(ConditionedGeneration, RefusesConditionsThatCannotBeUsed) {
  TestRandom random(3);
  CouponState state = RandomCoupon(random, 6, 0);
  GenerateControls controls;
  const auto refusal = [&](std::vector<std::string> conditions, int maxBroken = 0) {
    controls.conditions.conditions = std::move(conditions);
    controls.conditions.maxBroken = maxBroken;
    Recorder recorder;
    const GenerateOutcome outcome = RunGenerateCommand(state, controls, &recorder);
    EXPECT_EQ(outcome.end, GenerateEnd::kRefused);
    EXPECT_TRUE(outcome.rows.rows.empty());
    EXPECT_EQ(recorder.refused, outcome.refusal.text);
    EXPECT_EQ(outcome.refusal.caption, kConditionsCaption);
    return outcome.refusal.text;
  };
  EXPECT_EQ(refusal({"krys 2-5"}),
            "Villkoret \"krys 2-5\": okänt mått \"krys\" (ettor, kryss, tvåor, favoriter, "
            "skrällar, poäng, spelvärde, utdelning)");
  EXPECT_EQ(
      refusal({"kryss 1", "skrällar 1-3"}).rfind("Villkoret \"skrällar 1-3\" behöver streck", 0),
      0u);
  EXPECT_EQ(refusal({"kryss 14-"}), kNoRowKeptText);
  EXPECT_EQ(refusal({"kryss 2"}, -1), "Tillåtna fel kan inte vara färre än 0");
  // The marks' own checks come first.
  CouponState unmarked;
  controls.conditions.conditions = {"krys 2-5"};
  EXPECT_EQ(RunGenerateCommand(unmarked, controls).refusal.text, kInvalidSystemMessage.text);
}

// ---- Optimerad garanti

TEST(ConditionedOptimize, GivesTheGreedyRowsWithAGuaranteeVerifiedOverTheAllowedOutcomes) {
  int used = 0;  // seeds whose conditions left out some rows but not all
  for (uint64_t seed = 300; seed < 315; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TestRandom random(seed);
    CouponState state = RandomCoupon(random, 5 + static_cast<int>(random.Below(2)), 2);
    const PlainConditions plain = RandomConditions(random);
    const std::vector<PackedRow> allowed = PlainSystem(state, plain);
    if (allowed.empty() ||
        allowed.size() == static_cast<size_t>(GenerateFullSystem(state, kPlus13No).size()))
      continue;
    ++used;
    const int guarantee = 11 + static_cast<int>(random.Below(2));
    const Refusable<OptimizeOutcome> outcome =
        RunOptimizeCommand(state, kPlus13No, guarantee, Effort::kQuick, plain.Input());
    ASSERT_TRUE(outcome.value) << outcome.refusal.text;
    const std::vector<PackedRow>& rows = outcome.value->rows.rows;
    for (const PackedRow row : rows) EXPECT_TRUE(plain.Keeps(row));
    const int verified = PlainGuarantee(allowed, rows, 13);
    EXPECT_GE(outcome.value->guarantee, guarantee);
    EXPECT_EQ(verified, outcome.value->guarantee);
    // Never more rows than "Garanti" gives on the same filtered system.
    state.Reduction = kReductionGuarantee;
    state.GuaranteeLevel = guarantee;
    GenerateControls controls;
    controls.conditions = plain.Input();
    EXPECT_LE(rows.size(), RunGenerateCommand(state, controls).reduction.kept.size());
    const std::string line = PlainLine(allowed.size(), GenerateFullSystem(state, kPlus13No).size());
    EXPECT_EQ(outcome.value->conditionsText, line);
    EXPECT_EQ(outcome.value->report.substr(outcome.value->report.rfind('\n') + 1), line);
    EXPECT_EQ(outcome.value->rows.header, "Stryktipset,13plus=Nej\r\n");
  }
  EXPECT_GE(used, 5);
}

TEST(ConditionedOptimize, WithoutConditionsTheSearchIsTheSameAsBefore) {
  TestRandom random(11);
  const CouponState state = RandomCoupon(random, 5, 1);
  const Refusable<OptimizeOutcome> before =
      RunOptimizeCommand(state, kPlus13No, 12, Effort::kQuick);
  ConditionInput keepAll;
  keepAll.conditions = {"kryss 0-13"};
  const Refusable<OptimizeOutcome> after =
      RunOptimizeCommand(state, kPlus13No, 12, Effort::kQuick, keepAll);
  ASSERT_TRUE(before.value && after.value);
  EXPECT_EQ(after.value->rows.rows, before.value->rows.rows);
  EXPECT_EQ(after.value->report, before.value->report);
  EXPECT_EQ(after.value->conditionsText, "");
}

// ---- Garantianalys

struct PlainAnalysis {
  std::array<int64_t, kMaxMatches + 1> byRight{};
  std::array<double, kMaxMatches + 1> weightByRight{};
  double total = 0;
};

PlainAnalysis Analyse(const std::vector<PackedRow>& outcomes, const std::vector<PackedRow>& rows,
                      const Streck& streck) {
  PlainAnalysis plain;
  for (const PackedRow outcome : outcomes) {
    int best = 0;
    for (const PackedRow row : rows) best = std::max(best, 13 - PlainDistance(outcome, row, 13));
    double weight = 1;
    for (int m = 1; m <= 13; ++m) weight *= streck.percent[m - 1][PackedOutcome(outcome, m)] / 100;
    ++plain.byRight[best];
    plain.weightByRight[best] += weight;
    plain.total += weight;
  }
  return plain;
}

TEST(ConditionedAnalysis, CountsOnlyTheAllowedOutcomesOrTheWholeSystemWhenAsked) {
  int used = 0;  // seeds whose conditions left out some rows but not all
  for (uint64_t seed = 400; seed < 420; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TestRandom random(seed);
    const CouponState state = RandomCoupon(random, 5 + static_cast<int>(random.Below(2)), 2);
    const PlainConditions plain = RandomConditions(random);
    const std::vector<PackedRow> allowed = PlainSystem(state, plain);
    const std::vector<PackedRow> whole = GenerateFullSystem(state, kPlus13No).rows;
    if (allowed.empty() || allowed.size() == whole.size()) continue;
    ++used;
    std::vector<PackedRow> rows;
    for (int i = 0; i < 12; ++i)
      rows.push_back(whole[random.Below(static_cast<uint32_t>(whole.size()))]);
    const std::string text = testing::RowsText(kStryktipset, rows);
    Streck streck;
    for (int m = 0; m < 13; ++m) {
      for (int sign = 0; sign < 3; ++sign)
        streck.percent[m][sign] = plain.values.match[m].streck[sign];
      const double sum = streck.percent[m][0] + streck.percent[m][1] + streck.percent[m][2];
      for (double& percent : streck.percent[m]) percent *= 100 / sum;
    }

    const Refusable<AnalysisInput> filtered =
        PrepareAnalysis(state, ReadCouponText(text), RowSource::kRowList, plain.Input());
    ASSERT_TRUE(filtered.value) << filtered.refusal.text;
    const std::optional<AnalysisOutcome> onFiltered = RunAnalysis(*filtered.value, streck);
    const PlainAnalysis expected = Analyse(allowed, rows, streck);
    for (int right = 0; right <= 13; ++right) {
      EXPECT_EQ(onFiltered->report.outcomesByRight[right], expected.byRight[right]) << right;
      EXPECT_NEAR((*onFiltered->report.probabilityByRight)[right],
                  expected.weightByRight[right] / expected.total, 1e-12)
          << right;
    }
    int lowest = 0;
    while (expected.byRight[lowest] == 0) ++lowest;
    EXPECT_EQ(onFiltered->report.guarantee, lowest);
    EXPECT_NEAR(onFiltered->report.systemProbability, expected.total, 1e-12);
    EXPECT_EQ(onFiltered->summaryText,
              "12 rader på ett system med " + std::to_string(allowed.size()) + " utfall.");
    const std::string kept = GroupedNumber(static_cast<int64_t>(allowed.size()));
    const std::string all = GroupedNumber(static_cast<int64_t>(whole.size()));
    EXPECT_EQ(onFiltered->scopeText, "Villkor: analysen gäller de " + kept + " av " + all +
                                         " utfall som uppfyller villkoren.");
    EXPECT_EQ(onFiltered->companionText.substr(0, onFiltered->companionText.find('\n')),
              onFiltered->scopeText);

    // The whole marked system: today's analysis, and a line that says so.
    const Refusable<AnalysisInput> wholeInput =
        PrepareAnalysis(state, ReadCouponText(text), RowSource::kRowList, plain.Input(), true);
    const Refusable<AnalysisInput> plainInput =
        PrepareAnalysis(state, ReadCouponText(text), RowSource::kRowList);
    const std::optional<AnalysisOutcome> onWhole = RunAnalysis(*wholeInput.value, streck);
    const std::optional<AnalysisOutcome> today = RunAnalysis(*plainInput.value, streck);
    EXPECT_EQ(onWhole->report.outcomesByRight, today->report.outcomesByRight);
    EXPECT_EQ(onWhole->summaryText, today->summaryText);
    EXPECT_EQ(onWhole->scopeText, "Villkor: analysen gäller hela systemet, " + all +
                                      " utfall, varav " + kept + " uppfyller villkoren.");
    EXPECT_EQ(onWhole->companionText, onWhole->scopeText + "\n" + today->companionText);
    EXPECT_EQ(today->scopeText, "");
  }
  EXPECT_GE(used, 5);
}

TEST(ConditionedAnalysis, RefusesConditionsAfterTheRowsChecks) {
  TestRandom random(5);
  const CouponState state = RandomCoupon(random, 5, 0);
  ConditionInput input;
  input.conditions = {"kryss 14"};
  const std::string text =
      testing::RowsText(kStryktipset, GenerateFullSystem(state, kPlus13No).rows);
  const Refusable<AnalysisInput> refused =
      PrepareAnalysis(state, ReadCouponText(text), RowSource::kRowList, input);
  EXPECT_FALSE(refused.value);
  EXPECT_EQ(refused.refusal.text, kNoRowKeptText);
  EXPECT_EQ(PrepareAnalysis(state, ReadCouponText(""), RowSource::kRowList, input).refusal.text,
            "Radlistan har inga rader.");
}

// ---- The companion

using Ran = testing::CompanionRun;
using testing::RunCompanion;

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.begin(), more.begin(), more.end());
  return args;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t begin = 0;
  while (begin < text.size()) {
    const size_t end = text.find("\r\n", begin);
    lines.push_back(text.substr(begin, end - begin));
    begin = end + 2;
  }
  return lines;
}

std::vector<PackedRow> RowsOf(const std::string& text) {
  ReadResult read = ReadCouponText(text);
  EXPECT_TRUE(read.coupon) << read.error;
  return read.coupon ? read.coupon->rows : std::vector<PackedRow>();
}

const std::vector<std::string> kMarks = {"1X2", "1X2", "1X2", "1X",  "X2", "1X2", "1",
                                         "1X2", "1",   "2",   "1X2", "12", "1"};

// The streck of plain.values as --streck takes them.
std::string StreckArgument(const MatchValues& values) {
  std::string text;
  for (int m = 0; m < 13; ++m) {
    for (const double value : values.match[m].streck)
      text += std::to_string(static_cast<int>(value)) + " ";
  }
  return text;
}

TEST(ConditionCompanion, GeneratesThePlainFilterOfTheFullSystemsLines) {
  const Ran full = RunCompanion(kMarks);
  ASSERT_EQ(full.status, 0) << full.err;
  const std::vector<std::string> fullLines = Lines(full.out);
  int used = 0;  // seeds whose conditions left out some rows but not all
  for (uint64_t seed = 500; seed < 510; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TestRandom random(seed);
    const PlainConditions plain = RandomConditions(random);
    std::vector<std::string> args = {"--streck", StreckArgument(plain.values)};
    for (const PlainCondition& condition : plain.list) {
      if (condition.kind == Kind::kPoints) continue;  // no chances given here
      args.push_back("--condition");
      args.push_back(condition.text);
    }
    PlainConditions counted = plain;
    std::erase_if(counted.list, [](const PlainCondition& c) { return c.kind == Kind::kPoints; });
    if (counted.list.empty()) continue;
    args.push_back("--max-broken");
    args.push_back(std::to_string(plain.maxBroken));
    const Ran ran = RunCompanion(With(kMarks, args));

    std::vector<std::string> expected = {fullLines.front()};
    const std::vector<PackedRow> fullRows = RowsOf(full.out);
    for (size_t i = 0; i < fullRows.size(); ++i) {
      if (counted.Keeps(fullRows[i])) expected.push_back(fullLines[i + 1]);
    }
    if (expected.size() == 1) {
      EXPECT_EQ(ran.status, 1);
      EXPECT_EQ(ran.err, "spelkub_rader: Inga rader uppfyller villkoren.\n");
      continue;
    }
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(Lines(ran.out), expected);
    const size_t kept = expected.size() - 1;
    used += kept != fullRows.size();
    EXPECT_EQ(ran.err, kept == fullRows.size()
                           ? ""
                           : "spelkub_rader: " +
                                 PlainLine(kept, static_cast<int64_t>(fullRows.size())) + "\n");
  }
  EXPECT_GE(used, 5);
}

TEST(ConditionCompanion, GuaranteeAndRowsHoldOverTheAllowedOutcomes) {
  const std::vector<std::string> conditions = {"--condition", "kryss 1-3", "--condition",
                                               "tvåor -1 i 1-5"};
  PlainConditions plain;
  plain.list = {{Kind::kDraws, 1, 3, {}, ""}, {Kind::kTwos, std::nullopt, 1, {1, 2, 3, 4, 5}, ""}};
  const std::vector<PackedRow> fullRows = RowsOf(RunCompanion(kMarks).out);
  std::vector<PackedRow> allowed;
  for (const PackedRow row : fullRows) {
    if (plain.Keeps(row)) allowed.push_back(row);
  }
  ASSERT_FALSE(allowed.empty());
  const std::string line = PlainLine(allowed.size(), static_cast<int64_t>(fullRows.size()));

  const Ran guarantee = RunCompanion(With(kMarks, With({"--guarantee", "11"}, conditions)));
  ASSERT_EQ(guarantee.status, 0) << guarantee.err;
  const std::vector<PackedRow> kept = RowsOf(guarantee.out);
  for (const PackedRow row : kept) EXPECT_TRUE(plain.Keeps(row));
  EXPECT_GE(PlainGuarantee(allowed, kept, 13), 11);
  EXPECT_EQ(guarantee.err, "Reducering: Dina rader är nu reducerade!!\nReducering: " + line + "\n");

  const Ran rows = RunCompanion(With(kMarks, With({"--rows", "25", "--reversed"}, conditions)));
  ASSERT_EQ(rows.status, 0) << rows.err;
  const std::vector<PackedRow> counted = RowsOf(rows.out);
  EXPECT_EQ(counted.size(), 25u);
  for (const PackedRow row : counted) EXPECT_TRUE(plain.Keeps(row));
  const int reported = std::stoi(rows.err.substr(std::string("Reducering: ").size()));
  EXPECT_GE(PlainGuarantee(allowed, counted, 13), reported);
  EXPECT_EQ(rows.err,
            "Reducering: " + GuaranteeReportText(reported) + "\nReducering: " + line + "\n");

  const Ran optimized = RunCompanion(With(kMarks, With({"--optimize", "11"}, conditions)));
  ASSERT_EQ(optimized.status, 0) << optimized.err;
  const std::vector<PackedRow> cover = RowsOf(optimized.out);
  for (const PackedRow row : cover) EXPECT_TRUE(plain.Keeps(row));
  EXPECT_GE(PlainGuarantee(allowed, cover, 13), 11);
  EXPECT_LE(cover.size(), kept.size());
  EXPECT_NE(optimized.err.find("\n" + line + "\n"), std::string::npos) << optimized.err;
}

TEST(ConditionCompanion, AnalysesTheFilteredSystemUnlessTheWholeIsAsked) {
  TempFolder folder("villkor_cli");
  const std::string path = folder.Path("rader.txt").string();
  const Ran rows = RunCompanion(With(kMarks, {"--rows", "30", "-o", path}));
  ASSERT_EQ(rows.status, 0) << rows.err;
  const std::vector<std::string> conditions = {"--condition", "ettor 2-4"};
  PlainConditions plain;
  plain.list = {{Kind::kOnes, 2, 4, {}, ""}};
  std::ifstream file(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::vector<PackedRow> kept = RowsOf(text);
  const std::vector<PackedRow> fullRows = RowsOf(RunCompanion(kMarks).out);
  std::vector<PackedRow> allowed;
  for (const PackedRow row : fullRows) {
    if (plain.Keeps(row)) allowed.push_back(row);
  }

  const Ran filtered = RunCompanion(With(kMarks, With({"--analyse", path}, conditions)));
  ASSERT_EQ(filtered.status, 0) << filtered.err;
  const std::string keptText = GroupedNumber(static_cast<int64_t>(allowed.size()));
  const std::string allText = GroupedNumber(static_cast<int64_t>(fullRows.size()));
  EXPECT_EQ(filtered.out.substr(0, filtered.out.find('\n')),
            "Villkor: analysen gäller de " + keptText + " av " + allText +
                " utfall som uppfyller villkoren.");
  EXPECT_NE(filtered.out.find("\nGaranti: " + std::to_string(PlainGuarantee(allowed, kept, 13)) +
                              " rätt\n"),
            std::string::npos)
      << filtered.out;

  const Ran whole =
      RunCompanion(With(kMarks, With({"--analyse", path, "--whole-system"}, conditions)));
  const Ran today = RunCompanion(With(kMarks, {"--analyse", path}));
  ASSERT_EQ(whole.status, 0) << whole.err;
  EXPECT_EQ(whole.out, "Villkor: analysen gäller hela systemet, " + allText + " utfall, varav " +
                           keptText + " uppfyller villkoren.\n" + today.out);
}

TEST(ConditionCompanion, ConditionsThatKeepEveryRowLeaveEveryOutputAsItWas) {
  TempFolder folder("villkor_same");
  const std::string path = folder.Path("rader.txt").string();
  ASSERT_EQ(RunCompanion(With(kMarks, {"--guarantee", "11", "-o", path})).status, 0);
  const std::vector<std::string> keepAll = {"--condition", "kryss 0-", "--condition",
                                            "tvåor -13 i 1-13"};
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{},
                                             {"--guarantee", "10"},
                                             {"--rows", "77", "--reversed"},
                                             {"--optimize", "11", "--effort", "quick"},
                                             {"--analyse", path},
                                             {"--upload"}}) {
    const Ran plain = RunCompanion(With(kMarks, args));
    const Ran conditioned = RunCompanion(With(kMarks, With(args, keepAll)));
    EXPECT_EQ(conditioned.status, plain.status);
    EXPECT_EQ(conditioned.out, plain.out);
    EXPECT_EQ(conditioned.err, plain.err);
  }
}

TEST(ConditionCompanion, TakesTheDocumentsConditionsWhenItUsesThem) {
  TempFolder folder("villkor_doc");
  CouponDocument document = NewCouponDocument(kStryktipset);
  for (size_t m = 0; m < kMarks.size(); ++m) {
    for (const char sign : kMarks[m]) {
      document.marks[CellIndex(static_cast<int>(m) + 1, sign == '1'   ? 0
                                                        : sign == 'X' ? 1
                                                                      : 2)] = true;
    }
  }
  document.conditions = {"kryss 2-4", "ettor 3-"};
  document.maxBroken = 1;
  document.useConditions = true;
  const std::string used = folder.Path("used.spelkub").string();
  SaveCouponDocument(used, document);
  document.useConditions = false;
  const std::string unused = folder.Path("unused.spelkub").string();
  SaveCouponDocument(unused, document);

  const std::vector<std::string> both = {"--condition", "kryss 2-4", "--condition", "ettor 3-"};
  EXPECT_EQ(RunCompanion({"--coupon", used}).out,
            RunCompanion(With(kMarks, With({"--max-broken", "1"}, both))).out);
  // Arguments add conditions; --max-broken replaces the document's.
  EXPECT_EQ(
      RunCompanion({"--coupon", used, "--condition", "tvåor 1"}).out,
      RunCompanion(With(kMarks, With({"--max-broken", "1", "--condition", "tvåor 1"}, both))).out);
  EXPECT_EQ(RunCompanion({"--coupon", used, "--max-broken", "0"}).out,
            RunCompanion(With(kMarks, both)).out);
  // Not in use, or set aside: the document's conditions do nothing.
  const Ran plain = RunCompanion(kMarks);
  EXPECT_EQ(RunCompanion({"--coupon", unused}).out, plain.out);
  EXPECT_EQ(RunCompanion({"--coupon", used, "--no-coupon-conditions"}).out, plain.out);
  EXPECT_EQ(RunCompanion({"--coupon", unused, "--condition", "kryss 3"}).out,
            RunCompanion(With(kMarks, {"--condition", "kryss 3"})).out);
  EXPECT_EQ(RunCompanion({"--coupon", unused, "--max-broken", "1"}).status, 2);
}

TEST(ConditionCompanion, RefusesInSwedishWithTheRightStatus) {
  const auto ran = [](const std::vector<std::string>& args) {
    return RunCompanion(With(kMarks, args));
  };
  const Ran unknown = ran({"--condition", "krys 2-5"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err,
            "spelkub_rader: Villkoret \"krys 2-5\": okänt mått \"krys\" (ettor, kryss, tvåor, "
            "favoriter, skrällar, poäng, spelvärde, utdelning) (se --help)\n");
  EXPECT_TRUE(unknown.out.empty());
  const Ran beyond = ran({"--condition", "kryss 1 i 14"});
  EXPECT_EQ(beyond.status, 2);
  EXPECT_EQ(beyond.err.rfind("spelkub_rader: Villkoret \"kryss 1 i 14\"", 0), 0u) << beyond.err;

  const Ran noStreck = ran({"--condition", "skrällar 1-3"});
  EXPECT_EQ(noStreck.status, 1);
  EXPECT_EQ(noStreck.err.rfind("spelkub_rader: Villkoret \"skrällar 1-3\" behöver streck", 0), 0u)
      << noStreck.err;
  std::string even;
  for (int m = 0; m < 13; ++m) even += "30 30 40 ";
  const Ran noTurnover = ran({"--streck", even, "--condition", "utdelning 1000-"});
  EXPECT_EQ(noTurnover.status, 1);
  EXPECT_NE(noTurnover.err.find("behöver omsättningen"), std::string::npos) << noTurnover.err;

  const Ran none = ran({"--condition", "kryss 12-"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "spelkub_rader: Inga rader uppfyller villkoren.\n");
  EXPECT_TRUE(none.out.empty());
  EXPECT_EQ(ran({"--condition", "kryss 12-", "--optimize", "11"}).err,
            "spelkub_rader: Inga rader uppfyller villkoren.\n");

  EXPECT_EQ(ran({"--max-broken", "1"}).status, 2);
  EXPECT_EQ(ran({"--condition", "kryss 2", "--max-broken", "-1"}).status, 2);
  EXPECT_EQ(ran({"--condition", "kryss 2", "--whole-system"}).status, 2);
  EXPECT_EQ(ran({"--no-coupon-conditions"}).status, 2);
  EXPECT_EQ(ran({"--condition", "kryss 2", "--streck", "1 2"}).status, 2);
  EXPECT_EQ(RunCompanion({"--grade", "1111111111111", "x.txt", "--condition", "kryss 2"}).status,
            2);
}

TEST(ConditionCompanion, HelpDescribesTheLanguage) {
  const Ran help = RunCompanion({"--help"});
  ASSERT_EQ(help.status, 0);
  for (const char* word : {"--condition TEXT", "--max-broken E", "A-B", "1,2,5-8", "ettor", "kryss",
                           "tvåor", "favoriter", "skrällar", "poäng", "spelvärde", "utdelning",
                           "tillåtna fel", "--whole-system", "--no-coupon-conditions"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
}

}  // namespace
}  // namespace spelkub
