// Runs a fuzz target once on every file of the folders (or files) it is
// given, the way libFuzzer would, so that the normal test run replays the
// seeds and every input a fuzzer once found without clang's libFuzzer. A
// folder that does not exist is taken as empty. A fault aborts, as it would
// under the fuzzer; a folder that cannot be read is a failure.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool Replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", file.c_str());
    return false;
  }
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
  std::fprintf(stderr, "%s\n", file.c_str());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int inputs = 0;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path place(argv[i]);
    std::error_code error;
    if (!std::filesystem::exists(place, error)) continue;
    if (!std::filesystem::is_directory(place)) {
      ok = Replay(place) && ok;
      ++inputs;
      continue;
    }
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(place, error)) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
    if (error) {
      std::fprintf(stderr, "cannot list %s: %s\n", place.c_str(), error.message().c_str());
      ok = false;
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
      ok = Replay(file) && ok;
      ++inputs;
    }
  }
  std::printf("%d inputs replayed\n", inputs);
  return ok ? 0 : 1;
}
