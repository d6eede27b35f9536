#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace velko {

// A web address split into what WinHTTP needs.
struct DownloadAddress {
  std::string host;          // as written: no case folding, no decoding
  std::string pathAndQuery;  // always begins with "/"; query and fragment unchanged
  std::uint16_t port = 0;    // explicit, or 443 for "https://" and 80 for "http://"
  bool secure = false;       // "https://"

  bool operator==(const DownloadAddress&) const = default;
};

// Only lower-case "https://" and "http://" addresses; otherwise the user text of the first rule
// that fails. No network.
std::expected<DownloadAddress, std::string> parse_download_address(std::string_view text);

}  // namespace velko
