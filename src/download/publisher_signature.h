#pragma once

#include <windows.h>

#include <expected>
#include <span>
#include <string>
#include <string_view>

#include "download/package_descriptor.h"
#include "download/publisher_key.h"

namespace velko {

// Accepts the workbench installer held by `file` only when it carries a valid Authenticode
// signature whose signer's key is one of `pinned`; the file is read through the handle alone
// (`path` only names it), so the caller knows the verdict holds while it keeps the handle
// denying writes. Nothing is checked when `pinned` is empty (a build that pins no key). The
// failure is `refusal` for an unsigned, broken or foreign signature, or "检查安装包签名失败：{error}"
// when the system cannot check signatures at all.
std::expected<void, std::string> check_publisher_signature(HANDLE file, const std::string& path,
                                                           std::span<const PublisherKey> pinned,
                                                           std::string_view refusal);

// The same for a staged package whose digest has matched, with the package's own keys and
// not_publisher_signed_text: `file` is held with DELETE access, and a refused file is deleted
// when it is closed, as it can never pass.
std::expected<void, std::string> check_staged_signature(HANDLE file, const std::string& path,
                                                        const PackageDescriptor& package);
// The same for a finished file named by its path, opened for the check so that nobody may change
// or delete it meanwhile.
std::expected<void, std::string> check_staged_signature(const std::string& path, const PackageDescriptor& package);

}  // namespace velko
