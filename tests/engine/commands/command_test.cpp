// The "Generera Rader" command without a window: what it returns, and the
// stages a listener hears, in the order the window shows them.
#include "commands/generate_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/coupon_builder.h"

namespace spelkub {
namespace {

using testing::MakeCoupon;
using testing::UniformCoupon;

// Writes down every stage as a short line.
class Recorder final : public GenerateListener {
 public:
  std::vector<std::string> stages;
  int64_t rowsGenerated = 0;
  int passes = 0;

  void Refused(const Message& message) override {
    stages.push_back("refused " + std::string(message.caption) + " " + std::string(message.text));
  }
  void GenerationStarted(int32_t systemSize) override {
    stages.push_back("generating " + std::to_string(systemSize));
  }
  void RowsGenerated(int64_t rows) override { rowsGenerated = rows; }
  void Generated(const RowSet& rows) override {
    stages.push_back("generated " + std::to_string(rows.size()));
  }
  void ReductionStarted() override { stages.push_back("reducing"); }
  void SelectionStarted(int64_t rowListLines) override {
    stages.push_back("selecting " + std::to_string(rowListLines));
  }
  void PassStarted(int /*threshold*/) override { ++passes; }
  void Reduced(const RowSet& /*rows*/, const ReductionResult& result) override {
    stages.push_back("kept " + std::to_string(result.kept.size()));
  }
};

// Matches 1 and 2 "1X2", the rest "1": nine rows.
CouponState NineRows() {
  return MakeCoupon(kStryktipset,
                    {"1X2", "1X2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"});
}

using Stages = std::vector<std::string>;

TEST(GenerateCommand, RefusesWithTheFirstFailingCheckAndMakesNoRows) {
  CouponState state = NineRows();
  state.Reduction = kReductionGuarantee;  // no level chosen: check 16
  Recorder recorder;
  const GenerateOutcome outcome = RunGenerateCommand(state, {.plus13 = kPlus13No}, &recorder);
  EXPECT_EQ(outcome.end, GenerateEnd::kRefused);
  EXPECT_EQ(outcome.refusal.text, kGuaranteeChoiceMessage.text);
  EXPECT_EQ(outcome.rows.size(), 0);
  EXPECT_EQ(recorder.stages,
            (Stages{"refused Felaktigt val! Kolla dina val gällande garanti reducering!!"}));

  // An unmarked match comes before the reduction's check, "Ja" without goals too.
  CouponState unmarked = MakeCoupon(kStryktipset, {"1", "1", ""});
  unmarked.Reduction = kReductionGuarantee;
  EXPECT_EQ(RunGenerateCommand(unmarked, {.plus13 = kPlus13Yes}).refusal.text,
            kInvalidSystemMessage.text);
  CouponState noGoals = NineRows();
  EXPECT_EQ(RunGenerateCommand(noGoals, {.plus13 = kPlus13Yes}).refusal.caption,
            kPlus13Message.caption);
}

TEST(GenerateCommand, IngenGeneratesTheFullSystemAndStops) {
  CouponState state = UniformCoupon(kSupertoto, "1X");
  state.Marks[CellIndex(14, 2)] = 1;  // match 14 "1X2": the last factor is 3
  Recorder recorder;
  const GenerateOutcome outcome = RunGenerateCommand(state, {}, &recorder);
  EXPECT_EQ(outcome.end, GenerateEnd::kGenerated);
  EXPECT_EQ(outcome.rows.size(), 3 * 8192);
  EXPECT_EQ(outcome.rows.rows, GenerateFullSystem(state, kPlus13No).rows);
  EXPECT_EQ(recorder.stages, (Stages{"generating 24576", "generated 24576"}));
  EXPECT_EQ(recorder.rowsGenerated, 24576);
  // The size is multiplied up as the window does it.
  EXPECT_EQ(state.SizeProduct, 1);
  EXPECT_EQ(state.MatchCount, 3);
}

TEST(GenerateCommand, HeaderFollowsTheThirteenPlusControl) {
  CouponState state = NineRows();
  state.Goals = kGoals3;
  EXPECT_EQ(RunGenerateCommand(state, {.plus13 = kPlus13Yes}).rows.header,
            "Stryktipset,13plus=Ja,Antal=3\r\n");
  EXPECT_EQ(RunGenerateCommand(state, {.plus13 = kPlus13No}).rows.header,
            "Stryktipset,13plus=Nej\r\n");
}

TEST(GenerateCommand, RowCountReportsOverTheFullSystemBeforeReplacingIt) {
  CouponState state = NineRows();
  state.Reduction = kReductionRowCount;
  state.TargetRows = 4;
  Recorder recorder;
  // Only the row count's own tick turns its passes around.
  const GenerateOutcome outcome = RunGenerateCommand(
      state, {.plus13 = kPlus13No, .guaranteeReversed = false, .rowCountReversed = true},
      &recorder);
  EXPECT_EQ(outcome.end, GenerateEnd::kReduced);
  EXPECT_EQ(outcome.rows.size(), 9);
  EXPECT_EQ(outcome.reduction.kept, (std::vector<uint32_t>{8, 4, 0, 7}));
  EXPECT_EQ(outcome.reportText, "12 rätts garanti på dina nu reducerade rader!");
  EXPECT_EQ(outcome.report().caption, "Reducering");
  EXPECT_TRUE(outcome.reportBeforeReplacing);
  EXPECT_EQ(recorder.stages,
            (Stages{"generating 9", "generated 9", "reducing", "selecting 10", "kept 4"}));
  EXPECT_EQ(recorder.passes, 10);  // thresholds 4 to 13: the report is 13 - 1

  const GenerateOutcome forward = RunGenerateCommand(
      state, {.plus13 = kPlus13No, .guaranteeReversed = true, .rowCountReversed = false});
  EXPECT_EQ(forward.reduction.kept, (std::vector<uint32_t>{0, 4, 8, 1}));
}

TEST(GenerateCommand, GuaranteeReplacesTheRowListBeforeItsMessage) {
  CouponState state = NineRows();
  state.Reduction = kReductionGuarantee;
  state.GuaranteeLevel = 12;
  Recorder recorder;
  const GenerateOutcome outcome = RunGenerateCommand(
      state, {.plus13 = kPlus13No, .guaranteeReversed = true, .rowCountReversed = false},
      &recorder);
  EXPECT_EQ(outcome.end, GenerateEnd::kReduced);
  EXPECT_EQ(outcome.reduction.kept, (std::vector<uint32_t>{8, 4, 0}));
  EXPECT_FALSE(outcome.reportBeforeReplacing);
  EXPECT_EQ(outcome.report().text, kGuaranteeReducedMessage.text);
  EXPECT_EQ(recorder.stages,
            (Stages{"generating 9", "generated 9", "reducing", "selecting 10", "kept 3"}));
}

TEST(GenerateCommand, TargetAboveTheRowCountIsRefusedAfterGenerationWithoutAPass) {
  for (const int32_t game : {kStryktipset, kSupertoto}) {
    CouponState state = UniformCoupon(game, "1");
    state.Marks[CellIndex(1, 1)] = 1;  // two rows
    state.Reduction = kReductionRowCount;
    state.TargetRows = 3;
    Recorder recorder;
    const GenerateOutcome outcome = RunGenerateCommand(state, {}, &recorder);
    EXPECT_EQ(outcome.end, GenerateEnd::kTargetAboveRowCount) << game;
    EXPECT_EQ(outcome.refusal.text, "Felaktigt val av antal rader!") << game;
    EXPECT_EQ(outcome.rows.size(), 2) << game;
    EXPECT_TRUE(outcome.reduction.kept.empty()) << game;
    EXPECT_EQ(recorder.stages, (Stages{"generating 2", "generated 2", "reducing",
                                       "refused FEL! Felaktigt val av antal rader!"}))
        << game;
    EXPECT_EQ(recorder.passes, 0) << game;
  }
}

TEST(GenerateCommand, SupertotoSelectsOverItsRowsAlone) {
  CouponState state = UniformCoupon(kSupertoto, "1");
  state.Marks[CellIndex(3, 2)] = 1;
  state.Reduction = kReductionGuarantee;
  state.GuaranteeLevel = 13;
  Recorder recorder;
  const GenerateOutcome outcome = RunGenerateCommand(state, {}, &recorder);
  EXPECT_EQ(outcome.reduction.kept.size(), 1u);  // the two rows share 13 of 14 signs
  EXPECT_EQ(recorder.stages[3], "selecting 2");  // no header line
}

TEST(GenerateCommand, WorksWithoutAListener) {
  CouponState state = NineRows();
  state.Reduction = kReductionRowCount;
  state.TargetRows = 2;
  const GenerateOutcome outcome = RunGenerateCommand(state, {});
  EXPECT_EQ(outcome.reduction.kept, (std::vector<uint32_t>{0, 4}));
  EXPECT_EQ(outcome.reportText, "11 rätts garanti på dina nu reducerade rader!");
}

TEST(GenerateCommand, AStopWhileReducingKeepsTheFullSystemAndTellsNoReport) {
  CouponState state = NineRows();
  state.Reduction = kReductionGuarantee;
  state.GuaranteeLevel = 12;
  StopSource stop;
  stop.RequestStop();
  Recorder recorder;
  const GenerateOutcome outcome = RunGenerateCommand(state, {}, &recorder, Work{StopToken(stop)});
  EXPECT_EQ(outcome.end, GenerateEnd::kStopped);
  EXPECT_EQ(outcome.rows.size(), 9);
  EXPECT_TRUE(outcome.reduction.kept.empty());
  EXPECT_TRUE(outcome.reportText.empty());
  // The first pass began and heard the stop at once.
  EXPECT_EQ(recorder.stages, (Stages{"generating 9", "generated 9", "reducing", "selecting 10"}));
  EXPECT_EQ(recorder.passes, 1);
}

}  // namespace
}  // namespace spelkub
