// wget.exe run for one fetch while the copy's length is watched: reported
// to the fetch's observer (services/fetch_progress.h) in every build, and
// held to its bounds in a keyed build, where the client runs in a job
// object that ends it, and everything it started, on a stop.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "fetch_watch/fetch_bounds.h"

struct WatchedFetch {
    // The client's exit code; nothing when it could not be started, or
    // was stopped, or its code could not be read.
    std::optional<std::uint32_t> exit_code;
    std::optional<FetchStopReason> stop;
    std::uint64_t bytes = 0;  // the copy's length when the client ended
    double seconds = 0;
};

// Starts `command_line` hidden and waits for it to end, dispatching window
// events, waking a few times a second to read the length of `copy`.
// Without `bounds` the run is the plain one of every fetch (a start that
// fails for a passing reason is tried once more). With them, a bound
// passed ends the job and the wait returns with `stop` set; the copy is
// left for the caller to remove.
WatchedFetch run_watched_fetch(const std::wstring& command_line, const std::wstring& copy,
                               const std::optional<FetchBounds>& bounds);

// How often the copy's length is read.
constexpr std::uint32_t kFetchLookMs = 100;
