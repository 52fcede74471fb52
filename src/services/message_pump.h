// The program's message handling: one loop, and the same dispatch for the
// waits that process window events while a child process runs.
#pragma once

#include <windows.h>

// Dispatches one message, giving the windows' keyboard navigation (Tab
// between controls) its turn first.
void dispatch_window_message(MSG& message);

// Runs until WM_QUIT; returns its exit code.
int run_message_loop();

// A WM_QUIT taken off the queue while a wait dispatches window events
// belongs to the program's own loop: it is held and posted again once the
// wait is over.
struct HeldQuit {
    bool held = false;
    int exit_code = 0;
    HeldQuit() = default;
    HeldQuit(const HeldQuit&) = delete;
    HeldQuit& operator=(const HeldQuit&) = delete;
    ~HeldQuit() {
        if (held) {
            PostQuitMessage(exit_code);
        }
    }
};

// Dispatches every message waiting in the queue; a WM_QUIT goes to `quit`.
void dispatch_pending_messages(HeldQuit& quit);
