#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace velko::win {

// "{system description} (os error {code})" for a Windows error code.
std::string os_error_text(std::uint32_t code);
// The calling thread's last error, and its text as above.
std::uint32_t last_error();
std::string last_error_text();
// The failure "{prefix}{os_error_text(code)}".
std::unexpected<std::string> os_failure(std::string_view prefix, std::uint32_t code);
// COM and shell result codes: "0x" and eight upper-case hexadecimal digits.
std::string hresult_text(std::int32_t hr);

}  // namespace velko::win
