// The parts of spelkub_rader's Run, one per kind of call, and what they share.
// Each returns the exit status; every refusal is one line on standard error.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/rader.h"
#include "commands/conditions_command.h"
#include "commands/refusal.h"
#include "commands/value_command.h"

namespace spelkub::cli {

// Ends the explanation of malformed arguments.
inline constexpr std::string_view kSeeHelp = " (se --help)";

// "CAPTION: TEXT" on standard error, in one printable line.
void Tell(Output& output, std::string_view caption, std::string_view text);

// A command's refusal: under its caption for a check of the coupon, else
// under the program's name.
void TellRefusal(Output& output, const Refusal& refusal);

// Tells that writing to standard output failed, with the reason of errno `error`.
void TellStandardOutputFailure(Output& output, int error);

// Writes all of `text` to standard output; false after telling that it failed.
bool WriteAll(Output& output, std::string_view text);

// The rows of the set, or only those at `kept` in that order, as coupon text
// or, with --upload, in the hand-in form; to -o FILE or standard output.
// False after telling why not.
bool WriteRows(const Options& options, const RowSet& set, const std::vector<uint32_t>* kept,
               Output& output);

int Generate(const Options& options, Output& output);
int Analyse(const Options& options, Output& output);
int Grade(const Options& options, Output& output);

// The value layer (cli/value_commands.cpp).
int Value(const Options& options, Output& output);
int RowValues(const Options& options, Output& output);
int SaveCoupon(const Options& options, Output& output);
// Reads the document of --coupon FILE when the arguments name one; false
// after telling why it cannot be read.
bool ReadCouponArgument(std::span<const std::string_view> args,
                        std::optional<CouponDocument>& document, Output& output);
// The document's game, 13plus choice, marks and the document itself into the
// options, before the arguments override them.
void TakeDocument(const CouponDocument& document, Options& options);
// The document's streck for --analyse, when every match in play has them.
std::optional<Streck> StreckOfDocument(const CouponDocument& document, int matches);
// The value options and the value model, for --help.
std::string_view ValueHelpText();
// The rows of a file of rows (--value, --row-values, --follow) with the game
// they are valued in, --game's, else --coupon's, else the file's; or nullopt
// after telling why not, with the exit status in `status`.
struct ValuedRows {
  std::vector<PackedRow> rows;
  ValueInput input;
};
std::optional<ValuedRows> PrepareValue(const Options& options, Output& output, int* status);
// Tells a refusal of the value model, with where the missing value is given;
// false when there is none.
bool TellModelRefusal(const ValueModelOutcome& model, Output& output);
// The notes on scaled percentages: part of the report for a person, on
// standard error beside machine-readable output.
void TellNotes(const std::string& notes, Output& output);

// "Följ kupongen" (cli/follow_commands.cpp): --follow RESULT FILE.
int Follow(const Options& options, Output& output);
std::string_view FollowHelpText();

// The document the options describe for `game`: --coupon's or a fresh one,
// with the options' game, 13plus choice and marks, and the values given as
// arguments. `error` explains malformed values; empty when it is made.
struct MadeDocument {
  CouponDocument document;
  std::string error;
};
MadeDocument MakeDocument(const Options& options, int32_t game);

// "Värdereducering" (cli/select_command.cpp): --select, --budget, --min-distance.
int Select(const Options& options, Output& output);
// The option's value into the options, or why it is malformed; `name` is one
// of SelectOptionNames().
std::string TakeSelectValue(std::string_view name, std::string_view value, Options& options);
// Why --select's options do not go together with the others given (their
// names, in order); empty when they do.
std::string CheckSelectOptions(const std::vector<std::string_view>& given, const Options& options);
std::string_view SelectHelpText();
// The draw service (cli/fetch_commands.cpp): whether the arguments ask for
// --fetch or --fetch-result, which take their own options; the call; --help's
// part.
bool IsFetchCall(std::span<const std::string_view> args);
// RESULT of --grade and --follow written "fetch:GAME:N": the result of draw N
// of GAME fetched from the draw service (at the environment's address).
bool IsFetchedResult(std::string_view results);
// Why such a RESULT is malformed; empty when it is not.
std::string FetchedResultProblem(std::string_view results);
// The fetched result in the form --grade reads ("1X2-…", - for a sign still
// open) or, with `forFollow`, the form --follow reads ("1 X L ? …", L for a
// cancelled match whose sign is not drawn yet), and its game; nullopt after
// telling why not.
struct FetchedResultText {
  int32_t game = 0;
  std::string text;
};
std::optional<FetchedResultText> FetchResultText(std::string_view results, bool forFollow,
                                                 Output& output);
int FetchCommand(std::span<const std::string_view> args, Output& output);
std::string_view FetchHelpText();

// The conditions (cli/condition_commands.cpp).
// The conditions in effect: the document's when it uses them and
// --no-coupon-conditions is not given, then every --condition; --max-broken,
// else the document's when its conditions count, else 0. The values and pool
// as MakeDocument gives them. `malformed` explains malformed values.
struct CommandConditions {
  ConditionInput input;
  std::string malformed;
  // A condition of the --coupon document that does not read, said with the
  // file's name: the document is at fault, not the arguments.
  std::string refused;
};
CommandConditions ConditionsOf(const Options& options);
// Tells what ConditionsOf found wrong and gives the exit status; kExitDone
// when nothing is.
int TellConditionsFault(const CommandConditions& conditions, Output& output);
// Whether any condition is in effect for these options.
bool ConditionsInEffect(const Options& options);
// What is wrong with the conditions given as arguments, read for a game of
// `matches` matches, or with their number together with the document's in
// effect; empty when nothing is. A malformed argument.
std::string ConditionTextsProblem(const Options& options, int matches);
// Each line of a text under the caption.
void TellLines(Output& output, std::string_view caption, std::string_view text);
// The condition language, for --help.
std::string_view ConditionHelpText();

}  // namespace spelkub::cli
