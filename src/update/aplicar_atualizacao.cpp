// The update application: runs the application package again while keeping
// the customer's logo, photo and recorded address, re-imports the database
// and sweeps the temporary folder. A step that fails is skipped silently.
#include <memory>

#include "install/base_url.h"
#include "install/step_sequence.h"
#include "services/file_helpers.h"
#include "services/locations.h"
#include "services/module2.h"
#include "services/module3.h"
#include "services/text_file.h"
#include "shell/form1.h"
#include "update/update_decision.h"

using namespace locations;

namespace {
constexpr std::int32_t kNoTimeLimit = 0;
constexpr bool kHiddenWindow = false;
}  // namespace

void Form1::aplicar_atualizacao() {
    const auto fetch = [this](const std::wstring& name) { return action_step([this, name] { Download(name); }); };
    const auto run = [](const std::wstring& command) {
        return action_step([command] { executar_e_aguardar(command, kNoTimeLimit, kHiddenWindow); });
    };
    const auto copy = [](const std::wstring& source, const std::wstring& target) {
        return action_step([source, target] { copy_file_replacing(source, target); });
    };
    auto address = std::make_shared<std::wstring>();
    auto address_file = std::make_shared<TextFile>();

    const std::vector<Step> steps = {
        copy(kLogo, kSavedLogo),
        copy(kMainPhoto, kSavedMainPhoto),
        fetch(kApplicationPackageName),
        run(kApplicationPackageCommand),
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
        copy(kSavedLogo, kLogo),
        copy(kSavedMainPhoto, kMainPhoto),
        fetch(kDatabaseStructureName),
        fetch(kImportScriptName),
        run(kImportScriptCommand),
        action_step([this] { limpar_temporarios(); }),
    };
    run_sequence(steps, [](const std::wstring&) {});
}
