#pragma once

#include <cstdint>

// The operator's log of this build: on or off (the soak's baseline build
// turns it off), and how often a repeated outcome is written at most (an
// hour; the end-to-end test build shortens it so a day passes in minutes).
// Defined in shell/build_settings.cpp.
extern const bool kOperatorLogOn;
extern const std::int64_t kOperatorLogRepeatMs;
