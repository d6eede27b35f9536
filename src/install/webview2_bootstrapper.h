#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <optional>
#include <string>
#include <vector>

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

// Starts the WebView2 bootstrapper hidden with the arguments in order, waits for it without a
// time limit and judges its exit code (label "安装程序"). With `expectedSha256`, the file is
// hashed through a handle that lets nobody write, rename or delete it and started only when the
// digest matches, while that handle is held: the bytes that were checked are the bytes that run.
std::expected<void, std::string> run_webview2_bootstrapper(
    const std::string& program, const std::vector<std::string>& arguments,
    const std::optional<std::string>& expectedSha256 = std::nullopt);

}  // namespace velko
