// The update decision: minute boundaries between the fetched and the
// installed update marker, and the rule applied to them. Pure: tested
// natively.
#pragma once

#include <cstdint>
#include <string>

// Local file times in 100-nanosecond units (as Windows counts them).
// The count of minute boundaries from `fetched` to `installed`: both cut to
// the whole minute, fetched subtracted from installed. Negative when the
// fetched marker is the later one.
std::int64_t minute_boundaries(std::int64_t fetched, std::int64_t installed);

// An update is due when the installed marker lies more than one minute
// boundary after the fetched one.
inline bool update_due(std::int64_t minute_difference) { return minute_difference > 1; }

// The address as read from the address file, without the line breaks and
// blanks a hand-edited or differently saved file may carry at either end.
std::wstring trimmed_address(const std::wstring& content);
