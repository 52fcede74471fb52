#include "services/fetch_progress.h"

#include <utility>

namespace {
FetchProgressObserver& observer_slot() {
    static FetchProgressObserver observer;
    return observer;
}
}  // namespace

void observe_fetch_progress(FetchProgressObserver observer) { observer_slot() = std::move(observer); }

void report_fetch_progress(const std::optional<FetchProgress>& progress) noexcept {
    try {
        if (observer_slot()) {
            observer_slot()(progress);
        }
    } catch (...) {  // NOLINT(bugprone-empty-catch): showing progress never fails a fetch
    }
}
