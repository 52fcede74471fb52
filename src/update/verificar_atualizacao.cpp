// The update check: compares the file times of the server's update marker
// (fetched into the temporary folder) and the installed one, and applies
// an update when the installed marker lies more than one minute boundary
// after the fetched one.
#include "services/file_helpers.h"
#include "services/locations.h"
#include "shell/form1.h"
#include "update/elapsed_clock.h"
#include "update/update_decision.h"

using namespace locations;

void Form1::verificar_atualizacao() {
    Download(kUpdateMarkerName);
    const std::int64_t fetched = local_modification_time(kFetchedUpdateMarker);
    const std::int64_t installed = local_modification_time(kInstalledUpdateMarker);
    if (!update_due(minute_boundaries(fetched, installed))) {
        return;
    }
    // Signed releases: a refusal ends the check here, before anything changes.
    check_update_release();
    if (file_present(kLeftoverUpdateExecutable)) {
        delete_file(kLeftoverUpdateExecutable);
    }
    aplicar_atualizacao();
    set_cronometro_caption(kClockStart);
}
