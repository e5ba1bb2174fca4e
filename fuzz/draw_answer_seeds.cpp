// Writes the seeds of the draw_answer fuzz target into the folder given: the
// tests' answers of the draw service (tests/support/draw_answers.h), each
// after the byte that chooses the game, named by the SHA-1 of its bytes as
// libFuzzer names them (scripts/fuzz --seed merges them into fuzz/corpus).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/draw_answers.h"

namespace {

using Json = nlohmann::json;

// The first byte: 0 chooses Stryktipset (13 matches), 3 Topptipset (8).
constexpr char kStryktipset = 0;
constexpr char kTopptipset = 3;

}  // namespace

int main(int argc, char** argv) {
  using namespace spelkub::test;
  if (argc != 2) {
    std::fprintf(stderr, "usage: draw_answer_seeds FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  Json closed = DrawBody(4928);
  closed["drawState"] = "Closed";
  Json toppJackpots = JackpotsBody();
  toppJackpots["jackpots"].push_back(
      {{"productId", 25}, {"drawNumber", 4929}, {"jackpots", {{{"jackpotAmount", "250 000"}}}}});
  const std::vector<std::pair<char, std::string>> seeds = {
      {kStryktipset, Json{{"draws", {closed, DrawBody(4929), DrawBody(4930)}}}.dump()},
      {kStryktipset, Json{{"draw", DrawBody(4929)}}.dump()},
      {kStryktipset, Json{{"draws", {DrawBody(4929)}}}.dump()},
      {kStryktipset, Json{{"result", {ResultBody(4929)}}}.dump()},
      {kStryktipset, Json{{"result", ResultBody(4929)}}.dump()},
      {kStryktipset, JackpotsBody().dump()},
      {kTopptipset, Json{{"draw", DrawBody(4929, 8)}}.dump()},
      {kTopptipset, Json{{"result", ResultBody(4929, 8)}}.dump()},
      {kTopptipset, toppJackpots.dump()},
      {kStryktipset, "12 345 678,00"},
  };
  int index = 0;
  for (const auto& [game, text] : seeds) {
    const std::string bytes = std::string(1, game) + text;
    const std::filesystem::path path = folder / ("seed" + std::to_string(++index));
    std::ofstream(path, std::ios::binary) << bytes;
  }
  return 0;
}
