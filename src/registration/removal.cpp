#include "registration/removal.h"

#include <windows.h>

#include <string>
#include <vector>

#include "hardening/process_folder.h"
#include "hardening/protected_run_rules.h"
#include "oplog/operator_log.h"
#include "registration/removal_rules.h"
#include "registration/scheduled_start.h"
#include "registration/uninstall_entry.h"
#include "registration/updater_processes.h"
#include "services/locations.h"
#include "services/operation_error.h"
#include "services/program_title.h"
#include "services/secured_files.h"
#include "services/security_descriptors.h"
#include "updater_home/updater_home.h"

using namespace locations;

namespace {

std::wstring home_folder() { return kUpdaterHome.substr(0, kUpdaterHome.size() - 1); }

std::wstring question() {
    return L"Remover o atualizador do Zunaveri Digital deste computador?\n\n"
           L"O atualizador em execução é encerrado, e saem a tarefa agendada " +
           kUpdaterTaskName + L", o registro em Programas instalados e a pasta " + home_folder() +
           L".\n\nFicam c:\\xampp (a aplicação e seus dados), a série aplicada e o log.";
}

// The files and folders in `folder`, without following any name that leads elsewhere.
std::vector<std::wstring> entries_in(const std::wstring& folder, bool folders) {
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return found;
    }
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L".." && ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folders) {
            found.push_back(folders ? name : folder + L"\\" + name);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

// Deletes the folder's files and then the folder; what is in use goes at
// the next restart and is added to `at_restart`. False when something could
// neither be deleted nor scheduled.
bool remove_folder(const std::wstring& folder, std::vector<std::wstring>& at_restart) {
    bool done = true;
    auto remove = [&](const std::wstring& path, bool is_folder) {
        if (!is_folder) {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        if (is_folder ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str())) {
            return;
        }
        if (MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
            at_restart.push_back(path);
        } else {
            done = false;
        }
    };
    for (const std::wstring& file : entries_in(folder, false)) {
        remove(file, false);
    }
    remove(folder, true);
    return done;
}

std::wstring error_text(const OperationError& error) { return error.description(); }

class Removal {
public:
    void step(const std::wstring& line, bool went_through = true) {
        operator_log::write(L"remoção: " + line);
        report_.lines.push_back(line);
        report_.complete = report_.complete && went_through;
    }
    const RemovalReport& report() const { return report_; }

    void end_updaters() {
        try {
            const int ended = end_processes_running(kHomeUpdater);
            step(ended == 0 ? L"nenhum atualizador estava em execução"
                            : L"atualizadores encerrados: " + std::to_wstring(ended));
        } catch (const OperationError& error) {
            step(L"um atualizador não pôde ser encerrado: " + error_text(error), false);
        }
    }

    void remove_task() {
        try {
            step(delete_updater_task() ? L"tarefa agendada " + kUpdaterTaskName + L" removida"
                                       : L"não havia tarefa agendada " + kUpdaterTaskName);
        } catch (const OperationError& error) {
            step(L"tarefa agendada " + kUpdaterTaskName + L" não removida: " + error_text(error), false);
        }
    }

    void remove_entry() {
        try {
            step(delete_uninstall_entry() ? L"registro em Programas instalados removido"
                                          : L"não havia registro em Programas instalados");
        } catch (const OperationError& error) {
            step(L"registro em Programas instalados não removido: " + error_text(error), false);
        }
    }

    void remove_home() {
        if (GetFileAttributesW(home_folder().c_str()) == INVALID_FILE_ATTRIBUTES) {
            step(L"não havia a pasta " + home_folder());
            return;
        }
        try {
            check_updater_home();  // nothing is deleted in a folder that is not the tool's own
        } catch (const OperationError& error) {
            step(error_text(error), false);
            return;
        }
        std::vector<std::wstring> at_restart;
        if (!remove_folder(home_folder(), at_restart)) {
            step(L"pasta " + home_folder() + L" não removida por inteiro", false);
            return;
        }
        if (at_restart.empty()) {
            step(L"pasta " + home_folder() + L" removida, com o atualizador e o wget.exe");
            return;
        }
        std::wstring in_use;
        for (const std::wstring& path : at_restart) {
            if (path != home_folder()) {
                in_use += (in_use.empty() ? L"" : L", ") + path;
            }
        }
        step(L"pasta " + home_folder() + L" removida na próxima reinicialização do Windows; o resto já saiu, " +
             (in_use.empty() ? L"a pasta estava em uso" : L"em uso até lá: " + in_use));
    }

    // The download folders of the updaters just ended: each process removes
    // its own when it ends, but an ended one cannot.
    void remove_download_folders() {
        remove_process_folder();  // this process's own, if it made one
        int removed = 0;
        bool done = true;
        std::vector<std::wstring> at_restart;
        const std::wstring parent = kProtectedFolderParent.substr(0, kProtectedFolderParent.size() - 1);
        for (const std::wstring& name : entries_in(parent, true)) {
            const std::wstring folder = kProtectedFolderParent + name;
            if (!is_process_folder_name(name) || is_reparse_point(folder)) {
                continue;
            }
            // Only SYSTEM and Administrators can write in the tool's own: a
            // look-alike someone else made is left alone.
            const auto owner = owner_sid_text(folder);
            if (!owner || !owner_is_trusted(*owner, own_user_sid_text())) {
                continue;
            }
            done = remove_folder(folder, at_restart) && done;
            ++removed;
        }
        if (removed > 0) {
            step(L"pastas de download removidas: " + std::to_wstring(removed) +
                     (at_restart.empty() ? L"" : L" (parte delas na próxima reinicialização)"),
                 done);
        }
    }

private:
    RemovalReport report_;
};

}  // namespace

int remove_updater(bool ask) noexcept {
    try {
        if (ask) {
            const std::wstring text = question();
            operator_log::message_box(text);
            if (MessageBoxW(nullptr, text.c_str(), kProgramTitle,
                            MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND) != IDYES) {
                operator_log::write(L"remoção do atualizador recusada: nada foi mudado");
                return 0;
            }
        }
        Removal removal;
        removal.end_updaters();
        removal.remove_task();
        removal.remove_entry();
        removal.remove_home();
        removal.remove_download_folders();
        operator_log::write(removal.report().complete
                                ? L"atualizador removido; mantidos c:\\xampp, a série aplicada e este log"
                                : L"atualizador removido só em parte (veja as linhas acima); mantidos c:\\xampp, "
                                  L"a série aplicada e este log");
        if (ask) {
            const std::wstring text = removal_report_text(removal.report());
            operator_log::message_box(text);
            MessageBoxW(nullptr, text.c_str(), kProgramTitle,
                        MB_OK | MB_SETFOREGROUND | (removal.report().complete ? MB_ICONINFORMATION : MB_ICONWARNING));
        }
        return removal.report().complete ? 0 : 1;
    } catch (...) {
        operator_log::write(L"remoção do atualizador interrompida por um erro inesperado");
        return 1;
    }
}
