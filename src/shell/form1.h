// Form1: the program's one main window. Shown in installer mode, hidden in
// update mode, where its timer and clock label drive the update service.
// The procedures of the installation and of the update service are
// operations of this window; their bodies live in install/ and update/.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "release/release_check.h"
#include "services/text_replacement.h"
#include "shell/form_layout.h"
#include "taskbar/taskbar_list_button.h"
#include "taskbar/taskbar_progress.h"

class Form1 {
public:
    static Form1& instance();

    // Creates the window, not yet visible, with its controls and defaults.
    // A window or control that cannot be created throws the system's error.
    void create(HINSTANCE instance);
    // The load handler: address field, run-mode decision, and what the mode needs.
    void load(const std::wstring& argument_text);

    // Public operations of the window.
    void verificar_atualizacao();
    void Download(const std::wstring& arquivo);

    HWND window() const { return window_; }

    // What the other parts of the program read and set on the window.
    std::wstring ipservidor_text() const;
    void set_ipservidor_text(const std::wstring& text);
    int download_xampp_value() const;
    void tarefa_add(const std::wstring& line);
    void tarefa_clear();
    void set_command1_enabled(bool enabled);
    void set_command2_enabled(bool enabled);
    void set_hourglass_pointer(bool hourglass);
    // Signed releases (nothing happens in a build without a release key):
    // the fetched files a run or a copy from the temporary folder needs,
    // checked and held for the step; and the release recorded as applied
    // once its application package was started and ended (`exit_code` is
    // nothing when it could not be started or its end not seen).
    std::vector<HeldFile> check_release_files(const std::wstring& command_or_source);
    void release_program_ran(const std::wstring& command_line, std::optional<std::uint32_t> exit_code);
    // The verified manifest of this run, once check_release_files has passed.
    const std::optional<ReleaseManifest>& release_manifest() const { return release_.manifest(); }
    std::wstring cronometro_caption() const;
    void set_cronometro_caption(const std::wstring& caption);
    void enable_timer1();
    // The taskbar button (installer mode): busy from the start of a run,
    // each fetch's progress, nothing once the run ends.
    void taskbar_run_started() { taskbar_.run_started(); }
    void taskbar_run_ended() { taskbar_.run_ended(); }

private:
    Form1();

    // Event handlers.
    void Command1_Click();
    [[noreturn]] void Command2_Click();
    void Label3_Click();
    void Timer1_Timer();

    // Private operations of the window.
    void substituir_texto(const std::wstring& path, const std::wstring& search, const std::wstring& replacement,
                          Occurrence rule = Occurrence::Anywhere);
    void limpar_temporarios();
    void instalar_aplicacao();
    // The number of its steps that failed.
    std::size_t aplicar_atualizacao();
    void run_update_check();
    void log_step_failure(const std::wstring& description);
    void avancar_cronometro();
    // Signed releases: the manifest fetched and verified at the start of an
    // installation run, and everything a due update needs checked before
    // it changes anything.
    void load_release_manifest();
    void check_update_release();
    // After a due update: the updater and wget.exe brought to the copies
    // the release lists.
    void atualizar_proprios_programas();

    HWND control(int id) const { return layout_.control(id); }
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    HWND window_ = nullptr;
    FormLayout layout_;
    HWND focus_to_restore_ = nullptr;
    bool hourglass_ = false;
    bool close_allowed_ = true;
    bool check_in_progress_ = false;
    ReleaseCheck release_;
    TaskbarListButton taskbar_button_;
    TaskbarProgress taskbar_;
    UINT taskbar_button_created_ = 0;  // the registered message; 0: none
};
