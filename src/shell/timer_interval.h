#pragma once

// Interval of Timer1. The product ticks once a second; the end-to-end test
// build passes a shorter interval so the update schedule runs in seconds.
// Defined in shell/build_settings.cpp, the one file each build of the
// program compiles with its own values.
extern const unsigned kTimer1IntervalMs;
