#include "updater_home/home_rules.h"

#include <gtest/gtest.h>

#include "services/command_line.h"
#include "services/locations.h"

using namespace locations;

TEST(UpdaterHome, TheHomeIsOneFolderHoweverItIsSpelt) {
    EXPECT_TRUE(is_updater_home(L"C:\\Program Files\\Zunaveri"));
    EXPECT_TRUE(is_updater_home(L"c:\\PROGRAM FILES\\zunaveri\\"));
    EXPECT_FALSE(is_updater_home(L"C:\\xampp"));
    EXPECT_FALSE(is_updater_home(L"C:\\Program Files\\Zunaveri\\copia"));
    EXPECT_FALSE(is_updater_home(L"C:\\Program Files\\Zunaver"));
}

TEST(UpdaterHome, WhatEarlierBuildsKeptInTheWebStackFolderMovesHome) {
    EXPECT_EQ(home_counterpart(L"C:\\XAMPP\\instalador_zunaveri.exe"), kHomeUpdater);
    EXPECT_EQ(home_counterpart(kWgetTarget), kHomeWget);
    EXPECT_EQ(home_counterpart(kSavedLogo), kHomeSavedLogo);
    EXPECT_EQ(home_counterpart(kSavedMainPhoto), kHomeSavedMainPhoto);
    EXPECT_EQ(home_counterpart(kFbclientTarget), kFbclientTarget);
    EXPECT_EQ(home_counterpart(kLogo), kLogo) << "the customer's logo itself stays";
}

TEST(UpdaterHome, TheHomesUpdaterStartsWithExactlyTheUpdateArgument) {
    EXPECT_EQ(split_command_line(home_updater_command_line()),
              (std::vector<std::wstring>{L"C:\\Program Files\\Zunaveri\\instalador_zunaveri.exe", L"/atualizar"}));
}
