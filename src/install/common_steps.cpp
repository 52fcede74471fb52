#include "install/common_steps.h"

#include "services/file_helpers.h"
#include "services/process_runner.h"
#include "shell/form1.h"

namespace {
constexpr std::int32_t kNoTimeLimit = 0;
constexpr bool kHiddenWindow = false;
}  // namespace

Step log_step(Form1& form, const wchar_t* line) {
    return action_step([&form, line] { form.tarefa_add(line); });
}

Step fetch_step(Form1& form, std::wstring remote_name) {
    return action_step([&form, remote_name = std::move(remote_name)] { form.Download(remote_name); });
}

// A program or a source in the temporary folder is a fetched file: with
// signed releases it is checked against the manifest first and held
// unchanged while it runs or is copied.
Step run_step(std::wstring command_line) {
    return action_step([command_line = std::move(command_line)] {
        const std::vector<HeldFile> checked = Form1::instance().check_release_files(command_line);
        // executar_e_aguardar's run, keeping how it ended for the release record.
        const std::optional<std::uint32_t> exit_code =
            run_and_wait_for_exit(command_line, kNoTimeLimit, kHiddenWindow);
        Form1::instance().release_program_ran(command_line, exit_code);
    });
}

Step copy_step(std::wstring source, std::function<std::wstring()> target) {
    return action_step([source = std::move(source), target = std::move(target)] {
        const std::vector<HeldFile> checked = Form1::instance().check_release_files(source);
        copy_file_replacing(source, target());
    });
}

Step copy_step(std::wstring source, std::wstring target) {
    return copy_step(std::move(source), [target = std::move(target)] { return target; });
}
