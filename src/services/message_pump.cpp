#include "services/message_pump.h"

void dispatch_window_message(MSG& message) {
    HWND top_level = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (top_level && IsDialogMessageW(top_level, &message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

int run_message_loop() {
    MSG message;
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            return static_cast<int>(message.wParam);
        }
        if (got == -1) {
            return 1;
        }
        dispatch_window_message(message);
    }
}

void dispatch_pending_messages(HeldQuit& quit) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit.held = true;
            quit.exit_code = static_cast<int>(message.wParam);
            continue;
        }
        dispatch_window_message(message);
    }
}
