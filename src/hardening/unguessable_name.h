// Random words from the system's generator, for names nobody can guess.
#pragma once

#include <array>
#include <cstdint>

// Four words from the system's cryptographic generator (RtlGenRandom, the
// source of rand_s); a failure throws OperationError.
std::array<std::uint32_t, 4> unguessable_words();
