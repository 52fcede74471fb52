#include "oplog/operator_log.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <new>
#include <optional>

#include "oplog/log_lock.h"
#include "oplog/log_rotation.h"
#include "oplog/operator_log_format.h"
#include "oplog/operator_log_repeat.h"
#include "oplog/operator_log_texts.h"
#include "services/locations.h"
#include "services/operation_error.h"
#include "services/run_mode.h"
#include "services/secured_files.h"
#include "services/security_descriptors.h"

namespace operator_log {

namespace {

constexpr wchar_t kFolderName[] = L"\\Zunaveri";
constexpr wchar_t kFileName[] = L"\\instalador.log";
constexpr wchar_t kRotatedSuffix[] = L".1";
// A writer holds the lock for one append, now and then with a rotation
// before it; on a busy PC that can take a good part of a second (a tenth
// of one lost lines of two processes writing across a rotation). Waiting
// longer than this means something is wrong with the other process, and
// the line is dropped.
constexpr DWORD kLockWaitMs = 1000;

struct State {
    bool on = false;
    Mode mode = Mode::Installation;
    std::uint32_t process_id = 0;
    std::wstring folder;
    std::wstring path;
    std::wstring rotated_path;
    LogLock lock;
    SecretMask secrets;
    RepeatFilter repeats{3600LL * 1000};
    std::wstring last_fetch_name;
    FetchOutcome last_fetch = FetchOutcome::Unknown;
};

State& state() {
    static State the_state;
    return the_state;
}

// A folder or file found in place is the tool's own when it is no reparse
// point (a junction or link would send the writes and the rotation's rename
// elsewhere) and its owner is SYSTEM, Administrators or this process's user.
bool place_is_ours(const std::wstring& path, const std::wstring& own_user) {
    if (is_reparse_point(path)) {
        return false;
    }
    const std::optional<std::wstring> owner = owner_sid_text(path);
    return owner && owner_is_trusted(*owner, own_user);
}

// The log's folder, made with its protected security, or the one in place
// when it is the tool's own (made by an earlier version: it gets the
// protected security now), with log files and lock file in it that are its
// own too.
// Otherwise the process goes on without its log.
bool log_place_is_ours(const State& s) {
    if (create_folder_secured(s.folder, kLogFolderSddl)) {
        return true;
    }
    const std::wstring own_user = own_user_sid_text();
    if (!place_is_ours(s.folder, own_user)) {
        return false;
    }
    const auto foreign = [&own_user](const std::wstring& file) {
        return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES && !place_is_ours(file, own_user);
    };
    if (foreign(s.path) || foreign(s.rotated_path) || foreign(lock_file_path(s.folder))) {
        return false;
    }
    apply_protected_dacl(s.folder, kLogFolderSddl);
    return true;
}

// Append-only access: each WriteFile lands whole at the end of the file,
// whoever else appends. Others may read, write, rename and delete it
// meanwhile.
HANDLE open_for_append(State& s) {
    const auto open = [&s] {
        return CreateFileW(s.path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE file = open();
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND) {
        // The folder was removed while the process ran: made afresh. One
        // that someone else made meanwhile is not written into, now or later.
        if (!create_folder_secured(s.folder, kLogFolderSddl)) {
            s.on = false;
            return INVALID_HANDLE_VALUE;
        }
        file = open();
    }
    return file;
}

// The file's size, when it may be written: a log marked read-only is left
// alone, as Windows leaves it to every process (Wine lets a privileged one
// append to it all the same). Two narrow queries: GetFileInformationByHandle
// costs a hundred times more under Wine.
std::optional<std::uint64_t> writable_size(HANDLE file) {
    FILE_BASIC_INFO basic{};
    LARGE_INTEGER size{};
    if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
        (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0 || !GetFileSizeEx(file, &size)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

// Under the lock, so that two processes never both rotate, and a line of
// one never lands in the file another has just rotated: one rotation when
// due (the full file becomes instalador.log.1, replacing the older one),
// then one append, so lines of several processes never mix. A file that
// cannot be rotated is not written past its bound.
void append(State& s, const std::string& line) {
    const LogLockHold hold(s.lock, kLockWaitMs);
    if (!hold.usable()) {
        return;
    }
    HANDLE file = open_for_append(s);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::optional<std::uint64_t> size = writable_size(file);
    if (!size) {
        CloseHandle(file);
        return;
    }
    if (needs_rotation(*size, line.size())) {
        CloseHandle(file);
        if (!rotate_log(s.path, s.rotated_path)) {
            return;
        }
        file = open_for_append(s);
        if (file == INVALID_HANDLE_VALUE) {
            return;
        }
    }
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

// `text` has been masked already.
void write_masked(State& s, std::wstring_view text) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const LocalTime when{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    append(s, log_line(when, s.process_id, s.mode, text));
}

void write_outcome_masked(State& s, std::wstring_view text) {
    for (const std::wstring& line : s.repeats.offer(text, static_cast<std::int64_t>(GetTickCount64()))) {
        write_masked(s, line);
    }
}

// Runs one logging action; nothing it throws leaves this module.
template <typename Action>
void guarded(Action&& action) noexcept {
    try {
        State& s = state();
        if (s.on) {
            action(s);
        }
    } catch (...) {  // NOLINT(bugprone-empty-catch): logging never fails a run
    }
}

std::wstring description_of(const std::exception& error) {
    if (const auto* operation = dynamic_cast<const OperationError*>(&error)) {
        return operation->description();
    }
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
        return L"Memória insuficiente";
    }
    return L"Erro interno do programa";
}

}  // namespace

void begin(std::wstring_view command_line, std::wstring_view version, std::int64_t repeat_period_ms) noexcept {
    try {
        State& s = state();
        if (s.on) {
            return;
        }
        PWSTR program_data = nullptr;
        const HRESULT found = SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &program_data);
        if (found != S_OK || program_data == nullptr) {
            CoTaskMemFree(program_data);
            return;
        }
        s.folder = std::wstring(program_data) + kFolderName;
        CoTaskMemFree(program_data);
        s.path = s.folder + kFileName;
        s.rotated_path = s.path + kRotatedSuffix;
        if (!log_place_is_ours(s)) {
            return;
        }
        const std::wstring argument = argument_text(std::wstring(command_line));
        s.mode = is_update_mode(argument) ? Mode::Update : Mode::Installation;
        s.process_id = GetCurrentProcessId();
        s.lock.open(s.folder);
        s.repeats = RepeatFilter(repeat_period_ms);
        s.on = true;
        write_masked(s, s.secrets.apply(start_text(version, static_cast<int>(sizeof(void*) * 8), s.mode,
                                                   argument)));
    } catch (...) {  // NOLINT(bugprone-empty-catch): logging never fails a run
    }
}

void add_secret(std::wstring_view secret) noexcept {
    try {
        state().secrets.add(secret);
    } catch (...) {  // NOLINT(bugprone-empty-catch): logging never fails a run
    }
}

void write(std::wstring_view text) noexcept {
    guarded([&](State& s) { write_masked(s, s.secrets.apply(text)); });
}

void write_outcome(std::wstring_view text) noexcept {
    guarded([&](State& s) { write_outcome_masked(s, s.secrets.apply(text)); });
}

void address_discovered(std::wstring_view address) noexcept { write(address_text(address)); }

void list_line(std::wstring_view line) noexcept { write(list_line_text(line)); }

void message_box(std::wstring_view text) noexcept { write(message_box_text(text)); }

void fetch_reused(std::wstring_view arquivo) noexcept {
    guarded([&](State& s) {
        s.last_fetch_name = arquivo;
        s.last_fetch = FetchOutcome::Reused;
    });
}

void fetch_ran(std::wstring_view arquivo, std::wstring_view command_line, std::optional<std::uint32_t> exit_code,
               std::uint64_t bytes, double seconds) noexcept {
    guarded([&](State& s) {
        const bool failed = !exit_code || *exit_code != 0;
        const FetchFigures figures{bytes, seconds};
        s.last_fetch_name = arquivo;
        s.last_fetch = failed ? FetchOutcome::Failed : FetchOutcome::Fetched;
        if (failed) {
            write_outcome_masked(s, s.secrets.apply(fetch_failure_text(arquivo, exit_code, command_line, figures)));
        } else {
            write_masked(s, fetch_done_text(arquivo, figures));
        }
    });
}

void check(std::int64_t fetched, std::int64_t installed, std::int64_t minutes, bool due) noexcept {
    guarded([&](State& s) {
        const FetchOutcome marker =
            s.last_fetch_name == locations::kUpdateMarkerName ? s.last_fetch : FetchOutcome::Unknown;
        s.last_fetch_name.clear();
        write_outcome_masked(s, s.secrets.apply(check_text(fetched, installed, minutes, due, marker)));
    });
}

void check_failed(const std::exception& error) noexcept {
    guarded([&](State& s) {
        s.last_fetch_name.clear();
        write_outcome_masked(s, s.secrets.apply(check_failure_text(description_of(error))));
    });
}

void update_step_failed(std::size_t step, std::wstring_view description) noexcept {
    guarded([&](State& s) {
        write_outcome_masked(s, s.secrets.apply(update_step_failure_text(step, description)));
    });
}

void end_of_process(std::wstring_view why) noexcept {
    guarded([&](State& s) {
        for (const std::wstring& line : s.repeats.flush()) {
            write_masked(s, line);
        }
        write_masked(s, s.secrets.apply(end_text(why)));
    });
}

}  // namespace operator_log
