#include "registration/updater_registration.h"

#include "oplog/operator_log.h"
#include "registration/scheduled_start.h"
#include "registration/uninstall_entry.h"
#include "release/release_check.h"
#include "services/operation_error.h"
#include "updater_home/updater_home.h"

namespace {

bool keyed_home_updater() { return signed_releases_enabled() && runs_from_updater_home(); }

void write_entry_logged() {
    try {
        write_uninstall_entry();
    } catch (const OperationError& error) {
        operator_log::write(L"registro em Programas instalados não gravado: " + error.description());
    }
}

}  // namespace

void register_on_first_run() noexcept {
    try {
        if (!keyed_home_updater()) {
            return;
        }
        if (!uninstall_entry_present()) {
            try {
                register_updater_task();  // writes its own log line either way
            } catch (const OperationError&) {
                return;  // no entry either, so that the next start tries again
            }
        }
        write_entry_logged();
    } catch (...) {  // NOLINT(bugprone-empty-catch): the updater runs on without it
    }
}

void refresh_uninstall_entry() noexcept {
    try {
        if (keyed_home_updater() && uninstall_entry_present()) {
            write_entry_logged();
        }
    } catch (...) {  // NOLINT(bugprone-empty-catch): the updater runs on without it
    }
}
