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
