#include "services/run_mode.h"

#include <gtest/gtest.h>

TEST(ArgumentText, FollowsTheProgramNameAndItsBlanksRaw) {
    EXPECT_EQ(argument_text(L"C:\\xampp\\instalador_zunaveri.exe /atualizar"), L"/atualizar");
    EXPECT_EQ(argument_text(L"\"C:\\Program Files\\Z\\inst.exe\"   /atualizar"), L"/atualizar");
    EXPECT_EQ(argument_text(L"\"C:\\Program Files\\Z\\inst.exe\"/atualizar"), L"/atualizar");
    EXPECT_EQ(argument_text(L"inst.exe \"/atualizar\""), L"\"/atualizar\"");
    EXPECT_EQ(argument_text(L"inst.exe /atualizar  "), L"/atualizar  ");
    EXPECT_EQ(argument_text(L"inst.exe /atualizar x"), L"/atualizar x");
    EXPECT_EQ(argument_text(L"inst.exe"), L"");
    EXPECT_EQ(argument_text(L"\"inst.exe"), L"");
    EXPECT_EQ(argument_text(L""), L"");
}

TEST(RunMode, OnlyTheExactTextSelectsUpdateMode) {
    EXPECT_TRUE(is_update_mode(L"/atualizar"));
    for (const wchar_t* other : {L"", L"/ATUALIZAR", L"/Atualizar", L"/atualizar ", L"/atualizar x",
                                 L"\"/atualizar\"", L" /atualizar", L"atualizar"}) {
        EXPECT_FALSE(is_update_mode(other)) << other;
    }
}
