// What probe_hook.dll hands back to the probe: what can only be read inside
// the process that owns a window. A font or icon handle means nothing in
// another process, and Wine passes neither WM_GETFONT nor WM_GETICON between
// processes, nor GetClassLongPtr of another process's class.
#pragma once

#include <windows.h>

#include <cwchar>

// Posted to the top-level window; the hook in its thread answers it.
constexpr wchar_t kInsideRequestMessage[] = L"ZunaveriProbeInsideRequest";

constexpr int kMaxFontRecords = 128;

// The environment variable that names the window class whose creation
// probe_refuse_creation_hook refuses in the process it runs in.
constexpr wchar_t kRefusedClassVariable[] = L"ZUNAVERI_PROBE_REFUSED_CLASS";

struct FontRecord {
    long long control;  // HWND as a number
    int has_font;       // WM_GETFONT gave a handle
    int readable;       // GetObjectW filled the LOGFONTW
    LOGFONTW font;      // the font as asked for
    int realized;       // the font was selected into the control's DC
    wchar_t realized_face[LF_FACESIZE];  // what the font mapper picked
    TEXTMETRICW metrics;
    SIZE text_extent;   // the control's text on one line in that font (GetTextExtentPoint32W)
};

// What the process holds, read from inside it where the system offers no
// way from outside (Wine answers GetGuiResources with 0, and
// GetProcessMemoryInfo of another process without its commit charge).
struct ResourceFigures {
    long long gdi_objects;    // -1: unknown
    long long private_bytes;  // commit charge (PagefileUsage, which is PrivateUsage on Windows)
};

// The pointer that the window's thread has set (GetCursor), compared with
// the system's pointers loaded in that process: cursor handles mean
// nothing in another process.
enum class PointerShape : int { Other, None, Arrow, Wait, IBeam };

struct InsideReport {
    ResourceFigures resources;
    int has_icon;  // the top-level window has an icon of its own or from its class
    PointerShape pointer;
    int count;
    FontRecord records[kMaxFontRecords];  // one per direct child control
};

// Shared memory and event, named after the thread that answers.
inline void inside_report_names(DWORD thread_id, wchar_t* mapping, wchar_t* event, int size) {
    _snwprintf(mapping, static_cast<size_t>(size), L"Local\\ZunaveriProbeInside-%lu", thread_id);
    _snwprintf(event, static_cast<size_t>(size), L"Local\\ZunaveriProbeInsideDone-%lu", thread_id);
}
