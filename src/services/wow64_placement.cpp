#include "services/wow64_placement.h"

#include <windows.h>

#include <vector>

#ifdef _WIN64
namespace {

// The WOW64 system folder when the system has one, without a trailing separator.
std::wstring wow64_system_folder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    UINT length = GetSystemWow64DirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = GetSystemWow64DirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    }
    if (length == 0 || length >= buffer.size()) {
        return std::wstring();
    }
    std::wstring folder(buffer.data(), length);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return std::wstring();
    }
    return folder;
}

}  // namespace
#endif

std::wstring placement_for_32bit_programs(const std::wstring& system32_path, const std::wstring& name) {
#ifdef _WIN64
    const std::wstring folder = wow64_system_folder();
    if (!folder.empty()) {
        return folder + L"\\" + name;
    }
#else
    static_cast<void>(name);
#endif
    return system32_path;
}
