#include "check/analysis.h"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "coupon/number_text.h"
#include "cover/coverage.h"

namespace spelkub {

namespace {

std::optional<Streck> Refuse(std::string* error, std::string text) {
  if (error != nullptr) *error = "Streck: " + std::move(text);
  return std::nullopt;
}

// Per outcome index of the matches [first, last) of the shape (the first
// turning fastest): the product of its signs' shares.
std::vector<double> WeightTable(const SystemShape& shape, const Streck& streck, int first,
                                int last) {
  std::vector<double> table{1.0};
  for (int m = last - 1; m >= first; --m) {
    const int radix = shape.radix[m];
    std::vector<double> wider(table.size() * radix);
    for (size_t k = 0; k < table.size(); ++k) {
      for (int d = 0; d < radix; ++d) {
        wider[k * radix + d] = table[k] * streck.percent[m][shape.outcomes[m][d]] / 100.0;
      }
    }
    table = std::move(wider);
  }
  return table;
}

AnalysisReport Stopped(int matches) {
  AnalysisReport report;
  report.matches = matches;
  report.stopped = true;
  return report;
}

}  // namespace

std::optional<Streck> ParseStreck(std::string_view text, int matches, std::string* error) {
  if (matches < 1 || matches > kMaxMatches) throw std::invalid_argument("ParseStreck: matches");
  const size_t wanted = static_cast<size_t>(3 * matches);
  const NumberList list = ReadNumberList(text);
  if (!list.problem.empty()) return Refuse(error, list.problem);
  const std::vector<double>& numbers = list.numbers;
  if (numbers.size() != wanted) return Refuse(error, CountProblem(text, wanted, numbers.size()));
  Streck streck;
  streck.matches = matches;
  for (int m = 0; m < matches; ++m) {
    const double sum = numbers[3 * m] + numbers[3 * m + 1] + numbers[3 * m + 2];
    const std::string match = "match " + std::to_string(m + 1);
    if (!std::isfinite(sum))
      return Refuse(error, "talen för " + match + " är för stora att lägga ihop");
    if (!(sum > 0)) return Refuse(error, match + " har summan 0");
    if (sum < 99 || sum > 101) streck.scaledMatches.push_back(m + 1);
    // Divided first, so that a share of a large sum cannot overflow.
    for (int o = 0; o < 3; ++o) streck.percent[m][o] = numbers[3 * m + o] / sum * 100.0;
  }
  return streck;
}

std::string ScaledStreckText(const Streck& streck) {
  if (streck.scaledMatches.empty()) return {};
  std::string text = "Streck som inte summerade till 100 har räknats om: match ";
  for (size_t i = 0; i < streck.scaledMatches.size(); ++i) {
    if (i > 0) text += ", ";
    text += std::to_string(streck.scaledMatches[i]);
  }
  return text;
}

AnalysisReport AnalyseRows(const SystemShape& shape, std::span<const PackedRow> rows,
                           const Streck* streck, const Work& work) {
  AnalysisReport report;
  report.matches = shape.matches;
  if (rows.empty() || shape.size() == 0) return report;

  Coverage coverage = ComputeCoverage(shape, rows, work);
  if (coverage.stopped || work.Stopped()) return Stopped(shape.matches);
  work.Fraction(streck != nullptr ? 0.5 : 1.0);
  report.outsideCount = coverage.outsideCount;
  report.outsideRows = std::move(coverage.outsideRows);
  report.guarantee = shape.matches - coverage.maxDistance;

  const std::vector<uint8_t>& distance = coverage.distance;
  // Four histograms so that equal neighbours do not wait on one counter.
  std::array<std::array<int64_t, 256>, 4> byDistance{};
  const size_t size = distance.size();
  size_t i = 0;
  for (; i + 4 <= size; i += 4) {
    ++byDistance[0][distance[i]];
    ++byDistance[1][distance[i + 1]];
    ++byDistance[2][distance[i + 2]];
    ++byDistance[3][distance[i + 3]];
  }
  for (; i < size; ++i) ++byDistance[0][distance[i]];
  for (int d = 0; d <= shape.matches; ++d) {
    report.outcomesByRight[shape.matches - d] =
        byDistance[0][d] + byDistance[1][d] + byDistance[2][d] + byDistance[3][d];
  }

  if (streck != nullptr) {
    // weight(index) = low[index % lowSize] * high[index / lowSize]: two small
    // tables instead of a product over the matches per outcome.
    int split = 0;
    int64_t lowSize = 1;
    while (split < shape.matches && lowSize * lowSize < static_cast<int64_t>(size)) {
      lowSize *= shape.radix[split++];
    }
    const std::vector<double> low = WeightTable(shape, *streck, 0, split);
    const std::vector<double> high = WeightTable(shape, *streck, split, shape.matches);
    std::array<double, 256> byDistanceWeight{};
    double total = 0;
    const uint8_t* at = distance.data();
    for (size_t h = 0; h < high.size(); ++h) {
      if (work.Stopped()) return Stopped(shape.matches);
      if (h % 64 == 0) work.Fraction(0.5 + 0.5 * static_cast<double>(h) / high.size());
      const double highWeight = high[h];
      for (const double lowWeight : low) {
        const double weight = lowWeight * highWeight;
        byDistanceWeight[*at++] += weight;
        total += weight;
      }
    }
    std::array<double, kMaxMatches + 1> probability{};
    if (total > 0) {
      for (int d = 0; d <= shape.matches; ++d) {
        probability[shape.matches - d] = byDistanceWeight[d] / total;
      }
    }
    report.probabilityByRight = probability;
    double inSystem = 1;
    for (int m = 0; m < shape.matches; ++m) {
      double marked = 0;
      for (int d = 0; d < shape.radix[m]; ++d) marked += streck->percent[m][shape.outcomes[m][d]];
      inSystem *= marked / 100.0;
    }
    report.systemProbability = inSystem;
    work.Fraction(1);
  }
  return report;
}

AnalysisReport AnalyseRowsOnSystem(const System& system, std::span<const PackedRow> rows,
                                   const Streck* streck, const Work& work) {
  const SystemShape& shape = system.shape();
  if (!system.filtered()) return AnalyseRows(shape, rows, streck, work);
  AnalysisReport report;
  report.matches = shape.matches;
  if (rows.empty() || system.size() == 0) return report;

  Coverage coverage = ComputeCoverage(system, rows, work);
  if (coverage.stopped || work.Stopped()) return Stopped(shape.matches);
  work.Fraction(0.5);
  report.outsideCount = coverage.outsideCount;
  report.outsideRows = std::move(coverage.outsideRows);
  report.guarantee = shape.matches - coverage.maxDistance;

  // One walk over the outcomes, index = high * lowSize + low, so that an
  // outcome's weight is low[...] * high[...] rather than a product over the
  // matches.
  int split = 0;
  int64_t lowSize = 1;
  while (split < shape.matches && lowSize * lowSize < shape.size()) lowSize *= shape.radix[split++];
  const std::vector<double> low =
      streck != nullptr ? WeightTable(shape, *streck, 0, split) : std::vector<double>();
  const std::vector<double> high =
      streck != nullptr ? WeightTable(shape, *streck, split, shape.matches) : std::vector<double>();
  std::array<int64_t, 256> byDistance{};
  std::array<double, 256> byDistanceWeight{};
  double total = 0;
  const std::vector<uint8_t>& distance = coverage.distance;
  const int64_t highSize = shape.size() / lowSize;
  for (int64_t h = 0; h < highSize; ++h) {
    if (work.Stopped()) return Stopped(shape.matches);
    if (h % 64 == 0) work.Fraction(0.5 + 0.5 * static_cast<double>(h) / highSize);
    for (int64_t l = 0; l < lowSize; ++l) {
      const int64_t index = h * lowSize + l;
      if (!system.Allows(index)) continue;
      const uint8_t d = distance[static_cast<size_t>(index)];
      ++byDistance[d];
      if (streck != nullptr) {
        const double weight = low[static_cast<size_t>(l)] * high[static_cast<size_t>(h)];
        byDistanceWeight[d] += weight;
        total += weight;
      }
    }
  }
  for (int d = 0; d <= shape.matches; ++d) {
    report.outcomesByRight[shape.matches - d] = byDistance[d];
  }
  if (streck != nullptr) {
    std::array<double, kMaxMatches + 1> probability{};
    if (total > 0) {
      for (int d = 0; d <= shape.matches; ++d) {
        probability[shape.matches - d] = byDistanceWeight[d] / total;
      }
    }
    report.probabilityByRight = probability;
    report.systemProbability = total;
  }
  work.Fraction(1);
  return report;
}

}  // namespace spelkub
