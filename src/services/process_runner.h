// Module3: the process runner. Starts one command line and waits for the
// process to end while the program's windows go on handling their events.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Starts `command_line` (a batch file goes through the command interpreter)
// with a hidden window, or a normal one when `show_window` is true, and
// returns when the process has ended or, with a `time_limit` above 0, when
// that many seconds have passed (the process then runs on by itself). 0
// means no limit. Window events are dispatched while it waits, so handlers,
// and nested calls from them, run inside the wait. A start that fails for a
// passing reason is tried once more after a short pause
// (services/process_start_retry.h). Every failure of its own (no such
// program, a deadline that overflows) ends the call silently.
void executar_e_aguardar(const std::wstring& command_line, const std::int32_t& time_limit, const bool& show_window);

// The same run, telling how it ended: the process's exit code, or nothing
// when it could not be started, was left running at the time limit, or its
// exit code could not be read.
std::optional<std::uint32_t> run_and_wait_for_exit(const std::wstring& command_line, std::int32_t time_limit,
                                                   bool show_window);

// The same run, hidden and without a time limit, with `folder` as the
// child's working folder. Where the system offers it, the child loads the
// system's own libraries before any of the same name beside the program
// (the image-load mitigation that prefers System32); a system that refuses
// that mitigation gets a plain start.
std::optional<std::uint32_t> run_in_folder_and_wait_for_exit(const std::wstring& command_line,
                                                             const std::wstring& folder);

// run_and_wait_for_exit hidden and without a time limit, and
// run_in_folder_and_wait_for_exit, with the child, and everything it
// starts, holding the tool's token without administrator rights
// (services/token_without_administrators.h). A token that cannot be made
// throws OperationError with the system's text, and nothing runs.
std::optional<std::uint32_t> run_without_administrators_and_wait_for_exit(const std::wstring& command_line);
std::optional<std::uint32_t> run_in_folder_without_administrators_and_wait_for_exit(const std::wstring& command_line,
                                                                                    const std::wstring& folder);
