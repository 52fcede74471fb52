// rand_s is declared only when this is defined before the C library's headers.
#define _CRT_RAND_S
#include <stdlib.h>

#include "hardening/unguessable_name.h"

#include <windows.h>

#include "services/system_error_text.h"

std::array<std::uint32_t, 4> unguessable_words() {
    std::array<std::uint32_t, 4> words{};
    for (std::uint32_t& word : words) {
        unsigned int value = 0;
        if (rand_s(&value) != 0) {
            throw system_error(ERROR_INTERNAL_ERROR);  // no randomness to be had: no name is made
        }
        word = value;
    }
    return words;
}
