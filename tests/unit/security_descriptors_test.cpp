#include "services/security_descriptors.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>

namespace {

constexpr std::uint32_t kAll = 0x1F01FF;
constexpr std::uint32_t kRead = 0x120089;
constexpr std::uint32_t kReadExecute = 0x1200A9;
// Data, append, extended attributes, attributes, delete child, delete, DACL, owner.
constexpr std::uint32_t kAnyWrite = 0x2 | 0x4 | 0x10 | 0x100 | 0x40 | 0x10000 | 0x40000 | 0x80000;

struct Ace {
    std::uint32_t rights = 0;
    std::wstring flags;
};
struct Dacl {
    bool is_protected = false;
    std::map<std::wstring, Ace> by_trustee;  // allow ACEs only
};

std::uint32_t rights_of(const std::wstring& text) {
    if (text.rfind(L"0x", 0) == 0) {
        return static_cast<std::uint32_t>(std::stoul(text, nullptr, 16));
    }
    static const std::map<std::wstring, std::uint32_t> tokens = {
        {L"FA", kAll}, {L"FR", kRead}, {L"FW", 0x120116}, {L"FX", 0x1200A0}};
    std::uint32_t rights = 0;
    for (std::size_t at = 0; at < text.size(); at += 2) {
        rights |= tokens.at(text.substr(at, 2));
    }
    return rights;
}

// "D:P(A;OICI;FA;;;SY)...": the DACL flags, then one (type;flags;rights;;;trustee) per ACE.
Dacl parse(const std::wstring& sddl) {
    EXPECT_EQ(sddl.rfind(L"D:", 0), 0u) << "a DACL text only";
    Dacl dacl;
    const std::size_t first = sddl.find(L'(');
    dacl.is_protected = sddl.substr(2, first - 2).find(L'P') != std::wstring::npos;
    for (std::size_t open = first; open != std::wstring::npos; open = sddl.find(L'(', open + 1)) {
        const std::wstring body = sddl.substr(open + 1, sddl.find(L')', open) - open - 1);
        std::wstring fields[6];
        std::size_t start = 0;
        for (int i = 0; i < 6; ++i) {
            const std::size_t end = body.find(L';', start);
            fields[i] = body.substr(start, end - start);
            start = end + 1;
        }
        EXPECT_EQ(fields[0], L"A") << "allow entries only: " << body;
        EXPECT_EQ(dacl.by_trustee.count(fields[5]), 0u) << "one entry per trustee";
        dacl.by_trustee[fields[5]] = Ace{rights_of(fields[2]), fields[1]};
    }
    return dacl;
}

void expect_admins_and_system_only_write(const Dacl& dacl, const std::wstring& inheritance) {
    EXPECT_TRUE(dacl.is_protected) << "nothing handed down from the parent folder";
    for (const auto& [trustee, ace] : dacl.by_trustee) {
        const bool writer = trustee == L"SY" || trustee == L"BA";
        EXPECT_EQ(ace.rights, writer ? kAll : ace.rights & ~kAnyWrite) << trustee;
        EXPECT_EQ(ace.flags, inheritance) << trustee;
    }
    EXPECT_EQ(dacl.by_trustee.count(L"SY") + dacl.by_trustee.count(L"BA"), 2u);
}

}  // namespace

TEST(SecurityDescriptors, StagingFolderLetsOnlyAdministratorsAndSystemWriteAndTheOwnerRead) {
    const Dacl dacl = parse(kStagingFolderSddl);
    expect_admins_and_system_only_write(dacl, L"OICI");
    EXPECT_EQ(dacl.by_trustee.size(), 3u);
    EXPECT_EQ(dacl.by_trustee.at(L"OW").rights, kRead);
}

TEST(SecurityDescriptors, PlacedProgramsLetUsersReadAndRunThemOnly) {
    const Dacl dacl = parse(kPlacedProgramSddl);
    expect_admins_and_system_only_write(dacl, L"");
    EXPECT_EQ(dacl.by_trustee.size(), 3u);
    EXPECT_EQ(dacl.by_trustee.at(L"BU").rights, kReadExecute);
}

TEST(SecurityDescriptors, LogFolderLetsUsersReadAndHandsItsListToTheLogFiles) {
    const Dacl dacl = parse(kLogFolderSddl);
    expect_admins_and_system_only_write(dacl, L"OICI");
    EXPECT_EQ(dacl.by_trustee.size(), 3u);
    EXPECT_EQ(dacl.by_trustee.at(L"BU").rights, kRead);
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
