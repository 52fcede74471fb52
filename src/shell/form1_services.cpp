// The support operations as the main window offers them to its procedures.
#include "hardening/process_folder.h"
#include "oplog/operator_log.h"
#include "release/release_check.h"
#include "fetch_watch/fetcher.h"
#include "services/file_helpers.h"
#include "services/temp_sweep.h"
#include "services/text_file_edit.h"
#include "shell/form1.h"
#include "shell/form3.h"
#include "updater_home/updater_home.h"

void Form1::Download(const std::wstring& arquivo) {
    // Read at every call, in this order, from the settings window (created
    // hidden with its defaults when it does not exist).
    Form3& settings = Form3::instance();
    const std::wstring user = settings.usuarioFTP();
    const std::wstring password = settings.senhaFTP();
    operator_log::add_secret(password);
    const std::wstring domain = settings.servidorFTP();
    // The updater of a keyed build runs wget.exe from its home, checked first.
    if (signed_releases_enabled() && runs_from_updater_home()) {
        check_updater_home();
    }
    const FetchPlace place{tool_folder(), empty_wget_startup_file()};
    // A keyed build holds every fetch to bounds: the signed length when the
    // verified manifest lists one.
    const FetchLimits limits{signed_releases_enabled(),
                             signed_releases_enabled() ? release_.signed_size(arquivo) : std::nullopt};
    fetch_remote_file(user, password, domain, place, arquivo, limits);
}

void Form1::substituir_texto(const std::wstring& path, const std::wstring& search, const std::wstring& replacement,
                             Occurrence rule) {
    replace_text_in_file(path, search, replacement, rule);
}

void Form1::limpar_temporarios() {
    sweep_temporary_files();
    if (signed_releases_enabled()) {
        sweep_release_manifest();
    }
}
