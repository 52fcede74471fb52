// Builds OperationError values from Windows error codes, with the system's
// own description text.
#pragma once

#include <windows.h>

#include "services/operation_error.h"

// The system's description of a Windows error code, without the trailing
// line break that FormatMessageW appends.
std::wstring system_error_description(DWORD code);

// An OperationError for a Windows error code.
OperationError system_error(DWORD code);

// An OperationError for GetLastError() as it stands now.
OperationError last_system_error();

// The same, with `fallback` when the failed call left no error code (a
// window refused by a hook, for one, sets none).
OperationError last_system_error_or(DWORD fallback);
