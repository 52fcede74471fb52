// What probe_fonts.dll hands back to the probe: the fonts of a window's
// child controls, read inside the window's own process (a font handle means
// nothing in another process, and Wine does not pass WM_GETFONT between
// processes at all).
#pragma once

#include <windows.h>

#include <cwchar>

// Posted to the top-level window; the hook in its thread answers it.
constexpr wchar_t kFontRequestMessage[] = L"ZunaveriProbeFontRequest";

constexpr int kMaxFontRecords = 128;

struct FontRecord {
    long long control;  // HWND as a number
    int has_font;       // WM_GETFONT gave a handle
    int readable;       // GetObjectW filled the LOGFONTW
    LOGFONTW font;      // the font as asked for
    int realized;       // the font was selected into the control's DC
    wchar_t realized_face[LF_FACESIZE];  // what the font mapper picked
    TEXTMETRICW metrics;
};

struct FontReport {
    int count;
    FontRecord records[kMaxFontRecords];
};

// Shared memory and event, named after the thread that answers.
inline void font_report_names(DWORD thread_id, wchar_t* mapping, wchar_t* event, int size) {
    _snwprintf(mapping, static_cast<size_t>(size), L"Local\\ZunaveriProbeFonts-%lu", thread_id);
    _snwprintf(event, static_cast<size_t>(size), L"Local\\ZunaveriProbeFontsDone-%lu", thread_id);
}
