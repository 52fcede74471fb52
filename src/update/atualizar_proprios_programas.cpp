// After a due update, in a build that checks signed releases: the updater
// and wget.exe in the updater's home are brought to the copies the release's verified
// manifest lists. wget.exe is replaced at once; the running updater at the
// next restart, by the system (self_update/program_swap.h). The program
// never starts the new updater itself.
#include "oplog/operator_log.h"
#include "release/release_check.h"
#include "self_update/own_program_update.h"
#include "services/locations.h"
#include "shell/form1.h"
#include "updater_home/updater_home.h"

using namespace locations;

void Form1::atualizar_proprios_programas() {
    if (!signed_releases_enabled()) {
        return;
    }
    // The home is checked before anything in it is replaced.
    try {
        check_updater_home();
    } catch (const OperationError& error) {
        operator_log::write(L"atualizador e wget.exe não substituídos: " + error.description());
        return;
    }
    const ReleaseCheck::Fetch fetch = [this](const std::wstring& remote_name) { Download(remote_name); };
    // The updater first, fetched by the wget.exe that has served so far.
    update_own_program(release_, fetch, OwnProgram{kUpdaterName, kHomeUpdater, Activation::AtRestart,
                                                   ImageRole::Updater});
    update_own_program(release_, fetch, OwnProgram{kWgetName, kHomeWget, Activation::AtOnce, ImageRole::Tool});
}
