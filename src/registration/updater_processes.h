// The updater processes that run from the home, found by their image path,
// never by a program name that any other program may bear too.
#pragma once

#include <string>

// Ends every process whose program is `image` (the path compared without
// regard to letter case), this process excepted, and waits for each to be
// gone. Returns how many it ended; a process it could not end throws
// OperationError after the others were ended.
int end_processes_running(const std::wstring& image);
