// The release manifest: the publisher's signed list of a release's files.
// Its first line is "serie N" (N grows with every release); then one line
// per remote file as sha256sum writes it: 64 lower-case hex digits, two
// blanks, the remote name. Lines end in LF or CR LF. Pure: tested natively.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using Sha256Digest = std::array<std::uint8_t, 32>;

// A manifest larger than this is refused unread.
inline constexpr std::size_t kMaxManifestBytes = std::size_t{64} * 1024;

struct ReleaseManifest {
    std::uint64_t serial = 0;
    std::map<std::string, Sha256Digest> files;  // remote name -> SHA-256
    std::map<std::string, std::uint64_t> sizes;  // remote name -> length in bytes (the size list)
};

enum class ManifestFault {
    None,
    TooLarge,
    MissingSerial,  // the first line is not "serie N"
    MalformedLine,
    UnknownName,
    DuplicateName,
    MalformedLength,  // the size list only: a length that is not a plain decimal number of 64 bits
};

struct ManifestParse {
    std::optional<ReleaseManifest> manifest;  // set when the whole text is sound
    ManifestFault fault = ManifestFault::None;
    std::size_t line = 0;  // 1-based line of the fault (0 for the whole text)
};

// Reads a manifest's bytes. Any fault rejects the whole manifest: a file
// over kMaxManifestBytes, a first line other than "serie N", a malformed
// line, a name outside `known_names`, or a name listed twice.
ManifestParse parse_release_manifest(std::string_view bytes, const std::vector<std::string>& known_names);

// A serial as written after "serie ": 1 to 18 decimal digits, nothing else.
std::optional<std::uint64_t> parse_serial_number(std::string_view digits);

// The fault in a few Portuguese words, for the publisher's checker and the log.
std::wstring manifest_fault_text(ManifestFault fault);
