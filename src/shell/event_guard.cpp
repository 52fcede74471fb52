#include "shell/event_guard.h"

#include <windows.h>

#include "hardening/process_folder.h"
#include "oplog/operator_log.h"
#include "services/program_title.h"

void end_after_uncaught_error(unsigned long number, const std::wstring& description) {
    const std::wstring text =
        L"Erro em tempo de execução '" + std::to_wstring(number) + L"':\r\n\r\n" + description;
    operator_log::message_box(text);
    MessageBoxW(nullptr, text.c_str(), kProgramTitle, MB_OK | MB_ICONERROR);
    operator_log::end_of_process(L"erro não tratado");
    remove_process_folder();
    ExitProcess(1);
}
