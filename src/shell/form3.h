// Form3: the FTP settings window. Its three fields are the only home of the
// FTP settings: defaults when created, kept while hidden, discarded when the
// window is closed with its close box.
#pragma once

#include <windows.h>

#include <string>

#include "shell/form_layout.h"

class Form3 {
public:
    static Form3& instance();

    // Creates the window, hidden, with its default texts, unless it exists.
    void create_hidden();
    // Makes the window visible (creating it first when needed).
    void show();
    bool exists() const { return window_ != nullptr; }
    HWND window() const { return window_; }

    // Field texts; reading a field of a window that does not exist creates it hidden.
    std::wstring usuarioFTP();
    std::wstring senhaFTP();
    std::wstring servidorFTP();

private:
    Form3();
    void Command1_Click();
    std::wstring field_text(int id);
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    HWND window_ = nullptr;
    FormLayout layout_;
    HWND focus_to_restore_ = nullptr;
};
