// The condition parser on any text: it refuses with a message that quotes the
// condition, or reads a condition whose text reads back to the same condition.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "villkor/condition.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace spelkub;
  const fuzz::GameAndText input = fuzz::SplitGame(data, size);
  const int matches = input.rules->matches;
  std::string error;
  const std::optional<Condition> condition = ParseCondition(input.text, matches, &error);
  if (!condition) {
    SPELKUB_FUZZ_CHECK(!error.empty());
    return 0;
  }
  SPELKUB_FUZZ_CHECK(condition->matches < (uint64_t{1} << matches));
  if (condition->low && condition->high) SPELKUB_FUZZ_CHECK(*condition->low <= *condition->high);
  const std::string written = ConditionText(*condition);
  std::string again;
  const std::optional<Condition> reread = ParseCondition(written, matches, &again);
  SPELKUB_FUZZ_CHECK(reread && *reread == *condition);
  return 0;
}
