#include "hardening/protected_run_rules.h"

#include <gtest/gtest.h>

#include "services/locations.h"

using namespace locations;

TEST(ProtectedRunRules, FolderNameHoldsEveryRandomBit) {
    EXPECT_EQ(protected_folder_name({0x0u, 0xffffffffu, 0x12ab34cdu, 0x7u}),
              L"zunaveri-00000000ffffffff12ab34cd00000007");
}

TEST(ProtectedRunRules, PlacedProgramsAreTheUpdaterAndWget) {
    EXPECT_TRUE(is_placed_program(kHomeUpdater));
    EXPECT_TRUE(is_placed_program(L"c:\\program files\\zunaveri\\WGET.exe"));
    EXPECT_TRUE(is_placed_program(kUpdaterTarget));
    EXPECT_TRUE(is_placed_program(L"C:\\XAMPP\\WGET.EXE"));
    EXPECT_FALSE(is_placed_program(kFbclientTarget));
    EXPECT_FALSE(is_placed_program(kWgetTarget + L".novo"));
}

TEST(ProtectedRunRules, OnlyTheStackProgramsAndTheImportScriptRunWithoutAdministrators) {
    EXPECT_TRUE(runs_without_administrators(kXamppStopCommand));
    EXPECT_TRUE(runs_without_administrators(kXamppStartCommand));
    EXPECT_TRUE(runs_without_administrators(kImportScriptCommand));
    EXPECT_TRUE(runs_without_administrators(L"c:\\XAMPP\\Xampp_Start.EXE"));
    EXPECT_FALSE(runs_without_administrators(kXamppInstallerCommand)) << "the checked installer keeps its rights";
    EXPECT_FALSE(runs_without_administrators(kApplicationPackageCommand));
    EXPECT_FALSE(runs_without_administrators(kXamppStopCommand + L" --x"));
    EXPECT_FALSE(runs_without_administrators(L"C:\\xampp\\xampp_stop.ex"));
}
