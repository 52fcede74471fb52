#include "hardening/unguessable_name.h"

#include <windows.h>
#include <ntsecapi.h>

#include "services/system_error_text.h"

std::array<std::uint32_t, 4> unguessable_words() {
    std::array<std::uint32_t, 4> words{};
    if (!RtlGenRandom(words.data(), static_cast<ULONG>(sizeof words))) {
        throw system_error(ERROR_INTERNAL_ERROR);  // no randomness to be had: no name is made
    }
    return words;
}
