#include "self_update/own_program_update.h"

#include <windows.h>

#include <new>

#include "oplog/operator_log.h"
#include "oplog/operator_log_texts.h"
#include "self_update/swap_files.h"
#include "services/fetched_copies.h"
#include "services/locations.h"
#include "services/system_error_text.h"

using namespace locations;

namespace {

// A program larger than this is not read into memory.
constexpr std::uint64_t kMaxProgramBytes = std::uint64_t{256} * 1024 * 1024;

std::string ascii_name(const std::wstring& name) { return std::string(name.begin(), name.end()); }

std::string read_held_file(const HeldFile& hold) {
    LARGE_INTEGER size;
    const LARGE_INTEGER start{};
    if (!GetFileSizeEx(hold.handle(), &size) || !SetFilePointerEx(hold.handle(), start, nullptr, FILE_BEGIN)) {
        throw last_system_error();
    }
    if (static_cast<std::uint64_t>(size.QuadPart) > kMaxProgramBytes) {
        throw OperationError(ERROR_FILE_TOO_LARGE, L"arquivo maior que 256 MiB");
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!ReadFile(hold.handle(), &bytes[done], static_cast<DWORD>(bytes.size() - done), &read, nullptr)) {
            throw last_system_error();
        }
        if (read == 0) {
            throw OperationError(ERROR_HANDLE_EOF, L"arquivo encurtado durante a leitura");
        }
        done += read;
    }
    return bytes;
}

// Where a replacement's bytes come from: the fetched copy in the temporary
// folder, checked against the manifest and read through the handle that
// has held it unchanged since. The one place to switch when fetched files
// are checked in a folder of their own.
std::string checked_release_copy(const ReleaseCheck& release, const ReleaseCheck::Fetch& fetch,
                                 const std::wstring& remote_name) {
    const std::vector<HeldFile> held = release.verify({remote_name}, fetch);
    return read_held_file(held.front());
}

// The fetched copy is not left in the temporary folder for anything else.
void discard_temporary_copy(const std::wstring& remote_name) {
    DeleteFileW(fetched_copy(temporary_copy(kTempFolderTitle, remote_name)).c_str());
}

void log_outcome(const OwnProgram& program, SwapPlan plan, const ProgramSwap& swap, const Sha256Digest& listed) {
    operator_log::ReplacementEffect effect = operator_log::ReplacementEffect::Now;
    switch (plan) {
    case SwapPlan::Nothing:
        return;
    case SwapPlan::Cancel:
        effect = operator_log::ReplacementEffect::Cancelled;
        break;
    case SwapPlan::Replace:
        effect = program.activation == Activation::AtOnce ? operator_log::ReplacementEffect::Now
                                                          : operator_log::ReplacementEffect::AtRestart;
        break;
    }
    const std::wstring installed = swap.installed() ? sha256_prefix(*swap.installed()) : std::wstring();
    operator_log::write(operator_log::own_program_text(program.installed_path, installed, sha256_prefix(listed), effect,
                                                       swap_paths(program.installed_path).previous));
}

}  // namespace

void update_own_program(const ReleaseCheck& release, const ReleaseCheck::Fetch& fetch,
                        const OwnProgram& program) noexcept {
    if (!release.manifest()) {
        return;
    }
    const auto found = release.manifest()->files.find(ascii_name(program.remote_name));
    if (found == release.manifest()->files.end()) {
        return;
    }
    const Sha256Digest& listed = found->second;
    std::wstring refusal;
    try {
        Win32SwapOperations files;
        ProgramSwap swap(files, program.installed_path, program.activation);
        const SwapPlan plan = swap.plan(listed);
        std::string bytes;
        if (plan == SwapPlan::Replace) {
            bytes = checked_release_copy(release, fetch, program.remote_name);
            const ImageCheck image = check_executable_image(bytes, program.role);
            if (image.fault != ImageFault::None) {
                refusal = image_fault_text(image);
            }
        }
        if (refusal.empty()) {
            swap.carry_out(plan, bytes, listed);
            log_outcome(program, plan, swap, listed);
        }
    } catch (const OperationError& error) {
        refusal = error.description();
    } catch (const std::bad_alloc&) {
        refusal = L"falta de memória";
    } catch (const std::exception&) {
        refusal = L"erro inesperado";
    }
    if (!refusal.empty()) {
        operator_log::write(operator_log::own_program_refused_text(program.installed_path, sha256_prefix(listed),
                                                                   refusal));
    }
    discard_temporary_copy(program.remote_name);
}
