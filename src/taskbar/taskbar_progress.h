// What the main window's taskbar button shows while an installation runs:
// each fetch's progress as a fraction where its length is known, the busy
// state where not and between fetches, nothing once the run ends. The
// button is an interface so the rules run without Windows; a call on it
// that fails changes nothing else and is tried again with the next state.
// Pure.
#pragma once

#include <cstdint>
#include <optional>

#include "services/fetch_progress.h"

enum class ButtonState { none, busy, fraction };

struct ButtonProgress {
    ButtonState state = ButtonState::none;
    std::uint64_t completed = 0;  // of kButtonScale, for a fraction
    bool operator==(const ButtonProgress& other) const {
        return state == other.state && completed == other.completed;
    }
    bool operator!=(const ButtonProgress& other) const { return !(*this == other); }
};

// A fraction is shown in thousandths: finer steps would not show on a
// button, and equal thousandths need no call.
constexpr std::uint64_t kButtonScale = 1000;

class TaskbarButton {
public:
    virtual ~TaskbarButton() = default;
    // False when the button did not take it (its state is then unknown).
    virtual bool show(const ButtonProgress& progress) = 0;
};

// The fraction of `expected` that `bytes` is, in thousandths, clamped to a
// whole; nothing when the length is unknown or 0 (the busy state).
std::optional<std::uint64_t> fetch_fraction(const FetchProgress& progress);

class TaskbarProgress {
public:
    // The button exists (the taskbar said so; again after Explorer
    // restarted) or is gone (nullptr). What it shows is unknown: shown anew.
    void attach(TaskbarButton* button);
    void run_started();
    // A fetch's progress, or its end (nullopt).
    void fetch_progress(const std::optional<FetchProgress>& progress);
    void run_ended();

    const ButtonProgress& wanted() const { return wanted_; }

private:
    void want(const ButtonProgress& progress);

    TaskbarButton* button_ = nullptr;
    bool running_ = false;
    ButtonProgress wanted_;
    std::optional<ButtonProgress> shown_;  // nothing: unknown
};
