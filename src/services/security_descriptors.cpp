#include "services/security_descriptors.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace {

constexpr std::wstring_view kSystemSid = L"S-1-5-18";
constexpr std::wstring_view kAdministratorsSid = L"S-1-5-32-544";

bool same_sid(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towupper(static_cast<wint_t>(x)) == std::towupper(static_cast<wint_t>(y));
           });
}

// SDDL's two-letter names of the trustees the rules below name.
std::wstring_view sid_of(std::wstring_view trustee) {
    if (trustee == L"SY") {
        return kSystemSid;
    }
    if (trustee == L"BA") {
        return kAdministratorsSid;
    }
    return trustee;
}

std::wstring trustee_name(std::wstring_view trustee) {
    if (trustee == L"WD") {
        return L"Todos";
    }
    if (trustee == L"BU") {
        return L"Usuários";
    }
    if (trustee == L"AU") {
        return L"Usuários autenticados";
    }
    return std::wstring(trustee);
}

// Rights that change a file: FILE_WRITE_DATA, FILE_APPEND_DATA,
// FILE_WRITE_EA, FILE_WRITE_ATTRIBUTES, DELETE, WRITE_DAC, WRITE_OWNER,
// GENERIC_ALL, GENERIC_WRITE.
constexpr std::uint32_t kChangeRights = 0x2 | 0x4 | 0x10 | 0x100 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 |
                                        0x40000000;

// An ACE's rights, as letter codes or a number; nothing when unreadable.
std::optional<std::uint32_t> rights_of(std::wstring_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    if (text[0] >= L'0' && text[0] <= L'9') {
        // A number, read as the system reads it (base 0: "0x1F01FF", decimal or octal).
        const std::wstring number(text);
        wchar_t* end = nullptr;
        const unsigned long long value = std::wcstoull(number.c_str(), &end, 0);
        if (end != number.c_str() + number.size() || value > 0xFFFFFFFFULL) {
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(value);
    }
    // SDDL's letter codes of access rights, two letters each.
    static constexpr std::wstring_view kCodes = L"GAGRGWGXRCSDWDWOFAFRFWFXCCDCLCSWRPWPDTLOCRKAKRKWKX";
    static constexpr std::uint32_t kMasks[] = {
        0x10000000, 0x80000000, 0x40000000, 0x20000000, 0x20000, 0x10000,  0x40000, 0x80000, 0x1F01FF,
        0x120089,   0x120116,   0x1200A0,   0x1,        0x2,     0x4,      0x8,     0x10,    0x20,
        0x40,       0x80,       0x100,      0xF003F,    0x20019, 0x20006,  0x20019};
    static_assert(kCodes.size() == 2 * (sizeof kMasks / sizeof kMasks[0]));
    if (text.size() % 2 != 0) {
        return std::nullopt;
    }
    std::uint32_t mask = 0;
    for (std::size_t at = 0; at < text.size(); at += 2) {
        std::size_t found = kCodes.find(text.substr(at, 2));
        while (found != std::wstring_view::npos && found % 2 != 0) {
            found = kCodes.find(text.substr(at, 2), found + 1);
        }
        if (found == std::wstring_view::npos) {
            return std::nullopt;
        }
        mask |= kMasks[found / 2];
    }
    return mask;
}

// One part of an SDDL text ("O:", "G:", "D:", "S:") by its letter; nothing
// when absent. A letter inside an ACE's parentheses names no part.
std::optional<std::wstring_view> part_of(std::wstring_view sddl, wchar_t letter) {
    std::optional<std::size_t> start;
    int depth = 0;
    for (std::size_t at = 0; at + 1 < sddl.size(); ++at) {
        const wchar_t c = sddl[at];
        depth += c == L'(' ? 1 : c == L')' ? -1 : 0;
        if (depth == 0 && sddl[at + 1] == L':' && std::wcschr(L"OGDS", c) != nullptr) {
            if (start) {
                return sddl.substr(*start, at - *start);
            }
            if (c == letter) {
                start = at + 2;
            }
        }
    }
    return start ? std::optional<std::wstring_view>(sddl.substr(*start)) : std::nullopt;
}

// The entries of a DACL part, each as its fields: type, flags, rights,
// object, inherited object, trustee (a condition after them is left out).
std::vector<std::vector<std::wstring_view>> aces_of(std::wstring_view dacl) {
    std::vector<std::vector<std::wstring_view>> aces;
    std::size_t at = dacl.find(L'(');
    while (at != std::wstring_view::npos) {
        int depth = 0;
        std::size_t close = at;
        for (; close < dacl.size(); ++close) {
            depth += dacl[close] == L'(' ? 1 : dacl[close] == L')' ? -1 : 0;
            if (depth == 0) {
                break;
            }
        }
        const std::wstring_view ace = dacl.substr(at + 1, close - at - 1);
        std::vector<std::wstring_view> fields;
        for (std::size_t start = 0; fields.size() < 6;) {
            const std::size_t end = std::min(ace.find(L';', start), ace.size());
            fields.push_back(ace.substr(start, end - start));
            if (end == ace.size()) {
                break;
            }
            start = end + 1;
        }
        aces.push_back(fields);
        at = dacl.find(L'(', close);
    }
    return aces;
}

// Whether an ACE's flags ("OICIIO", two letters each) hold `flag`.
bool has_flag(std::wstring_view flags, std::wstring_view flag) {
    for (std::size_t at = 0; at + 1 < flags.size(); at += 2) {
        if (flags.substr(at, 2) == flag) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool owner_is_trusted(std::wstring_view owner_sid, std::wstring_view own_user_sid) {
    if (owner_sid.empty()) {
        return false;
    }
    return same_sid(owner_sid, kSystemSid) || same_sid(owner_sid, kAdministratorsSid) ||
           same_sid(owner_sid, own_user_sid);
}

std::optional<std::wstring> others_may_write_reason(std::wstring_view sddl, std::wstring_view own_user_sid) {
    const std::wstring_view owner = part_of(sddl, L'O').value_or(std::wstring_view());
    if (!owner_is_trusted(sid_of(owner), own_user_sid)) {
        return L"o dono é " + (owner.empty() ? std::wstring(L"desconhecido") : trustee_name(owner)) +
               L", não SYSTEM, Administradores nem esta conta";
    }
    const std::optional<std::wstring_view> dacl = part_of(sddl, L'D');
    if (!dacl || dacl->substr(0, dacl->find(L'(')).find(L"NO_ACCESS_CONTROL") != std::wstring_view::npos) {
        return std::wstring(L"sem lista de acesso: todos podem alterá-lo");
    }
    std::uint32_t denied_to_everyone = 0;
    for (const std::vector<std::wstring_view>& ace : aces_of(*dacl)) {
        if (ace.size() < 6) {
            return L"entrada ilegível na lista de acesso (" + std::wstring(ace[0]) + L")";
        }
        if (has_flag(ace[1], L"IO")) {
            continue;  // handed down only: not the file's own
        }
        const std::wstring_view trustee = ace[5];
        const std::optional<std::uint32_t> rights = rights_of(ace[2]);
        if (!ace[0].empty() && ace[0].back() == L'D') {  // D, OD, XD: deny
            if (trustee == L"WD" || same_sid(trustee, L"S-1-1-0")) {
                denied_to_everyone |= rights.value_or(0);
            }
            continue;
        }
        const std::wstring_view sid = sid_of(trustee);
        if (owner_is_trusted(sid, own_user_sid)) {
            continue;
        }
        if (!rights) {
            return L"a lista de acesso dá a " + trustee_name(trustee) + L" direitos ilegíveis (" +
                   std::wstring(ace[2]) + L")";
        }
        if ((*rights & ~denied_to_everyone & kChangeRights) != 0) {
            return L"a lista de acesso deixa " + trustee_name(trustee) + L" alterá-lo";
        }
    }
    return std::nullopt;
}
