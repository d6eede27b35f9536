// The folders under src/ are layers: a file may include its own folder and those below it,
// never one above. README "Layout" gives the same order in words.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>


namespace velko {
namespace {

namespace fs = std::filesystem;

// Bottom first.
constexpr std::array<std::string_view, 11> kLayers = {
    "common", "win", "policy", "model", "detect", "download", "install", "launch", "state", "ui", "app",
};

std::optional<std::size_t> layer_rank(std::string_view folder) {
  const auto found = std::find(kLayers.begin(), kLayers.end(), folder);
  if (found == kLayers.end()) return std::nullopt;
  return static_cast<std::size_t>(found - kLayers.begin());
}

// The folder part of `#include "folder/file.h"`, or nothing for any other line.
std::optional<std::string> included_folder(const std::string& line, std::string& included) {
  std::string_view text(line);
  const auto start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) return std::nullopt;
  text.remove_prefix(start);
  if (!text.starts_with("#include")) return std::nullopt;
  const auto open = text.find('"');
  if (open == std::string_view::npos) return std::nullopt;
  const auto close = text.find('"', open + 1);
  if (close == std::string_view::npos) return std::nullopt;
  included = std::string(text.substr(open + 1, close - open - 1));
  const auto slash = included.find('/');
  if (slash == std::string::npos) return std::nullopt;
  return included.substr(0, slash);
}

const fs::path& source_root() {
  static const fs::path root = fs::path(VELKO_SOURCE_DIR) / "src";
  return root;
}

TEST(LayerOrder, EveryFolderUnderSrcHasAPlaceInTheOrder) {
  for (const auto& entry : fs::directory_iterator(source_root())) {
    if (!entry.is_directory()) continue;
    EXPECT_TRUE(layer_rank(entry.path().filename().string()))
        << "src/" << entry.path().filename().string() << " is in no layer";
  }
}

TEST(LayerOrder, NoFileIncludesAFolderAboveItsOwn) {
  int filesRead = 0;
  for (const auto& entry : fs::recursive_directory_iterator(source_root())) {
    const std::string extension = entry.path().extension().string();
    if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp" && extension != ".rc")) continue;
    const fs::path relative = fs::relative(entry.path(), source_root());
    const auto own = layer_rank(relative.begin()->string());
    if (!own) continue;  // reported by the test above
    ++filesRead;
    std::ifstream input(entry.path());
    std::string line;
    std::string included;
    while (std::getline(input, line)) {
      const auto folder = included_folder(line, included);
      if (!folder) continue;
      const auto rank = layer_rank(*folder);
      EXPECT_FALSE(rank && *rank > *own) << "src/" << relative.generic_string() << " includes \"" << included
                                         << "\", a layer above its own";
    }
  }
  EXPECT_GT(filesRead, 100);  // the walk found the sources
}

}  // namespace
}  // namespace velko
