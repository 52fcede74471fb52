#include "services/locations.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace locations;

TEST(Locations, SweepListsTheTemporaryCopiesOfAllButTwoRemoteNames) {
    // The web stack installer and the client stay; the never-fetched
    // description file is swept as well.
    std::vector<std::wstring> expected;
    for (const std::wstring& name : kRemoteFileSet) {
        if (name != kXamppInstallerName && name != kWgetName) {
            expected.push_back(temporary_copy(kTempFolderLower, name));
        }
    }
    expected.push_back(temporary_copy(kTempFolderLower, kUpdateDescriptionName));
    std::vector<std::wstring> swept(kSweepList.begin(), kSweepList.end());
    std::sort(expected.begin(), expected.end());
    std::sort(swept.begin(), swept.end());
    EXPECT_EQ(swept, expected);
}

TEST(Locations, CopiesOutOfTheTemporaryFolderUseTheTitleCaseForm) {
    for (const std::wstring* source : {&kPortMarkerSource, &kFbclientSource, &kGds32Source, &kUpdaterSource,
                                       &kWgetSource}) {
        EXPECT_EQ(source->rfind(kTempFolderTitle, 0), 0u) << *source;
    }
    EXPECT_EQ(kImportScriptCommand, temporary_copy(kTempFolderLower, kImportScriptName));
    EXPECT_EQ(kApplicationPackageCommand, temporary_copy(kTempFolderLower, kApplicationPackageName));
    EXPECT_EQ(kFetchedUpdateMarker, temporary_copy(kTempFolderLower, kUpdateMarkerName));
}
