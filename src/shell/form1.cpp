#include "shell/form1.h"

#include "hardening/process_folder.h"
#include "oplog/operator_log.h"
#include "release/release_check.h"
#include "services/fetch_progress.h"
#include "services/fetched_copies.h"
#include "services/local_address.h"
#include "services/run_mode.h"
#include "registration/removal.h"
#include "registration/updater_registration.h"
#include "shell/dpi.h"
#include "shell/event_guard.h"
#include "shell/form3.h"
#include "shell/resource_ids.h"
#include "shell/timer_interval.h"
#include "shell/window_common.h"
#include "updater_home/moving_home.h"
#include "updater_home/updater_home.h"

namespace {
constexpr wchar_t kWindowClass[] = L"ZunaveriForm1";
constexpr wchar_t kCaption[] = L"Instalador Zunaveri Digital";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_APPWINDOW;
constexpr int kClientWidthTwips = 5550;
constexpr int kClientHeightTwips = 3825;
constexpr UINT_PTR kTimer1 = 1;

enum ControlId {
    kIpServidor = 101,
    kDownloadXampp,
    kCommand1,
    kCommand2,
    kTarefa,
    kLabel3,
    kCronometro,
    kLabel2,
    kLabel1,
};

constexpr DWORD kLabelStyle = SS_LEFT | SS_NOPREFIX;

// In tab order, which is also the order of creation (labels take no focus).
constexpr ControlSpec kControls[] = {
    {kIpServidor, L"EDIT", L"", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 120, 2640, 5295, 375,
     FontKind::Regular825},
    {kCommand1, L"BUTTON", L"Instalar", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 2040, 3120, 3375, 615,
     FontKind::Bold825},
    {kCommand2, L"BUTTON", L"Sair", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 120, 3120, 1815, 615,
     FontKind::Regular825},
    {kTarefa, L"LISTBOX", L"", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE, 120,
     720, 5295, 1425, FontKind::Regular825},
    {kDownloadXampp, L"BUTTON", L"Baixare instalar XAMPP", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 3360, 240,
     2055, 375, FontKind::Regular825},
    {kLabel1, L"STATIC", L"Relatório:", WS_VISIBLE | kLabelStyle, 0, 120, 360, 1215, 375, FontKind::Regular1200},
    {kLabel2, L"STATIC", L"IP do Servidor (local):", WS_VISIBLE | kLabelStyle, 0, 120, 2280, 2055, 255,
     FontKind::Regular975},
    {kCronometro, L"STATIC", L"00:00:00", kLabelStyle, 0, 1680, 360, 735, 255, FontKind::Regular825},
    {kLabel3, L"STATIC", L"Configurar FTP", WS_VISIBLE | kLabelStyle | SS_NOTIFY, 0, 3960, 2280, 1455, 255,
     FontKind::Regular975},
};
}  // namespace

Form1& Form1::instance() {
    static Form1 form;
    return form;
}

Form1::Form1() : layout_(kControls, sizeof kControls / sizeof kControls[0]) {}

void Form1::create(HINSTANCE instance) {
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(kProgramIconId));
    HICON small_icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kProgramIconId), IMAGE_ICON,
                                                     GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    try {
        window_ = create_centred_window(kWindowClass, &Form1::window_procedure, icon, small_icon, kCaption, kStyle,
                                        kExStyle, kClientWidthTwips, kClientHeightTwips);
    } catch (const OperationError&) {
        window_ = nullptr;  // WM_NCCREATE may have set it to the window that failed
        throw;
    }
    layout_.create_controls(window_, window_dpi(window_));
    SendMessageW(control(kDownloadXampp), BM_SETCHECK, BST_CHECKED, 0);
    focus_to_restore_ = control(kIpServidor);
}

void Form1::load(const std::wstring& argument) {
    if (signed_releases_enabled()) {
        // Fetched copies land in the process's own folder, never in the
        // shared temporary folder where anyone may leave files first.
        keep_fetched_copies_in([] { return process_folder(); });
        if (const RemovalRequest removal = removal_request(argument); removal != RemovalRequest::none) {
            ShowWindow(window_, SW_HIDE);
            PostQuitMessage(remove_updater(removal == RemovalRequest::asked));
            return;
        }
        if (is_update_mode(argument) && !runs_from_updater_home()) {
            ShowWindow(window_, SW_HIDE);
            hand_over_to_updater_home();
            PostQuitMessage(0);
            return;
        }
    }
    set_ipservidor_text(obter_ip_local());
    operator_log::address_discovered(ipservidor_text());
    if (!is_update_mode(argument)) {
        Form3::instance().create_hidden();
        // Before the window shows: the taskbar announces its button then.
        taskbar_button_created_ = taskbar_button_.start(window_);
        observe_fetch_progress([this](const std::optional<FetchProgress>& progress) {
            taskbar_.fetch_progress(progress);
        });
        ShowWindow(window_, SW_SHOW);
        UpdateWindow(window_);
        return;
    }
    ShowWindow(window_, SW_HIDE);
    // An updater placed before the registration existed gets it now.
    register_on_first_run();
    enable_timer1();
    run_update_check();
}

std::wstring Form1::ipservidor_text() const { return window_text(control(kIpServidor)); }

void Form1::set_ipservidor_text(const std::wstring& text) { SetWindowTextW(control(kIpServidor), text.c_str()); }

int Form1::download_xampp_value() const {
    return static_cast<int>(SendMessageW(control(kDownloadXampp), BM_GETCHECK, 0, 0));
}

void Form1::tarefa_add(const std::wstring& line) {
    operator_log::list_line(line);
    SendMessageW(control(kTarefa), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

void Form1::tarefa_clear() { SendMessageW(control(kTarefa), LB_RESETCONTENT, 0, 0); }

void Form1::set_command1_enabled(bool enabled) { EnableWindow(control(kCommand1), enabled ? TRUE : FALSE); }

void Form1::set_command2_enabled(bool enabled) {
    EnableWindow(control(kCommand2), enabled ? TRUE : FALSE);
    // The close box ends the program like "Sair", so it is unavailable
    // whenever "Sair" is: a run cannot be abandoned halfway by accident.
    close_allowed_ = enabled;
    EnableMenuItem(GetSystemMenu(window_, FALSE), SC_CLOSE, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void Form1::set_hourglass_pointer(bool hourglass) {
    hourglass_ = hourglass;
    // Takes effect at once when the pointer is over the window, not only at
    // its next move: the window under it chooses its pointer again, as it
    // does when the mouse moves (an edit box its I-beam, the frame its arrow).
    POINT where;
    if (GetCursorPos(&where)) {
        HWND under = WindowFromPoint(where);
        if (under == window_ || IsChild(window_, under)) {
            const LRESULT hit = SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(where.x, where.y));
            SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                         MAKELPARAM(static_cast<WORD>(hit), WM_MOUSEMOVE));
        }
    }
}

std::wstring Form1::cronometro_caption() const { return window_text(control(kCronometro)); }

void Form1::set_cronometro_caption(const std::wstring& caption) {
    SetWindowTextW(control(kCronometro), caption.c_str());
}

void Form1::enable_timer1() { SetTimer(window_, kTimer1, kTimer1IntervalMs, nullptr); }

void Form1::Command2_Click() {
    // "Sair": ends the program at once; child processes run on by themselves.
    operator_log::end_of_process(L"\"Sair\" ou a janela fechada");
    remove_process_folder();
    ExitProcess(0);
}

void Form1::Label3_Click() { Form3::instance().show(); }

LRESULT CALLBACK Form1::window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Form1& form = instance();
    if (message == WM_NCCREATE) {
        form.window_ = window;
    }
    if (form.window_ != window) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    return form.handle_message(message, wparam, lparam);
}

LRESULT Form1::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    if (taskbar_button_created_ != 0 && message == taskbar_button_created_) {
        taskbar_button_.create();
        taskbar_.attach(&taskbar_button_);
        return 0;
    }
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wparam);
        const int code = HIWORD(wparam);
        if (id == kCommand1 && code == BN_CLICKED) {
            run_event_handler([this] { Command1_Click(); });
            return 0;
        }
        if (id == kCommand2 && code == BN_CLICKED) {
            Command2_Click();
        }
        if (id == kLabel3 && code == STN_CLICKED) {
            run_event_handler([this] { Label3_Click(); });
            return 0;
        }
        break;
    }
    case WM_TIMER:
        if (wparam == kTimer1) {
            run_event_handler([this] { Timer1_Timer(); });
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lparam) == control(kLabel3)) {
            HDC dc = reinterpret_cast<HDC>(wparam);
            SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHT));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    case WM_SETCURSOR:
        // The hourglass covers the client area and the controls in it; the
        // title bar and the border keep their own pointers.
        if (hourglass_ && (reinterpret_cast<HWND>(wparam) != window_ || LOWORD(lparam) == HTCLIENT)) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_ACTIVATE:
        keep_focus_across_activation(window_, wparam, focus_to_restore_);
        return 0;
    case WM_CLOSE:
        // The close box ends the program as "Sair" does: a process left with
        // only the hidden settings window must not linger.
        if (!close_allowed_) {
            return 0;
        }
        Command2_Click();  // does not return
        return 0;
    case 0x02E0:  // WM_DPICHANGED
        follow_dpi_change(window_, layout_, wparam, lparam);
        return 0;
    case WM_ENDSESSION:
        if (wparam) {
            operator_log::end_of_process(L"a sessão do Windows terminou");
            remove_process_folder();
        }
        return 0;
    case WM_DESTROY:
        layout_.release_fonts();
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wparam, lparam);
}
