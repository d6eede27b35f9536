#pragma once

#include <expected>
#include <string>
#include <vector>

#include "download/package_descriptor.h"
#include "download/staging_rules.h"
#include "model/component_kind.h"
#include "model/event_channel.h"

namespace velko {

// Makes sure every package of `kind` is present and verified in the download folder, in order:
// a verified final file is reused without a request, an unfinished download is resumed, nothing
// gets its final name before its size and SHA-256 match. On success `stagedFiles[kind]` holds the
// final paths in package order (replacing an earlier entry) and ComponentReady(kind) has been
// published; on failure the text of the first error, with nothing recorded and every partial file
// left for the next run to resume. Blocking; runs on the installation worker thread.
// `componentName` is the kind's display name as the progress texts show it.
std::expected<void, std::string> stage_packages(ComponentKind kind, std::string componentName,
                                                const std::vector<PackageDescriptor>& packages,
                                                StagedFiles& stagedFiles, const EventSender& events);

// One package inside `downloadFolder` (from downloads_folder()), reporting progress through
// `context`. Returns the verified final path, or the user text of the first failure. The partial
// file is held open, shared with nobody, from before it is looked at until it is verified: while
// another copy of the program holds it, this fails at once with the text of
// file_held_elsewhere_text and leaves the file alone.
std::expected<std::string, std::string> stage_package(const PackageDescriptor& package,
                                                      const std::string& downloadFolder,
                                                      const DownloadProgressContext& context);

}  // namespace velko
