// The update application: runs the application package again while keeping
// the customer's logo, photo and recorded address, re-imports the database
// and sweeps the temporary folder. A step that fails is skipped silently.
#include <memory>

#include "install/base_url.h"
#include "install/common_steps.h"
#include "oplog/operator_log.h"
#include "release/release_check.h"
#include "services/file_helpers.h"
#include "services/local_address.h"
#include "services/locations.h"
#include "services/text_file.h"
#include "shell/form1.h"
#include "update/update_decision.h"
#include "updater_home/home_rules.h"
#include "updater_home/updater_home.h"

using namespace locations;

std::size_t Form1::aplicar_atualizacao() {
    auto address = std::make_shared<std::wstring>();
    auto address_file = std::make_shared<TextFile>();
    const std::wstring saved_logo = signed_releases_enabled() ? home_counterpart(kSavedLogo) : kSavedLogo;
    const std::wstring saved_photo = signed_releases_enabled() ? home_counterpart(kSavedMainPhoto) : kSavedMainPhoto;

    const std::vector<Step> steps = {
        // A keyed build keeps the backups in the updater's home.
        copy_step(kLogo, [] { return placement_of(kSavedLogo); }),
        copy_step(kMainPhoto, [] { return placement_of(kSavedMainPhoto); }),
        fetch_step(*this, kApplicationPackageName),
        run_step(kApplicationPackageCommand),
        // The address: from the address file, or discovered and recorded there.
        condition_step([] { return !file_present(kAddressFile); }, "address file present"),
        action_step([address] { *address = obter_ip_local(); }),
        action_step([address_file] { address_file->open_for_writing(kAddressFile); }),
        action_step([address, address_file] { address_file->write(*address); }),
        jump_to("close address file"),
        place("address file present", action_step([address_file] { address_file->open_for_reading(kAddressFile); })),
        action_step([address, address_file] { *address = trimmed_address(address_file->read_all()); }),
        place("close address file", action_step([address_file] { address_file->close(); })),
        action_step([this, address] { substituir_texto(kEnvFile, kAddressToken, base_url_line(*address)); }),
        copy_step(saved_logo, kLogo),
        copy_step(saved_photo, kMainPhoto),
        fetch_step(*this, kDatabaseStructureName),
        fetch_step(*this, kImportScriptName),
        run_step(kImportScriptCommand),
        action_step([this] { limpar_temporarios(); }),
    };
    // Failing steps are skipped; the operator's log keeps their trace.
    std::size_t failed = 0;
    run_sequence(steps, [&failed](std::size_t step, const std::wstring& why) {
        ++failed;
        operator_log::update_step_failed(step, why);
    });
    return failed;
}
