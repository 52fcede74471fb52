// The application installation: package, .env line, address file, the
// updater and wget.exe placed in the XAMPP folder, database import, sweep,
// the end of the busy state and the completion message.
#include <memory>

#include "services/text_file.h"
#include "install/base_url.h"
#include "install/step_sequence.h"
#include "services/file_helpers.h"
#include "services/locations.h"
#include "services/module3.h"
#include "shell/form1.h"
#include "shell/program_title.h"

using namespace locations;

namespace {
constexpr std::int32_t kNoTimeLimit = 0;
constexpr bool kHiddenWindow = false;
}  // namespace

void Form1::instalar_aplicacao() {
    const auto log = [this](const wchar_t* line) { return action_step([this, line] { tarefa_add(line); }); };
    const auto fetch = [this](const std::wstring& name) { return action_step([this, name] { Download(name); }); };
    const auto run = [](const std::wstring& command) {
        return action_step([command] { executar_e_aguardar(command, kNoTimeLimit, kHiddenWindow); });
    };
    const auto copy = [](const std::wstring& source, const std::wstring& target) {
        return action_step([source, target] { copy_file_replacing(source, target); });
    };
    auto address_file = std::make_shared<TextFile>();

    const std::vector<Step> steps = {
        log(L"1. Baixando Zunaveri Digital..."),
        fetch(kApplicationPackageName),
        log(L"2. Instalando Zunaveri Digital..."),
        run(kApplicationPackageCommand),
        log(L"3. Configurando arquivos do zunaveri"),
        action_step([this] { substituir_texto(kEnvFile, kAddressToken, base_url_line(ipservidor_text())); }),
        action_step([address_file] { address_file->open_for_writing(kAddressFile); }),
        action_step([this, address_file] { address_file->write(ipservidor_text()); }),
        action_step([address_file] { address_file->close(); }),
        action_step([address_file] { address_file->let_go(); }),
        log(L"4. Copiando instalador para pasta do XAMPP"),
        fetch(kUpdaterName),
        copy(kUpdaterSource, kUpdaterTarget),
        fetch(kWgetName),
        copy(kWgetSource, kWgetTarget),
        log(L"5. Baixando estrutura do Banco de Dados..."),
        fetch(kDatabaseStructureName),
        fetch(kImportScriptName),
        log(L"6. Importando Base de Dados..."),
        run(kImportScriptCommand),
        log(L"Base de Dados importada com sucesso!"),
        log(L"7. Limpando arquivos temporários..."),
        action_step([this] { limpar_temporarios(); }),
        action_step([this] { set_command2_enabled(true); }),
        action_step([this] { set_hourglass_pointer(false); }),
        log(L">> Zunaveri Digital instalado com sucesso <<"),
        action_step([this] {
            MessageBoxW(window_, L"Zunaveri Digital instalado com sucesso", kProgramTitle, MB_OK | MB_ICONINFORMATION);
        }),
    };
    run_sequence(steps, [this](const std::wstring& description) { log_step_failure(description); });
}
