// The parts of spelkub_rader's Run, one per kind of call, and what they share.
// Each returns the exit status; every refusal is one line on standard error.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "cli/rader.h"
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

}  // namespace spelkub::cli
