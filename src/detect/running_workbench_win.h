#pragma once

#include <windows.h>

#include <cstdint>
#include <expected>
#include <string>

#include "detect/running_workbench_rules.h"
#include "win/unique_any.h"

namespace velko {

// Opens a process of the list with the one right the search asks for (querying limited
// information); empty, with the last error kept, when that fails.
win::unique_handle open_listed_process(std::uint32_t processId);

// After the image path of `process` could not be read (`queryError`): skipped when the process has
// ended meanwhile, the user text otherwise. Needs no right beyond the one the search opens with.
std::expected<CandidateOutcome, std::string> judge_unreadable_candidate(HANDLE process, std::uint32_t processId,
                                                                        std::uint32_t queryError);

}  // namespace velko
