// The update check: compares the file times of the server's update marker
// (fetched into the temporary folder) and the installed one, and applies
// an update when the installed marker lies more than one minute boundary
// after the fetched one.
#include "oplog/operator_log.h"
#include "oplog/operator_log_texts.h"
#include "registration/updater_registration.h"
#include "services/fetched_copies.h"
#include "services/file_helpers.h"
#include "services/locations.h"
#include "shell/form1.h"
#include "update/elapsed_clock.h"
#include "update/update_decision.h"

using namespace locations;

void Form1::verificar_atualizacao() {
    Download(kUpdateMarkerName);
    const std::int64_t fetched = local_modification_time(fetched_copy(kFetchedUpdateMarker));
    const std::int64_t installed = local_modification_time(kInstalledUpdateMarker);
    const std::int64_t minutes = minute_boundaries(fetched, installed);
    operator_log::check(fetched, installed, minutes, update_due(minutes));
    if (!update_due(minutes)) {
        return;
    }
    // Signed releases: a refusal ends the check here, before anything changes.
    check_update_release();
    const std::wstring leftover = fetched_copy(kLeftoverUpdateExecutable);
    if (file_present(leftover)) {
        delete_file(leftover);
    }
    const std::size_t failed_steps = aplicar_atualizacao();
    atualizar_proprios_programas();
    refresh_uninstall_entry();  // the new serial as the version
    set_cronometro_caption(kClockStart);
    operator_log::write_outcome(operator_log::update_applied_text(failed_steps));
}
