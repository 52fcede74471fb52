#include "release/release_rules.h"

#include <algorithm>

#include "release/release_manifest.h"
#include "services/locations.h"

namespace {

bool starts_with_ignoring_case(const std::wstring& text, const std::wstring& prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](wchar_t a, wchar_t b) {
        const auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; };
        return lower(a) == lower(b);
    });
}

std::wstring quoted(const std::wstring& name) { return L"\"" + name + L"\""; }

}  // namespace

std::vector<std::wstring> fetched_files_used_by(const std::wstring& command_or_source) {
    // Every form of the temporary folder is the same folder.
    if (!starts_with_ignoring_case(command_or_source, locations::kTempFolderLower)) {
        return {};
    }
    const std::wstring rest = command_or_source.substr(locations::kTempFolderLower.size());
    const std::wstring name = rest.substr(0, rest.find(L' '));
    if (name == locations::kImportScriptName) {
        return {locations::kDatabaseStructureName, name};
    }
    return {name};
}

std::vector<std::string> manifest_known_names() {
    std::vector<std::string> names(locations::kRemoteFileSet.size());
    // The names are ASCII.
    std::transform(locations::kRemoteFileSet.begin(), locations::kRemoteFileSet.end(), names.begin(),
                   [](const std::wstring& name) { return std::string(name.begin(), name.end()); });
    return names;
}

AppliedSerial applied_serial_from_legacy_file(const std::optional<std::string>& text) {
    if (!text) {
        return AppliedSerial{};
    }
    const std::size_t end = text->find_last_not_of(" \t\r\n");
    const std::optional<std::uint64_t> serial =
        parse_serial_number(std::string_view(*text).substr(0, end == std::string::npos ? 0 : end + 1));
    if (!serial) {
        return AppliedSerial{};
    }
    return AppliedSerial{AppliedSerial::State::Recorded, *serial, std::wstring()};
}

std::optional<SerialRefusal> serial_refusal(std::uint64_t release, const AppliedSerial& applied) {
    switch (applied.state) {
    case AppliedSerial::State::None:
        return std::nullopt;
    case AppliedSerial::State::Unreadable:
        return SerialRefusal{ReleaseFault::SerialRecordUnreadable, applied.problem};
    case AppliedSerial::State::Recorded:
        break;
    }
    if (serial_may_be_applied(release, applied.serial)) {
        return std::nullopt;
    }
    return SerialRefusal{ReleaseFault::OlderSerial,
                         L"serie " + std::to_wstring(release) + L" < serie " + std::to_wstring(applied.serial)};
}

std::wstring release_fault_description(ReleaseFault fault, const std::wstring& remote_name,
                                       const std::wstring& detail) {
    std::wstring reason;
    switch (fault) {
    case ReleaseFault::ManifestRejected:
        reason = L"manifesto da versão ausente ou com assinatura inválida";
        break;
    case ReleaseFault::NotListed:
        reason = L"não consta do manifesto da versão";
        break;
    case ReleaseFault::Missing:
        reason = L"não foi baixado";
        break;
    case ReleaseFault::Differs:
        reason = L"difere do manifesto da versão";
        break;
    case ReleaseFault::OlderSerial:
        reason = L"a versão do servidor é mais antiga que a já aplicada neste computador";
        break;
    case ReleaseFault::SerialRecordUnreadable:
        reason = L"o registro da versão já aplicada neste computador não pôde ser lido";
        break;
    case ReleaseFault::CannotRemove:
        reason = L"a cópia na pasta temporária difere do manifesto e não pôde ser removida";
        break;
    }
    return L"O arquivo " + quoted(remote_name) + L" não foi usado: " + reason +
           (detail.empty() ? std::wstring() : L" (" + detail + L")");
}
