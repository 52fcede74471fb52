#include "services/xampp_path_levels.h"

#include <gtest/gtest.h>

#include "services/locations.h"

TEST(XamppPathLevels, EachLevelFromTheStackFoldersChildDownToTheFile) {
    const XamppPathLevels logo = xampp_path_levels(locations::kLogo);
    EXPECT_EQ(logo.root, L"c:\\xampp");
    EXPECT_EQ(logo.levels, (std::vector<std::wstring>{
                               L"c:\\xampp\\htdocs", L"c:\\xampp\\htdocs\\assets", L"c:\\xampp\\htdocs\\assets\\img",
                               L"c:\\xampp\\htdocs\\assets\\img\\brand",
                               L"c:\\xampp\\htdocs\\assets\\img\\brand\\logo.png"}));
    // A file right in the stack folder is its only level; both spellings count.
    EXPECT_EQ(xampp_path_levels(locations::kAddressFile).levels,
              std::vector<std::wstring>{L"c:\\xampp\\ip_configurado"});
    const XamppPathLevels env = xampp_path_levels(L"\\\\?\\C:/XAMPP//htdocs/.env\\");
    EXPECT_EQ(env.root, L"C:\\XAMPP");
    EXPECT_EQ(env.levels, (std::vector<std::wstring>{L"C:\\XAMPP\\htdocs", L"C:\\XAMPP\\htdocs\\.env"}));
}

TEST(XamppPathLevels, NothingOutsideTheStackFolder) {
    for (const wchar_t* elsewhere : {L"C:\\windows\\temp\\fbclient.dll", L"C:\\xampp2\\ip_configurado", L"C:\\xampp",
                                     L"c:\\xampp\\", L"D:\\xampp\\php\\php.ini", L"xampp\\php\\php.ini", L""}) {
        EXPECT_FALSE(lies_under_xampp(elsewhere)) << std::wstring(elsewhere).size();
        EXPECT_TRUE(xampp_path_levels(elsewhere).levels.empty());
    }
    EXPECT_TRUE(lies_under_xampp(locations::kPhpIni));
}
