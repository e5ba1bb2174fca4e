// The results parser of "Rätta rader" on any text: a refusal with a message,
// or one sign or "not decided" for each match of the game and none beyond.
#include <cstddef>
#include <cstdint>
#include <string>

#include "check/grading.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace spelkub;
  const fuzz::GameAndText input = fuzz::SplitGame(data, size);
  const int matches = input.rules->matches;
  std::string error;
  const std::optional<MatchResults> results = ParseResults(input.text, matches, &error);
  if (!results) {
    SPELKUB_FUZZ_CHECK(!error.empty());
    return 0;
  }
  SPELKUB_FUZZ_CHECK(results->matches == matches);
  for (int m = 0; m < matches; ++m) {
    SPELKUB_FUZZ_CHECK(results->outcome[m] >= -1 && results->outcome[m] <= 2);
  }
  SPELKUB_FUZZ_CHECK(results->Decided() >= 0 && results->Decided() <= matches);
  return 0;
}
