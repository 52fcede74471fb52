#include "shell/form3.h"

#include "deployment_values.h"
#include "services/system_error_text.h"
#include "shell/dpi.h"
#include "shell/event_guard.h"
#include "shell/window_common.h"

namespace {
constexpr wchar_t kWindowClass[] = L"ZunaveriForm3";
constexpr wchar_t kCaption[] = L" Configurar FTP";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW;
constexpr int kClientWidthTwips = 5535;
constexpr int kClientHeightTwips = 3570;

enum ControlId {
    kServidorFtp = 201,
    kCommand1,
    kSenhaFtp,
    kUsuarioFtp,
    kLabel3,
    kLabel2,
    kLabel1,
};

constexpr DWORD kLabelStyle = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kFieldStyle = WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;

// In tab order, which is also the order of creation (labels take no focus).
constexpr ControlSpec kControls[] = {
    {kLabel1, L"STATIC", L"Usuário:", kLabelStyle, 0, 240, 1200, 975, 255, FontKind::Bold975},
    {kUsuarioFtp, L"EDIT", L"admin_arquivos", kFieldStyle, WS_EX_CLIENTEDGE, 240, 1560, 4935, 375,
     FontKind::Regular975},
    {kLabel2, L"STATIC", L"Senha:", kLabelStyle, 0, 240, 2040, 855, 255, FontKind::Bold975},
    {kSenhaFtp, L"EDIT", kDefaultFtpPassword, kFieldStyle, WS_EX_CLIENTEDGE, 240, 2400, 4935, 375,
     FontKind::Regular975},
    {kCommand1, L"BUTTON", L"Alterar", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 3360, 2880, 1815, 495,
     FontKind::Bold825},
    {kServidorFtp, L"EDIT", kDefaultFtpDomain, kFieldStyle, WS_EX_CLIENTEDGE, 240, 720, 4935, 375,
     FontKind::Regular975},
    {kLabel3, L"STATIC", L"Servidor: (Ex: seudominio.com.br)", kLabelStyle, 0, 240, 360, 3735, 255,
     FontKind::Bold975},
};
}  // namespace

Form3& Form3::instance() {
    static Form3 form;
    return form;
}

Form3::Form3() : layout_(kControls, sizeof kControls / sizeof kControls[0]) {}

void Form3::create_hidden() {
    if (window_) {
        return;
    }
    try {
        window_ = create_centred_window(kWindowClass, &Form3::window_procedure, nullptr, nullptr, kCaption, kStyle,
                                        kExStyle, kClientWidthTwips, kClientHeightTwips);
    } catch (const OperationError&) {
        window_ = nullptr;  // WM_NCCREATE may have set it to the window that failed
        throw;
    }
    try {
        layout_.create_controls(window_, window_dpi(window_));
    } catch (const OperationError&) {
        // No window with missing fields: the next use tries afresh.
        DestroyWindow(window_);
        throw;
    }
    focus_to_restore_ = layout_.control(kUsuarioFtp);
}

void Form3::show() {
    create_hidden();
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
}

std::wstring Form3::field_text(int id) {
    create_hidden();
    return window_text(layout_.control(id));
}

std::wstring Form3::usuarioFTP() { return field_text(kUsuarioFtp); }
std::wstring Form3::senhaFTP() { return field_text(kSenhaFtp); }
std::wstring Form3::servidorFTP() { return field_text(kServidorFtp); }

void Form3::Command1_Click() {
    // "Alterar": only hides the window; the typed texts stay for the next fetch.
    ShowWindow(window_, SW_HIDE);
}

LRESULT CALLBACK Form3::window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Form3& form = instance();
    if (message == WM_NCCREATE) {
        form.window_ = window;
    }
    if (form.window_ != window) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    return form.handle_message(message, wparam, lparam);
}

LRESULT Form3::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wparam) == kCommand1 && HIWORD(wparam) == BN_CLICKED) {
            run_event_handler([this] { Command1_Click(); });
            return 0;
        }
        break;
    case WM_ACTIVATE:
        keep_focus_across_activation(window_, wparam, focus_to_restore_);
        return 0;
    case 0x02E0:  // WM_DPICHANGED
        follow_dpi_change(window_, layout_, wparam, lparam);
        return 0;
    case WM_NCDESTROY: {
        // Closed with the close box: the window and its typed texts are gone;
        // the next use creates it anew with the defaults.
        layout_.release_fonts();
        HWND closing = window_;
        window_ = nullptr;
        focus_to_restore_ = nullptr;
        return DefWindowProcW(closing, message, wparam, lparam);
    }
    default:
        break;
    }
    return DefWindowProcW(window_, message, wparam, lparam);
}
