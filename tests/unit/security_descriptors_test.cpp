#include "services/security_descriptors.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <sstream>
#include <string>

namespace {

using Entries = std::map<std::wstring, std::pair<std::uint32_t, std::wstring>>;

constexpr std::uint32_t kAll = 0x1F01FF;
constexpr std::uint32_t kRead = 0x120089;
constexpr std::uint32_t kReadExecute = 0x1200A9;

// Trustee -> (rights, inheritance flags) of an SDDL DACL "D:P(A;OICI;FA;;;SY)...";
// "protected" is set when the DACL flags hold P. Allow entries only.
Entries entries(const std::wstring& sddl, bool& is_protected) {
    static const std::map<std::wstring, std::uint32_t> rights = {
        {L"FA", kAll}, {L"FR", kRead}, {L"FW", 0x120116}, {L"FX", 0x1200A0}};
    const std::size_t first = sddl.find(L'(');
    is_protected = sddl.rfind(L"D:", 0) == 0 && sddl.substr(2, first - 2).find(L'P') != std::wstring::npos;
    Entries found;
    for (std::size_t open = first; open != std::wstring::npos; open = sddl.find(L'(', open + 1)) {
        std::wistringstream ace(sddl.substr(open + 1, sddl.find(L')', open) - open - 1));
        std::wstring field[6];  // type; flags; rights; object; inherited object; trustee
        for (std::wstring& text : field) {
            std::getline(ace, text, L';');
        }
        EXPECT_EQ(field[0], L"A");
        std::uint32_t granted = 0;
        for (std::size_t at = 0; at < field[2].size(); at += 2) {
            granted |= rights.at(field[2].substr(at, 2));
        }
        EXPECT_TRUE(found.emplace(field[5], std::make_pair(granted, field[1])).second) << "one entry per trustee";
    }
    return found;
}

}  // namespace

TEST(SecurityDescriptors, OnlySystemAndAdministratorsWriteAndNothingIsInherited) {
    const struct {
        const wchar_t* sddl;
        Entries expected;
    } uses[] = {
        // The staging folder and the updater's home: users read and run what they hold.
        {kStagingFolderSddl, {{L"SY", {kAll, L"OICI"}}, {L"BA", {kAll, L"OICI"}}, {L"BU", {kReadExecute, L"OICI"}}}},
        {kUpdaterHomeSddl, {{L"SY", {kAll, L"OICI"}}, {L"BA", {kAll, L"OICI"}}, {L"BU", {kReadExecute, L"OICI"}}}},
        // The staged new content of an edited file: users read it only.
        {kStagedEditSddl, {{L"SY", {kAll, L""}}, {L"BA", {kAll, L""}}, {L"BU", {kRead, L""}}}},
        // The placed programs: users read and run them.
        {kPlacedProgramSddl, {{L"SY", {kAll, L""}}, {L"BA", {kAll, L""}}, {L"BU", {kReadExecute, L""}}}},
        // The log folder: users cannot open it or the files that take its list.
        {kLogFolderSddl, {{L"SY", {kAll, L"OICI"}}, {L"BA", {kAll, L"OICI"}}}},
    };
    for (const auto& use : uses) {
        bool is_protected = false;
        EXPECT_EQ(entries(use.sddl, is_protected), use.expected) << use.sddl;
        EXPECT_TRUE(is_protected) << use.sddl;
    }
}

TEST(SecurityDescriptors, OnlySystemAdministratorsOrTheOwnUserAreTrustedOwners) {
    const std::wstring own = L"S-1-5-21-1-2-3-1001";
    EXPECT_TRUE(owner_is_trusted(L"S-1-5-18", own));
    EXPECT_TRUE(owner_is_trusted(L"s-1-5-32-544", own));
    EXPECT_TRUE(owner_is_trusted(own, own));
    EXPECT_FALSE(owner_is_trusted(L"S-1-5-21-1-2-3-1002", own)) << "another user";
    EXPECT_FALSE(owner_is_trusted(L"S-1-5-32-545", own)) << "Users";
    EXPECT_FALSE(owner_is_trusted(L"S-1-5-7", own)) << "what Wine shows for another Unix user";
    EXPECT_FALSE(owner_is_trusted(L"S-1-5-32-5440", own));
    EXPECT_FALSE(owner_is_trusted(L"", L"")) << "an owner that could not be read";
}

TEST(SecurityDescriptors, AFileCountsOnlyWhenNoOneElseMayChangeIt) {
    const std::wstring own = L"S-1-5-21-1-2-3-1001";
    const struct {
        const wchar_t* sddl;
        const wchar_t* reason;  // nullptr: counts
    } cases[] = {
        // As an elevated run leaves it on Windows, and as Wine shows a file of its user (mode 644).
        {L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)", nullptr},
        {L"O:S-1-5-21-1-2-3-1001D:(A;;FA;;;SY)(A;;FA;;;S-1-5-21-1-2-3-1001)(A;;0x1200a9;;;WD)", nullptr},
        // Written by hand in the forms the system accepts: rights in letters or numbers, a group.
        {L"O:SYG:SYD:AI(A;ID;FRFX;;;BU)(A;;GA;;;S-1-5-18)(A;;2032127;;;s-1-5-32-544)", nullptr},
        // Handed down only, or taken back from everyone by a deny entry before it.
        {L"O:BAD:(A;OICIIO;FA;;;BU)(A;;FA;;;BA)", nullptr},
        {L"O:BAD:(D;;FWSDWDWO;;;WD)(A;;FA;;;BU)", nullptr},
        // Mode 666 under Wine; inherited Modify for users (C:\xampp); one write-ish right each.
        {L"O:S-1-5-21-1-2-3-1001D:(A;;FA;;;SY)(A;;0x1301ff;;;WD)", L"a lista de acesso deixa Todos alterá-lo"},
        {L"O:BAD:AI(A;ID;FA;;;BA)(A;ID;0x1301bf;;;AU)", L"a lista de acesso deixa Usuários autenticados alterá-lo"},
        {L"O:BAD:(A;;LC;;;BU)", L"a lista de acesso deixa Usuários alterá-lo"},
        {L"O:BAD:(A;;0x100;;;BU)", L"a lista de acesso deixa Usuários alterá-lo"},
        {L"O:BAD:(A;;WO;;;S-1-5-21-1-2-3-1002)", L"a lista de acesso deixa S-1-5-21-1-2-3-1002 alterá-lo"},
        {L"O:BAD:(A;;GW;;;BU)", L"a lista de acesso deixa Usuários alterá-lo"},
        {L"O:BAD:(A;CIOI;FA;;;BU)", L"a lista de acesso deixa Usuários alterá-lo"},  // not inherit-only
        // A deny entry for someone else, or after the grant, takes nothing from it.
        {L"O:BAD:(D;;FA;;;S-1-5-21-1-2-3-1002)(A;;FA;;;WD)", L"a lista de acesso deixa Todos alterá-lo"},
        {L"O:BAD:(A;;FA;;;BU)(D;;FA;;;WD)", L"a lista de acesso deixa Usuários alterá-lo"},
        // Owned by someone else (as Wine shows another Unix user's file), no DACL, rights not understood.
        {L"O:AND:(A;;FA;;;SY)", L"o dono é AN, não SYSTEM, Administradores nem esta conta"},
        {L"O:S-1-5-21-1-2-3-1002D:(A;;FA;;;SY)",
         L"o dono é S-1-5-21-1-2-3-1002, não SYSTEM, Administradores nem esta conta"},
        {L"O:BAD:NO_ACCESS_CONTROL", L"sem lista de acesso: todos podem alterá-lo"},
        {L"O:BA", L"sem lista de acesso: todos podem alterá-lo"},
        {L"O:BAD:(A;;QQ;;;BU)", L"a lista de acesso dá a Usuários direitos ilegíveis (QQ)"},
    };
    for (const auto& use : cases) {
        const std::optional<std::wstring> reason = others_may_write_reason(use.sddl, own);
        EXPECT_EQ(reason.value_or(L"(counts)"), use.reason ? use.reason : L"(counts)") << use.sddl;
    }
    EXPECT_TRUE(others_may_write_reason(L"O:BAD:(A;;FA;;;S-1-5-21-1-2-3-1001)", own) == std::nullopt);
    EXPECT_EQ(others_may_write_reason(L"O:BAD:(A;;FA;;;S-1-5-21-1-2-3-1001)", L""),
              L"a lista de acesso deixa S-1-5-21-1-2-3-1001 alterá-lo") << "no own user known";
}
