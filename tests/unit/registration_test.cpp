#include <gtest/gtest.h>

#include "registration/removal_rules.h"
#include "registration/task_xml.h"
#include "services/run_mode.h"

TEST(UpdaterTask, TheWholeTextOfTheTask) {
    EXPECT_EQ(updater_task_xml(L"PC-LOJA\\Técnico & Cia"),
              L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
              L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
              L"  <RegistrationInfo>\r\n"
              L"    <Description>Inicia o atualizador do Zunaveri Digital no logon (registrada pelo Instalador "
              L"Zunaveri).</Description>\r\n"
              L"    <URI>\\ZunaveriAtualizacao</URI>\r\n"
              L"  </RegistrationInfo>\r\n"
              L"  <Triggers>\r\n"
              L"    <LogonTrigger>\r\n"
              L"      <Enabled>true</Enabled>\r\n"
              L"      <UserId>PC-LOJA\\Técnico &amp; Cia</UserId>\r\n"
              L"    </LogonTrigger>\r\n"
              L"  </Triggers>\r\n"
              L"  <Principals>\r\n"
              L"    <Principal id=\"Author\">\r\n"
              L"      <UserId>PC-LOJA\\Técnico &amp; Cia</UserId>\r\n"
              L"      <LogonType>InteractiveToken</LogonType>\r\n"
              L"      <RunLevel>HighestAvailable</RunLevel>\r\n"
              L"    </Principal>\r\n"
              L"  </Principals>\r\n"
              L"  <Settings>\r\n"
              L"    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\r\n"
              L"    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\r\n"
              L"    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\r\n"
              L"    <AllowHardTerminate>true</AllowHardTerminate>\r\n"
              L"    <StartWhenAvailable>true</StartWhenAvailable>\r\n"
              L"    <AllowStartOnDemand>true</AllowStartOnDemand>\r\n"
              L"    <Enabled>true</Enabled>\r\n"
              L"    <ExecutionTimeLimit>PT0S</ExecutionTimeLimit>\r\n"
              L"    <Priority>7</Priority>\r\n"
              L"  </Settings>\r\n"
              L"  <Actions Context=\"Author\">\r\n"
              L"    <Exec>\r\n"
              L"      <Command>\"C:\\Program Files\\Zunaveri\\instalador_zunaveri.exe\"</Command>\r\n"
              L"      <Arguments>/atualizar</Arguments>\r\n"
              L"    </Exec>\r\n"
              L"  </Actions>\r\n"
              L"</Task>\r\n");
    EXPECT_EQ(xml_escaped(L"a<b>&\"'"), L"a&lt;b&gt;&amp;\"'");
}

TEST(Removal, OnlyTheTwoExactTextsAskForIt) {
    EXPECT_EQ(removal_request(L"/remover"), RemovalRequest::asked);
    EXPECT_EQ(removal_request(L"/remover /silencioso"), RemovalRequest::silent);
    for (const wchar_t* other : {L"", L"/atualizar", L"/Remover", L"/remover ", L"\"/remover\"",
                                 L"/remover  /silencioso", L"/remover /silencioso ", L"/silencioso",
                                 L"/remover /SILENCIOSO"}) {
        EXPECT_EQ(removal_request(other), RemovalRequest::none) << other;
    }
}

TEST(Removal, LeftoverDownloadFoldersAreKnownByTheirWholeName) {
    EXPECT_TRUE(is_process_folder_name(L"zunaveri-0123456789abcdef0123456789abcdef"));
    for (const wchar_t* other : {L"zunaveri-0123456789abcdef0123456789abcde",
                                 L"zunaveri-0123456789ABCDEF0123456789abcdef",
                                 L"zunaveri-0123456789abcdef0123456789abcdef0", L"xampp", L"zunaveri-digital.exe"}) {
        EXPECT_FALSE(is_process_folder_name(other)) << other;
    }
}
