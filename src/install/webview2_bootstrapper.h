#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <string>

namespace velko {

// The WebView2 Evergreen bootstrapper this program carries (RCDATA resource 301), as the
// read-only bytes of the mapped program image. Nothing is copied. The carried-bootstrapper
// failure text when the resource is missing or does not have the pinned size.
std::expected<std::span<const std::uint8_t>, std::string> carried_webview2_bootstrapper();

// Installation worker: checks the carried bytes against the pinned SHA-256, writes them to
// "MicrosoftEdgeWebview2Setup.exe" in the download folder through the ".exe.part" sibling,
// verifies what was written and promotes it. Rewrites the file on every call. The final path.
// While another copy of the program holds the ".exe.part" file, fails at once with the text of
// file_held_elsewhere_text and leaves that file alone.
std::expected<std::string, std::string> write_out_webview2_bootstrapper();

}  // namespace velko
