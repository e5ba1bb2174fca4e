// --analyse and --grade: a coupon file's rows, read strictly, against the
// system of the marks or against the results.
#include <cstdio>
#include <string>
#include <string_view>

#include "check/analysis.h"
#include "check/grading.h"
#include "cli/commands.h"
#include "coupon/messages.h"
#include "coupon/system_shape.h"
#include "text/coupon_reader.h"
#include "text/coupon_text.h"

namespace spelkub::cli {

namespace {

std::string Quoted(std::string_view text) {
  std::string quoted(1, '"');
  quoted.append(text).append(1, '"');
  return quoted;
}

// The rows read, or nullopt after telling why there are none to use.
std::optional<CouponRows> RowsOf(ReadResult read, Output& output) {
  if (!read.coupon) {
    Tell(output, kProgramName, read.error);
    return std::nullopt;
  }
  if (read.coupon->rows.empty()) {
    Tell(output, kProgramName, "Filen har inga rader.");
    return std::nullopt;
  }
  return std::move(read.coupon);
}

std::optional<CouponRows> ReadRows(const std::string& path, Output& output) {
  return RowsOf(ReadCouponFile(path), output);
}

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

}  // namespace

int Analyse(const Options& options, Output& output) {
  const CouponState state = MakeCouponState(options);
  if (const auto failure = ValidateCoupon(state, kPlus13No)) {
    Tell(output, failure->message.caption, failure->message.text);
    return kExitRefused;
  }
  const int matches = MatchesInPlay(state.Game);
  ReadResult read = ReadCouponFile(options.rowsPath);
  if (!read.coupon && read.headerlessSigns == matches && matches != MatchesInPlay(kSupertoto)) {
    // Rows of the system's length, but without the header and "E," that
    // Stryktipset and Europatipset rows have: the file reads as Supertoto.
    Tell(output, kProgramName,
         "Rad " + std::to_string(read.headerlessLine) + ": systemet har " +
             std::to_string(matches) + " matcher och raden " + std::to_string(matches) +
             " tecken, men filen har ingen rubrik och läses då som Supertoto med " +
             std::to_string(MatchesInPlay(kSupertoto)) + " tecken per rad: skriv " +
             Quoted("Stryktipset") + " eller " + Quoted("Europatipset") + " först och " +
             Quoted("E,") + " före varje rad");
    return kExitRefused;
  }
  const auto coupon = RowsOf(std::move(read), output);
  if (!coupon) return kExitRefused;
  if (MatchesInPlay(coupon->game) != matches) {
    Tell(output, kProgramName,
         "Raderna har " + std::to_string(MatchesInPlay(coupon->game)) + " matcher men systemet " +
             std::to_string(matches) + ": välj spel med --game");
    return kExitRefused;
  }

  const AnalysisReport report =
      AnalyseRows(ShapeOf(state), coupon->rows, options.streck ? &*options.streck : nullptr);
  std::string text = "Garanti: " + std::to_string(report.guarantee) + " rätt\n";
  for (int right = matches; right >= report.guarantee; --right) {
    text += std::to_string(right) + " rätt: " + std::to_string(report.outcomesByRight[right]) +
            " utfall";
    if (report.probabilityByRight)
      text += " (" + Percent((*report.probabilityByRight)[right]) + " %)";
    text += '\n';
  }
  if (report.outsideCount > 0) {
    text += "Rader utanför systemet: " + std::to_string(report.outsideCount) + "\n";
  }
  if (options.streck && !options.streck->scaledMatches.empty()) {
    text += ScaledStreckText(*options.streck) + "\n";
  }
  return WriteAll(output, text) ? kExitDone : kExitRefused;
}

int Grade(const Options& options, Output& output) {
  const auto coupon = ReadRows(options.rowsPath, output);
  if (!coupon) return kExitRefused;
  const int matches = MatchesInPlay(coupon->game);
  std::string error;
  const auto results = ParseResults(options.results, matches, &error);
  if (!results) {
    Tell(output, kProgramName, error + std::string(kSeeHelp));
    return kExitMalformed;
  }

  const GradeReport report = GradeRows(coupon->rows, *results);
  std::string text;
  for (int right = matches; right >= 0; --right) {
    if (report.rowsByRight[right] == 0) continue;
    text += std::to_string(right) +
            " rätt: " + RowCountText(static_cast<size_t>(report.rowsByRight[right])) + "\n";
  }
  if (report.decided < matches) {
    for (int right = matches; right > matches - 4; --right) {
      text += "Kan nå " + std::to_string(right) +
              " rätt: " + RowCountText(static_cast<size_t>(report.rowsCanReach[right])) + "\n";
    }
  }
  return WriteAll(output, text) ? kExitDone : kExitRefused;
}

}  // namespace spelkub::cli
