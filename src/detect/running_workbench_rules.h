#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>

namespace velko {

// Pure decisions and texts of the running-workbench search; the Windows side gathers the codes.

// What one process of the list turned out to be.
enum class CandidateOutcome {
  Matches,  // started from the executable we look for
  Differs,  // same file name, another file
  Ended,    // gone between the snapshot and the check: skipped
};

// The candidate could not be opened (`openError`, a Windows code): a process that has ended
// meanwhile is skipped; any other failure is the user text naming its PID and the code.
std::expected<CandidateOutcome, std::string> unopened_candidate_outcome(std::uint32_t processId,
                                                                        std::uint32_t openError);

// The candidate's exit code as the system reports it, or nothing when it could not be read: has the
// process ended? A process still running reports STILL_ACTIVE (259); an unreadable code counts as
// running, so the caller reports the failure rather than skipping a live workbench.
bool exit_code_means_ended(std::optional<std::uint32_t> exitCode);

// The candidate's image path could not be read (`queryError`): a process that has ended meanwhile
// is skipped; a live one is the user text naming its PID and the code.
std::expected<CandidateOutcome, std::string> unreadable_candidate_outcome(std::uint32_t processId,
                                                                          std::uint32_t queryError,
                                                                          std::optional<std::uint32_t> exitCode);

}  // namespace velko
