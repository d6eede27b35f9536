#include "download/publisher_key.h"

#include <algorithm>
#include <optional>

#include "publisher_keys.h"

namespace velko {
namespace {

static_assert(parse_publisher_keys(build::kPublisherKeys).has_value(),
              "VELKO_PUBLISHER_KEYS is \"none\" or keys of 64 hexadecimal digits separated by \";\"");

// One DER element: its tag, its contents and the whole encoding (tag and length included).
struct DerElement {
  std::uint8_t tag = 0;
  std::span<const std::uint8_t> contents;
  std::span<const std::uint8_t> whole;
};

// Takes the next element off the front of `rest`. Definite lengths only, up to four length
// bytes, single-byte tags: a certificate needs nothing else.
std::optional<DerElement> take_element(std::span<const std::uint8_t>& rest) {
  if (rest.size() < 2) return std::nullopt;
  const std::uint8_t tag = rest[0];
  if ((tag & 0x1F) == 0x1F) return std::nullopt;
  std::size_t header = 2;
  std::size_t length = rest[1];
  if (length & 0x80) {
    const std::size_t count = length & 0x7F;
    if (count == 0 || count > 4 || rest.size() < 2 + count) return std::nullopt;
    length = 0;
    for (std::size_t i = 0; i < count; ++i) length = (length << 8) | rest[2 + i];
    header += count;
  }
  if (length > rest.size() - header) return std::nullopt;
  DerElement element{tag, rest.subspan(header, length), rest.first(header + length)};
  rest = rest.subspan(header + length);
  return element;
}

constexpr std::uint8_t kSequence = 0x30;
constexpr std::uint8_t kInteger = 0x02;
constexpr std::uint8_t kExplicitVersion = 0xA0;

}  // namespace

std::span<const PublisherKey> built_in_publisher_keys() {
  static const std::vector<PublisherKey> keys = *parse_publisher_keys(build::kPublisherKeys);
  return keys;
}

std::expected<std::span<const std::uint8_t>, std::string> certificate_public_key_info(
    std::span<const std::uint8_t> certificate) {
  const auto refused = [] { return std::unexpected(std::string("the signer's certificate cannot be read")); };
  std::span<const std::uint8_t> rest = certificate;
  const auto whole = take_element(rest);
  if (!whole || whole->tag != kSequence) return refused();
  std::span<const std::uint8_t> inCertificate = whole->contents;
  const auto toBeSigned = take_element(inCertificate);
  if (!toBeSigned || toBeSigned->tag != kSequence) return refused();
  // TBSCertificate: [0] version (absent in version 1), serialNumber, signature, issuer, validity,
  // subject, subjectPublicKeyInfo, and then what follows it.
  std::span<const std::uint8_t> fields = toBeSigned->contents;
  auto field = take_element(fields);
  if (field && field->tag == kExplicitVersion) field = take_element(fields);
  if (!field || field->tag != kInteger) return refused();
  for (int sequence = 0; sequence < 5; ++sequence) {
    field = take_element(fields);
    if (!field || field->tag != kSequence) return refused();
  }
  return field->whole;
}

bool is_pinned_key(const PublisherKey& key, std::span<const PublisherKey> pinned) {
  return std::find(pinned.begin(), pinned.end(), key) != pinned.end();
}

std::span<const std::uint8_t> signer_certificate(std::span<const std::span<const std::uint8_t>> chain) {
  if (chain.empty()) return {};
  return chain.front();
}

std::string not_publisher_signed_text(std::string_view name) {
  return std::string(name) + " 非制作方签名，文件不会执行。";
}

}  // namespace velko
