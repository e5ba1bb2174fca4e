#include "commands/check_commands.h"

#include <array>
#include <bit>
#include <cstdio>
#include <utility>

#include "coupon/games.h"
#include "coupon/messages.h"
#include "coupon/shown_text.h"

namespace spelkub {

namespace {

// "Garantianalys" and "Rätta rader" name this many of the highest numbers of
// right that the rows can still reach.
constexpr int kReachLines = 4;

// A share 0..1 as a percentage with two decimals and a decimal comma.
std::string Percent(double share) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", share * 100.0);
  std::string percent(text);
  for (char& c : percent) {
    if (c == '.') c = ',';
  }
  return percent;
}

// Rows of the system's length, but without the header and "E," that the
// system's game wants: the reader took the file for its headerless game.
// Said of files only: the window's row list is written by the program.
std::optional<Refusal> HeaderlessRefusal(const ReadResult& read, int matches) {
  const GameRules* headerless = HeaderlessGame();
  if (read.coupon || read.headerlessSigns != matches || headerless == nullptr ||
      GameOfRowForm(matches, false) != nullptr) {
    return std::nullopt;
  }
  return Refusal{"Rad " + std::to_string(read.headerlessLine) + ": systemet har " +
                     std::to_string(matches) + " matcher och raden " + std::to_string(matches) +
                     " tecken, men filen har ingen rubrik och läses då som " +
                     std::string(headerless->name) + " med " + std::to_string(headerless->matches) +
                     " tecken per rad: skriv " + HeaderNames(matches) + " först och " +
                     Quoted("E,") + " före varje rad",
                 std::string(kAnalysisCaption)};
}

// The rows as the system tells them apart: per match the position of the
// row's sign among the marked ones, or one more for a sign not marked. A set
// of those, one bit each, holds at most 3^matches bits (a match of three
// marked signs has no sign outside them).
class DistinctRows {
 public:
  explicit DistinctRows(const SystemShape& shape) : shape_(shape) {
    int64_t size = 1;
    for (int m = 0; m < shape.matches; ++m) {
      extent_[m] = shape.radix[m] + (shape.radix[m] < 3 ? 1 : 0);
      stride_[m] = size;
      size *= extent_[m];
      for (int sign = 0; sign < 3; ++sign) position_[m][sign] = shape.radix[m];
      for (int d = 0; d < shape.radix[m]; ++d) position_[m][shape.outcomes[m][d]] = d;
    }
    bits_.assign(static_cast<size_t>((size + 63) / 64), 0);
  }

  // Notes the row; true when it has a sign the system does not mark.
  bool Add(PackedRow row) {
    int64_t index = 0;
    bool outside = false;
    for (int m = 0; m < shape_.matches; ++m) {
      const int position = position_[m][PackedOutcome(row, m + 1) % 3];
      outside = outside || position == shape_.radix[m];
      index += position * stride_[m];
    }
    bits_[static_cast<size_t>(index >> 6)] |= uint64_t{1} << (index & 63);
    return outside;
  }

  // One row for each distinct one noted, in index order.
  std::vector<PackedRow> Rows() const {
    std::vector<PackedRow> rows;
    for (size_t word = 0; word < bits_.size(); ++word) {
      for (uint64_t bits = bits_[word]; bits != 0; bits &= bits - 1) {
        int64_t index = static_cast<int64_t>(word * 64) + std::countr_zero(bits);
        PackedRow row = 0;
        for (int m = 0; m < shape_.matches; ++m) {
          const auto position = static_cast<int>(index % extent_[m]);
          index /= extent_[m];
          int sign = 0;
          if (position < shape_.radix[m]) {
            sign = shape_.outcomes[m][position];
          } else {
            while (position_[m][sign] != shape_.radix[m]) ++sign;  // a sign not marked
          }
          row |= PackedRow(sign) << (2 * m);
        }
        rows.push_back(row);
      }
    }
    return rows;
  }

 private:
  const SystemShape& shape_;
  std::array<int, kMaxMatches> extent_{};
  std::array<int64_t, kMaxMatches> stride_{};
  std::array<std::array<int, 3>, kMaxMatches> position_{};
  std::vector<uint64_t> bits_;
};

// The conditions' system added to a prepared analysis.
Refusable<AnalysisInput> WithConditions(Refusable<AnalysisInput> prepared,
                                        const ConditionInput& conditions, bool wholeSystem) {
  if (!prepared.value || conditions.empty()) return prepared;
  Refusable<System> system = ConditionedSystem(prepared.value->shape, conditions);
  if (!system.value) return Refusable<AnalysisInput>::Refused(std::move(system.refusal));
  if (system.value->filtered()) {
    prepared.value->conditioned = std::move(system.value);
    prepared.value->wholeSystem = wholeSystem;
  }
  return prepared;
}

}  // namespace

Refusable<AnalysisInput> PrepareAnalysis(const CouponState& state, ReadResult read,
                                         RowSource source, const ConditionInput& conditions,
                                         bool wholeSystem) {
  return WithConditions(PrepareAnalysis(state, std::move(read), source), conditions, wholeSystem);
}

Refusable<AnalysisInput> PrepareAnalysisOfFile(const CouponState& state, const std::string& path,
                                               const ConditionInput& conditions, bool wholeSystem) {
  using Answer = Refusable<AnalysisInput>;
  if (auto refusal = CheckMarks(state, kPlus13No)) return Answer::Refused(std::move(*refusal));
  AnalysisInput input;
  input.shape = ShapeOf(state);
  DistinctRows distinct(input.shape);
  RowsRead counted;
  ReadResult read = ReadCouponFileVisiting(path, [&](PackedRow row, int64_t line) {
    ++counted.rows;
    if (!distinct.Add(row)) return;
    if (counted.outsideLines.size() < kOutsideRowsKept) counted.outsideLines.push_back(line);
    ++counted.outsideCount;
  });
  if (auto refusal = HeaderlessRefusal(read, input.shape.matches)) {
    return Answer::Refused(std::move(*refusal));
  }
  if (!read.coupon) return Answer::Refused(ReaderRefusal(read));
  if (counted.rows == 0) return Answer::Refused("Filen har inga rader.", kAnalysisCaption);
  const int matches = Rules(read.coupon->game).matches;
  if (matches != input.shape.matches) {
    return Answer::Refused("Raderna har " + std::to_string(matches) + " matcher men systemet " +
                               std::to_string(input.shape.matches) + ": välj spel med --game",
                           kAnalysisCaption);
  }
  input.rows = distinct.Rows();
  input.read = std::move(counted);
  return WithConditions({std::move(input), {}}, conditions, wholeSystem);
}

Refusable<AnalysisInput> PrepareAnalysis(const CouponState& state, ReadResult read,
                                         RowSource source) {
  using Answer = Refusable<AnalysisInput>;
  if (auto refusal = CheckMarks(state, kPlus13No)) return Answer::Refused(std::move(*refusal));
  const SystemShape shape = ShapeOf(state);
  if (source == RowSource::kFile) {
    if (auto refusal = HeaderlessRefusal(read, shape.matches)) {
      return Answer::Refused(std::move(*refusal));
    }
  }
  Refusable<CouponRows> coupon = RowsToCheck(std::move(read), source, kAnalysisCaption);
  if (!coupon.value) return Answer::Refused(std::move(coupon.refusal));
  const int matches = Rules(coupon.value->game).matches;
  if (matches != shape.matches) {
    if (source == RowSource::kFile) {
      return Answer::Refused("Raderna har " + std::to_string(matches) + " matcher men systemet " +
                                 std::to_string(shape.matches) + ": välj spel med --game",
                             kAnalysisCaption);
    }
    return Answer::Refused("Raderna har " + std::to_string(matches) + " matcher men kupongen " +
                               std::to_string(shape.matches) + ".",
                           kAnalysisCaption);
  }
  AnalysisInput input;
  input.shape = shape;
  input.rows = std::move(coupon.value->rows);
  input.lines.assign(coupon.value->lines.begin(), coupon.value->lines.end());
  return {std::move(input), {}};
}

std::optional<AnalysisOutcome> RunAnalysis(const AnalysisInput& input,
                                           const std::optional<Streck>& streck, const Work& work) {
  AnalysisOutcome outcome;
  const bool onConditioned = input.conditioned && !input.wholeSystem;
  const Streck* weights = streck ? &*streck : nullptr;
  outcome.report = onConditioned
                       ? AnalyseRowsOnSystem(*input.conditioned, input.rows, weights, work)
                       : AnalyseRows(input.shape, input.rows, weights, work);
  if (outcome.report.stopped) return std::nullopt;
  const AnalysisReport& report = outcome.report;

  outcome.guaranteeText = "Garanti: " + std::to_string(report.guarantee) + " rätt";
  const int64_t outcomes = onConditioned ? input.conditioned->size() : input.shape.size();
  const int64_t rowCount = input.read ? input.read->rows : static_cast<int64_t>(input.rows.size());
  outcome.summaryText =
      RowCountText(rowCount) + " på ett system med " + std::to_string(outcomes) + " utfall.";
  if (input.conditioned) {
    const std::string kept = GroupedNumber(input.conditioned->size());
    const std::string all = GroupedNumber(input.shape.size());
    outcome.scopeText = onConditioned ? "Villkor: analysen gäller de " + kept + " av " + all +
                                            " utfall som uppfyller villkoren."
                                      : "Villkor: analysen gäller hela systemet, " + all +
                                            " utfall, varav " + kept + " uppfyller villkoren.";
  }
  if (input.read) {
    // The file's own rows outside the system, not the distinct ones analysed.
    outcome.report.outsideCount = input.read->outsideCount;
    outcome.report.outsideRows.clear();
  }
  if (report.outsideCount > 0) {
    std::string named;
    const auto name = [&named](int64_t line) {
      if (!named.empty()) named += ", ";
      named += std::to_string(line);
    };
    if (input.read) {
      for (const int64_t line : input.read->outsideLines) name(line);
    }
    for (const int64_t position : report.outsideRows) {
      name(position < static_cast<int64_t>(input.lines.size()) ? input.lines[position]
                                                               : position + 1);
    }
    const size_t namedCount =
        input.read ? input.read->outsideLines.size() : report.outsideRows.size();
    const bool more = report.outsideCount > static_cast<int64_t>(namedCount);
    outcome.outsideText = "Rader utanför systemet: " + std::to_string(report.outsideCount) +
                          " (rad " + named + (more ? ", ..." : "") + ")";
  }
  const std::string scaled = streck ? ScaledStreckText(*streck) : std::string();
  if (!scaled.empty()) outcome.scaledText = scaled + ".";

  std::string& text = outcome.companionText;
  if (!outcome.scopeText.empty()) text = outcome.scopeText + "\n";
  text += outcome.guaranteeText + "\n";
  for (int right = report.matches; right >= report.guarantee; --right) {
    text += std::to_string(right) + " rätt: " + std::to_string(report.outcomesByRight[right]) +
            " utfall";
    if (report.probabilityByRight) {
      text += " (" + Percent((*report.probabilityByRight)[right]) + " %)";
    }
    text += '\n';
  }
  if (report.outsideCount > 0) {
    text += "Rader utanför systemet: " + std::to_string(report.outsideCount) + "\n";
  }
  if (!scaled.empty()) text += scaled + "\n";
  return outcome;
}

GradeOutcome RunGrade(std::span<const PackedRow> rows, const MatchResults& results) {
  GradeOutcome outcome;
  outcome.report = GradeRows(rows, results);
  const GradeReport& report = outcome.report;
  const int matches = results.matches;
  outcome.decidedText = RowCountText(rows.size()) + ", " + std::to_string(report.decided) + " av " +
                        std::to_string(matches) + " matcher avgjorda.";
  if (report.decided < matches) {
    for (int right = matches; right > matches - kReachLines; --right) {
      outcome.reachLines.push_back("Kan nå " + std::to_string(right) + " rätt: " +
                                   RowCountText(static_cast<size_t>(report.rowsCanReach[right])));
    }
  }
  std::string& text = outcome.companionText;
  for (int right = matches; right >= 0; --right) {
    if (report.rowsByRight[right] == 0) continue;
    text += std::to_string(right) +
            " rätt: " + RowCountText(static_cast<size_t>(report.rowsByRight[right])) + "\n";
  }
  for (const std::string& line : outcome.reachLines) text += line + "\n";
  return outcome;
}

}  // namespace spelkub
