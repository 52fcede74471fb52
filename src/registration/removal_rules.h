// The rules of the removal that need no system call. Pure: tested natively.
#pragma once

#include <string>
#include <vector>

// Whether `name` is one of the tool's process folders in the temporary
// folder: "zunaveri-" and 32 lower-case hex digits, nothing else.
bool is_process_folder_name(const std::wstring& name);

// What the removal did, one line a step, and whether every step went through.
struct RemovalReport {
    std::vector<std::wstring> lines;
    bool complete = true;
};

// The text of the box that tells the technician what the removal did and
// what it kept.
std::wstring removal_report_text(const RemovalReport& report);
