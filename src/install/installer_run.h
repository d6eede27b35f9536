#pragma once

#include <expected>
#include <optional>
#include <string>
#include <vector>

namespace velko {

// Starts the installer hidden with the arguments in order, waits for it without a time
// limit and judges its exit code (label "安装程序"). With `expectedSha256`, the file is first
// opened so that nobody may write, rename or delete it, hashed through that handle, and
// started only when the digest matches; the handle is kept until the process exists, so the
// bytes that were checked are the bytes that run.
std::expected<void, std::string> run_installer(const std::string& program, const std::vector<std::string>& arguments,
                                               const std::optional<std::string>& expectedSha256 = std::nullopt);

}  // namespace velko
