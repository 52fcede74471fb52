#include "taskbar/taskbar_progress.h"

#include <algorithm>
#include <limits>

std::optional<std::uint64_t> fetch_fraction(const FetchProgress& progress) {
    if (!progress.expected || *progress.expected == 0) {
        return std::nullopt;
    }
    const std::uint64_t expected = *progress.expected;
    if (progress.bytes >= expected) {
        return kButtonScale;  // a copy past its length shows full; the fetcher judges it
    }
    if (progress.bytes <= std::numeric_limits<std::uint64_t>::max() / kButtonScale) {
        return progress.bytes * kButtonScale / expected;  // below a whole: bytes < expected
    }
    // Past 18 PB bytes * 1000 would overflow; a thousandth of the length
    // is then large enough to divide by. Still below a whole.
    const std::uint64_t thousandths = progress.bytes / (expected / kButtonScale);
    return std::min(thousandths, kButtonScale - 1);
}

void TaskbarProgress::attach(TaskbarButton* button) {
    button_ = button;
    shown_.reset();
    want(wanted_);
}

void TaskbarProgress::run_started() {
    running_ = true;
    want({ButtonState::busy, 0});
}

void TaskbarProgress::fetch_progress(const std::optional<FetchProgress>& progress) {
    if (!running_) {
        return;
    }
    if (!progress) {
        want({ButtonState::busy, 0});  // between fetches the run goes on
        return;
    }
    const std::optional<std::uint64_t> fraction = fetch_fraction(*progress);
    if (!fraction) {
        want({ButtonState::busy, 0});
        return;
    }
    // Within one fetch it never goes back (wget starting the copy anew).
    const std::uint64_t before = wanted_.state == ButtonState::fraction ? wanted_.completed : 0;
    want({ButtonState::fraction, std::max(before, *fraction)});
}

void TaskbarProgress::run_ended() {
    running_ = false;
    want({ButtonState::none, 0});
}

void TaskbarProgress::want(const ButtonProgress& progress) {
    wanted_ = progress;
    if (button_ == nullptr || shown_ == progress) {
        return;
    }
    if (button_->show(progress)) {
        shown_ = progress;
    } else {
        shown_.reset();  // tried again with the next state, whatever it is
    }
}
