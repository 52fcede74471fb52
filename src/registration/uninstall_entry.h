// Keyed builds: the updater's entry among the installed programs ("Apps and
// features"), the key kUninstallKey (services/locations.h) under
// HKEY_LOCAL_MACHINE in the 64-bit view for both builds, whose
// removal command lines start the home's updater with "/remover".
#pragma once

// Writes the entry, or brings one in place up to date: the display name,
// the applied serial as the version, the publisher, the home, the icon, the
// home's size in KB, no modify and no repair, the two removal command
// lines. A failure throws OperationError.
void write_uninstall_entry();

bool uninstall_entry_present();

// Deletes the entry; false when there was none. A failure throws OperationError.
bool delete_uninstall_entry();
