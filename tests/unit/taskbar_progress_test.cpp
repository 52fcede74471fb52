#include "taskbar/taskbar_progress.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
// Records what it was asked to show; fails while `failing` is set.
struct FakeButton : TaskbarButton {
    std::vector<ButtonProgress> shown;
    bool failing = false;
    bool show(const ButtonProgress& progress) override {
        if (!failing) {
            shown.push_back(progress);
        }
        return !failing;
    }
};
const ButtonProgress kNone{}, kBusy{ButtonState::busy, 0}, kHalf{ButtonState::fraction, 500};
}  // namespace

TEST(TaskbarProgress, FractionClampedAndBusyWhereTheLengthIsUnknownOrZero) {
    EXPECT_EQ(fetch_fraction({628660, 628661}), 999U);
    EXPECT_EQ(fetch_fraction({593000000, 628661}), 1000U);  // past its length: full
    EXPECT_EQ(fetch_fraction({1ULL << 62, 1ULL << 63}), 500U);  // no overflow
    EXPECT_EQ(fetch_fraction({~0ULL - 1, ~0ULL}), 999U);
    EXPECT_EQ(fetch_fraction({5, 0}), std::nullopt);
    EXPECT_EQ(fetch_fraction({5, std::nullopt}), std::nullopt);
}

TEST(TaskbarProgress, RunShowsBusyFractionsNeverBackThenNoneAndFailedCallsAreTriedAgain) {
    FakeButton button;
    TaskbarProgress progress;
    progress.run_started();  // no button yet: shown once it exists
    progress.attach(&button);
    progress.fetch_progress(FetchProgress{50, 100});
    progress.fetch_progress(FetchProgress{50, 100});  // the same thousandths: no call
    progress.fetch_progress(FetchProgress{5, 100});   // the copy begun anew
    button.failing = true;
    progress.fetch_progress(std::nullopt);
    button.failing = false;
    progress.fetch_progress(FetchProgress{7, std::nullopt});  // the same busy, tried again
    progress.attach(&button);                                 // Explorer restarted: shown anew
    progress.fetch_progress(FetchProgress{1, 1000});          // the next fetch starts low
    progress.run_ended();
    progress.fetch_progress(FetchProgress{1, 2});  // outside a run: nothing
    const std::vector<ButtonProgress> expected = {kBusy, kHalf, kBusy, kBusy, {ButtonState::fraction, 1}, kNone};
    EXPECT_EQ(button.shown, expected);
}
