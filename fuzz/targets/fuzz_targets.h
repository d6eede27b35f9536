#pragma once

// Entry functions of the fuzz targets. Each takes one input as libFuzzer hands it over and returns
// 0; a broken property ends the process, so that both the fuzzer and the corpus replay test see it.
// The libFuzzer programs (fuzz/*_fuzz.cpp, built by scripts/fuzz) only forward to these.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace velko {

int fuzz_policy_body(const std::uint8_t* data, std::size_t size);
int fuzz_install_manifest(const std::uint8_t* data, std::size_t size);
int fuzz_download_address(const std::uint8_t* data, std::size_t size);
int fuzz_version_text(const std::uint8_t* data, std::size_t size);
int fuzz_http_values(const std::uint8_t* data, std::size_t size);
int fuzz_command_line(const std::uint8_t* data, std::size_t size);
int fuzz_utf(const std::uint8_t* data, std::size_t size);
int fuzz_sddl(const std::uint8_t* data, std::size_t size);
int fuzz_certificate(const std::uint8_t* data, std::size_t size);

struct FuzzTarget {
  const char* name;  // also the folder of its seed corpus: fuzz/corpus/{name}
  int (*run)(const std::uint8_t*, std::size_t);
};

inline constexpr FuzzTarget kFuzzTargets[] = {
    {"policy_body", fuzz_policy_body},   {"install_manifest", fuzz_install_manifest},
    {"download_address", fuzz_download_address}, {"version_text", fuzz_version_text},
    {"http_values", fuzz_http_values},   {"command_line", fuzz_command_line},
    {"utf", fuzz_utf},                   {"sddl", fuzz_sddl},
    {"certificate", fuzz_certificate},
};

namespace fuzz {

[[noreturn]] inline void property_broken(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, condition);
  std::fflush(stderr);
  std::abort();
}

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
  return size == 0 ? std::string_view() : std::string_view(reinterpret_cast<const char*>(data), size);
}

// The input cut at line feeds into at most `count` parts; the last part keeps any further line
// feeds. Targets that take several texts read them this way, so corpus files stay readable.
inline std::vector<std::string_view> lines(std::string_view text, std::size_t count) {
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < count) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) break;
    parts.push_back(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  parts.push_back(text);
  return parts;
}

inline bool is_json_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The text without JSON white space at either end.
inline std::string_view trim_json_space(std::string_view text) {
  while (!text.empty() && is_json_space(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_json_space(text.back())) text.remove_suffix(1);
  return text;
}

// The version rule written out a second time, on purpose: the targets compare the product's
// reading with this one. Three dot-separated decimal numbers 0..65535 without leading zeros.
inline bool version_text_ok(std::string_view text, std::array<std::uint32_t, 3>* numbers = nullptr) {
  std::size_t i = 0;
  for (std::size_t part = 0; part < 3; ++part) {
    if (part > 0) {
      if (i >= text.size() || text[i] != '.') return false;
      ++i;
    }
    const std::size_t start = i;
    std::uint32_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
      if (value > 65535) return false;
      ++i;
    }
    if (i == start || (text[start] == '0' && i - start > 1)) return false;
    if (numbers) (*numbers)[part] = value;
  }
  return i == text.size();
}

}  // namespace fuzz
}  // namespace velko

#define VELKO_FUZZ_CHECK(condition) \
  ((condition) ? void() : ::velko::fuzz::property_broken(#condition, __FILE__, __LINE__))
