#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velko {

// A signing key as the build pins it: the SHA-256 of the DER-encoded SubjectPublicKeyInfo of a
// certificate. A key rather than a certificate, so that a renewed certificate for the same key
// still signs.
using PublisherKey = std::array<std::uint8_t, 32>;

namespace publisher_key_detail {

constexpr int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace publisher_key_detail

// Reads the text of the build option that names the keys allowed to sign the workbench
// installer: "none", or an empty text, pins nothing (any installer with the policy's digest
// runs); otherwise one or more keys of 64 hexadecimal digits (either case) separated by ";".
// Anything else is refused with a text naming the first bad part. constexpr, so that the build
// refuses a malformed option before it makes a program.
constexpr std::expected<std::vector<PublisherKey>, std::string> parse_publisher_keys(std::string_view text) {
  std::vector<PublisherKey> keys;
  if (text.empty() || text == "none") return keys;
  for (;;) {
    const std::size_t end = text.find(';');
    const std::string_view part = text.substr(0, end);
    if (part.size() != 2 * PublisherKey{}.size()) {
      return std::unexpected("not a key of 64 hexadecimal digits: \"" + std::string(part) + "\"");
    }
    PublisherKey key{};
    for (std::size_t i = 0; i < key.size(); ++i) {
      const int high = publisher_key_detail::hex_value(part[2 * i]);
      const int low = publisher_key_detail::hex_value(part[2 * i + 1]);
      if (high < 0 || low < 0) {
        return std::unexpected("not a key of 64 hexadecimal digits: \"" + std::string(part) + "\"");
      }
      key[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    keys.push_back(key);
    if (end == std::string_view::npos) return keys;
    text.remove_prefix(end + 1);
  }
}

// The keys this program was built to accept (the build option, read once); empty when the build
// pins none.
std::span<const PublisherKey> built_in_publisher_keys();

// The SubjectPublicKeyInfo inside a DER-encoded X.509 certificate, as the very bytes it holds
// there, or a text saying that the bytes are no certificate.
std::expected<std::span<const std::uint8_t>, std::string> certificate_public_key_info(
    std::span<const std::uint8_t> certificate);

// Whether the signer's key is one of `pinned`.
bool is_pinned_key(const PublisherKey& key, std::span<const PublisherKey> pinned);

// The signer certificate of a signature, as the system hands over the chain it built for it: the
// first entry is the certificate that signed, the rest are its issuers up to the root. Nothing
// when the chain is empty.
std::span<const std::uint8_t> signer_certificate(std::span<const std::span<const std::uint8_t>> chain);

// "{name} 非制作方签名，文件不会执行。": a file refused for its signature.
std::string not_publisher_signed_text(std::string_view name);

}  // namespace velko
