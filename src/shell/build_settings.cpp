// The values that tell the builds of the program apart (src/CMakeLists.txt
// passes them to this file alone): every other source is compiled once and
// shared by the product exe and the test builds.
#include "shell/operator_log_settings.h"
#include "shell/timer_interval.h"

#ifndef ZUNAVERI_TICK_MS
#define ZUNAVERI_TICK_MS 1000
#endif
#ifndef ZUNAVERI_OPERATOR_LOG
#define ZUNAVERI_OPERATOR_LOG 1
#endif
#ifndef ZUNAVERI_LOG_REPEAT_MS
#define ZUNAVERI_LOG_REPEAT_MS 3600000
#endif

const unsigned kTimer1IntervalMs = ZUNAVERI_TICK_MS;
const bool kOperatorLogOn = ZUNAVERI_OPERATOR_LOG != 0;
const std::int64_t kOperatorLogRepeatMs = ZUNAVERI_LOG_REPEAT_MS;
