#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace velko {

// A digest as text: every byte in order as two upper-case hexadecimal digits.
std::string digest_text(std::span<const std::uint8_t> digest);

// Digest texts are compared without regard to letter case wherever they are compared.
bool same_digest(std::string_view a, std::string_view b);

}  // namespace velko
