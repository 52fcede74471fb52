#include "services/staging_folder.h"

#include <gtest/gtest.h>

TEST(StagingFolder, BesideTheFileExceptInTheServedTree) {
    EXPECT_EQ(staging_folder_for(L"C:\\xampp\\php\\php.ini"), L"C:\\xampp\\php\\");
    EXPECT_EQ(staging_folder_for(L"c:\\xampp\\apache\\conf\\httpd.conf"), L"c:\\xampp\\apache\\conf\\");
    EXPECT_EQ(staging_folder_for(L"C:\\xampp\\htdocs\\.env"), L"C:\\xampp\\");
    // However the served folder is spelled, and however deep below it.
    EXPECT_EQ(staging_folder_for(L"c:/XAMPP/HtDocs/app/config/.env"), L"C:\\xampp\\");
    // A folder whose name only begins like the served one is not served.
    EXPECT_EQ(staging_folder_for(L"C:\\xampp\\htdocs2\\.env"), L"C:\\xampp\\htdocs2\\");
}
