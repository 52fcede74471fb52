#include "services/xampp_path_levels.h"

#include <algorithm>

namespace {

constexpr std::wstring_view kRoot = L"c:\\xampp";
constexpr std::wstring_view kLongPathPrefix = L"\\\\?\\";

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

wchar_t folded(wchar_t c) {
    if (c == L'/') {
        return L'\\';
    }
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// The path with \ for /, one separator where there were several and no
// trailing one.
std::wstring tidied(std::wstring_view path) {
    std::wstring tidy;
    tidy.reserve(path.size());
    for (const wchar_t c : path) {
        if (!is_separator(c)) {
            tidy.push_back(c);
        } else if (tidy.empty() || tidy.back() != L'\\') {
            tidy.push_back(L'\\');
        }
    }
    if (!tidy.empty() && tidy.back() == L'\\') {
        tidy.pop_back();
    }
    return tidy;
}

}  // namespace

XamppPathLevels xampp_path_levels(std::wstring_view path) {
    if (path.substr(0, kLongPathPrefix.size()) == kLongPathPrefix) {
        path.remove_prefix(kLongPathPrefix.size());
    }
    const std::wstring tidy = tidied(path);
    const bool below = tidy.size() > kRoot.size() + 1 && tidy[kRoot.size()] == L'\\' &&
                       std::equal(kRoot.begin(), kRoot.end(), tidy.begin(),
                                  [](wchar_t a, wchar_t b) { return a == folded(b); });
    XamppPathLevels taken;
    if (!below) {
        return taken;
    }
    taken.root = tidy.substr(0, kRoot.size());
    for (std::size_t end = tidy.find(L'\\', kRoot.size() + 1); end != std::wstring::npos;
         end = tidy.find(L'\\', end + 1)) {
        taken.levels.push_back(tidy.substr(0, end));
    }
    taken.levels.push_back(tidy);
    return taken;
}

bool lies_under_xampp(std::wstring_view path) { return !xampp_path_levels(path).levels.empty(); }
