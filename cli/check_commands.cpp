// --analyse and --grade: a coupon file's rows, read strictly, against the
// system of the marks or against the results.
#include <string>

#include "cli/commands.h"
#include "commands/check_commands.h"
#include "coupon/games.h"
#include "text/coupon_reader.h"

namespace spelkub::cli {

int Analyse(const Options& options, Output& output) {
  const CommandConditions conditions = ConditionsOf(options);
  if (const int fault = TellConditionsFault(conditions, output); fault != kExitDone) return fault;
  // Row by row: the memory is the system's, however many rows the file has.
  const Refusable<AnalysisInput> input = PrepareAnalysisOfFile(
      MakeCouponState(options), options.rowsPath, conditions.input, options.conditions.wholeSystem);
  if (!input.value) {
    TellRefusal(output, input.refusal);
    return kExitRefused;
  }
  // Nothing stops the analysis here, so there is always an outcome.
  const std::optional<AnalysisOutcome> outcome = RunAnalysis(*input.value, options.streck);
  return WriteAll(output, outcome->companionText) ? kExitDone : kExitRefused;
}

int Grade(const Options& options, Output& output) {
  const Refusable<CouponRows> coupon =
      RowsToCheck(ReadCouponFile(options.rowsPath), RowSource::kFile, kGradeCaption);
  if (!coupon.value) {
    TellRefusal(output, coupon.refusal);
    return kExitRefused;
  }
  std::string resultText = options.results;
  if (IsFetchedResult(resultText)) {
    const std::optional<FetchedResultText> fetched = FetchResultText(resultText, false, output);
    if (!fetched) return kExitRefused;
    resultText = fetched->text;
  }
  std::string error;
  const auto results = ParseResults(resultText, Rules(coupon.value->game).matches, &error);
  if (!results) {
    Tell(output, kProgramName, error + std::string(kSeeHelp));
    return kExitMalformed;
  }
  return WriteAll(output, RunGrade(coupon.value->rows, *results).companionText) ? kExitDone
                                                                                : kExitRefused;
}

}  // namespace spelkub::cli
