// verificar_versao.exe PASTA: checks a release folder as the program checks
// a release on a customer PC, with the same key and the same verifiers: the
// manifest as updaters in the field read it, the size list as this program
// reads it, and the two listing the same files. One line per file, with its
// size; the exit code is 0 only when every check passes.
#include <windows.h>

#include <map>
#include <set>
#include <string>

#include "release/release_check.h"
#include "release_key.h"
#include "services/file_helpers.h"
#include "services/locations.h"
#include "services/system_error_text.h"

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

std::uint64_t length_of(const HeldFile& hold) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(hold.handle(), &size)) {
        throw last_system_error();
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

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
    // The manifest by the path updaters in the field take, the size list by
    // the one this program takes: a release must pass both.
    const ManifestVerdict manifest =
        verify_manifest_files(folder + kReleaseManifestName, folder + kReleaseSignatureName, kReleasePublicKey);
    const ManifestVerdict sizes =
        verify_size_manifest_files(folder + kSizeManifestName, folder + kSizeSignatureName, kReleasePublicKey);
    for (const auto& [name, verdict] : {std::pair{&kReleaseManifestName, &manifest}, {&kSizeManifestName, &sizes}}) {
        say(*name + (verdict->manifest ? L": ok, assinatura válida, serie " + std::to_wstring(verdict->manifest->serial)
                                        : L": RECUSADO (" + verdict->problem + L")"));
    }
    if (!manifest.manifest || !sizes.manifest) {
        return 1;
    }

    int problems = 0;
    if (manifest.manifest->serial != sizes.manifest->serial) {
        say(L"as duas listas têm séries diferentes");
        ++problems;
    }
    std::set<std::wstring> unlisted = files_in(folder);
    for (const std::wstring* name : {&kReleaseManifestName, &kReleaseSignatureName, &kSizeManifestName,
                                     &kSizeSignatureName, &kUpdateMarkerName}) {
        unlisted.erase(*name);
    }
    std::map<std::string, Sha256Digest> listed = manifest.manifest->files;
    listed.insert(sizes.manifest->files.begin(), sizes.manifest->files.end());
    for (const auto& [ascii, digest] : listed) {
        const std::wstring name = wide(ascii);
        unlisted.erase(name);
        const auto in_manifest = manifest.manifest->files.find(ascii);
        const auto in_sizes = sizes.manifest->files.find(ascii);
        if (in_manifest == manifest.manifest->files.end() || in_sizes == sizes.manifest->files.end() ||
            in_manifest->second != in_sizes->second) {
            say(name + L": LISTADO DE FORMA DIFERENTE nas duas listas");
            ++problems;
            continue;
        }
        if (name == kUpdateMarkerName) {
            say(name + L": não verificado (o marcador de atualização nunca é verificado)");
            continue;
        }
        if (!file_present(folder + name)) {
            say(name + L": AUSENTE");
            ++problems;
            continue;
        }
        const std::uint64_t signed_length = sizes.manifest->sizes.at(ascii);
        try {
            HeldFile hold;
            const bool same = sha256_of_file(folder + name, hold) == digest;
            const std::uint64_t length = length_of(hold);
            if (length != signed_length) {
                say(name + L": TAMANHO DIFERE da lista (" + std::to_wstring(length) + L" bytes, assinados " +
                    std::to_wstring(signed_length) + L")");
            } else {
                say(name + (same ? L": ok, " : L": DIFERE do manifesto, ") + std::to_wstring(length) + L" bytes");
            }
            problems += same && length == signed_length ? 0 : 1;
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
