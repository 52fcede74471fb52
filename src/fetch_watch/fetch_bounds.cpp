#include "fetch_watch/fetch_bounds.h"

#include <algorithm>

#include "services/locations.h"

FetchBounds bounds_of(std::optional<std::uint64_t> signed_length) {
    if (!signed_length) {
        return FetchBounds{kCapWithoutSignedLength, kSecondsWithoutSignedLength, false};
    }
    return FetchBounds{*signed_length, kBaseSeconds + static_cast<double>(*signed_length) / kSlowestBytesPerSecond,
                       true};
}

FetchPlan plan_fetch(const std::wstring& remote_name, std::optional<std::uint64_t> signed_length) {
    // The marker is in the remote set but never in a manifest.
    const bool listed_in_releases =
        remote_name != locations::kUpdateMarkerName &&
        std::find(locations::kRemoteFileSet.begin(), locations::kRemoteFileSet.end(), remote_name) !=
            locations::kRemoteFileSet.end();
    if (listed_in_releases && !signed_length) {
        return FetchPlan{std::nullopt};
    }
    return FetchPlan{bounds_of(signed_length)};
}

std::optional<FetchStopReason> FetchWatch::observe(double seconds, std::uint64_t length) {
    if (length > last_length_) {
        last_length_ = length;
        last_growth_ = seconds;
    }
    if (length > bounds_.most_bytes) {
        return bounds_.signed_length ? FetchStopReason::PastSignedLength : FetchStopReason::PastCap;
    }
    if (seconds > bounds_.most_seconds) {
        return FetchStopReason::TooLong;
    }
    if (seconds - last_growth_ > kIdleSeconds) {
        return FetchStopReason::Idle;
    }
    return std::nullopt;
}

bool leaves_too_little_free(std::uint64_t free_bytes, std::uint64_t length) {
    return free_bytes < length || free_bytes - length < kLeastFreeAfterFetch;
}
