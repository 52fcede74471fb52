#pragma once

#include <cstdint>

// The operator's log of this build: on or off (the soak's baseline build
// turns it off), and how often a repeated outcome is written at most (an
// hour; the end-to-end test build shortens it so a day passes in minutes).
#ifndef ZUNAVERI_OPERATOR_LOG
#define ZUNAVERI_OPERATOR_LOG 1
#endif
#ifndef ZUNAVERI_LOG_REPEAT_MS
#define ZUNAVERI_LOG_REPEAT_MS 3600000
#endif
inline constexpr bool kOperatorLogOn = ZUNAVERI_OPERATOR_LOG != 0;
inline constexpr std::int64_t kOperatorLogRepeatMs = ZUNAVERI_LOG_REPEAT_MS;
