#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "model/component_kind.h"
#include "model/event_channel.h"

namespace velko {

// Pure decisions and texts of package staging; the Windows side only gathers inputs and acts.

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b);

// The file name with its extension replaced by "partial" ("Setup-v1.4.2.exe" gives
// "Setup-v1.4.2.partial"); a name without an extension gets ".partial" appended. A leading dot
// does not start an extension.
std::string partial_file_name(std::string_view fileName);

// "Range: bytes={offset}-", sent only when the partial file is not empty.
std::string range_header(std::uint64_t offset);

// True when a Content-Range value ("bytes 1000-1999/2000") starts exactly at `offset`.
bool content_range_starts_at(std::string_view contentRange, std::uint64_t offset);

// How the answer to a download request is written into the partial file.
enum class PartialWrite {
  Append,   // resumed: the bytes continue the partial file
  Restart,  // the whole file: the partial file is created or truncated
};

// A 206 to a resumed request that neither continues the partial file nor starts at byte 0 (another
// start, or no Content-Range at all, as from a proxy that drops it). Asking again would get the same
// answer, so the partial file is removed and the next run asks for the whole file; the run fails with
// `text`.
struct DiscardPartial {
  std::string text;
};

// Decides from the answer's status (and, for a resumed request, its Content-Range) how the body is
// written, or returns the user text for an answer that cannot be used (the partial file stays as it
// was). A 206 to a resumed request is appended when its range starts at the offset and written from
// the start when it starts at byte 0; any other 206 discards the partial file.
std::variant<PartialWrite, DiscardPartial, std::string> choose_partial_write(
    std::uint32_t status, std::uint64_t offset, const std::optional<std::string>& contentRange);

// Bytes counted as done for progress after a read: never beyond the expected size.
std::uint64_t advance_written(std::uint64_t written, std::uint64_t bytesRead, std::uint64_t expectedSize);

// A server may send more than it should; once the partial file holds more than the expected size
// there is nothing left worth reading.
bool partial_overflows(std::uint64_t bytesInPartial, std::uint64_t expectedSize);

// Where a package's partial file stands, once the final file was found missing or wrong; decided
// afresh from the files at every run.
enum class PackageDiskState {
  Absent,               // no partial file
  Interrupted,          // a partial file shorter than the package
  CompleteButUnchecked, // a partial file at least as long as the package
};
PackageDiskState package_disk_state(std::optional<std::uint64_t> partialSize, std::uint64_t expectedSize);

// A file that is being downloaded or written out is held open by one copy of the program and
// shared with nobody. When opening it fails with `openError` (a Windows code) because another
// holder has it, the user text saying so; nothing for any other failure.
std::optional<std::string> file_held_elsewhere_text(std::uint32_t openError);

// Texts.
std::string http_status_text(std::uint32_t status);
std::string discarded_partial_text(std::uint32_t status);  // the status text, and that the partial file is gone
std::string incomplete_download_text(std::string_view name, std::uint64_t expected, std::uint64_t actual);
std::string verification_failed_text(std::string_view name);
std::string coded_download_text(std::string_view text, std::uint32_t code);  // "{text}，错误码 {code}。"

// Progress of one staging run of a component.
struct DownloadProgressContext {
  std::uint64_t completedBytes = 0;  // sizes of the packages finished so far, saturating
  std::uint64_t totalBytes = 0;      // sizes of all packages of the list
  ComponentKind kind = ComponentKind::Generic;
  std::string componentName;  // as the progress text names the component
  EventSender events;
};

// The whole percent of the component done once `currentBytes` of the package being staged are.
std::int32_t download_percent(const DownloadProgressContext& context, std::uint64_t currentBytes);

// Progress while the bytes arrive: the window only ever shows a whole percent, so an event is sent
// when the percent has changed since the last one sent and at least kProgressInterval milliseconds
// have passed since then (whichever comes later). The first and the last event of a package are
// sent regardless.
inline constexpr std::uint64_t kProgressIntervalMs = 100;
class ProgressPacing {
 public:
  // Records an event sent at `nowMs` (a monotonic clock) for `percent`.
  void sent(std::int32_t percent, std::uint64_t nowMs);
  // Whether an event for `percent` at `nowMs` is worth sending.
  bool due(std::int32_t percent, std::uint64_t nowMs) const;

 private:
  std::optional<std::int32_t> lastPercent_;
  std::uint64_t lastMs_ = 0;
};

// The percent and text shown for `currentBytes` of the package being staged.
WorkerEvent download_progress_event(const DownloadProgressContext& context, std::uint64_t currentBytes);
// Publishes that event.
void report_download_progress(const DownloadProgressContext& context, std::uint64_t currentBytes);

}  // namespace velko
