#pragma once

// Interval of Timer1. The product ticks once a second; the end-to-end test
// build passes a shorter interval so the update schedule runs in seconds.
#ifndef ZUNAVERI_TICK_MS
#define ZUNAVERI_TICK_MS 1000
#endif
inline constexpr unsigned kTimer1IntervalMs = ZUNAVERI_TICK_MS;
