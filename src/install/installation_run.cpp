// The click on "Instalar": the whole installation run. Busy state, then the
// web stack when the check box is set (the port edit guarded by its marker),
// then the application installation, which ends the busy state.
#include "install/common_steps.h"
#include "oplog/operator_log.h"
#include "services/file_helpers.h"
#include "services/locations.h"
#include "services/wow64_placement.h"
#include "shell/form1.h"

using namespace locations;

void Form1::Command1_Click() {
    // However the run ends, the taskbar button shows no progress after it.
    struct RunOnTaskbar {
        Form1& form;
        explicit RunOnTaskbar(Form1& run_form) : form(run_form) { form.taskbar_run_started(); }
        ~RunOnTaskbar() { form.taskbar_run_ended(); }
        RunOnTaskbar(const RunOnTaskbar&) = delete;
        RunOnTaskbar& operator=(const RunOnTaskbar&) = delete;
    } const run_on_taskbar(*this);
    const std::vector<Step> steps = {
        action_step([this] { set_hourglass_pointer(true); }),
        action_step([this] { set_command1_enabled(false); }),
        action_step([this] { set_command2_enabled(false); }),
        action_step([this] { tarefa_clear(); }),
        action_step([this] { load_release_manifest(); }),
        condition_step([this] { return download_xampp_value() == 1; }, "application"),
        log_step(*this, L"1. Baixando XAMPP..."),
        fetch_step(*this, kXamppInstallerName),
        log_step(*this, L"Download do XAMPP concluído!"),
        log_step(*this, L"Instalando XAMPP..."),
        run_step(kXamppInstallerCommand),
        log_step(*this, L"2. Configurando arquivos do Apache e PHP"),
        action_step([this] { substituir_texto(kPhpIni, L";extension=intl", L"extension=intl"); }),
        action_step([this] { substituir_texto(kPhpIni, L";extension=interbase", L"extension=interbase"); }),
        condition_step([] { return !file_present(kPortMarkerTest); }, "libraries"),
        // Only "Listen 80" not followed by a digit: an edit made by an earlier
        // run whose marker was never placed is not edited again.
        action_step([this] { substituir_texto(kHttpdConf, L"Listen 80", L"Listen 8090", Occurrence::NotBeforeDigit); }),
        fetch_step(*this, kPortMarkerName),
        copy_step(kPortMarkerSource, kPortMarkerTarget),
        place("libraries", log_step(*this, L"3. Copiando DLL's necessárias para correto funcionamento")),
        fetch_step(*this, kFbclientName),
        copy_step(kFbclientSource, kFbclientTarget),
        fetch_step(*this, kGds32Name),
        // Where the stack's 32-bit PHP looks, in the 64-bit build too.
        copy_step(kGds32Source, [] { return placement_for_32bit_programs(kGds32Target, kGds32Name); }),
        log_step(*this, L"4. Iniciando serviço do Apache e MySQL"),
        run_step(kXamppStopCommand),
        run_step(kXamppStartCommand),
        log_step(*this, L">> XAMPP instalado com sucesso <<"),
        log_step(*this, L" "),
        place("application", action_step([this] { instalar_aplicacao(); })),
    };
    run_sequence(steps, [this](const std::wstring& description) { log_step_failure(description); });
    operator_log::write(L"fim da instalação");
}

void Form1::log_step_failure(const std::wstring& description) {
    tarefa_add(L"Houve um erro nessa etapa: " + description);
}
