// Keyed builds: when the updater registers itself with Windows outside an
// installation run: an updater placed before the registration existed (its
// task made by hand) gets the task and the entry on its first run at home,
// and the entry follows each update.
#pragma once

// At the start of the home's updater in update mode: with no entry yet,
// registers the task (for the account it runs as) and then writes the
// entry (not when the task failed, so the next start tries again); with
// one, brings the entry up to date. Never throws; failures go to the
// operator's log.
void register_on_first_run() noexcept;

// After an update: the entry's version and size brought up to date when
// there is an entry. Never throws; a failure goes to the operator's log.
void refresh_uninstall_entry() noexcept;
