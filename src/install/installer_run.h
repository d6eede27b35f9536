#pragma once

#include <expected>
#include <optional>
#include <string>
#include <vector>

namespace velko {

// Starts the WebView2 bootstrapper hidden with the arguments in order, waits for it without a
// time limit and judges its exit code (label "安装程序"). With `expectedSha256`, the file is
// hashed through a handle that lets nobody write, rename or delete it and started only when the
// digest matches, while that handle is held: the bytes that were checked are the bytes that run.
std::expected<void, std::string> run_webview2_bootstrapper(
    const std::string& program, const std::vector<std::string>& arguments,
    const std::optional<std::string>& expectedSha256 = std::nullopt);

}  // namespace velko
