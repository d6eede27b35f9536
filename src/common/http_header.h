#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velko {

// The user agent of every request to the download service. It is part of the service's
// contract, not the program's version: a release with a new version number still announces
// itself with exactly this text.
inline constexpr char kServiceUserAgent[] = "VelkoOnlineInstaller/1.0.0";

// A Content-Length header value: decimal digits only (blanks around them allowed), no
// overflow, else nothing. Servers' lengths are read as text because the numeric header query
// of some WinHTTP versions clips values above 2 GiB.
std::optional<std::uint64_t> parse_content_length(std::string_view text);

}  // namespace velko
