// A program of the tool in C:\xampp brought to the copy that a verified
// release manifest lists: fetched, checked against the manifest and as an
// executable, and swapped in (self_update/program_swap.h). The operator's
// log says what was replaced, from which SHA-256 to which and when it takes
// effect, or why it was not.
#pragma once

#include <string>

#include "release/release_check.h"
#include "self_update/executable_image.h"
#include "self_update/program_swap.h"

struct OwnProgram {
    const std::wstring& remote_name;
    const std::wstring& installed_path;
    Activation activation;
    ImageRole role;
};

// Nothing happens when the manifest does not list the program or lists
// the copy in place. Returns normally whatever happens: a failure leaves
// the installed copy as it was and is reported in the operator's log.
void update_own_program(const ReleaseCheck& release, const ReleaseCheck::Fetch& fetch,
                        const OwnProgram& program) noexcept;
