// Stand-in for the outside programs that the tool runs: the web-stack
// installer, the stack's stop and start programs, the application package
// and the database client that the import script starts. One program plays
// each part according to the name it was saved under, lays down what the
// tool relies on, and appends one line to C:\zunaveri-standins.log so tests
// can check order and count.
//
// ZUNAVERI_STANDIN_DELAY_MS (environment) makes it take that long first.
// ZUNAVERI_STANDIN_SHOW_FOLDER (environment, any value) adds a line
// "pasta FOLDER|WORKING FOLDER|SDDL" after "start": the folder it runs from,
// its working folder, and what the system shows of that folder's security.
// ZUNAVERI_STANDIN_SHOW_TOKEN (environment, any value) adds a line
// "administradores sim" or "administradores não" after "start": whether
// its token counts it a member of Administrators.
//
// It imports version.dll and calls it, as real installers do: a library of
// that name lying beside it is loaded before the system's.
#include <windows.h>
#include <sddl.h>
#include <aclapi.h>

#include "record.h"

#include <cwchar>
#include <string>

namespace {
const wchar_t kRecord[] = L"C:\\zunaveri-standins.log";

std::wstring own_path() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring lower_base_name(const std::wstring& path) {
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    for (wchar_t& c : name) {
        c = static_cast<wchar_t>(towlower(c));
    }
    return name;
}

void append_record(const std::wstring& line) { append_to_record(kRecord, utf8(line) + "\r\n"); }

std::wstring administrators_line() {
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    BOOL member = FALSE;
    const bool known = CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
                       CheckTokenMembership(nullptr, administrators, &member);
    return known ? (member ? L"administradores sim" : L"administradores n\u00e3o") : L"administradores ?";
}

std::wstring folder_line(const std::wstring& self) {
    const std::wstring folder = self.substr(0, self.find_last_of(L"\\/"));
    wchar_t working[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, working);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    LPWSTR text = nullptr;
    if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, nullptr, nullptr, &descriptor) == ERROR_SUCCESS) {
        ConvertSecurityDescriptorToStringSecurityDescriptorW(
            descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr);
    }
    std::wstring line = L"pasta " + folder + L"|" + working + L"|" + (text ? text : L"");
    LocalFree(text);
    LocalFree(descriptor);
    return line;
}

void write_file(const std::wstring& path, const std::string& content, bool keep_existing) {
    if (keep_existing && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return;
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

void make_folders(const std::wstring& path) {
    for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    }
    CreateDirectoryW(path.c_str(), nullptr);
}

// The parts of C:\xampp that the installation relies on; files already
// there are left alone, as an installer over an existing stack would.
void install_web_stack() {
    make_folders(L"C:\\xampp\\php");
    make_folders(L"C:\\xampp\\apache\\conf");
    make_folders(L"C:\\xampp\\apache\\bin");
    make_folders(L"C:\\xampp\\htdocs");
    write_file(L"C:\\xampp\\php\\php.ini",
               "[PHP]\r\nengine=On\r\n;extension=bz2\r\n;extension=intl\r\n;extension=interbase\r\n"
               ";extension=mysqli\r\n",
               true);
    write_file(L"C:\\xampp\\apache\\conf\\httpd.conf",
               "ServerRoot \"/xampp/apache\"\r\n#Listen 12.34.56.78:80\r\nListen 80\r\n"
               "ServerName localhost:80\r\n",
               true);
    const std::wstring self = own_path();
    CopyFileW(self.c_str(), L"C:\\xampp\\xampp_stop.exe", FALSE);
    CopyFileW(self.c_str(), L"C:\\xampp\\xampp_start.exe", FALSE);
    make_folders(L"C:\\xampp\\mysql\\bin");
    CopyFileW(self.c_str(), L"C:\\xampp\\mysql\\bin\\mysql.exe", FALSE);
}

// What the application package leaves: the application under htdocs with a
// fresh .env holding the address token, the package's own images and the
// installed update marker.
void install_application() {
    make_folders(L"C:\\xampp\\htdocs\\assets\\img\\brand");
    make_folders(L"C:\\xampp\\htdocs\\assets\\img\\theme");
    write_file(L"C:\\xampp\\htdocs\\.env",
               "CI_ENVIRONMENT = production\r\n#IP_DO_SERVIDOR\r\ndatabase.default.hostname = localhost\r\n"
               "# comentário em UTF-8: ação\r\n",
               false);
    write_file(L"C:\\xampp\\htdocs\\index.php", "<?php echo 'Zunaveri Digital';\r\n", false);
    write_file(L"C:\\xampp\\htdocs\\assets\\img\\brand\\logo.png", "logo do pacote", false);
    write_file(L"C:\\xampp\\htdocs\\assets\\img\\theme\\foto-principal-empresa.jpg", "foto do pacote", false);
    write_file(L"C:\\xampp\\htdocs\\ultima_atualizacao.txt", "atualizacao do pacote\r\n", false);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
    const std::wstring name = lower_base_name(own_path());
    append_record(L"start " + name + (arguments && *arguments ? L" " + std::wstring(arguments) : L""));
    if (GetEnvironmentVariableW(L"ZUNAVERI_STANDIN_SHOW_TOKEN", nullptr, 0) > 0) {
        append_record(administrators_line());
    }
    if (GetEnvironmentVariableW(L"ZUNAVERI_STANDIN_SHOW_FOLDER", nullptr, 0) > 0) {
        append_record(folder_line(own_path()));
    }
    // The import of version.dll, used.
    GetFileVersionInfoSizeW(own_path().c_str(), nullptr);

    wchar_t delay[32] = {};
    if (GetEnvironmentVariableW(L"ZUNAVERI_STANDIN_DELAY_MS", delay, 32) > 0) {
        Sleep(static_cast<DWORD>(wcstoul(delay, nullptr, 10)));
    }

    if (name.rfind(L"xampp-win32-", 0) == 0) {
        install_web_stack();
    } else if (name == L"zunaveri-digital.exe") {
        install_application();
    }
    append_record(L"end " + name);
    return 0;
}
