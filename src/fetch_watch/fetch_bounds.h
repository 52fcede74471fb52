// The bounds of one fetch in a keyed build, and the watch that applies
// them to the copy's length as it grows. Pure: the Win32 edge
// (fetch_watch/watched_fetch.cpp) samples the clock and the length.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// A file without a signed length (the manifest pairs, the update marker)
// is small: its cap, and the time it may take.
constexpr std::uint64_t kCapWithoutSignedLength = std::uint64_t{64} * 1024;
constexpr double kSecondsWithoutSignedLength = 120;
// No byte for this long: the server stalls.
constexpr double kIdleSeconds = 60;
// A file of known length may take this long, plus its length at the slowest
// rate a customer's line still gives (a 150 MB installer: about 2.7 hours).
constexpr double kBaseSeconds = 60;
constexpr double kSlowestBytesPerSecond = 16 * 1024;
// What a fetch of known length must leave free on its volume.
constexpr std::uint64_t kLeastFreeAfterFetch = std::uint64_t{1} << 30;

struct FetchBounds {
    std::uint64_t most_bytes = 0;
    double most_seconds = 0;
    bool signed_length = false;  // most_bytes is the signed length (not the cap)
};

// From the signed length, when there is one; otherwise the cap.
FetchBounds bounds_of(std::optional<std::uint64_t> signed_length);

// What a keyed build does with one fetch: bounds, or a refusal before the
// client runs (a file of the release set whose length nobody signed: the
// manifest was rejected, so no bound would be sound).
struct FetchPlan {
    std::optional<FetchBounds> bounds;  // nullopt: refused
};
FetchPlan plan_fetch(const std::wstring& remote_name, std::optional<std::uint64_t> signed_length);

enum class FetchStopReason { PastSignedLength, PastCap, Idle, TooLong };

// Fed with (seconds since the start, the copy's length) samples, in order.
class FetchWatch {
public:
    explicit FetchWatch(const FetchBounds& bounds) : bounds_(bounds) {}

    // Whether to stop now, and why.
    std::optional<FetchStopReason> observe(double seconds, std::uint64_t length);

    const FetchBounds& bounds() const { return bounds_; }

private:
    FetchBounds bounds_;
    std::uint64_t last_length_ = 0;
    double last_growth_ = 0;
};

// A fetch of `length` bytes with `free_bytes` free on its volume would leave
// less than kLeastFreeAfterFetch.
bool leaves_too_little_free(std::uint64_t free_bytes, std::uint64_t length);
