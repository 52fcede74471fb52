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
};

// What the step's error line says after its prefix: names the file and
// tells a bad manifest apart from a file that differs from it; `detail`
// (may be empty) says more, such as which check the manifest failed.
std::wstring release_fault_description(ReleaseFault fault, const std::wstring& remote_name,
                                       const std::wstring& detail);
