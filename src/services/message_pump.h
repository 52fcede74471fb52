// The program's message handling: one loop, and the same dispatch for the
// waits that process window events while a child process runs.
#pragma once

#include <windows.h>

// Dispatches one message, giving the windows' keyboard navigation (Tab
// between controls) its turn first.
void dispatch_window_message(MSG& message);

// Runs until WM_QUIT; returns its exit code.
int run_message_loop();
