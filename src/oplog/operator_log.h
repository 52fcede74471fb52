// The operator's log: C:\ProgramData\Zunaveri\instalador.log, one file per
// PC, kept by every process of the tool (an installation and update mode
// may write at once). It records what the tool does and never changes it:
// every call here returns normally and quickly whatever happens to the
// file, and does nothing before begin().
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace operator_log {

// Starts the log of this process: finds the folder, or creates it so that
// only SYSTEM and Administrators can write in it; takes the mode from the
// command line as start-up does, and writes the start-up line. A folder or
// log file found in place that is a reparse point, or whose owner is not
// SYSTEM, Administrators or this process's user, leaves the process
// without its log. `repeat_period_ms`: how often a repeated outcome is
// written at most.
void begin(std::wstring_view command_line, std::wstring_view version, std::int64_t repeat_period_ms) noexcept;

// A password to be written "***" wherever it would appear.
void add_secret(std::wstring_view secret) noexcept;

// One line, as it comes.
void write(std::wstring_view text) noexcept;
// One outcome under the repeat rule: written once, then at most once per
// period as "mesmo resultado N vezes: ...".
void write_outcome(std::wstring_view text) noexcept;

// The events the tool reports.
void address_discovered(std::wstring_view address) noexcept;
void list_line(std::wstring_view line) noexcept;
void message_box(std::wstring_view text) noexcept;
void fetch_reused(std::wstring_view arquivo) noexcept;
// After the client ran: its exit code, or nothing when it could not be
// started (or was stopped), and what it brought in how long.
void fetch_ran(std::wstring_view arquivo, std::wstring_view command_line, std::optional<std::uint32_t> exit_code,
               std::uint64_t bytes, double seconds) noexcept;
void check(std::int64_t fetched, std::int64_t installed, std::int64_t minutes, bool due) noexcept;
void check_failed(const std::exception& error) noexcept;
void update_step_failed(std::size_t step, std::wstring_view description) noexcept;
// Written last: the repeats not yet counted, then why the process ends.
void end_of_process(std::wstring_view why) noexcept;

}  // namespace operator_log
