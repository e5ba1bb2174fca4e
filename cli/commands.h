// The parts of spelkub_rader's Run, one per kind of call, and what they share.
// Each returns the exit status; every refusal is one line on standard error.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cli/rader.h"
#include "commands/conditions_command.h"
#include "commands/refusal.h"

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

// The document the options describe for `game`: --coupon's or a fresh one,
// with the options' game, 13plus choice and marks, and the values given as
// arguments. `error` explains malformed values; empty when it is made.
struct MadeDocument {
  CouponDocument document;
  std::string error;
};
MadeDocument MakeDocument(const Options& options, int32_t game);

// The draw service (cli/fetch_commands.cpp): whether the arguments ask for
// --fetch or --fetch-result, which take their own options; the call; --help's
// part.
bool IsFetchCall(std::span<const std::string_view> args);
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
};
CommandConditions ConditionsOf(const Options& options);
// Whether any condition is in effect for these options.
bool ConditionsInEffect(const Options& options);
// Each line of a text under the caption.
void TellLines(Output& output, std::string_view caption, std::string_view text);
// The condition language, for --help.
std::string_view ConditionHelpText();

}  // namespace spelkub::cli
