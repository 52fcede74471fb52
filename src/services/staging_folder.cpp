#include "services/staging_folder.h"

#include <algorithm>

#include "services/locations.h"

namespace {

wchar_t folded(wchar_t c) {
    if (c == L'/') {
        return L'\\';
    }
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool starts_with_folded(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](wchar_t a, wchar_t b) { return folded(a) == folded(b); });
}

}  // namespace

std::wstring staging_folder_for(const std::wstring& target) {
    if (starts_with_folded(target, locations::kServedFolder)) {
        return locations::kXamppFolderUpper;
    }
    const std::size_t separator = target.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring(L".\\") : target.substr(0, separator + 1);
}
