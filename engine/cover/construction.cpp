#include "cover/construction.h"

#include <algorithm>

#include "cover/matrix_codes.h"

namespace spelkub::detail {

namespace {

#include "cover/code_table.inc"

constexpr int64_t kHuge = int64_t{1} << 50;

int64_t Times(int64_t a, int64_t b) {
  if (a == 0 || b == 0) return 0;
  return a >= kHuge / b ? kHuge : a * b;
}

std::vector<TableEntry> ReadTable() {
  std::vector<TableEntry> entries;
  size_t at = 0;
  while (kCodeTable[at] != ~0u) {
    TableEntry entry;
    entry.kind = static_cast<TableKind>(kCodeTable[at]);
    entry.ternary = static_cast<int>(kCodeTable[at + 1]);
    entry.binary = static_cast<int>(kCodeTable[at + 2]);
    entry.radius = static_cast<int>(kCodeTable[at + 3]);
    entry.checks = static_cast<int>(kCodeTable[at + 4]);
    const size_t count = kCodeTable[at + 5];
    entry.values.assign(kCodeTable + at + 6, kCodeTable + at + 6 + count);
    at += 6 + count;
    entries.push_back(std::move(entry));
  }
  return entries;
}

MatrixCode TableMatrix(const TableEntry& entry) {
  MatrixCode code;
  code.length = entry.ternary;
  code.checks = entry.checks;
  code.radius = entry.radius;
  const auto split = entry.values.begin() + entry.ternary;
  code.columns.assign(entry.values.begin(), split);
  code.syndromes.assign(split, entry.values.end());
  return code;
}

std::string TableName(const TableEntry& entry) {
  if (entry.kind == TableKind::kLinear) {
    return "linear[" + std::to_string(entry.ternary) + "," +
           std::to_string(entry.ternary - entry.checks) + "]r" + std::to_string(entry.radius);
  }
  if (entry.kind == TableKind::kMatrix) {
    return "matrix[" + std::to_string(entry.ternary) + "," + std::to_string(entry.checks) + "]r" +
           std::to_string(entry.radius);
  }
  return "table" + std::to_string(entry.ternary) + "+" + std::to_string(entry.binary) + "r" +
         std::to_string(entry.radius);
}

BlockCode TableCode(const TableEntry& entry) {
  if (entry.kind == TableKind::kMatrix) return WordsOf(TableMatrix(entry), TableName(entry));
  if (entry.kind == TableKind::kLinear) {
    LinearCode code;
    code.length = entry.ternary;
    code.checks = entry.checks;
    code.columns = entry.values;
    return WordsOf(code, TableName(entry));
  }
  BlockCode code;
  code.name = TableName(entry);
  code.ternary = entry.ternary;
  code.binary = entry.binary;
  code.radius = entry.radius;
  for (uint32_t index : entry.values) {
    for (int i = 0; i < code.length(); ++i) {
      const uint32_t q = i < entry.ternary ? 3 : 2;
      code.symbols.push_back(static_cast<uint8_t>(index % q));
      index /= q;
    }
  }
  return code;
}

}  // namespace

std::vector<CatalogEntry> BlockCatalog(bool withShippedTable) {
  std::vector<CatalogEntry> catalog;
  catalog.push_back({"full1", 1, 0, 0, 3, [] { return FullSpace(1, 0); }});
  catalog.push_back({"full1", 0, 1, 0, 2, [] { return FullSpace(0, 1); }});
  catalog.push_back(
      {"hamming3x4", 4, 0, 1, 9, [] { return WordsOf(TernaryHamming(2), "hamming3x4"); }});
  catalog.push_back(
      {"hamming3x13", 13, 0, 1, 59049, [] { return WordsOf(TernaryHamming(3), "hamming3x13"); }});
  catalog.push_back({"golay11", 11, 0, 2, 729, [] { return TernaryGolay(); }});
  catalog.push_back(
      {"hamming2x7", 0, 7, 1, 16, [] { return WordsOf(BinaryHamming(3), "hamming2x7"); }});
  for (int length = 2; length <= kMaxMatches; ++length) {
    for (bool ternary : {true, false}) {
      const BlockCode code = RepetitionCode(length, ternary);
      catalog.push_back({code.name, code.ternary, code.binary, code.radius, code.size(),
                         [length, ternary] { return RepetitionCode(length, ternary); }});
    }
  }
  if (withShippedTable) {
    for (const TableEntry& entry : ReadTable()) {
      const int64_t size = entry.kind == TableKind::kLinear ? Power(3, entry.ternary - entry.checks)
                           : entry.kind == TableKind::kMatrix
                               ? TableMatrix(entry).size()
                               : static_cast<int64_t>(entry.values.size());
      catalog.push_back({TableName(entry), entry.ternary, entry.binary, entry.radius, size,
                         [entry] { return TableCode(entry); }});
    }
  }
  return catalog;
}

std::vector<BlockCode> ShippedCodes() {
  std::vector<BlockCode> codes;
  for (const TableEntry& entry : ReadTable()) codes.push_back(TableCode(entry));
  return codes;
}

std::string Plan::Describe(std::span<const CatalogEntry> catalog) const {
  std::string text;
  for (const PlanBlock& block : blocks) {
    if (!text.empty()) text += " + ";
    text += block.entry < 0 ? "one row" : catalog[block.entry].name;
    if (block.entry >= 0 && block.binaryMatches > catalog[block.entry].binary) text += " folded";
  }
  return text;
}

std::vector<Plan> BestPlans(std::span<const CatalogEntry> catalog, int ternary, int binary,
                            int radius, int count) {
  struct Choice {
    int entry = -1;
    int ternaryMatches = 0;
    int binaryMatches = 0;
  };
  const int A = ternary + 1;
  const int B = binary + 1;
  auto at = [&](int a, int b, int r) { return (static_cast<size_t>(r) * A + a) * B + b; };
  std::vector<int64_t> best(static_cast<size_t>(A) * B * (radius + 1), kHuge);
  std::vector<Choice> choice(best.size());

  // Every way the entry can take a ternary three-sign matches: its ternary
  // coordinates beyond those fold onto two-sign matches.
  auto forEachUse = [&](int a, int b, int r, auto&& use) {
    for (size_t e = 0; e < catalog.size(); ++e) {
      const CatalogEntry& entry = catalog[e];
      if (entry.radius > r) continue;
      for (int a1 = 0; a1 <= std::min(entry.ternary, a); ++a1) {
        const int b1 = entry.ternary - a1 + entry.binary;
        if (b1 > b || a1 + b1 == 0) continue;
        use(static_cast<int>(e), a1, b1,
            Times(entry.size, best[at(a - a1, b - b1, r - entry.radius)]));
      }
    }
  };
  for (int r = 0; r <= radius; ++r) {
    for (int a = 0; a <= ternary; ++a) {
      for (int b = 0; b <= binary; ++b) {
        const size_t here = at(a, b, r);
        if (a + b <= r) {
          best[here] = 1;
          choice[here] = {-1, a, b};
          continue;
        }
        forEachUse(a, b, r, [&](int e, int a1, int b1, int64_t size) {
          if (size < best[here]) {
            best[here] = size;
            choice[here] = {e, a1, b1};
          }
        });
      }
    }
  }

  auto rest = [&](int a, int b, int r, Plan& plan) {
    while (a + b > 0) {
      const Choice c = choice[at(a, b, r)];
      plan.blocks.push_back({c.entry, c.ternaryMatches, c.binaryMatches});
      a -= c.ternaryMatches;
      b -= c.binaryMatches;
      if (c.entry < 0) break;
      r -= catalog[c.entry].radius;
    }
  };
  std::vector<Plan> plans;
  if (ternary + binary <= radius) {
    Plan plan;
    rest(ternary, binary, radius, plan);
    plan.size = 1;
    plans.push_back(plan);
  } else {
    forEachUse(ternary, binary, radius, [&](int e, int a1, int b1, int64_t size) {
      if (size >= kHuge) return;
      Plan plan;
      plan.blocks.push_back({e, a1, b1});
      rest(ternary - a1, binary - b1, radius - catalog[e].radius, plan);
      plan.size = size;
      plans.push_back(std::move(plan));
    });
  }
  // Best first; among equals the order of the catalog decides.
  std::stable_sort(plans.begin(), plans.end(),
                   [](const Plan& x, const Plan& y) { return x.size < y.size; });
  std::vector<Plan> distinct;
  std::vector<std::string> seen;
  for (Plan& plan : plans) {
    // The same blocks in another order give the same rows.
    std::vector<std::string> parts;
    for (const PlanBlock& block : plan.blocks) {
      parts.push_back(std::to_string(block.entry) + ":" + std::to_string(block.ternaryMatches) +
                      ":" + std::to_string(block.binaryMatches));
    }
    std::sort(parts.begin(), parts.end());
    std::string key;
    for (const std::string& part : parts) key += part + ",";
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
    seen.push_back(key);
    distinct.push_back(std::move(plan));
    if (static_cast<int>(distinct.size()) == count) break;
  }
  return distinct;
}

std::vector<PlacedCode> PlacePlan(const SystemShape& shape, std::span<const CatalogEntry> catalog,
                                  const Plan& plan) {
  std::vector<int> three;
  std::vector<int> two;
  for (int m = 0; m < shape.matches; ++m) {
    if (shape.radix[m] == 3) three.push_back(m);
    if (shape.radix[m] == 2) two.push_back(m);
  }
  std::vector<PlacedCode> placed;
  size_t nextThree = 0;
  size_t nextTwo = 0;
  for (const PlanBlock& block : plan.blocks) {
    PlacedCode code;
    code.code = block.entry < 0 ? OneWord(block.ternaryMatches, block.binaryMatches)
                                : catalog[block.entry].make();
    for (int i = 0; i < block.ternaryMatches; ++i) code.matches.push_back(three[nextThree++]);
    for (int i = 0; i < block.binaryMatches; ++i) code.matches.push_back(two[nextTwo++]);
    placed.push_back(std::move(code));
  }
  return placed;
}

std::vector<PackedRow> DirectSumRows(const SystemShape& shape, std::span<const PlacedCode> blocks,
                                     const std::stop_token& stop) {
  std::array<int64_t, kMaxMatches> stride{};
  int64_t next = 1;
  for (int m = 0; m < shape.matches; ++m) {
    stride[m] = next;
    next *= shape.radix[m];
  }
  // Index and row bits of the partial sums so far; index in the high half.
  PackedRow base = 0;
  for (int m = 0; m < shape.matches; ++m) base |= PackedRow{shape.outcomes[m][0]} << (2 * m);
  for (const PlacedCode& block : blocks) {
    for (int m : block.matches) base &= ~(PackedRow{3} << (2 * m));
  }
  std::vector<uint64_t> sums{base};
  for (const PlacedCode& block : blocks) {
    std::vector<uint64_t> words;
    for (int64_t w = 0; w < block.code.size(); ++w) {
      const auto word = block.code.Word(w);
      uint64_t index = 0;
      PackedRow bits = 0;
      for (size_t i = 0; i < block.matches.size(); ++i) {
        const int m = block.matches[i];
        const int digit = std::min<int>(word[i], shape.radix[m] - 1);
        index += static_cast<uint64_t>(digit * stride[m]);
        bits |= PackedRow{shape.outcomes[m][digit]} << (2 * m);
      }
      words.push_back(index << 32 | bits);
    }
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    std::vector<uint64_t> grown;
    grown.reserve(sums.size() * words.size());
    for (uint64_t sum : sums) {
      for (uint64_t word : words) grown.push_back(sum + word);  // the parts share no bits
      if ((grown.size() & 0xFFFF) < words.size() && stop.stop_requested()) {
        return {};
      }
    }
    sums.swap(grown);
  }
  std::sort(sums.begin(), sums.end());
  sums.erase(std::unique(sums.begin(), sums.end()), sums.end());
  std::vector<PackedRow> rows(sums.size());
  for (size_t i = 0; i < sums.size(); ++i) rows[i] = static_cast<PackedRow>(sums[i]);
  return rows;
}

}  // namespace spelkub::detail
