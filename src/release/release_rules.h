// The rules of signed releases that need no system call: which fetched
// files a step uses, which names a manifest may list, which serial may be
// applied, and the texts that report a refused file. Pure: tested natively.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The remote files that a step takes from the temporary folder: the
// program of a command line run from there (the import script also uses
// the database structure beside it), or the source of a copy. Nothing for
// a program or file elsewhere.
std::vector<std::wstring> fetched_files_used_by(const std::wstring& command_or_source);

// The names a manifest may list: the remote file set.
std::vector<std::string> manifest_known_names();

// An update may apply a release whose serial is not lower than the highest
// one this PC has applied.
inline bool serial_may_be_applied(std::uint64_t release, std::optional<std::uint64_t> applied) {
    return !applied || release >= *applied;
}

enum class ReleaseFault {
    ManifestRejected,  // manifest or signature missing, signature invalid, or manifest malformed
    NotListed,
    Missing,           // still absent after a second fetch
    Differs,           // still different after a second fetch
    OlderSerial,
    CannotRemove,      // a copy in the temporary folder that is not the listed one and cannot be deleted
    SerialRecordUnreadable,
};

// What this PC holds of the releases it applied: nothing yet, the highest
// serial, or a record that is there but cannot be read.
struct AppliedSerial {
    enum class State { None, Recorded, Unreadable };
    State state = State::None;
    std::uint64_t serial = 0;
    std::wstring problem;  // why an unreadable record cannot be read
};

// The serial as the file of earlier builds holds it ("10", maybe with a
// line break or blanks after it); anything else counts as no record, since
// that file was never protected and proves nothing.
AppliedSerial applied_serial_from_legacy_file(const std::optional<std::string>& text);

// Why a release may not be used on this PC (an installation run and an
// update alike), or nothing: a serial lower than the one recorded, or a
// record that cannot be read, which fails closed.
struct SerialRefusal {
    ReleaseFault fault;
    std::wstring detail;
};
std::optional<SerialRefusal> serial_refusal(std::uint64_t release, const AppliedSerial& applied);

// What the step's error line says after its prefix: names the file and
// tells a bad manifest apart from a file that differs from it; `detail`
// (may be empty) says more, such as which check the manifest failed.
std::wstring release_fault_description(ReleaseFault fault, const std::wstring& remote_name,
                                       const std::wstring& detail);
