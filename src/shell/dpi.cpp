#include "shell/dpi.h"

namespace {
template <typename Function>
Function user32_function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}
}  // namespace

int system_dpi() {
    using GetDpiForSystemFn = UINT(WINAPI*)();
    static const auto get_dpi_for_system = user32_function<GetDpiForSystemFn>("GetDpiForSystem");
    if (get_dpi_for_system) {
        return static_cast<int>(get_dpi_for_system());
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : 96;
}

int window_dpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto get_dpi_for_window = user32_function<GetDpiForWindowFn>("GetDpiForWindow");
    if (get_dpi_for_window && window) {
        const UINT dpi = get_dpi_for_window(window);
        if (dpi != 0) {
            return static_cast<int>(dpi);
        }
    }
    return system_dpi();
}

SIZE outer_size_for_client(int client_width, int client_height, DWORD style, DWORD ex_style, int dpi) {
    using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjust_for_dpi = user32_function<AdjustForDpiFn>("AdjustWindowRectExForDpi");
    RECT rect{0, 0, client_width, client_height};
    if (!adjust_for_dpi || !adjust_for_dpi(&rect, style, FALSE, ex_style, static_cast<UINT>(dpi))) {
        AdjustWindowRectEx(&rect, style, FALSE, ex_style);
    }
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

POINT centred_on_screen(SIZE outer) {
    const int screen_width = GetSystemMetrics(SM_CXSCREEN);
    const int screen_height = GetSystemMetrics(SM_CYSCREEN);
    return POINT{(screen_width - outer.cx) / 2, (screen_height - outer.cy) / 2};
}
