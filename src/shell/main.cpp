// Entry point: creates the main window, runs its load handler (which chooses
// the run mode) and then the message loop until the program ends.
#include <windows.h>
#include <commctrl.h>

#include "deployment_values.h"
#include "hardening/process_folder.h"
#include "oplog/operator_log.h"
#include "services/message_pump.h"
#include "services/run_mode.h"
#include "shell/event_guard.h"
#include "shell/form1.h"
#include "shell/operator_log_settings.h"
#include "shell/program_version.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Every library loaded from here on (by the program or by the system's
    // own libraries) comes from the system folder, never from the exe's own
    // folder or the current one, where anyone may have put a look-alike.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    operator_log::add_secret(kDefaultFtpPassword);
    if (kOperatorLogOn) {
        operator_log::begin(GetCommandLineW(), kProgramVersion, kOperatorLogRepeatMs);
    }
    Form1& form = Form1::instance();
    // A main window that cannot be created ends the program as any error
    // that no procedure handles does: its number and description, exit code 1.
    run_event_handler([&] { form.create(instance); });
    run_event_handler([&] { form.load(argument_text(GetCommandLineW())); });
    const int exit_code = run_message_loop();
    operator_log::end_of_process(L"fim do laço de mensagens");
    remove_process_folder();
    return exit_code;
}
