#include "cli/rader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <optional>

#include "cli/commands.h"
#include "cli/history_commands.h"
#include "commands/hand_in_command.h"
#include "commands/optimize_command.h"
#include "coupon/messages.h"
#include "coupon/shown_text.h"
#include "io/huge_pages.h"
#include "io/save_file.h"
#include "text/coupon_text.h"

namespace spelkub::cli {

namespace {

// Blocks of whole row lines rendered into one reused buffer: big enough that
// a write costs little per byte, small enough to stay in the caches' reach.
constexpr size_t kBlockBytes = size_t{4} << 20;

// The reused buffer of a block. A large one is aligned to huge pages and asked
// to use them, so that filling it the first time costs two page faults instead
// of a thousand.
class BlockBuffer {
 public:
  explicit BlockBuffer(size_t bytes) {
    constexpr size_t kHugePage = size_t{2} << 20;
    if (bytes < kHugePage) {
      data_ = static_cast<char*>(std::malloc(std::max<size_t>(bytes, 1)));
    } else {
      const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
      data_ = static_cast<char*>(std::aligned_alloc(kHugePage, rounded));
      if (data_ != nullptr) AdviseHugePages(data_, rounded);
    }
    if (data_ == nullptr) throw std::bad_alloc();
  }
  BlockBuffer(const BlockBuffer&) = delete;
  BlockBuffer& operator=(const BlockBuffer&) = delete;
  ~BlockBuffer() { std::free(data_); }

  char* get() const { return data_; }

 private:
  char* data_;
};

// Where the coupon text goes: the file of -o, saved safely, or standard output.
class TextSink {
 public:
  TextSink(const Options& options, Output& output) : output_(output) {
    if (options.outputPath) file_.emplace(*options.outputPath);  // throws SaveError
  }

  // False after a failed write to standard output; a failed file write throws SaveError.
  bool Write(std::string_view bytes) {
    if (file_) {
      file_->Write(bytes);
      return true;
    }
    return output_.WriteOut(bytes);
  }
  void Finish() {
    if (file_) file_->Commit();
  }

 private:
  Output& output_;
  std::optional<SaveFileWriter> file_;
};

// Streams the header line and `rows` row lines, rendered a block at a time by
// render(first, count, out); false after telling why it failed.
template <typename Render>
bool WriteCouponText(const Options& options, std::string_view header, size_t lineBytes,
                     int64_t rows, Render render, Output& output) {
  try {
    TextSink sink(options, output);
    const int64_t rowsPerBlock =
        std::min<int64_t>(rows, static_cast<int64_t>(kBlockBytes / lineBytes));
    const BlockBuffer block(header.size() + static_cast<size_t>(rowsPerBlock) * lineBytes);
    std::memcpy(block.get(), header.data(), header.size());
    size_t filled = header.size();  // the first block carries the header
    for (int64_t first = 0; first < rows || filled > 0; first += rowsPerBlock) {
      const int64_t count = std::min(rowsPerBlock, rows - first);
      if (count > 0) filled += render(first, count, block.get() + filled);
      if (!sink.Write(std::string_view(block.get(), filled))) {
        TellStandardOutputFailure(output, errno);
        return false;
      }
      filled = 0;
    }
    sink.Finish();
  } catch (const SaveError& error) {
    Tell(output, kProgramName, error.what());
    return false;
  }
  return true;
}

// The rows in today's hand-in form: into NAME-1.txt, ... with -o NAME.txt, or
// to standard output when they fit one file.
bool WriteHandIn(const Options& options, int32_t game, std::span<const PackedRow> rows,
                 Output& output) {
  try {
    const Refusable<HandInFiles> files =
        PrepareHandIn(game, rows, options.plus13,
                      {.form = options.mLines ? HandInForm::kMLines : HandInForm::kRows,
                       .ticket = {.draw = options.draw, .stake = StakeOf(options)}});
    if (!files.value) {
      TellRefusal(output, files.refusal);
      return false;
    }
    if (!options.outputPath) {
      const Refusable<std::string_view> text = HandInToOutput(*files.value);
      if (!text.value) {
        TellRefusal(output, text.refusal);
        return false;
      }
      if (!WriteAll(output, *text.value)) return false;
      if (files.value->plus13Note) Tell(output, kProgramName, kPlus13Note);
      return true;
    }
    const Refusable<HandInSaved> saved = SaveHandIn(*files.value, *options.outputPath);
    if (!saved.value) {
      TellRefusal(output, saved.refusal);
      return false;
    }
    for (const std::string& line : saved.value->lines) Tell(output, kProgramName, line);
    return true;
  } catch (const SaveError& error) {
    Tell(output, kProgramName, error.what());
  }
  return false;
}

}  // namespace

bool WriteRows(const Options& options, const RowSet& set, const std::vector<uint32_t>* kept,
               Output& output) {
  if (options.upload) {
    if (kept == nullptr) return WriteHandIn(options, set.game, set.rows, output);
    std::vector<PackedRow> rows;
    rows.reserve(kept->size());
    for (const uint32_t index : *kept) rows.push_back(set.rows[index]);
    return WriteHandIn(options, set.game, rows, output);
  }
  if (kept != nullptr) {
    const std::span<const uint32_t> indices = *kept;
    return WriteCouponText(
        options, set.header, RowLineBytes(set), static_cast<int64_t>(indices.size()),
        [&](int64_t first, int64_t count, char* out) {
          return RenderRowLines(set, indices.subspan(first, count), out);
        },
        output);
  }
  return WriteCouponText(
      options, set.header, RowLineBytes(set), set.size(),
      [&](int64_t first, int64_t count, char* out) {
        return RenderRowLines(set, first, first + count, out);
      },
      output);
}

namespace {

// --optimize G: the coupon's checks as for generation, then the fewest rows
// the search finds with a verified guarantee, written like generated rows.
int Optimize(const Options& options, const CouponState& state, const ConditionInput& conditions,
             Output& output) {
  // The target is tried before the search: a folder, or a file that cannot
  // be made, is refused at once, not after minutes of work. A writer left
  // without its commit changes nothing.
  if (options.outputPath) {
    try {
      const SaveFileWriter probe(*options.outputPath);
    } catch (const SaveError& error) {
      Tell(output, kProgramName, error.what());
      return kExitRefused;
    }
  }
  const Refusable<OptimizeOutcome> outcome =
      RunOptimizeCommand(state, Plus13Of(options), options.optimizeLevel, options.effort,
                         conditions, Work{}, OnStop::kDiscard, options.threads);
  if (!outcome.value) {
    // Without a stop the search always verifies a cover: only the checks refuse.
    TellRefusal(output, outcome.refusal);
    return kExitRefused;
  }
  if (!WriteRows(options, outcome.value->rows, nullptr, output)) return kExitRefused;
  output.WriteErr(ShownText(outcome.value->summary) + "\n");
  if (!outcome.value->conditionsText.empty()) {
    output.WriteErr(ShownText(outcome.value->conditionsText) + "\n");
  }
  return kExitDone;
}

}  // namespace

void Tell(Output& output, std::string_view caption, std::string_view text) {
  std::string line = ShownText(caption);
  line.append(": ").append(ShownText(text)).append("\n");
  output.WriteErr(line);
}

void TellRefusal(Output& output, const Refusal& refusal) {
  Tell(output,
       refusal.kind == RefusalKind::kCoupon ? std::string_view(refusal.caption) : kProgramName,
       refusal.text);
}

void TellStandardOutputFailure(Output& output, int error) {
  std::string reason;
  switch (error) {
    case ENOSPC:
      reason = "disken är full";
      break;
    case EDQUOT:
      reason = "diskkvoten är slut";
      break;
    case EPIPE:
      reason = "mottagaren har slutat läsa";
      break;
    case EROFS:
      reason = "filsystemet är skrivskyddat";
      break;
    case EACCES:
    case EPERM:
      reason = "åtkomst nekas";
      break;
    case EFBIG:
      reason = "filen blir för stor";
      break;
    case EIO:
      reason = "läs- eller skrivfel på enheten";
      break;
    case EBADF:
      reason = "standard ut är inte öppen för skrivning";
      break;
    default:
      reason = "felkod " + std::to_string(error);
      break;
  }
  Tell(output, kProgramName, "Kunde inte skriva till standard ut: " + reason + ".");
}

bool WriteAll(Output& output, std::string_view text) {
  if (output.WriteOut(text)) return true;
  TellStandardOutputFailure(output, errno);
  return false;
}

int Generate(const Options& options, Output& output) {
  if (options.upload) {
    if (const auto refusal = CheckHandInGame(options.game)) {
      TellRefusal(output, *refusal);
      return ExitStatus(refusal->kind);
    }
    // Before any row is made: a hand-in that cannot carry its draw.
    const std::string problem =
        HandInTicketProblem(Rules(options.game), {.draw = options.draw, .stake = StakeOf(options)});
    if (!problem.empty()) {
      Tell(output, kProgramName, problem);
      return kExitRefused;
    }
  }
  CouponState state = MakeCouponState(options);
  CommandConditions conditions = ConditionsOf(options);
  if (const int fault = TellConditionsFault(conditions, output); fault != kExitDone) return fault;
  if (options.optimizeLevel != 0) return Optimize(options, state, conditions.input, output);
  GenerateControls controls = Controls(options);
  controls.conditions = std::move(conditions.input);
  const GenerateOutcome outcome = RunGenerateCommand(state, controls);
  if (outcome.end == GenerateEnd::kRefused || outcome.end == GenerateEnd::kTargetAboveRowCount) {
    // The conditions' refusals are the program's own, as for the other commands.
    TellRefusal(output, {outcome.refusal.text, outcome.refusal.caption, outcome.refusal.kind});
    return ExitStatus(outcome.refusal.kind);
  }
  const bool reduced = outcome.end == GenerateEnd::kReduced;
  if (!WriteRows(options, outcome.rows, reduced ? &outcome.reduction.kept : nullptr, output)) {
    return kExitRefused;
  }
  if (reduced) {
    TellLines(output, outcome.reportCaption, outcome.reportText);
  } else if (!outcome.conditionsText.empty()) {
    Tell(output, kProgramName, outcome.conditionsText);
  }
  return kExitDone;
}

bool StandardStreams::WriteOut(std::string_view bytes) {
  // Large blocks: one write per gigabyte at most, continued after partial
  // writes and interruptions.
  constexpr size_t kBlock = size_t{1} << 30;
  while (!bytes.empty()) {
    const ssize_t written = ::write(STDOUT_FILENO, bytes.data(), std::min(bytes.size(), kBlock));
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

void StandardStreams::WriteErr(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(STDERR_FILENO, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;  // nowhere left to tell
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

int Run(std::span<const std::string_view> args, Output& output) {
  try {
    if (const std::optional<int> status = RunHistoryCommand(args, output)) return *status;
    if (IsFetchCall(args)) return FetchCommand(args, output);
    std::optional<CouponDocument> document;
    if (!ReadCouponArgument(args, document, output)) return kExitRefused;
    const ParseResult parsed = ParseArguments(args, document ? &*document : nullptr);
    if (!parsed.options) {
      Tell(output, kProgramName, parsed.error + std::string(kSeeHelp));
      return kExitMalformed;
    }
    const Options& options = *parsed.options;
    switch (options.command) {
      case Command::kHelp:
      case Command::kVersion:
        return WriteAll(output, options.command == Command::kHelp ? HelpText() : kVersionText)
                   ? kExitDone
                   : kExitRefused;
      case Command::kAnalyse:
        return Analyse(options, output);
      case Command::kGrade:
        return Grade(options, output);
      case Command::kValue:
        return Value(options, output);
      case Command::kRowValues:
        return RowValues(options, output);
      case Command::kSaveCoupon:
        return SaveCoupon(options, output);
      case Command::kFollow:
        return Follow(options, output);
      case Command::kSelect:
        return Select(options, output);
      case Command::kGenerate:
        break;
    }
    return Generate(options, output);
  } catch (const std::bad_alloc&) {
    Tell(output, kProgramName, "Minnet räcker inte till.");
    return kExitRefused;
  } catch (const std::exception& error) {
    // What the window's standard error box would show, under the program's name.
    Tell(output, kProgramName, error.what());
    return kExitRefused;
  }
}

}  // namespace spelkub::cli
