// Where a file meant for the system folder must go so that 32-bit programs
// find it there.
#pragma once

#include <string>

// The place of `name`, written as `system32_path` (in "c:\windows\system32\"),
// as seen by 32-bit programs such as the web stack's PHP. On 64-bit Windows
// a 32-bit program's access to System32 is redirected to the WOW64 system
// folder (SysWOW64), and that is where those programs load libraries from.
// The 32-bit build therefore writes `system32_path` as it is and Windows
// takes it there; the 64-bit build is not redirected and names the WOW64
// folder itself. Where the system has no WOW64 folder (32-bit Windows, or
// one without 32-bit support), `system32_path` as it is.
std::wstring placement_for_32bit_programs(const std::wstring& system32_path, const std::wstring& name);
