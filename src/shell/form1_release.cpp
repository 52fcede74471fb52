// Signed releases as the main window's procedures use them. In a build
// without a release key each operation returns at once.
#include "release/applied_serial.h"
#include "release/release_check.h"
#include "services/locations.h"
#include "shell/form1.h"

using namespace locations;

namespace {
ReleaseCheck::Fetch fetch_with(Form1& form) {
    return [&form](const std::wstring& remote_name) { form.Download(remote_name); };
}
}  // namespace

void Form1::load_release_manifest() {
    if (signed_releases_enabled()) {
        release_.load(fetch_with(*this));
    }
}

std::vector<HeldFile> Form1::check_release_files(const std::wstring& command_or_source) {
    if (!signed_releases_enabled()) {
        return {};
    }
    return release_.verify(fetched_files_used_by(command_or_source), fetch_with(*this));
}

void Form1::release_program_ran(const std::wstring& command_line, std::optional<std::uint32_t> exit_code) {
    // A package that could not be started applied nothing.
    if (signed_releases_enabled() && exit_code && command_line == kApplicationPackageCommand && release_.manifest()) {
        record_applied_serial(release_.manifest()->serial);
    }
}

void Form1::check_update_release() {
    if (!signed_releases_enabled()) {
        return;
    }
    // The package is checked first, so a bad manifest, an older serial or
    // an unreadable record is reported on it, before anything is fetched.
    release_.load(fetch_with(*this));
    release_.verify({kApplicationPackageName, kDatabaseStructureName, kImportScriptName}, fetch_with(*this));
}
