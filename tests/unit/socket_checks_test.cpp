#include "services/socket_checks.h"

#include <gtest/gtest.h>

TEST(StartupRecord, GrantedVersionsFromOneOneUpPass) {
    EXPECT_EQ(startup_record_problem(0x0101, 1), std::nullopt);   // 1.1
    EXPECT_EQ(startup_record_problem(0x0202, 100), std::nullopt); // 2.2
    EXPECT_EQ(startup_record_problem(0x0002, 100), std::nullopt); // 2.0
}

TEST(StartupRecord, VersionsBelowOneOneFailWithTheirNumbers) {
    EXPECT_EQ(startup_record_problem(0x0001, 10),
              std::optional<std::wstring>(L"A versao Sockets 1.0 não é suportada por 32-bit Windows Sockets."));
    EXPECT_EQ(startup_record_problem(0x0900, 10),
              std::optional<std::wstring>(L"A versao Sockets 0.9 não é suportada por 32-bit Windows Sockets."));
}

TEST(StartupRecord, SocketCountBelowOneFailsIncludingTopBitSet) {
    const std::wstring message = L" Esta aplicação requer um minimo de 1 sockets suportados.";
    EXPECT_EQ(startup_record_problem(0x0101, 0), std::optional<std::wstring>(message));
    EXPECT_EQ(startup_record_problem(0x0101, static_cast<std::int16_t>(0x8000)), std::optional<std::wstring>(message));
    EXPECT_EQ(startup_record_problem(0x0101, static_cast<std::int16_t>(0xFFFF)), std::optional<std::wstring>(message));
    // The socket count is checked before the version.
    EXPECT_EQ(startup_record_problem(0x0001, 0), std::optional<std::wstring>(message));
}

TEST(SocketMessages, HostNameErrorHasTheSignPlaceBeforeTheCode) {
    EXPECT_EQ(host_name_failed_message(10093),
              L"Ocorre um erro de Socket :  10093 , não é possivel obter nome do Host.");
    EXPECT_EQ(host_name_failed_message(-5), L"Ocorre um erro de Socket : -5 , não é possivel obter nome do Host.");
    EXPECT_EQ(host_lookup_failed_message(),
              L"Windows Sockets não esta respondendo. não é possivel obter nome do Host");
}

TEST(AddressText, BytesInMemoryOrderWithoutLeadingZerosOrTrailingStop) {
    const unsigned char lan[] = {192, 168, 0, 10};
    EXPECT_EQ(address_text(lan, 4), L"192.168.0.10");
    const unsigned char edges[] = {0, 255, 7, 100};
    EXPECT_EQ(address_text(edges, 4), L"0.255.7.100");
    EXPECT_EQ(address_text(lan, 0), L"");
}

TEST(HostName, TakenUpToTheNulWithBlanksTrimmed) {
    const char padded[] = "  servidor-01  \0garbage";
    EXPECT_EQ(trimmed_host_name(padded, sizeof padded), "servidor-01");
    const char unterminated[4] = {'a', 'b', ' ', 'c'};
    EXPECT_EQ(trimmed_host_name(unterminated, 4), "ab c");
    EXPECT_EQ(trimmed_host_name("   ", 3), "");
}

TEST(ByteHelpers, SplitASixteenBitValue) {
    EXPECT_EQ(byte_baixo(0x0201), 1);
    EXPECT_EQ(byte_alto(0x0201), 2);
    EXPECT_EQ(byte_baixo(0xFFFF), 255);
}
