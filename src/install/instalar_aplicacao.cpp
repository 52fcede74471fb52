// The application installation: package, .env line, address file, the
// updater and wget.exe placed in the XAMPP folder (a keyed build: in the
// updater's home, registered with Windows), database import, sweep,
// the end of the busy state (and of the taskbar's progress) and the
// completion message.
#include <memory>

#include "install/base_url.h"
#include "install/common_steps.h"
#include "oplog/operator_log.h"
#include "registration/scheduled_start.h"
#include "registration/uninstall_entry.h"
#include "release/release_check.h"
#include "services/file_helpers.h"
#include "services/locations.h"
#include "services/program_title.h"
#include "services/text_file.h"
#include "shell/form1.h"
#include "updater_home/updater_home.h"

using namespace locations;

void Form1::instalar_aplicacao() {
    auto address_file = std::make_shared<TextFile>();

    const std::vector<Step> steps = {
        log_step(*this, L"1. Baixando Zunaveri Digital..."),
        fetch_step(*this, kApplicationPackageName),
        log_step(*this, L"2. Instalando Zunaveri Digital..."),
        run_step(kApplicationPackageCommand),
        log_step(*this, L"3. Configurando arquivos do zunaveri"),
        action_step([this] { substituir_texto(kEnvFile, kAddressToken, base_url_line(ipservidor_text())); }),
        action_step([address_file] { address_file->open_for_writing(kAddressFile); }),
        action_step([this, address_file] { address_file->write(ipservidor_text()); }),
        action_step([address_file] { address_file->close(); }),
        action_step([address_file] { address_file->let_go(); }),
        log_step(*this, L"4. Copiando instalador para pasta do XAMPP"),
        fetch_step(*this, kUpdaterName),
        // A keyed build places them in the updater's home.
        copy_step(kUpdaterSource, [] { return placement_of(kUpdaterTarget); }),
        fetch_step(*this, kWgetName),
        copy_step(kWgetSource, [] { return placement_of(kWgetTarget); }),
        // A keyed build registers the home's updater with Windows: its start
        // at this account's logon, and its entry among the installed programs.
        action_step([] {
            if (signed_releases_enabled()) {
                register_updater_task();
            }
        }),
        action_step([] {
            if (signed_releases_enabled()) {
                write_uninstall_entry();
            }
        }),
        log_step(*this, L"5. Baixando estrutura do Banco de Dados..."),
        fetch_step(*this, kDatabaseStructureName),
        fetch_step(*this, kImportScriptName),
        log_step(*this, L"6. Importando Base de Dados..."),
        run_step(kImportScriptCommand),
        log_step(*this, L"Base de Dados importada com sucesso!"),
        log_step(*this, L"7. Limpando arquivos temporários..."),
        action_step([this] { limpar_temporarios(); }),
        action_step([this] { set_command2_enabled(true); }),
        action_step([this] { set_hourglass_pointer(false); }),
        log_step(*this, L">> Zunaveri Digital instalado com sucesso <<"),
        // The run has ended once the completion box shows.
        action_step([this] { taskbar_run_ended(); }),
        action_step([this] {
            operator_log::message_box(L"Zunaveri Digital instalado com sucesso");
            MessageBoxW(window_, L"Zunaveri Digital instalado com sucesso", kProgramTitle, MB_OK | MB_ICONINFORMATION);
        }),
    };
    run_sequence(steps, [this](const std::wstring& description) { log_step_failure(description); });
}
