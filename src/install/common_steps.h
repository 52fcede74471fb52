// The kinds of step that the installation and update sequences share, so
// that each sequence reads like its step table.
#pragma once

#include <functional>
#include <string>

#include "install/step_sequence.h"

class Form1;

// Appends one line to the installation log.
Step log_step(Form1& form, const wchar_t* line);
// Fetches one remote file into the temporary folder.
Step fetch_step(Form1& form, std::wstring remote_name);
// Runs one command line hidden and waits for it, without a time limit.
Step run_step(std::wstring command_line);
// Copies one file, replacing the target.
Step copy_step(std::wstring source, std::wstring target);
// The same, with the target found when the step runs.
Step copy_step(std::wstring source, std::function<std::wstring()> target);
