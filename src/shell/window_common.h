// What the program's two windows do alike: their text reads, keeping the
// focused control across activations, and following a change of DPI.
#pragma once

#include <windows.h>

#include <string>

#include "shell/form_layout.h"

std::wstring window_text(HWND window);

// WM_ACTIVATE: remembers the focused child when the window is left and gives
// it the focus back when the window is activated again.
void keep_focus_across_activation(HWND window, WPARAM wparam, HWND& focus_to_restore);

// WM_DPICHANGED: lays the controls out for the new DPI and takes the size
// and place that Windows suggests.
void follow_dpi_change(HWND window, FormLayout& layout, WPARAM wparam, LPARAM lparam);

// Creates a top-level window of the class (registered on first use) whose
// client area is the size given in twips, centred on the screen, hidden.
// A window that cannot be created throws the system's error.
HWND create_centred_window(const wchar_t* class_name, WNDPROC procedure, HICON icon, HICON small_icon,
                           const wchar_t* caption,
                           DWORD style, DWORD ex_style, int client_width_twips, int client_height_twips);
