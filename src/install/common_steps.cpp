#include "install/common_steps.h"

#include "hardening/protected_run_rules.h"
#include "hardening/protected_steps.h"
#include "release/release_check.h"
#include "services/file_helpers.h"
#include "services/process_runner.h"
#include "shell/form1.h"

namespace {
constexpr std::int32_t kNoTimeLimit = 0;
constexpr bool kHiddenWindow = false;

// A program run where it lies. With signed releases the web stack's stop and
// start programs, which any user may replace in C:\xampp, run without
// administrator rights (hardening/protected_run_rules.h).
std::optional<std::uint32_t> run_where_it_lies(const std::wstring& command_line) {
    if (signed_releases_enabled() && runs_without_administrators(command_line)) {
        return run_without_administrators_and_wait_for_exit(command_line);
    }
    return run_and_wait_for_exit(command_line, kNoTimeLimit, kHiddenWindow);
}
}  // namespace

Step log_step(Form1& form, const wchar_t* line) {
    return action_step([&form, line] { form.tarefa_add(line); });
}

Step fetch_step(Form1& form, std::wstring remote_name) {
    return action_step([&form, remote_name = std::move(remote_name)] { form.Download(remote_name); });
}

// A program or a source in the temporary folder is a fetched file: with
// signed releases its copy in the process's own folder, which only
// administrators can write, is checked against the manifest first and held
// unchanged while it runs from there or is copied. Nothing is checked (a
// build without a release key, or a program in a fixed place): the step
// uses the file where it lies.
Step run_step(std::wstring command_line) {
    return action_step([command_line = std::move(command_line)] {
        Form1& form = Form1::instance();
        const std::vector<HeldFile> checked = form.check_release_files(command_line);
        // executar_e_aguardar's run, keeping how it ended for the release record.
        const std::optional<std::uint32_t> exit_code =
            checked.empty() ? run_where_it_lies(command_line) : run_checked_program(command_line);
        form.release_program_ran(command_line, exit_code);
    });
}

Step copy_step(std::wstring source, std::function<std::wstring()> target) {
    return action_step([source = std::move(source), target = std::move(target)] {
        Form1& form = Form1::instance();
        const std::vector<HeldFile> checked = form.check_release_files(source);
        if (checked.empty()) {
            copy_file_replacing(source, target());
        } else {
            copy_checked_file(source, checked, target());
        }
    });
}

Step copy_step(std::wstring source, std::wstring target) {
    return copy_step(std::move(source), [target = std::move(target)] { return target; });
}
