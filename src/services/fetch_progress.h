// How far the running fetch has come, for whoever shows it (the main
// window's taskbar button). The fetcher reports while wget.exe runs; the
// window observes. One observer per process, called on the thread that
// fetches (the window's own: the fetcher pumps its messages). Pure.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

struct FetchProgress {
    std::uint64_t bytes = 0;                // the copy's length so far
    std::optional<std::uint64_t> expected;  // its signed length, when known
};

// Called with the progress of the running fetch, and with nullopt when the
// fetch has ended (whatever its outcome).
using FetchProgressObserver = std::function<void(const std::optional<FetchProgress>&)>;

// Replaces the observer (an empty one: nobody observes).
void observe_fetch_progress(FetchProgressObserver observer);

// Hands `progress` (or the end of the fetch: nullopt) to the observer, if
// any. An observer that throws is the observer's fault: nothing escapes.
void report_fetch_progress(const std::optional<FetchProgress>& progress) noexcept;
