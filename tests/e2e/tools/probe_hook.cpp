// probe_hook.dll: a message hook that the probe places on the thread of a
// window it looks at. On the probe's request message it reads, in the
// window's own process, whether the window has an icon and the font of
// every direct child, and puts the answer into the shared memory the probe
// has created.
#include "probe_hook.h"

#include <psapi.h>
#include <winternl.h>

#include <cstddef>
#include <initializer_list>

namespace {

bool has_icon(HWND window) {
    for (const WPARAM kind : {ICON_BIG, ICON_SMALL, ICON_SMALL2}) {
        if (SendMessageW(window, WM_GETICON, kind, 0) != 0) {
            return true;
        }
    }
    return GetClassLongPtrW(window, GCLP_HICON) != 0 || GetClassLongPtrW(window, GCLP_HICONSM) != 0;
}

// Live GDI objects of this process. GetGuiResources where it answers;
// under Wine it does not, and the count comes from the process's GDI handle
// table (the PEB's GdiSharedHandleTable: 0x10000 entries of 24 bytes, a
// non-zero type marks an object in use).
long long gdi_objects() {
    const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted != 0) {
        return counted;
    }
    struct GdiHandleEntry {
        unsigned long long object;
        unsigned long owner;
        unsigned short unique;
        unsigned char type;
        unsigned char flags;
        unsigned long long user_pointer;
    };
    static_assert(sizeof(GdiHandleEntry) == 24, "layout of a GDI handle table entry");
#ifdef _WIN64
    constexpr std::size_t kTableInPeb = 0xF8;
#else
    constexpr std::size_t kTableInPeb = 0x94;
#endif
    using QueryFn = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
        !basic.PebBaseAddress) {
        return -1;
    }
    const auto* peb = reinterpret_cast<const unsigned char*>(basic.PebBaseAddress);
    const auto* table = *reinterpret_cast<const GdiHandleEntry* const*>(peb + kTableInPeb);
    if (!table) {
        return -1;
    }
    long long in_use = 0;
    for (int i = 0; i < 0x10000; ++i) {
        if (table[i].type != 0) {
            ++in_use;
        }
    }
    return in_use;
}

ResourceFigures resource_figures() {
    ResourceFigures figures{-1, -1};
    figures.gdi_objects = gdi_objects();
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (K32GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory)) {
        figures.private_bytes = static_cast<long long>(memory.PagefileUsage);
    }
    return figures;
}

PointerShape pointer_shape() {
    const HCURSOR shown = GetCursor();
    if (shown == nullptr) {
        return PointerShape::None;
    }
    if (shown == LoadCursorW(nullptr, IDC_ARROW)) {
        return PointerShape::Arrow;
    }
    if (shown == LoadCursorW(nullptr, IDC_WAIT)) {
        return PointerShape::Wait;
    }
    return shown == LoadCursorW(nullptr, IDC_IBEAM) ? PointerShape::IBeam : PointerShape::Other;
}

void answer_request(HWND top_level) {
    // First, before this request's own device contexts exist.
    const ResourceFigures figures = resource_figures();
    wchar_t mapping_name[96];
    wchar_t event_name[96];
    inside_report_names(GetCurrentThreadId(), mapping_name, event_name, 96);
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, mapping_name);
    HANDLE done = OpenEventW(EVENT_MODIFY_STATE, FALSE, event_name);
    if (mapping && done) {
        auto* report =
            static_cast<InsideReport*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(InsideReport)));
        if (report) {
            report->resources = figures;
            report->has_icon = has_icon(top_level);
            report->pointer = pointer_shape();
            report->count = 0;
            for (HWND child = GetWindow(top_level, GW_CHILD); child && report->count < kMaxFontRecords;
                 child = GetWindow(child, GW_HWNDNEXT)) {
                FontRecord& record = report->records[report->count++];
                record = FontRecord{};
                record.control = static_cast<long long>(reinterpret_cast<INT_PTR>(child));
                const auto font = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
                record.has_font = font != nullptr;
                record.readable = font && GetObjectW(font, sizeof record.font, &record.font) == sizeof record.font;
                if (font) {
                    HDC dc = GetDC(child);
                    if (dc) {
                        HGDIOBJ previous = SelectObject(dc, font);
                        record.realized = GetTextFaceW(dc, LF_FACESIZE, record.realized_face) > 0 &&
                                          GetTextMetricsW(dc, &record.metrics);
                        wchar_t text[512] = {};
                        const int length = GetWindowTextW(child, text, 512);
                        if (!GetTextExtentPoint32W(dc, text, length, &record.text_extent)) {
                            record.text_extent = SIZE{-1, -1};
                        }
                        SelectObject(dc, previous);
                        ReleaseDC(child, dc);
                    }
                }
            }
            UnmapViewOfFile(report);
        }
        SetEvent(done);
    }
    if (mapping) {
        CloseHandle(mapping);
    }
    if (done) {
        CloseHandle(done);
    }
}

}  // namespace

// A CBT hook that makes CreateWindowExW fail for one window class, as a
// system out of memory for windows would (error 8).
extern "C" __declspec(dllexport) LRESULT CALLBACK probe_refuse_creation_hook(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_CREATEWND) {
        wchar_t refused[256] = {};
        wchar_t created[256] = {};
        if (GetEnvironmentVariableW(kRefusedClassVariable, refused, 256) != 0 &&
            GetClassNameW(reinterpret_cast<HWND>(wparam), created, 256) != 0 && lstrcmpiW(refused, created) == 0) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK probe_get_message_hook(int code, WPARAM wparam, LPARAM lparam) {
    static const UINT request = RegisterWindowMessageW(kInsideRequestMessage);
    const auto* message = reinterpret_cast<const MSG*>(lparam);
    if (code == HC_ACTION && wparam == PM_REMOVE && message->message == request) {
        answer_request(message->hwnd);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
