// Entry point: creates the main window, runs its load handler (which chooses
// the run mode) and then the message loop until the program ends.
#include <windows.h>
#include <commctrl.h>

#include "shell/event_guard.h"
#include "shell/form1.h"
#include "shell/message_loop.h"
#include "shell/run_mode.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    Form1& form = Form1::instance();
    // A main window that cannot be created ends the program as any error
    // that no procedure handles does: its number and description, exit code 1.
    run_event_handler([&] { form.create(instance); });
    run_event_handler([&] { form.load(argument_text(GetCommandLineW())); });
    return run_message_loop();
}
