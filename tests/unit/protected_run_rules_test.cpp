#include "hardening/protected_run_rules.h"

#include <gtest/gtest.h>

#include "services/locations.h"

using namespace locations;

TEST(ProtectedRunRules, OnlyTheProgramsFolderChanges) {
    const std::wstring folder = L"C:\\Windows\\Temp\\zunaveri-00";
    EXPECT_EQ(command_in_folder(kXamppInstallerCommand, folder),
              folder + L"\\xampp-win32-7.3.2-0-VC15-installer.exe --mode unattended --launchapps 0");
    EXPECT_EQ(command_in_folder(kImportScriptCommand, folder), folder + L"\\importar_dados.bat");
    EXPECT_EQ(command_in_folder(L"c:\\WINDOWS\\TEMP\\zunaveri-digital.exe", folder), folder + L"\\zunaveri-digital.exe");
    EXPECT_EQ(command_in_folder(kXamppStartCommand, folder), kXamppStartCommand) << "not a fetched program";
}

TEST(ProtectedRunRules, FolderNameHoldsEveryRandomBit) {
    EXPECT_EQ(protected_folder_name({0x0u, 0xffffffffu, 0x12ab34cdu, 0x7u}),
              L"zunaveri-00000000ffffffff12ab34cd00000007");
}

TEST(ProtectedRunRules, PlacedProgramsAreTheUpdaterAndWgetInTheWebStackFolder) {
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
