// Every file of the fuzz targets' seed corpora, run through the same entry function the fuzzer
// calls: a broken property ends the test program with the property's text.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_targets.h"

namespace velko {
namespace {

std::filesystem::path corpus_folder(const char* target) {
  return std::filesystem::path(VELKO_SOURCE_DIR) / "fuzz" / "corpus" / target;
}

std::vector<std::uint8_t> read_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FuzzCorpusReplay : public testing::TestWithParam<FuzzTarget> {};

TEST_P(FuzzCorpusReplay, EveryCorpusFileKeepsTheProperties) {
  const FuzzTarget target = GetParam();
  const auto folder = corpus_folder(target.name);
  ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    SCOPED_TRACE(entry.path().string());
    const std::vector<std::uint8_t> bytes = read_bytes(entry.path());
    EXPECT_EQ(target.run(bytes.data(), bytes.size()), 0);
    ++files;
  }
  EXPECT_GE(files, 3u) << "a seed corpus of a handful of inputs belongs in " << folder;
}

// The empty input, which no corpus file needs to spell out.
TEST_P(FuzzCorpusReplay, EmptyInput) {
  EXPECT_EQ(GetParam().run(nullptr, 0), 0);
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpusReplay, testing::ValuesIn(kFuzzTargets),
                         [](const testing::TestParamInfo<FuzzTarget>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velko
