#include "common/win_path.h"

namespace velko {
namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

// Length of the root prefix: "X:\" (3), "X:" (2), "\\server\share\" or "\" (1), else 0.
std::size_t root_length(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') return (path.size() >= 3 && is_separator(path[2])) ? 3 : 2;
  if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) {
    std::size_t separators = 0;
    for (std::size_t i = 2; i < path.size(); ++i) {
      if (is_separator(path[i]) && ++separators == 2) return i + 1;
    }
    return path.size();
  }
  if (!path.empty() && is_separator(path[0])) return 1;
  return 0;
}

}  // namespace

std::string path_file_name(std::string_view path) {
  const std::size_t root = root_length(path);
  if (path.size() <= root) return {};
  const std::size_t slash = path.find_last_of("\\/");
  if (slash == std::string_view::npos) return std::string(path);
  if (slash < root) return std::string(path.substr(root));
  return std::string(path.substr(slash + 1));
}

std::optional<std::string> path_parent(std::string_view path) {
  const std::size_t root = root_length(path);
  std::size_t end = path.size();
  while (end > root && is_separator(path[end - 1])) --end;
  if (end <= root) return std::nullopt;
  std::size_t slash = end;
  while (slash > root && !is_separator(path[slash - 1])) --slash;
  if (slash == root) {
    if (root == 0) return std::nullopt;
    return std::string(path.substr(0, root));
  }
  std::size_t parentEnd = slash - 1;
  while (parentEnd > root && is_separator(path[parentEnd - 1])) --parentEnd;
  return std::string(path.substr(0, parentEnd));
}

std::string path_join(std::string_view directory, std::string_view name) {
  std::string joined(directory);
  if (!joined.empty() && !is_separator(joined.back())) joined.push_back('\\');
  joined.append(name);
  return joined;
}

bool is_local_drive_path(std::string_view path) {
  if (path.starts_with("\\\\?\\")) path.remove_prefix(4);
  if (path.size() < 3) return false;
  const char drive = path[0];
  const bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
  return letter && path[1] == ':' && is_separator(path[2]);
}

}  // namespace velko
