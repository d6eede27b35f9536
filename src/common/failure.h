#pragma once

#include <expected>
#include <string>
#include <utility>

namespace velko {

// The failure of an operation whose complete user text is `text`.
inline std::unexpected<std::string> fail(std::string text) { return std::unexpected(std::move(text)); }

}  // namespace velko
