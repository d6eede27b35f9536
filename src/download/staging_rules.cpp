#include "download/staging_rules.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "common/utf.h"

namespace velko {

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t sum = a + b;
  return sum < a ? std::numeric_limits<std::uint64_t>::max() : sum;
}

namespace {

std::uint64_t saturating_multiply(std::uint64_t a, std::uint64_t b) {
  if (a != 0 && b > std::numeric_limits<std::uint64_t>::max() / a) return std::numeric_limits<std::uint64_t>::max();
  return a * b;
}

bool is_separator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::string partial_file_name(std::string_view fileName) {
  std::size_t nameStart = 0;
  for (std::size_t i = 0; i < fileName.size(); ++i) {
    if (is_separator(fileName[i])) nameStart = i + 1;
  }
  const std::size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos || dot <= nameStart || dot + 1 == fileName.size()) {
    // No extension (or only a leading dot): append one. "name." keeps its dot and gains the extension.
    if (!fileName.empty() && fileName.back() == '.' && dot > nameStart) {
      return std::string(fileName) + "partial";
    }
    return std::string(fileName) + ".partial";
  }
  return std::string(fileName.substr(0, dot + 1)) + "partial";
}

std::string range_header(std::uint64_t offset) { return "Range: bytes=" + std::to_string(offset) + "-"; }

bool content_range_starts_at(std::string_view contentRange, std::uint64_t offset) {
  std::string_view rest = contentRange;
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  constexpr std::string_view kUnit = "bytes";
  if (rest.size() < kUnit.size() || !equal_ignoring_ascii_case(rest.substr(0, kUnit.size()), kUnit)) return false;
  rest.remove_prefix(kUnit.size());
  if (rest.empty() || (rest.front() != ' ' && rest.front() != '\t')) return false;
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  std::uint64_t start = 0;
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), start);
  if (error != std::errc() || end == rest.data() || end == rest.data() + rest.size() || *end != '-') return false;
  return start == offset;
}

std::variant<PartialWrite, DiscardPartial, std::string> choose_partial_write(
    std::uint32_t status, std::uint64_t offset, const std::optional<std::string>& contentRange) {
  if (status == 206 && offset > 0) {
    if (contentRange && content_range_starts_at(*contentRange, offset)) return PartialWrite::Append;
    // The whole file after all, as with a 200.
    if (contentRange && content_range_starts_at(*contentRange, 0)) return PartialWrite::Restart;
    return DiscardPartial{discarded_partial_text(status)};
  }
  if (status == 200 || status == 206) return PartialWrite::Restart;
  return http_status_text(status);
}

std::uint64_t advance_written(std::uint64_t written, std::uint64_t bytesRead, std::uint64_t expectedSize) {
  return std::min(saturating_add(written, bytesRead), expectedSize);
}

bool partial_overflows(std::uint64_t bytesInPartial, std::uint64_t expectedSize) {
  return bytesInPartial > expectedSize;
}

PackageDiskState package_disk_state(std::optional<std::uint64_t> partialSize, std::uint64_t expectedSize) {
  if (!partialSize) return PackageDiskState::Absent;
  if (*partialSize >= expectedSize) return PackageDiskState::CompleteButUnchecked;
  return PackageDiskState::Interrupted;
}

std::optional<std::string> file_held_elsewhere_text(std::uint32_t openError) {
  constexpr std::uint32_t kSharingViolation = 32;  // ERROR_SHARING_VIOLATION
  if (openError != kSharingViolation) return std::nullopt;
  return "另一个助手正在下载同一文件，请等待其完成后重试。";
}

std::string http_status_text(std::uint32_t status) {
  return "下载服务器返回 HTTP " + std::to_string(status) + "。";
}

std::string discarded_partial_text(std::uint32_t status) {
  return "下载服务器返回 HTTP " + std::to_string(status) + "，已删除未完成的下载，请重试。";
}

std::string incomplete_download_text(std::string_view name, std::uint64_t expected, std::uint64_t actual) {
  return std::string(name) + " 下载不完整：应为 " + std::to_string(expected) + " 字节，实际 " +
         std::to_string(actual) + " 字节。";
}

std::string verification_failed_text(std::string_view name) {
  return std::string(name) + " 校验失败，文件不会执行。";
}

std::string coded_download_text(std::string_view text, std::uint32_t code) {
  return std::string(text) + "，错误码 " + std::to_string(code) + "。";
}

std::int32_t download_percent(const DownloadProgressContext& context, std::uint64_t currentBytes) {
  const std::uint64_t done = std::min(saturating_add(context.completedBytes, currentBytes), context.totalBytes);
  return context.totalBytes == 0 ? 0 : static_cast<std::int32_t>(saturating_multiply(done, 100) / context.totalBytes);
}

void ProgressPacing::sent(std::int32_t percent, std::uint64_t nowMs) {
  lastPercent_ = percent;
  lastMs_ = nowMs;
}

bool ProgressPacing::due(std::int32_t percent, std::uint64_t nowMs) const {
  if (!lastPercent_) return true;
  // A clock that went backwards counts as no time passed.
  return percent != *lastPercent_ && nowMs >= lastMs_ && nowMs - lastMs_ >= kProgressIntervalMs;
}

WorkerEvent download_progress_event(const DownloadProgressContext& context, std::uint64_t currentBytes) {
  const std::int32_t percent = download_percent(context, currentBytes);
  // The component's size in megabytes with one decimal, as the division writes it (123,456,789
  // bytes show as 123.5).
  char size[32];
  const auto written = std::to_chars(size, size + sizeof size, static_cast<double>(context.totalBytes) / 1'000'000.0,
                                     std::chars_format::fixed, 1);
  const std::string_view sizeText(size, written.ptr - size);
  std::string text = "正在下载 " + context.componentName + " \u00B7 " + std::to_string(percent) +
                     "% \u00B7 " + std::string(sizeText) + " MB";
  return WorkerEvent::download_progress(context.kind, percent, std::move(text));
}

void report_download_progress(const DownloadProgressContext& context, std::uint64_t currentBytes) {
  publish_event(context.events, download_progress_event(context, currentBytes));
}

}  // namespace velko
