#include "hardening/protected_run_rules.h"

#include <algorithm>
#include <cwchar>

#include "services/locations.h"

namespace {

wchar_t folded(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool starts_with_folded(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](wchar_t a, wchar_t b) { return folded(a) == folded(b); });
}

bool same_path(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && starts_with_folded(a, b);
}

}  // namespace

std::wstring protected_folder_name(const std::array<std::uint32_t, 4>& random) {
    std::wstring name = L"zunaveri-";
    for (const std::uint32_t word : random) {
        wchar_t digits[9];
        std::swprintf(digits, 9, L"%08x", static_cast<unsigned>(word));
        name += digits;
    }
    return name;
}

bool is_placed_program(const std::wstring& target) {
    return same_path(target, locations::kHomeUpdater) || same_path(target, locations::kHomeWget) ||
           same_path(target, locations::kUpdaterTarget) || same_path(target, locations::kWgetTarget);
}

bool runs_without_administrators(const std::wstring& command_line) {
    return same_path(command_line, locations::kXamppStopCommand) ||
           same_path(command_line, locations::kXamppStartCommand) ||
           same_path(command_line, locations::kImportScriptCommand);
}
