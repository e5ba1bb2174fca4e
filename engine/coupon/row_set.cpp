#include "coupon/row_set.h"

#include "coupon/validation.h"
#include "io/huge_pages.h"

namespace spelkub {

namespace {

// Rows between two progress reports; a power of two keeps the test cheap.
constexpr int64_t kProgressGrain = 1 << 13;

// A set of the shape's system under `header`, its rows still to be made.
RowSet EmptySet(const SystemShape& shape, const GameRules& rules, std::string header) {
  RowSet set;
  set.game = rules.game;
  set.matches = shape.matches;
  set.header = std::move(header);
  set.radix = shape.radix;
  set.outcomes = shape.outcomes;
  return set;
}

// One turn of the odometer's matches 2..: the next digit of match 2, with its
// carries into the later matches, kept in `high`, the packed code of matches
// 2... False when the last match carried: every row is made.
inline bool Turn(const RowSet& set, std::array<int, kMaxMatches>& digit, PackedRow& high) {
  for (int m = 1; m < set.matches; ++m) {
    const int shift = 2 * m;
    high &= ~(PackedRow{3} << shift);
    if (++digit[m] < set.radix[m]) {
      high |= PackedRow{set.outcomes[m][digit[m]]} << shift;
      return true;
    }
    digit[m] = 0;
    high |= PackedRow{set.outcomes[m][0]} << shift;
  }
  return false;
}

}  // namespace

RowSet GenerateFullSystem(const CouponState& state, Plus13Choice plus13, Progress* progress) {
  return GenerateSystem(ShapeOf(state), Rules(state.Game), HeaderLine(state, plus13), progress);
}

RowSet GenerateSystem(const SystemShape& shape, const GameRules& rules, std::string header,
                      Progress* progress) {
  RowSet set = EmptySet(shape, rules, std::move(header));

  const int64_t size = shape.size();
  if (size == 0) return set;
  set.rows.reserve(static_cast<size_t>(size));
  AdviseHugePages(set.rows.data(), static_cast<size_t>(size) * sizeof(PackedRow));
  set.rows.resize(static_cast<size_t>(size));

  // The odometer: digit[m] indexes the marked outcomes of match m + 1; match 1
  // turns fastest. `high` is the packed code of matches 2.. for the current turn
  // of match 1, so the inner loop only ORs in the sign of match 1.
  std::array<int, kMaxMatches> digit{};
  PackedRow high = 0;
  for (int m = 1; m < set.matches; ++m) high |= PackedRow{set.outcomes[m][0]} << (2 * m);
  const int first = set.radix[0];
  PackedRow firstSigns[3] = {set.outcomes[0][0], set.outcomes[0][1], set.outcomes[0][2]};

  PackedRow* out = set.rows.data();
  int64_t begun = 0;
  int64_t nextReport = kProgressGrain;
  for (;;) {
    for (int d = 0; d < first; ++d) *out++ = high | firstSigns[d];
    begun += first;
    if (progress != nullptr && begun >= nextReport) {
      progress->RowsGenerated(begun);
      nextReport = begun + kProgressGrain;
    }
    if (!Turn(set, digit, high)) break;  // the last match carried: every row is made
  }
  if (progress != nullptr) progress->RowsGenerated(begun);
  return set;
}

RowSet GenerateSystem(const System& system, const GameRules& rules, std::string header,
                      Progress* progress) {
  if (!system.filtered()) return GenerateSystem(system.shape(), rules, std::move(header), progress);
  const SystemShape& shape = system.shape();
  RowSet set = EmptySet(shape, rules, std::move(header));
  // Every row is written and the cursor moves on only when its bit is set, so
  // one spare slot takes the writes after the last allowed row.
  set.rows.resize(static_cast<size_t>(system.size()) + 1);

  // The same odometer as the full system; progress counts the rows of the
  // shape passed over.
  const std::vector<uint64_t>& allowed = system.allowed();
  std::array<int, kMaxMatches> digit{};
  PackedRow high = 0;
  for (int m = 1; m < set.matches; ++m) high |= PackedRow{set.outcomes[m][0]} << (2 * m);
  const int first = set.radix[0];
  PackedRow firstSigns[3] = {set.outcomes[0][0], set.outcomes[0][1], set.outcomes[0][2]};

  PackedRow* out = set.rows.data();
  int64_t index = 0;
  int64_t nextReport = kProgressGrain;
  for (;;) {
    for (int d = 0; d < first; ++d, ++index) {
      *out = high | firstSigns[d];
      out += (allowed[static_cast<size_t>(index >> 6)] >> (index & 63)) & 1u;
    }
    if (progress != nullptr && index >= nextReport) {
      progress->RowsGenerated(index);
      nextReport = index + kProgressGrain;
    }
    if (!Turn(set, digit, high)) break;
  }
  set.rows.resize(static_cast<size_t>(system.size()));
  if (progress != nullptr) progress->RowsGenerated(index);
  return set;
}

}  // namespace spelkub
