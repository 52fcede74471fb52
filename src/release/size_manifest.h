// The size list: the release manifest's lines with each file's length,
// signed as a pair of its own beside the manifest. Its first line is
// "serie N"; then one line per remote file: 64 lower-case hex digits, two
// blanks, the length in decimal bytes, two blanks, the remote name. Lines
// end in LF or CR LF. Pure: tested natively.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "release/release_manifest.h"

// Reads a size list's bytes into a manifest with both files and sizes. Any
// fault rejects the whole list, as for the manifest (kMaxManifestBytes,
// "serie N", a malformed line, an unknown or repeated name), and so does a
// malformed length.
ManifestParse parse_size_manifest(std::string_view bytes, const std::vector<std::string>& known_names);

// A length as written in the list: decimal digits, no sign, no leading zero
// (except "0" itself), at most 2^64 - 1.
std::optional<std::uint64_t> parse_length(std::string_view digits);
