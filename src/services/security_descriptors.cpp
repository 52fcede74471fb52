#include "services/security_descriptors.h"

#include <algorithm>
#include <cwctype>

namespace {

constexpr std::wstring_view kSystemSid = L"S-1-5-18";
constexpr std::wstring_view kAdministratorsSid = L"S-1-5-32-544";

bool same_sid(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towupper(static_cast<wint_t>(x)) == std::towupper(static_cast<wint_t>(y));
           });
}

}  // namespace

bool owner_is_trusted(std::wstring_view owner_sid, std::wstring_view own_user_sid) {
    if (owner_sid.empty()) {
        return false;
    }
    return same_sid(owner_sid, kSystemSid) || same_sid(owner_sid, kAdministratorsSid) ||
           same_sid(owner_sid, own_user_sid);
}
