#pragma once

#include <array>
#include <cstdint>
#include <expected>
#include <span>

namespace velko::win {

// Streaming SHA-256 through Windows CNG (bcrypt.dll, loaded from System32 at first use).
// Errors are Windows error codes (CNG status values are translated).
class Sha256 {
 public:
  using Digest = std::array<std::uint8_t, 32>;

  static std::expected<Sha256, std::uint32_t> create();
  Sha256(Sha256&& other) noexcept;
  Sha256& operator=(Sha256&& other) noexcept;
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  ~Sha256();

  std::expected<void, std::uint32_t> update(std::span<const std::uint8_t> bytes);
  // Ends the hash; the object cannot be fed afterwards.
  std::expected<Digest, std::uint32_t> finish();

 private:
  explicit Sha256(void* hash) : hash_(hash) {}
  void* hash_ = nullptr;
};

}  // namespace velko::win
