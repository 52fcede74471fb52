// The click on "Instalar": the whole installation run. Busy state, then the
// web stack when the check box is set (the port edit guarded by its marker),
// then the application installation, which ends the busy state.
#include "install/step_sequence.h"
#include "services/file_helpers.h"
#include "services/locations.h"
#include "services/module3.h"
#include "shell/form1.h"

using namespace locations;

namespace {
constexpr std::int32_t kNoTimeLimit = 0;
constexpr bool kHiddenWindow = false;
}  // namespace

void Form1::Command1_Click() {
    const auto log = [this](const wchar_t* line) { return action_step([this, line] { tarefa_add(line); }); };
    const auto fetch = [this](const std::wstring& name) { return action_step([this, name] { Download(name); }); };
    const auto run = [](const std::wstring& command) {
        return action_step([command] { executar_e_aguardar(command, kNoTimeLimit, kHiddenWindow); });
    };
    const auto copy = [](const std::wstring& source, const std::wstring& target) {
        return action_step([source, target] { copy_file_replacing(source, target); });
    };

    const std::vector<Step> steps = {
        action_step([this] { set_hourglass_pointer(true); }),
        action_step([this] { set_command1_enabled(false); }),
        action_step([this] { set_command2_enabled(false); }),
        action_step([this] { tarefa_clear(); }),
        condition_step([this] { return download_xampp_value() == 1; }, "application"),
        log(L"1. Baixando XAMPP..."),
        fetch(kXamppInstallerName),
        log(L"Download do XAMPP concluído!"),
        log(L"Instalando XAMPP..."),
        run(kXamppInstallerCommand),
        log(L"2. Configurando arquivos do Apache e PHP"),
        action_step([this] { substituir_texto(kPhpIni, L";extension=intl", L"extension=intl"); }),
        action_step([this] { substituir_texto(kPhpIni, L";extension=interbase", L"extension=interbase"); }),
        condition_step([] { return !file_present(kPortMarkerTest); }, "libraries"),
        // Only "Listen 80" not followed by a digit: an edit made by an earlier
        // run whose marker was never placed is not edited again.
        action_step([this] { substituir_texto(kHttpdConf, L"Listen 80", L"Listen 8090", Occurrence::NotBeforeDigit); }),
        fetch(kPortMarkerName),
        copy(kPortMarkerSource, kPortMarkerTarget),
        place("libraries", log(L"3. Copiando DLL's necessárias para correto funcionamento")),
        fetch(kFbclientName),
        copy(kFbclientSource, kFbclientTarget),
        fetch(kGds32Name),
        copy(kGds32Source, kGds32Target),
        log(L"4. Iniciando serviço do Apache e MySQL"),
        run(kXamppStopCommand),
        run(kXamppStartCommand),
        log(L">> XAMPP instalado com sucesso <<"),
        log(L" "),
        place("application", action_step([this] { instalar_aplicacao(); })),
    };
    run_sequence(steps, [this](const std::wstring& description) { log_step_failure(description); });
}

void Form1::log_step_failure(const std::wstring& description) {
    tarefa_add(L"Houve um erro nessa etapa: " + description);
}
