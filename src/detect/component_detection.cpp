#include "detect/component_detection.h"

#include "common/utf.h"

namespace velko {
namespace {

bool is_ascii_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

bool is_version_piece(std::string_view piece) {
  if (!is_valid_utf8(piece) || piece.find('.') == std::string_view::npos) return false;
  for (const char c : piece) {
    if (c != '.' && (c < '0' || c > '9')) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> registry_version_from_text(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && is_ascii_space(text[pos])) ++pos;
    std::size_t end = pos;
    while (end < text.size() && !is_ascii_space(text[end])) ++end;
    const std::string_view piece = text.substr(pos, end - pos);
    pos = end;
    if (piece.empty() || !is_version_piece(piece)) continue;
    // The first version-like piece decides; a later one is never looked at.
    if (piece == "0.0.0.0") return std::nullopt;
    return std::string(piece);
  }
  return std::nullopt;
}

}  // namespace velko
