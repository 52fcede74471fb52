// After a due update, in a build that checks signed releases: the updater
// and wget.exe in C:\xampp are brought to the copies the release's verified
// manifest lists. wget.exe is replaced at once; the running updater at the
// next restart, by the system (self_update/program_swap.h). The program
// never starts the new updater itself.
#include "release/release_check.h"
#include "self_update/own_program_update.h"
#include "services/locations.h"
#include "shell/form1.h"

using namespace locations;

void Form1::atualizar_proprios_programas() {
    if (!signed_releases_enabled()) {
        return;
    }
    const ReleaseCheck::Fetch fetch = [this](const std::wstring& remote_name) { Download(remote_name); };
    // The updater first, fetched by the wget.exe that has served so far.
    update_own_program(release_, fetch, OwnProgram{kUpdaterName, kUpdaterTarget, Activation::AtRestart,
                                                   ImageRole::Updater});
    update_own_program(release_, fetch, OwnProgram{kWgetName, kWgetTarget, Activation::AtOnce, ImageRole::Tool});
}
