// What the fuzz targets share: a check that stops the run with a message the
// fuzzer keeps beside the input, and the game an input's first byte chooses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "coupon/games.h"

// An invariant of a reader: failing it is a fault as real as a crash.
#define SPELKUB_FUZZ_CHECK(condition)                                                    \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

namespace spelkub::fuzz {

// The first byte chooses a game of the table (so that new games are fuzzed
// too); the rest is the text.
struct GameAndText {
  const GameRules* rules;
  std::string_view text;
};

inline GameAndText SplitGame(const uint8_t* data, size_t size) {
  const size_t index = size > 0 ? data[0] % kGames.size() : 0;
  const char* text = reinterpret_cast<const char*>(data);
  if (size == 0) return {&kGames[index], std::string_view()};
  return {&kGames[index], std::string_view(text + 1, size - 1)};
}

}  // namespace spelkub::fuzz
