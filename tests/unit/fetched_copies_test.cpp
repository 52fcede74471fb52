#include "services/fetched_copies.h"

#include <gtest/gtest.h>

#include "services/locations.h"
#include "services/operation_error.h"

using namespace locations;

TEST(FetchedCopies, OnlyTheTemporaryFolderOfAPathOrProgramChanges) {
    const std::wstring folder = L"C:\\Windows\\Temp\\zunaveri-00";
    EXPECT_EQ(moved_to_folder(kXamppInstallerCommand, folder),
              folder + L"\\xampp-win32-7.3.2-0-VC15-installer.exe --mode unattended --launchapps 0");
    EXPECT_EQ(moved_to_folder(kImportScriptCommand, folder), folder + L"\\importar_dados.bat");
    EXPECT_EQ(moved_to_folder(kWgetSource, folder), folder + L"\\wget.exe") << "the other spelling";
    EXPECT_EQ(moved_to_folder(L"c:\\WINDOWS\\TEMP\\zunaveri-digital.exe", folder), folder + L"\\zunaveri-digital.exe");
    EXPECT_EQ(moved_to_folder(kXamppStartCommand, folder), kXamppStartCommand) << "not a fetched program";
    EXPECT_EQ(moved_to_folder(L"C:\\windows\\temporario\\x", folder), L"C:\\windows\\temporario\\x");
}

TEST(FetchedCopies, TheSharedFolderUntilTheProcessKeepsItsOwn) {
    EXPECT_FALSE(fetched_copies_in_own_folder());
    EXPECT_EQ(fetched_copy(kFetchedUpdateMarker), kFetchedUpdateMarker);
    EXPECT_THROW(own_download_folder(), OperationError);

    int made = 0;
    keep_fetched_copies_in([&made] {
        ++made;
        return std::wstring(L"C:\\Windows\\Temp\\zunaveri-ab");
    });
    EXPECT_EQ(fetched_copy(kFetchedUpdateMarker), L"C:\\Windows\\Temp\\zunaveri-ab\\ultima_atualizacao.txt");
    EXPECT_EQ(fetched_copy(kHttpdConf), kHttpdConf);
    EXPECT_EQ(made, 1) << "a path outside the temporary folder needs no folder";
    keep_fetched_copies_in(nullptr);
    EXPECT_FALSE(fetched_copies_in_own_folder());
}
