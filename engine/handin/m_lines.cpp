#include "handin/m_lines.h"

#include <stdexcept>

namespace spelkub {

namespace {

constexpr char kSignChars[3] = {'1', 'X', '2'};

int64_t Index(PackedRow row, int matches) {
  int64_t index = 0;
  for (int m = matches; m >= 1; --m) index = index * 3 + PackedOutcome(row, m);
  return index;
}

int SignCount(uint8_t mask) {
  return (mask & 1) + ((mask >> 1) & 1) + ((mask >> 2) & 1);
}

// Calls visit(row) for every row of the product, match 1 turning fastest.
template <typename Visit>
void ForEachRow(const MSystem& system, Visit visit) {
  std::array<int, kMaxMatches> sign{};
  for (int m = 0; m < system.matches; ++m) {
    sign[m] = 0;
    while (((system.signs[m] >> sign[m]) & 1) == 0) ++sign[m];
  }
  while (true) {
    PackedRow row = 0;
    for (int m = 0; m < system.matches; ++m) row |= PackedRow(sign[m]) << (2 * m);
    if (!visit(row)) return;
    int m = 0;
    for (; m < system.matches; ++m) {
      int next = sign[m] + 1;
      while (next < 3 && ((system.signs[m] >> next) & 1) == 0) ++next;
      if (next < 3) {
        sign[m] = next;
        break;
      }
      sign[m] = 0;
      while (((system.signs[m] >> sign[m]) & 1) == 0) ++sign[m];
    }
    if (m == system.matches) return;
  }
}

}  // namespace

int64_t MSystem::Rows() const {
  int64_t rows = 1;
  for (int m = 0; m < matches; ++m) rows *= SignCount(signs[m]);
  return rows;
}

std::vector<PackedRow> MSystem::Expand() const {
  std::vector<PackedRow> rows;
  rows.reserve(static_cast<size_t>(Rows()));
  ForEachRow(*this, [&rows](PackedRow row) {
    rows.push_back(row);
    return true;
  });
  return rows;
}

std::string MSystem::Line() const {
  std::string line(1, 'M');
  line.append(std::to_string(Rows()));
  for (int m = 0; m < matches; ++m) {
    line += ',';
    for (int s = 0; s < 3; ++s) {
      if ((signs[m] >> s) & 1) line += kSignChars[s];
    }
  }
  return line;
}

std::vector<MSystem> SplitIntoMSystems(int matches, std::span<const PackedRow> rows,
                                       int64_t largest) {
  if (matches < 1 || matches > kMaxMatches || largest < 1) {
    throw std::invalid_argument("SplitIntoMSystems: bad matches or size");
  }
  int64_t outcomes = 1;
  for (int m = 0; m < matches; ++m) outcomes *= 3;
  // How often each outcome is still to be covered.
  std::vector<uint8_t> left(static_cast<size_t>(outcomes), 0);
  for (const PackedRow row : rows) {
    uint8_t& count = left[static_cast<size_t>(Index(row, matches))];
    if (count == 255) throw std::invalid_argument("SplitIntoMSystems: a row 256 times");
    ++count;
  }
  const auto allLeft = [&](const MSystem& system) {
    bool all = true;
    ForEachRow(system, [&](PackedRow row) {
      all = left[static_cast<size_t>(Index(row, matches))] > 0;
      return all;
    });
    return all;
  };
  std::vector<MSystem> systems;
  for (const PackedRow start : rows) {
    if (left[static_cast<size_t>(Index(start, matches))] == 0) continue;
    MSystem system;
    system.matches = matches;
    for (int m = 0; m < matches; ++m) system.signs[m] = uint8_t(1u << PackedOutcome(start, m + 1));
    int64_t size = 1;
    for (int m = 0; m < matches; ++m) {
      for (int s = 0; s < 3; ++s) {
        if ((system.signs[m] >> s) & 1) continue;
        const int count = SignCount(system.signs[m]);
        if (size / count * (count + 1) > largest) break;
        MSystem grown = system;
        grown.signs[m] = uint8_t(grown.signs[m] | (1u << s));
        if (allLeft(grown)) {
          system = grown;
          size = size / count * (count + 1);
        }
      }
    }
    ForEachRow(system, [&](PackedRow row) {
      --left[static_cast<size_t>(Index(row, matches))];
      return true;
    });
    systems.push_back(system);
  }
  return systems;
}

}  // namespace spelkub
