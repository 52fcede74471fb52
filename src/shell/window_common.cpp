#include "shell/window_common.h"

#include "services/system_error_text.h"
#include "shell/dpi.h"
#include "shell/geometry.h"

std::wstring window_text(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

void keep_focus_across_activation(HWND window, WPARAM wparam, HWND& focus_to_restore) {
    if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focused = GetFocus();
        if (focused && IsChild(window, focused)) {
            focus_to_restore = focused;
        }
    } else if (focus_to_restore) {
        SetFocus(focus_to_restore);
    }
}

void follow_dpi_change(HWND window, FormLayout& layout, WPARAM wparam, LPARAM lparam) {
    layout.apply(HIWORD(wparam));
    const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
    SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND create_centred_window(const wchar_t* class_name, WNDPROC procedure, HICON icon, HICON small_icon,
                           const wchar_t* caption,
                           DWORD style, DWORD ex_style, int client_width_twips, int client_height_twips) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW window_class{};
    if (!GetClassInfoExW(instance, class_name, &window_class)) {
        window_class.cbSize = sizeof window_class;
        window_class.lpfnWndProc = procedure;
        window_class.hInstance = instance;
        window_class.hIcon = icon;
        window_class.hIconSm = small_icon;
        window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        window_class.lpszClassName = class_name;
        RegisterClassExW(&window_class);
    }
    const int dpi = system_dpi();
    const SIZE outer = outer_size_for_client(twips_to_pixels(client_width_twips, dpi),
                                             twips_to_pixels(client_height_twips, dpi), style, ex_style, dpi);
    const POINT corner = centred_on_screen(outer);
    SetLastError(ERROR_SUCCESS);
    HWND window = CreateWindowExW(ex_style, class_name, caption, style, corner.x, corner.y, outer.cx, outer.cy,
                                  nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        throw last_system_error_or(ERROR_INVALID_WINDOW_HANDLE);
    }
    return window;
}
