#include "updater_home/home_rules.h"

#include <algorithm>
#include <utility>

#include "services/command_line.h"
#include "services/locations.h"

using namespace locations;

namespace {

wchar_t folded(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool same_path(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return folded(x) == folded(y); });
}

std::wstring without_trailing_separator(std::wstring folder) {
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) {
        folder.pop_back();
    }
    return folder;
}

}  // namespace

bool is_updater_home(const std::wstring& folder) {
    return same_path(without_trailing_separator(folder), without_trailing_separator(kUpdaterHome));
}

std::wstring home_counterpart(const std::wstring& xampp_path) {
    const std::pair<const std::wstring*, const std::wstring*> moved[] = {
        {&kUpdaterTarget, &kHomeUpdater},
        {&kWgetTarget, &kHomeWget},
        {&kSavedLogo, &kHomeSavedLogo},
        {&kSavedMainPhoto, &kHomeSavedMainPhoto},
    };
    for (const auto& [before, after] : moved) {
        if (same_path(xampp_path, *before)) {
            return *after;
        }
    }
    return xampp_path;
}

std::wstring home_updater_command_line() { return quote_argument(kHomeUpdater) + L" /atualizar"; }
