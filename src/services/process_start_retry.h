// Which failures to start a process are passing ones, worth one more try.
// Pure: the runner hands it the system's error number.
#pragma once

#include <cstdint>

// A fresh download still held by a virus scanner (sharing or lock
// violation), a system briefly short of memory or resources, or a child
// that died while the system set it up (seen under load as an internal
// error): these pass. A missing or unrunnable program, or a start that
// needs elevation, fails the same way every time and is not tried again.
bool worth_a_second_start(std::uint32_t error);

// How long the runner waits, window events still handled, before the second try.
constexpr std::uint32_t kSecondStartPauseMs = 500;
