#include "release/size_manifest.h"

#include <algorithm>
#include <limits>

#include "release/manifest_lines.h"

namespace {

constexpr std::string_view kSeparator = "  ";

}  // namespace

std::optional<std::uint64_t> parse_length(std::string_view digits) {
    if (digits.empty() || (digits.size() > 1 && digits[0] == '0')) {
        return std::nullopt;
    }
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (kMax - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

ManifestParse parse_size_manifest(std::string_view bytes, const std::vector<std::string>& known_names) {
    if (bytes.size() > kMaxManifestBytes) {
        return fault_at(ManifestFault::TooLarge, 0);
    }
    const std::vector<std::string_view> lines = lines_of(bytes);
    const std::optional<std::uint64_t> serial =
        lines.empty() || lines[0].substr(0, kSerialPrefix.size()) != kSerialPrefix
            ? std::nullopt
            : parse_serial_number(lines[0].substr(kSerialPrefix.size()));
    if (!serial) {
        return fault_at(ManifestFault::MissingSerial, 1);
    }

    ReleaseManifest manifest;
    manifest.serial = *serial;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::size_t length_at = kDigestHexLength + kSeparator.size();
        const std::optional<Sha256Digest> digest = parse_digest(line.substr(0, kDigestHexLength));
        if (line.size() <= length_at || line.substr(kDigestHexLength, kSeparator.size()) != kSeparator || !digest) {
            return fault_at(ManifestFault::MalformedLine, i + 1);
        }
        const std::string_view rest = line.substr(length_at);
        const std::size_t name_separator = rest.find(kSeparator);
        if (name_separator == std::string_view::npos || name_separator + kSeparator.size() == rest.size()) {
            return fault_at(ManifestFault::MalformedLine, i + 1);
        }
        const std::optional<std::uint64_t> length = parse_length(rest.substr(0, name_separator));
        if (!length) {
            return fault_at(ManifestFault::MalformedLength, i + 1);
        }
        const std::string name(rest.substr(name_separator + kSeparator.size()));
        if (std::find(known_names.begin(), known_names.end(), name) == known_names.end()) {
            return fault_at(ManifestFault::UnknownName, i + 1);
        }
        if (!manifest.files.emplace(name, *digest).second) {
            return fault_at(ManifestFault::DuplicateName, i + 1);
        }
        manifest.sizes.emplace(name, *length);
    }
    ManifestParse result;
    result.manifest = std::move(manifest);
    return result;
}
