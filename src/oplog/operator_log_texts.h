// What the operator's log says about each event, in the system's language.
// Pure: the edge (operator_log.cpp) fills in the facts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "oplog/operator_log_format.h"

namespace operator_log {

// How the fetched copy of a remote file came to be there.
enum class FetchOutcome { Unknown, Fetched, Reused, Failed };

std::wstring start_text(std::wstring_view version, int bits, Mode mode, std::wstring_view argument);
std::wstring address_text(std::wstring_view address);
std::wstring list_line_text(std::wstring_view line);
std::wstring message_box_text(std::wstring_view text);

// What wget's exit code says, in a few words ("" for 0).
std::wstring wget_exit_meaning(std::uint32_t code);
// What one run of the client brought: the copy's length at its end and the
// time it ran.
struct FetchFigures {
    std::uint64_t bytes = 0;
    double seconds = 0;
};
// "628661 bytes em 0,4 s (1,5 MB/s)" (decimal units, a comma for the point).
std::wstring fetch_figures_text(const FetchFigures& figures);
// A transfer that ended with code 0, with its figures.
std::wstring fetch_done_text(std::wstring_view arquivo, const FetchFigures& figures);
// A transfer that ended with a non-zero code, or (no code) could not be
// started. The command line is given whole; the writer masks the password.
// The figures are told only when some bytes came, so that a server that
// keeps failing the same way gives the same line (the repeat rule).
std::wstring fetch_failure_text(std::wstring_view arquivo, std::optional<std::uint32_t> exit_code,
                                std::wstring_view command_line, const FetchFigures& figures = {});

// One update check: both markers' local file times, the minute difference
// and the decision, and how the server's marker was obtained.
std::wstring check_text(std::int64_t fetched, std::int64_t installed, std::int64_t minutes, bool due,
                        FetchOutcome marker);
std::wstring check_failure_text(std::wstring_view description);
// A step of the update application that failed (1 = the table's first row).
std::wstring update_step_failure_text(std::size_t step, std::wstring_view description);
// The end of an applied update, saying how many of its steps failed, if any.
std::wstring update_applied_text(std::size_t failed_steps);
std::wstring end_text(std::wstring_view why);

// A program of the tool in C:\xampp brought to the copy a signed release
// lists. The SHA-256 values are prefixes in hex ("" for a file that was
// not there).
enum class ReplacementEffect {
    Now,        // renamed over at once
    AtRestart,  // renamed over by the system at the next restart; the current one kept as `previous`
    Cancelled,  // the release lists the installed copy: the one waiting and its schedule are dropped
};
std::wstring own_program_text(std::wstring_view path, std::wstring_view installed, std::wstring_view listed,
                              ReplacementEffect effect, std::wstring_view previous);
std::wstring own_program_refused_text(std::wstring_view path, std::wstring_view listed, std::wstring_view why);

}  // namespace operator_log
