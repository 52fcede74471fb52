// The highest release serial this PC has applied, kept where only
// Administrators and SYSTEM can write: HKEY_LOCAL_MACHINE\SOFTWARE\Zunaveri,
// value SerieAplicada (REG_QWORD), in the 64-bit view for both builds. Earlier
// builds kept it in c:\xampp\serie_zunaveri, a file any user could change;
// that file is read only while the registry holds nothing, and removed once
// the registry holds a record.
#pragma once

#include <cstdint>

#include "release/release_rules.h"

AppliedSerial read_applied_serial();

// Records `serial` unless a higher one is recorded already. A failure, or a
// record that cannot be read, throws.
void record_applied_serial(std::uint64_t serial);
