// verificar_versao.exe PASTA: checks a release folder as the program checks
// a release on a customer PC, with the same key and the same verifier. One
// line per file; the exit code is 0 only when every check passes.
#include <windows.h>

#include <set>
#include <string>

#include "release/release_check.h"
#include "release_key.h"
#include "services/file_helpers.h"
#include "services/locations.h"

namespace {

void say(const std::wstring& line) {
    const std::wstring text = line + L"\r\n";
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (GetFileType(out) == FILE_TYPE_CHAR &&
        WriteConsoleW(out, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        return;
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// The files of a folder, sub-folders left out.
std::set<std::wstring> files_in(const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            names.insert(found.cFileName);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Libraries from the system folder only, as in the program.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    using namespace locations;
    if (argc != 2) {
        say(L"uso: verificar_versao.exe PASTA_DA_VERSAO");
        return 2;
    }
    std::wstring folder = argv[1];
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') {
        folder += L'\\';
    }
    const ManifestVerdict verdict =
        verify_manifest_files(folder + kReleaseManifestName, folder + kReleaseSignatureName, kReleasePublicKey);
    if (!verdict.manifest) {
        say(kReleaseManifestName + L": RECUSADO (" + verdict.problem + L")");
        return 1;
    }
    say(kReleaseManifestName + L": ok, assinatura válida, serie " + std::to_wstring(verdict.manifest->serial));

    int problems = 0;
    std::set<std::wstring> unlisted = files_in(folder);
    unlisted.erase(kReleaseManifestName);
    unlisted.erase(kReleaseSignatureName);
    unlisted.erase(kUpdateMarkerName);
    for (const auto& [ascii, digest] : verdict.manifest->files) {
        const std::wstring name = wide(ascii);
        unlisted.erase(name);
        if (name == kUpdateMarkerName) {
            say(name + L": não verificado (o marcador de atualização nunca é verificado)");
            continue;
        }
        if (!file_present(folder + name)) {
            say(name + L": AUSENTE");
            ++problems;
            continue;
        }
        try {
            HeldFile hold;
            const bool same = sha256_of_file(folder + name, hold) == digest;
            say(name + (same ? L": ok" : L": DIFERE do manifesto"));
            problems += same ? 0 : 1;
        } catch (const OperationError& error) {
            say(name + L": ILEGÍVEL (" + error.description() + L")");
            ++problems;
        }
    }
    for (const std::wstring& name : unlisted) {
        say(name + L": NÃO LISTADO no manifesto (o programa não o usaria)");
        ++problems;
    }
    return problems == 0 ? 0 : 1;
}
