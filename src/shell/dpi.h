// DPI of the screen and of a window, with fallbacks for Windows versions
// that lack the per-monitor functions (looked up at run time).
#pragma once

#include <windows.h>

int system_dpi();
int window_dpi(HWND window);

// Outer size of a window whose client area is client_width x client_height.
SIZE outer_size_for_client(int client_width, int client_height, DWORD style, DWORD ex_style, int dpi);

// Top-left corner that centres a window of this outer size on the primary screen.
POINT centred_on_screen(SIZE outer);
