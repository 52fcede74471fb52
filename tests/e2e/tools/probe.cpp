// probe: looks at and drives the windows of other programs in the same Wine
// prefix (or Windows session), for the end-to-end tests. Every answer is one
// line of JSON in UTF-8 on standard output.
//
// Usage: see kUsage below (also printed when run without a command).
#include <winsock2.h>
#include <windows.h>
#include <psapi.h>

#include "probe_hook.h"
#include "start_under_load.h"

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------- output

constexpr char kUsage[] =
    "  probe.exe COMMAND ARG...      one command, then exit\n"
    "  probe.exe serve               one command per line on standard input,\n"
    "                                fields separated by TAB characters, one\n"
    "                                answer line each; blanks and quotes inside\n"
    "                                a field are kept as they are\n"
    "\n"
    "Commands (HWND and PID are decimal numbers):\n"
    "  find CAPTION                  top-level windows with exactly this caption, hidden ones too\n"
    "  wait CAPTION TIMEOUT_MS [visible]   the same, waiting until at least one exists (and is visible)\n"
    "  waitgone HWND TIMEOUT_MS      wait until the window no longer exists\n"
    "  window HWND                   one window's description\n"
    "  children HWND                 direct child controls, in Z order, with their fonts, the\n"
    "                                focused control, and whether HWND has an icon (fonts and\n"
    "                                icon are read through probe_hook.dll)\n"
    "  focus HWND                    the focused and the active window of HWND's thread\n"
    "  gettext HWND | settext HWND TEXT\n"
    "  click HWND                    posts BM_CLICK\n"
    "  mouseclick HWND               posts a left button press and release at the centre\n"
    "  key HWND VK                   posts key down/up to the focused control of HWND's thread\n"
    "                                (VK: a number or tab, return, escape, space, up, down, left, right)\n"
    "  type HWND TEXT                posts one WM_CHAR per character to HWND\n"
    "  listitems HWND                the items of a list box\n"
    "  msgboxes                      every visible message box (#32770) with text, buttons, icon\n"
    "  close HWND                    posts WM_CLOSE\n"
    "  sysclose HWND                 posts WM_SYSCOMMAND SC_CLOSE, as the close box does\n"
    "  launch COMMAND_LINE           CreateProcessW with exactly this command line\n"
    "  launchrefusing CLASS COMMAND_LINE   the same, with a hook in the program's first thread\n"
    "                                that makes the creation of windows of CLASS fail with error 8;\n"
    "                                also gives the system's text for error 8\n"
    "  pointerat HWND X Y            moves the mouse pointer to that screen point and names the\n"
    "                                pointer HWND's thread has set: wait, arrow, ibeam, none, other\n"
    "  alive PID                     whether the process still runs, else its exit code\n"
    "  waitexit PID TIMEOUT_MS       wait for the process to end\n"
    "  hostaddr                      host name and the addresses its lookup gives, in order\n"
    "  syscolor INDEX                a system colour (GetSysColor) as red, green, blue\n"
    "  screen                        the screen size in pixels\n"
    "  procstats HWND                what the process of a top-level window holds: handles, GDI\n"
    "                                objects, USER objects (-1: unknown) and windows, private bytes\n"
    "  posttimer HWND TIMER_ID COUNT CHECKBOX   posts COUNT WM_TIMER messages to HWND in batches;\n"
    "                                after each batch a BM_SETCHECK posted to CHECKBOX (a check box of\n"
    "                                the same thread) shows, once it takes effect, that the thread has\n"
    "                                taken every message posted before it\n";


std::string utf8(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring wide(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::string quoted(const std::wstring& text) {
    std::string out = "\"";
    for (const char c : utf8(text)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// A JSON object built field by field.
class Json {
public:
    Json& field(const char* name, const std::string& raw_value) {
        text_ += text_.empty() ? "{" : ",";
        text_ += "\"";
        text_ += name;
        text_ += "\":";
        text_ += raw_value;
        return *this;
    }
    Json& str(const char* name, const std::wstring& value) { return field(name, quoted(value)); }
    Json& num(const char* name, long long value) { return field(name, std::to_string(value)); }
    Json& boolean(const char* name, bool value) { return field(name, value ? "true" : "false"); }
    Json& obj(const char* name, const Json& value) { return field(name, value.text()); }
    std::string text() const { return text_.empty() ? "{}" : text_ + "}"; }

private:
    std::string text_;
};

std::string array(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        out += i ? "," : "";
        out += items[i];
    }
    return out + "]";
}

std::string rect_json(const RECT& r) {
    return Json().num("left", r.left).num("top", r.top).num("width", r.right - r.left).num("height", r.bottom - r.top)
        .text();
}

void write_line(const std::string& line) {
    const std::string out = line + "\n";
    HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    WriteFile(handle, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
}

std::string error_json(const std::wstring& message) { return Json().boolean("ok", false).str("error", message).text(); }

// ---------------------------------------------------------------- windows

constexpr UINT kSendTimeoutMs = 5000;

long long number_of(HWND window) { return static_cast<long long>(reinterpret_cast<INT_PTR>(window)); }

HWND window_of(const std::wstring& text) {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(_wtoi64(text.c_str())));
}

std::wstring class_of(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

// The text as the window itself answers WM_GETTEXT (works across processes).
std::wstring text_of(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) {
        wchar_t fallback[1024] = {};
        InternalGetWindowText(window, fallback, 1024);
        return fallback;
    }
    // The text can grow between the two messages (a clock label ticking):
    // read into a buffer with room to spare, and again with more room when
    // the copy filled it.
    for (std::size_t room = static_cast<std::size_t>(length) + 64;; room *= 2) {
        std::wstring text(room, L'\0');
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()),
                            reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied);
        if (static_cast<std::size_t>(copied) + 1 < room || room > (1u << 24)) {
            text.resize(static_cast<std::size_t>(copied));
            return text;
        }
    }
}

std::wstring caption_of(HWND window) {
    wchar_t caption[1024] = {};
    InternalGetWindowText(window, caption, 1024);
    return caption;
}

Json font_json(const FontRecord* record) {
    if (!record) {
        return Json().boolean("known", false);
    }
    Json font;
    font.boolean("known", true).boolean("set", record->has_font != 0);
    if (record->readable) {
        font.str("face", record->font.lfFaceName)
            .num("height", record->font.lfHeight)
            .num("weight", record->font.lfWeight)
            .boolean("italic", record->font.lfItalic != 0)
            .boolean("underline", record->font.lfUnderline != 0);
    }
    if (record->realized) {
        // What the font mapper made of it: the face and size actually drawn.
        font.obj("realized", Json()
                                 .str("face", record->realized_face)
                                 .num("height", record->metrics.tmHeight)
                                 .boolean("truetype", (record->metrics.tmPitchAndFamily & TMPF_TRUETYPE) != 0)
                                 .num("text_width", record->text_extent.cx)
                                 .num("text_height", record->text_extent.cy)
                                 .num("ascent", record->metrics.tmAscent)
                                 .num("internal_leading", record->metrics.tmInternalLeading)
                                 .num("weight", record->metrics.tmWeight)
                                 .num("average_width", record->metrics.tmAveCharWidth));
    }
    return font;
}

DWORD thread_of(HWND window, DWORD* process = nullptr) {
    DWORD pid = 0;
    const DWORD tid = GetWindowThreadProcessId(window, &pid);
    if (process) {
        *process = pid;
    }
    return tid;
}

// What only the owning process can read about a top-level window: whether
// it has an icon, and the fonts of its direct children. probe_hook.dll
// (beside this program) reads them inside the window's own thread.
struct InsideView {
    bool answered = false;
    bool has_icon = false;
    PointerShape pointer = PointerShape::Other;
    ResourceFigures resources{-1, -1};
    std::map<long long, FontRecord> fonts;
};

InsideView look_inside(HWND top_level) {
    InsideView view;
    const DWORD thread = thread_of(top_level);
    wchar_t mapping_name[96];
    wchar_t event_name[96];
    inside_report_names(thread, mapping_name, event_name, 96);

    wchar_t dll_path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, dll_path, MAX_PATH);
    wchar_t* slash = wcsrchr(dll_path, L'\\');
    lstrcpyW(slash ? slash + 1 : dll_path, L"probe_hook.dll");
    HMODULE dll = LoadLibraryW(dll_path);
    const auto proc = dll ? reinterpret_cast<HOOKPROC>(
                                reinterpret_cast<void*>(GetProcAddress(dll, "probe_get_message_hook")))
                          : nullptr;
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(InsideReport),
                                        mapping_name);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, event_name);
    HHOOK hook = proc && mapping && done ? SetWindowsHookExW(WH_GETMESSAGE, proc, dll, thread) : nullptr;
    if (hook && PostMessageW(top_level, RegisterWindowMessageW(kInsideRequestMessage), 0, 0) &&
        WaitForSingleObject(done, kSendTimeoutMs) == WAIT_OBJECT_0) {
        const auto* report = static_cast<const InsideReport*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
        if (report) {
            view.answered = true;
            view.has_icon = report->has_icon != 0;
            view.pointer = report->pointer;
            view.resources = report->resources;
            for (int i = 0; i < report->count && i < kMaxFontRecords; ++i) {
                view.fonts[report->records[i].control] = report->records[i];
            }
            UnmapViewOfFile(report);
        }
    }
    if (hook) {
        UnhookWindowsHookEx(hook);
    }
    if (done) {
        CloseHandle(done);
    }
    if (mapping) {
        CloseHandle(mapping);
    }
    if (dll) {
        FreeLibrary(dll);
    }
    return view;
}

Json focus_json(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(thread_of(window), &info)) {
        return Json().num("focus", 0).num("active", 0).num("foreground", number_of(GetForegroundWindow()));
    }
    return Json()
        .num("focus", number_of(info.hwndFocus))
        .num("active", number_of(info.hwndActive))
        .num("foreground", number_of(GetForegroundWindow()));
}

// The DPI the window is laid out for (0 where the system cannot tell).
long long dpi_of(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto get_dpi_for_window = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    return get_dpi_for_window ? get_dpi_for_window(window) : 0;
}

Json window_json(HWND window) {
    DWORD pid = 0;
    const DWORD tid = thread_of(window, &pid);
    RECT outer{};
    GetWindowRect(window, &outer);
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    return Json()
        .num("hwnd", number_of(window))
        .num("pid", pid)
        .num("tid", tid)
        .str("caption", caption_of(window))
        .str("class", class_of(window))
        .boolean("visible", IsWindowVisible(window) != FALSE)
        .boolean("enabled", IsWindowEnabled(window) != FALSE)
        .num("style", static_cast<long long>(static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE))))
        .num("exstyle", static_cast<long long>(static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE))))
        .field("rect", rect_json(outer))
        .field("client", Json().num("left", origin.x).num("top", origin.y).num("width", client.right)
                             .num("height", client.bottom).text())
        .num("owner", number_of(GetWindow(window, GW_OWNER)))
        .num("dpi", dpi_of(window));
}

BOOL CALLBACK collect_window(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// Every top-level window, hidden ones included.
std::vector<HWND> top_level_windows() {
    std::vector<HWND> found;
    EnumWindows(collect_window, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::vector<HWND> windows_with_caption(const std::wstring& caption, bool visible_only) {
    std::vector<HWND> found;
    for (HWND window : top_level_windows()) {
        if (caption_of(window) == caption && (!visible_only || IsWindowVisible(window))) {
            found.push_back(window);
        }
    }
    return found;
}

std::string windows_answer(const std::vector<HWND>& windows) {
    std::vector<std::string> items;
    for (HWND window : windows) {
        items.push_back(window_json(window).text());
    }
    return Json().boolean("ok", true).field("windows", array(items)).text();
}

Json control_json(HWND parent, HWND control, const FontRecord* font) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    const std::wstring kind = class_of(control);
    Json item;
    item.num("hwnd", number_of(control))
        .num("id", GetDlgCtrlID(control))
        .str("class", kind)
        .str("text", text_of(control))
        .boolean("visible", IsWindowVisible(control) != FALSE)
        .boolean("enabled", IsWindowEnabled(control) != FALSE)
        .num("style", static_cast<long long>(static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE))))
        .num("exstyle", static_cast<long long>(static_cast<DWORD>(GetWindowLongPtrW(control, GWL_EXSTYLE))))
        .field("rect", rect_json(r))
        .obj("font", font_json(font));
    if (lstrcmpiW(kind.c_str(), L"Button") == 0) {
        DWORD_PTR state = 0;
        SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state);
        item.num("checked", static_cast<long long>(state));
    }
    if (lstrcmpiW(kind.c_str(), L"Edit") == 0) {
        DWORD_PTR limit = 0;
        SendMessageTimeoutW(control, EM_GETLIMITTEXT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &limit);
        item.num("limit", static_cast<long long>(limit));
    }
    return item;
}

std::vector<HWND> direct_children(HWND parent) {
    std::vector<HWND> found;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        found.push_back(child);
    }
    return found;
}

std::string children_answer(HWND parent) {
    if (!IsWindow(parent)) {
        return error_json(L"no such window");
    }
    const InsideView inside = look_inside(parent);
    std::vector<std::string> items;
    for (HWND child : direct_children(parent)) {
        const auto font = inside.fonts.find(number_of(child));
        items.push_back(control_json(parent, child, font == inside.fonts.end() ? nullptr : &font->second).text());
    }
    Json answer;
    answer.boolean("ok", true).num("hwnd", number_of(parent)).field("controls", array(items))
        .obj("focus", focus_json(parent));
    if (inside.answered) {
        answer.boolean("icon", inside.has_icon);
    }
    return answer.text();
}

bool is_message_box(HWND window) { return class_of(window) == L"#32770" && IsWindowVisible(window); }

std::string message_box_json(HWND box) {
    DWORD pid = 0;
    thread_of(box, &pid);
    std::wstring text;
    bool icon = false;
    std::vector<std::string> buttons;
    for (HWND child : direct_children(box)) {
        const int id = GetDlgCtrlID(child);
        const std::wstring kind = class_of(child);
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
        if (id == 0xFFFF && lstrcmpiW(kind.c_str(), L"Static") == 0) {
            text = text_of(child);
        } else if (lstrcmpiW(kind.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
            DWORD_PTR image = 0;
            SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &image);
            icon = icon || (IsWindowVisible(child) && image != 0);
        } else if (lstrcmpiW(kind.c_str(), L"Button") == 0 && IsWindowVisible(child)) {
            buttons.push_back(Json().num("hwnd", number_of(child)).num("id", id).str("text", text_of(child)).text());
        }
    }
    return Json()
        .num("hwnd", number_of(box))
        .num("pid", pid)
        .str("caption", caption_of(box))
        .str("text", text)
        .boolean("icon", icon)
        .field("buttons", array(buttons))
        .text();
}

// ---------------------------------------------------------------- input

UINT virtual_key(const std::wstring& name) {
    struct Named {
        const wchar_t* name;
        UINT key;
    };
    static const Named kNames[] = {
        {L"tab", VK_TAB},   {L"return", VK_RETURN}, {L"escape", VK_ESCAPE}, {L"space", VK_SPACE},
        {L"up", VK_UP},     {L"down", VK_DOWN},     {L"left", VK_LEFT},     {L"right", VK_RIGHT},
    };
    for (const Named& named : kNames) {
        if (lstrcmpiW(named.name, name.c_str()) == 0) {
            return named.key;
        }
    }
    return static_cast<UINT>(_wtoi(name.c_str()));
}

LPARAM key_lparam(UINT key, bool up) {
    const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    LPARAM value = 1 | (static_cast<LPARAM>(scan & 0xFF) << 16);
    if (up) {
        value |= (static_cast<LPARAM>(1) << 30) | (static_cast<LPARAM>(1) << 31);
    }
    return value;
}

// ---------------------------------------------------------------- processes

std::string launch(const std::wstring& command_line) {
    std::vector<wchar_t> writable(command_line.begin(), command_line.end());
    writable.push_back(L'\0');
    PROCESS_INFORMATION process{};
    if (!start_under_load(writable.data(), &process)) {
        return Json().boolean("ok", false).str("error", L"CreateProcessW failed").num("code", GetLastError()).text();
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return Json().boolean("ok", true).num("pid", process.dwProcessId).text();
}

// Starts the program suspended, hooks its first thread through
// probe_hook.dll so that creating a window of `refused_class` fails, and
// lets it run. The hook reads the class from the environment the program
// inherits.
std::string launch_refusing(const std::wstring& refused_class, const std::wstring& command_line) {
    wchar_t dll_path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, dll_path, MAX_PATH);
    wchar_t* slash = wcsrchr(dll_path, L'\\');
    lstrcpyW(slash ? slash + 1 : dll_path, L"probe_hook.dll");
    HMODULE dll = LoadLibraryW(dll_path);
    const auto hook_proc = dll ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(
                                     GetProcAddress(dll, "probe_refuse_creation_hook")))
                               : nullptr;
    if (!hook_proc) {
        return error_json(L"probe_hook.dll or its refusing hook is missing");
    }
    std::vector<wchar_t> writable(command_line.begin(), command_line.end());
    writable.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    SetEnvironmentVariableW(kRefusedClassVariable, refused_class.c_str());
    const BOOL started = CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                                        nullptr, &startup, &process);
    SetEnvironmentVariableW(kRefusedClassVariable, nullptr);
    if (!started) {
        return Json().boolean("ok", false).str("error", L"CreateProcessW failed").num("code", GetLastError()).text();
    }
    // The hook stays set until the probe ends; it concerns only that thread.
    const HHOOK hook = SetWindowsHookExW(WH_CBT, hook_proc, dll, process.dwThreadId);
    const DWORD hook_error = GetLastError();
    if (!hook) {
        TerminateProcess(process.hProcess, 1);
    } else {
        ResumeThread(process.hThread);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!hook) {
        return Json().boolean("ok", false).str("error", L"SetWindowsHookExW failed").num("code", hook_error).text();
    }
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, ERROR_NOT_ENOUGH_MEMORY, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const std::wstring system_text = text ? text : L"";
    if (text) {
        LocalFree(text);
    }
    return Json().boolean("ok", true).num("pid", process.dwProcessId).str("system_text", system_text).text();
}

std::string pointer_at(HWND top_level, int x, int y) {
    if (!SetCursorPos(x, y)) {
        return error_json(L"SetCursorPos failed");
    }
    Sleep(300);  // the window under it sets its pointer on the move
    const InsideView inside = look_inside(top_level);
    if (!inside.answered) {
        return error_json(L"the window's thread did not answer");
    }
    static const wchar_t* const kNames[] = {L"other", L"none", L"arrow", L"wait", L"ibeam"};
    return Json().boolean("ok", true).str("pointer", kNames[static_cast<int>(inside.pointer)]).text();
}

// Exit code of the process, or -1 while it runs (or when it cannot be opened).
std::string process_state(DWORD pid, DWORD timeout_ms) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) {
        // Gone, and no longer known by its id.
        return Json().boolean("ok", true).boolean("alive", false).boolean("known", false).text();
    }
    const bool ended = WaitForSingleObject(process, timeout_ms) == WAIT_OBJECT_0;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    Json answer;
    answer.boolean("ok", true).boolean("alive", !ended).boolean("known", true);
    if (ended) {
        answer.num("exit_code", code);
    }
    return answer.text();
}

std::string host_addresses() {
    WSADATA data{};
    if (WSAStartup(0x0101, &data) != 0) {
        return error_json(L"WSAStartup failed");
    }
    char name[256] = {};
    if (gethostname(name, sizeof name) != 0) {
        const int code = WSAGetLastError();
        WSACleanup();
        return Json().boolean("ok", false).str("error", L"gethostname failed").num("code", code).text();
    }
    const hostent* entry = gethostbyname(name);
    if (!entry) {
        WSACleanup();
        return Json().boolean("ok", false).str("error", L"gethostbyname failed").str("hostname", wide(name)).text();
    }
    std::vector<std::string> addresses;
    for (int i = 0; entry->h_addr_list[i]; ++i) {
        std::wstring dotted;
        for (int b = 0; b < entry->h_length; ++b) {
            dotted += (b ? L"." : L"") +
                      std::to_wstring(static_cast<unsigned char>(entry->h_addr_list[i][b]));
        }
        addresses.push_back(quoted(dotted));
    }
    WSACleanup();
    return Json()
        .boolean("ok", true)
        .str("hostname", wide(name))
        .field("address", addresses.empty() ? "\"\"" : addresses.front())
        .field("addresses", array(addresses))
        .text();
}

// The handles a process holds. GetProcessHandleCount where it answers;
// under Wine it gives 0, and the count comes from the system's handle list.
long long handle_count(HANDLE process, DWORD pid) {
    DWORD counted = 0;
    if (GetProcessHandleCount(process, &counted) && counted != 0) {
        return counted;
    }
    struct HandleEntry {
        ULONG owner_pid;
        BYTE object_type;
        BYTE flags;
        USHORT value;
        PVOID object;
        ULONG access;
    };
    struct HandleList {
        ULONG count;
        HandleEntry entries[1];
    };
    using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<unsigned char> buffer(1 << 16);
    for (int attempt = 0; query && attempt < 12; ++attempt) {
        ULONG needed = 0;
        const LONG status =
            query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == kInfoLengthMismatch) {
            buffer.resize(buffer.size() * 2 > needed ? buffer.size() * 2 : needed + 4096);
            continue;
        }
        if (status != 0) {
            return -1;
        }
        const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
        long long owned = 0;
        for (ULONG i = 0; i < list->count; ++i) {
            if ((list->entries[i].owner_pid & 0xFFFF) == (pid & 0xFFFF) || list->entries[i].owner_pid == pid) {
                ++owned;
            }
        }
        return owned;
    }
    return -1;
}

BOOL CALLBACK count_window_tree(HWND window, LPARAM count) {
    ++*reinterpret_cast<long long*>(count);
    EnumChildWindows(window, count_window_tree, count);
    return TRUE;
}

// The windows a process owns, its children included (USER objects where
// GetGuiResources does not answer).
long long window_count(DWORD pid) {
    long long count = 0;
    for (HWND window : top_level_windows()) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == pid) {
            ++count;
            long long children = 0;
            EnumChildWindows(window, count_window_tree, reinterpret_cast<LPARAM>(&children));
            count += children;
        }
    }
    return count;
}

// What the process of a top-level window holds: kernel handles, GDI
// objects, USER objects (or its windows), commit charge.
std::string process_stats(HWND top_level) {
    DWORD pid = 0;
    GetWindowThreadProcessId(top_level, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) {
        return Json().boolean("ok", false).str("error", L"OpenProcess failed").num("code", GetLastError()).text();
    }
    const long long handles = handle_count(process, pid);
    const DWORD user = GetGuiResources(process, GR_USEROBJECTS);
    CloseHandle(process);
    const InsideView inside = look_inside(top_level);
    if (!inside.answered || handles < 0 || inside.resources.gdi_objects < 0 || inside.resources.private_bytes < 0) {
        return Json().boolean("ok", false).str("error", L"process figures unavailable").text();
    }
    return Json()
        .boolean("ok", true)
        .num("pid", pid)
        .num("handles", handles)
        .num("gdi_objects", inside.resources.gdi_objects)
        .num("user_objects", user != 0 ? static_cast<long long>(user) : -1)
        .num("windows", window_count(pid))
        .num("private_bytes", inside.resources.private_bytes)
        .text();
}

// Posts count WM_TIMER messages, at most kTimerBatch at a time so the
// target's queue (10,000 messages on Windows) never fills; a batch is over
// when the check box's state, posted after it, has changed.
std::string post_timer_ticks(HWND window, WPARAM timer_id, long long count, HWND check_box) {
    constexpr long long kTimerBatch = 500;
    constexpr DWORD kBatchTimeoutMs = 60000;
    constexpr DWORD kDrainPollMs = 20;
    const ULONGLONG started = GetTickCount64();
    const LRESULT original =
        SendMessageW(check_box, BM_GETCHECK, 0, 0) == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED;
    LRESULT state = original;
    long long posted = 0;
    long long batches = 0;
    while (posted < count) {
        const long long batch = count - posted < kTimerBatch ? count - posted : kTimerBatch;
        for (long long i = 0; i < batch; ++i) {
            if (!PostMessageW(window, WM_TIMER, timer_id, 0)) {
                return Json().boolean("ok", false).str("error", L"PostMessageW failed").num("code", GetLastError())
                    .num("posted", posted).text();
            }
            ++posted;
        }
        state = state == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        PostMessageW(check_box, BM_SETCHECK, static_cast<WPARAM>(state), 0);
        const ULONGLONG deadline = GetTickCount64() + kBatchTimeoutMs;
        for (;;) {
            DWORD_PTR now = 0;
            if (SendMessageTimeoutW(check_box, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &now) &&
                static_cast<LRESULT>(now) == state) {
                break;
            }
            if (!IsWindow(window) || GetTickCount64() >= deadline) {
                return Json().boolean("ok", false).str("error", L"the messages were not taken in time")
                    .num("posted", posted).text();
            }
            // A message sent to the target is taken before its posted ones:
            // asked every millisecond, it would take as many of these as
            // ticks, and the soak would measure the probe.
            Sleep(kDrainPollMs);
        }
        ++batches;
    }
    if (state != original) {
        SendMessageW(check_box, BM_SETCHECK, static_cast<WPARAM>(original), 0);
    }
    return Json().boolean("ok", true).num("posted", posted).num("batches", batches)
        .num("elapsed_ms", static_cast<long long>(GetTickCount64() - started)).text();
}

// ---------------------------------------------------------------- commands

std::string wait_for_windows(const std::wstring& caption, DWORD timeout_ms, bool visible_only) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        std::vector<HWND> found = windows_with_caption(caption, visible_only);
        if (!found.empty()) {
            return windows_answer(found);
        }
        if (GetTickCount64() >= deadline) {
            return Json().boolean("ok", false).str("error", L"timeout").field("windows", "[]").text();
        }
        Sleep(50);
    }
}

std::string run(const std::vector<std::wstring>& args) {
    if (args.empty()) {
        return error_json(L"no command");
    }
    const std::wstring& command = args[0];
    const auto need = [&](std::size_t count) { return args.size() >= count + 1; };
    const auto arg_window = [&](std::size_t i) { return window_of(args[i]); };

    if (command == L"find" && need(1)) {
        return windows_answer(windows_with_caption(args[1], false));
    }
    if (command == L"wait" && need(2)) {
        return wait_for_windows(args[1], static_cast<DWORD>(_wtoi(args[2].c_str())),
                                need(3) && args[3] == L"visible");
    }
    if (command == L"waitgone" && need(2)) {
        HWND window = arg_window(1);
        const ULONGLONG deadline = GetTickCount64() + static_cast<DWORD>(_wtoi(args[2].c_str()));
        while (IsWindow(window) && GetTickCount64() < deadline) {
            Sleep(50);
        }
        return Json().boolean("ok", !IsWindow(window)).boolean("gone", !IsWindow(window)).text();
    }
    if (command == L"window" && need(1)) {
        HWND window = arg_window(1);
        if (!IsWindow(window)) {
            return error_json(L"no such window");
        }
        return Json().boolean("ok", true).obj("window", window_json(window)).text();
    }
    if (command == L"children" && need(1)) {
        return children_answer(arg_window(1));
    }
    if (command == L"focus" && need(1)) {
        return Json().boolean("ok", true).obj("focus", focus_json(arg_window(1))).text();
    }
    if (command == L"gettext" && need(1)) {
        return Json().boolean("ok", IsWindow(arg_window(1)) != FALSE).str("text", text_of(arg_window(1))).text();
    }
    if (command == L"settext" && need(2)) {
        DWORD_PTR result = 0;
        const bool sent = 0 != SendMessageTimeoutW(arg_window(1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[2].c_str()),
                                              SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
        return Json().boolean("ok", sent && result).text();
    }
    if (command == L"click" && need(1)) {
        return Json().boolean("ok", PostMessageW(arg_window(1), BM_CLICK, 0, 0) != FALSE).text();
    }
    if (command == L"mouseclick" && need(1)) {
        HWND window = arg_window(1);
        RECT client{};
        GetClientRect(window, &client);
        const LPARAM where = MAKELPARAM(client.right / 2, client.bottom / 2);
        const bool ok = PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where) &&
                        PostMessageW(window, WM_LBUTTONUP, 0, where);
        return Json().boolean("ok", ok).text();
    }
    if (command == L"key" && need(2)) {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(thread_of(arg_window(1)), &info);
        HWND target = info.hwndFocus ? info.hwndFocus : arg_window(1);
        const UINT key = virtual_key(args[2]);
        const bool ok = PostMessageW(target, WM_KEYDOWN, key, key_lparam(key, false)) &&
                        PostMessageW(target, WM_KEYUP, key, key_lparam(key, true));
        return Json().boolean("ok", ok).num("target", number_of(target)).text();
    }
    if (command == L"type" && need(2)) {
        bool ok = true;
        for (const wchar_t c : args[2]) {
            ok = PostMessageW(arg_window(1), WM_CHAR, c, 1) && ok;
        }
        return Json().boolean("ok", ok).text();
    }
    if (command == L"listitems" && need(1)) {
        HWND list = arg_window(1);
        DWORD_PTR count = 0;
        if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &count)) {
            return error_json(L"no answer");
        }
        std::vector<std::string> items;
        for (WPARAM i = 0; i < static_cast<WPARAM>(count); ++i) {
            DWORD_PTR length = 0;
            SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length);
            std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
            DWORD_PTR copied = 0;
            SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data()), SMTO_ABORTIFHUNG,
                                kSendTimeoutMs, &copied);
            item.resize(static_cast<std::size_t>(copied));
            items.push_back(quoted(item));
        }
        return Json().boolean("ok", true).field("items", array(items)).text();
    }
    if (command == L"msgboxes") {
        std::vector<std::string> boxes;
        for (HWND window : top_level_windows()) {
            if (is_message_box(window)) {
                boxes.push_back(message_box_json(window));
            }
        }
        return Json().boolean("ok", true).field("boxes", array(boxes)).text();
    }
    if (command == L"close" && need(1)) {
        return Json().boolean("ok", PostMessageW(arg_window(1), WM_CLOSE, 0, 0) != FALSE).text();
    }
    if (command == L"sysclose" && need(1)) {
        return Json().boolean("ok", PostMessageW(arg_window(1), WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE).text();
    }
    if (command == L"launch" && need(1)) {
        return launch(args[1]);
    }
    if (command == L"pointerat" && need(3)) {
        return pointer_at(arg_window(1), _wtoi(args[2].c_str()), _wtoi(args[3].c_str()));
    }
    if (command == L"launchrefusing" && need(2)) {
        return launch_refusing(args[1], args[2]);
    }
    if (command == L"alive" && need(1)) {
        return process_state(static_cast<DWORD>(_wtoi64(args[1].c_str())), 0);
    }
    if (command == L"waitexit" && need(2)) {
        return process_state(static_cast<DWORD>(_wtoi64(args[1].c_str())),
                             static_cast<DWORD>(_wtoi(args[2].c_str())));
    }
    if (command == L"syscolor" && need(1)) {
        const COLORREF color = GetSysColor(_wtoi(args[1].c_str()));
        return Json().boolean("ok", true).num("red", GetRValue(color)).num("green", GetGValue(color))
            .num("blue", GetBValue(color)).text();
    }
    if (command == L"screen") {
        return Json().boolean("ok", true).num("width", GetSystemMetrics(SM_CXSCREEN))
            .num("height", GetSystemMetrics(SM_CYSCREEN)).text();
    }
    if (command == L"procstats" && need(1)) {
        return process_stats(arg_window(1));
    }
    if (command == L"posttimer" && need(4)) {
        return post_timer_ticks(arg_window(1), static_cast<WPARAM>(_wtoi64(args[2].c_str())),
                                _wtoi64(args[3].c_str()), arg_window(4));
    }
    if (command == L"hostaddr") {
        return host_addresses();
    }
    return error_json(L"unknown command or missing arguments: " + command);
}

std::vector<std::wstring> split_at_tabs(const std::wstring& line) {
    std::vector<std::wstring> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find(L'\t', start);
        fields.push_back(line.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start));
        if (tab == std::wstring::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

int serve() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(input, buffer, sizeof buffer, &got, nullptr) || got == 0) {
            return 0;
        }
        pending.append(buffer, got);
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (line == "quit") {
                return 0;
            }
            write_line(run(split_at_tabs(wide(line))));
        }
    }
}

// Coordinates in physical pixels, whatever the DPI of the windows looked at.
void become_dpi_aware() {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    const auto set_context = reinterpret_cast<SetContextFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    if (!set_context || !set_context(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)))) {
        SetProcessDPIAware();
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    become_dpi_aware();
    if (argc < 2) {
        HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
        DWORD written = 0;
        WriteFile(output, kUsage, sizeof kUsage - 1, &written, nullptr);
        return 2;
    }
    if (argc >= 2 && std::wstring(argv[1]) == L"serve") {
        return serve();
    }
    std::vector<std::wstring> args(argv + 1, argv + argc);
    const std::string answer = run(args);
    write_line(answer);
    return answer.find("\"ok\":true") != std::string::npos ? 0 : 1;
}
