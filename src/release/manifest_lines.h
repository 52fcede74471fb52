// The pieces both signed lists are written in: lines ending in LF or CR LF,
// and SHA-256 digests as sha256sum writes them. Pure: tested natively.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "release/release_manifest.h"

inline constexpr std::size_t kDigestHexLength = 64;

// The lines of the text without their terminators (LF or CR LF). A final
// line without a terminator counts; a text that ends in one has no empty
// line after it.
std::vector<std::string_view> lines_of(std::string_view text);

// 64 lower-case hex digits (upper case is not what sha256sum writes).
std::optional<Sha256Digest> parse_digest(std::string_view hex);

// The first line of both lists: "serie " and the release's serial.
inline constexpr std::string_view kSerialPrefix = "serie ";

// A parse that failed with `fault` on line `line` (1-based).
inline ManifestParse fault_at(ManifestFault fault, std::size_t line) {
    ManifestParse result;
    result.fault = fault;
    result.line = line;
    return result;
}
