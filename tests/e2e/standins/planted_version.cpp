// A version.dll planted where a program the tool runs would find it before
// the system's: loading it appends "carregada por PROGRAM" to
// C:\zunaveri-planted-mark.txt. It offers the function the stand-ins call.
#include <windows.h>

#include "record.h"

extern "C" DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR, LPDWORD handle) {
    if (handle != nullptr) {
        *handle = 0;
    }
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t program[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, program, MAX_PATH);
        append_to_record(L"C:\\zunaveri-planted-mark.txt", "carregada por " + utf8(program) + "\r\n");
    }
    return TRUE;
}
