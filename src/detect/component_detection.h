#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "detect/environment_report.h"
#include "policy/release_policy.h"

namespace velko {

// The WebView2 bootstrapper's file in the download folder. Its size and SHA-256 are those of the
// carried bootstrapper: build::kWebView2BootstrapperBytes and build::kWebView2BootstrapperSha256
// in the generated "webview2_pin.h".
inline constexpr char kWebView2BootstrapperName[] = "MicrosoftEdgeWebview2Setup.exe";
inline constexpr char kWebView2MachineClientKey[] =
    "SOFTWARE\\WOW6432Node\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
inline constexpr char kWebView2UserClientKey[] =
    "SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";

// The runtime version in the text of a `pv` value: the first piece between ASCII white space
// that is valid UTF-8, holds a '.', and holds nothing but digits and dots. "0.0.0.0" (the
// runtime's mark for an uninstalled client) and a text without such a piece give nothing.
std::optional<std::string> registry_version_from_text(std::string_view text);

// Reads the `pv` value of root ("HKLM" or "HKCU") \ subkey in the 64-bit registry view and
// applies the rule above. Any failure gives nothing.
std::optional<std::string> query_registry_version(std::string_view root, std::string_view subkey);

// A plain file of exactly `bytes` bytes whose SHA-256 text equals `sha256` exactly (upper
// case). The hash is only computed once the cheap checks have passed. Any failure gives false.
bool is_intact_file(const std::string& path, std::uint64_t bytes, std::string_view sha256);

// Is a usable WebView2 runtime installed, machine-wide or for this user? Never fails.
bool detect_webview2();

// The present and staged flags of every component (the rest of the report stays empty); only
// meaningful on a supported system. `policy` is the release known so far (nothing before the
// first check): it says which workbench is current and which installer counts as staged.
// Reads the registry, the install location and the download folder. Never fails.
EnvironmentReport detect_components(const std::optional<ReleasePolicy>& policy);

}  // namespace velko
