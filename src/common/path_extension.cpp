#include "common/path_extension.h"

namespace velko {

std::string replace_extension(std::string_view path, std::string_view extension) {
  const std::size_t nameStart = [&] {
    const std::size_t separator = path.find_last_of("\\/:");
    return separator == std::string_view::npos ? 0 : separator + 1;
  }();
  std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot <= nameStart) dot = path.size();
  std::string result(path.substr(0, dot));
  result.push_back('.');
  result.append(extension);
  return result;
}

}  // namespace velko
