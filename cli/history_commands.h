// spelkub_rader's history: --record, --settle and --history
// (cli/history_commands.cpp), parsed apart from the other options.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "cli/rader.h"

namespace spelkub::cli {

// The exit status when the arguments ask for a history command (--record,
// --settle or --history among them); nullopt otherwise.
std::optional<int> RunHistoryCommand(std::span<const std::string_view> args, Output& output);

// The history options, for --help.
std::string_view HistoryHelpText();

}  // namespace spelkub::cli
