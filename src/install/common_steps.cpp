#include "install/common_steps.h"

#include "services/file_helpers.h"
#include "services/module3.h"
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

Step run_step(std::wstring command_line) {
    return action_step([command_line = std::move(command_line)] {
        executar_e_aguardar(command_line, kNoTimeLimit, kHiddenWindow);
    });
}

Step copy_step(std::wstring source, std::wstring target) {
    return action_step([source = std::move(source), target = std::move(target)] {
        copy_file_replacing(source, target);
    });
}
