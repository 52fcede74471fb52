#include "release/release_manifest.h"

#include <algorithm>

#include "release/manifest_lines.h"

namespace {

constexpr std::string_view kNameSeparator = "  ";

}  // namespace

std::optional<std::uint64_t> parse_serial_number(std::string_view digits) {
    if (digits.empty() || digits.size() > 18) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

ManifestParse parse_release_manifest(std::string_view bytes, const std::vector<std::string>& known_names) {
    if (bytes.size() > kMaxManifestBytes) {
        return fault_at(ManifestFault::TooLarge, 0);
    }
    const std::vector<std::string_view> lines = lines_of(bytes);
    if (lines.empty() || lines[0].substr(0, kSerialPrefix.size()) != kSerialPrefix) {
        return fault_at(ManifestFault::MissingSerial, 1);
    }
    const std::optional<std::uint64_t> serial = parse_serial_number(lines[0].substr(kSerialPrefix.size()));
    if (!serial) {
        return fault_at(ManifestFault::MissingSerial, 1);
    }

    ReleaseManifest manifest;
    manifest.serial = *serial;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::size_t name_at = kDigestHexLength + kNameSeparator.size();
        if (line.size() <= name_at || line.substr(kDigestHexLength, kNameSeparator.size()) != kNameSeparator) {
            return fault_at(ManifestFault::MalformedLine, i + 1);
        }
        const std::optional<Sha256Digest> digest = parse_digest(line.substr(0, kDigestHexLength));
        if (!digest) {
            return fault_at(ManifestFault::MalformedLine, i + 1);
        }
        const std::string name(line.substr(name_at));
        if (std::find(known_names.begin(), known_names.end(), name) == known_names.end()) {
            return fault_at(ManifestFault::UnknownName, i + 1);
        }
        if (!manifest.files.emplace(name, *digest).second) {
            return fault_at(ManifestFault::DuplicateName, i + 1);
        }
    }
    ManifestParse result;
    result.manifest = std::move(manifest);
    return result;
}

std::wstring manifest_fault_text(ManifestFault fault) {
    switch (fault) {
    case ManifestFault::None:
        return L"sem falhas";
    case ManifestFault::TooLarge:
        return L"maior que 64 KiB";
    case ManifestFault::MissingSerial:
        return L"a primeira linha não é \"serie N\"";
    case ManifestFault::MalformedLine:
        return L"linha fora do formato do sha256sum";
    case ManifestFault::UnknownName:
        return L"nome de arquivo desconhecido";
    case ManifestFault::DuplicateName:
        return L"nome de arquivo repetido";
    case ManifestFault::MalformedLength:
        return L"tamanho fora do formato";
    }
    return L"falha desconhecida";
}
