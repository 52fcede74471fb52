// An updater of a build with a release key started in update mode from
// anywhere but its home: one placed in C:\xampp by an earlier build and
// started there by a scheduled task made by hand. It runs nothing of its
// own: it brings itself and wget.exe into the home when they are not there
// yet, starts the home's updater in update mode and ends. The copy in
// C:\xampp stays, so that the task that names it always finds something to
// start.
#pragma once

// Moves home as far as needed and starts the home's updater; every step is
// in the operator's log. False when the home's updater could not be
// started (the reason is in the log): nothing else runs either way.
bool hand_over_to_updater_home() noexcept;
