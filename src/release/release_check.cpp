#include "release/release_check.h"

#include "release/applied_serial.h"
#include "release/size_manifest.h"
#include "release_key.h"
#include "services/fetched_copies.h"
#include "services/file_helpers.h"
#include "services/locations.h"
#include "services/system_error_text.h"

using namespace locations;

namespace {

// TRUST_E_BAD_DIGEST: the number every refused file carries.
constexpr std::uint32_t kReleaseRefused = 0x80096010u;
// A DER P-256 signature has at most 72 bytes.
constexpr std::size_t kMaxSignatureBytes = 256;

enum class ReadOutcome { Read, Absent, TooLarge };

// Reads a small file whole; a file over `limit` bytes is not read.
ReadOutcome read_small_file(const std::wstring& path, std::size_t limit, std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return ReadOutcome::Absent;
    }
    HeldFile hold(file);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) {
        return ReadOutcome::Absent;
    }
    if (static_cast<std::uint64_t>(size.QuadPart) > limit) {
        return ReadOutcome::TooLarge;
    }
    bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
        return ReadOutcome::Absent;
    }
    return ReadOutcome::Read;
}

ManifestVerdict rejected(std::wstring problem) { return ManifestVerdict{std::nullopt, std::move(problem)}; }

// Reads a signed text and its signature and checks one against the other
// under the key: empty when the signature holds, else what is wrong.
std::wstring read_signed_text(const std::wstring& text_path, const std::wstring& signature_path,
                              const char* key_text, std::string& text) {
    const std::optional<P256PublicPoint> key = decode_public_key_text(key_text);
    if (!key) {
        return L"chave da versão inválida neste programa";
    }
    switch (read_small_file(text_path, kMaxManifestBytes, text)) {
    case ReadOutcome::Absent:
        return L"manifesto ausente";
    case ReadOutcome::TooLarge:
        return L"manifesto maior que 64 KiB";
    case ReadOutcome::Read:
        break;
    }
    std::string signature_bytes;
    if (read_small_file(signature_path, kMaxSignatureBytes, signature_bytes) == ReadOutcome::Absent) {
        return L"assinatura ausente";
    }
    const std::optional<P256Signature> signature = decode_der_signature(
        reinterpret_cast<const std::uint8_t*>(signature_bytes.data()), signature_bytes.size());
    if (!signature || !p256_signature_valid(text, *signature, *key)) {
        return L"assinatura inválida";
    }
    return std::wstring();
}

// The length of a held file, from its handle: what the hold keeps as it is.
std::optional<std::uint64_t> held_length(const HeldFile& hold) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(hold.handle(), &size)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::string ascii_name(const std::wstring& name) { return std::string(name.begin(), name.end()); }

}  // namespace

bool signed_releases_enabled() { return kReleasePublicKey[0] != '\0'; }

ManifestVerdict verify_manifest_files(const std::wstring& manifest_path, const std::wstring& signature_path,
                                      const char* key_text) {
    const std::optional<P256PublicPoint> key = decode_public_key_text(key_text);
    if (!key) {
        return rejected(L"chave da versão inválida neste programa");
    }
    std::string manifest_bytes;
    switch (read_small_file(manifest_path, kMaxManifestBytes, manifest_bytes)) {
    case ReadOutcome::Absent:
        return rejected(L"manifesto ausente");
    case ReadOutcome::TooLarge:
        return rejected(L"manifesto maior que 64 KiB");
    case ReadOutcome::Read:
        break;
    }
    std::string signature_bytes;
    switch (read_small_file(signature_path, kMaxSignatureBytes, signature_bytes)) {
    case ReadOutcome::Absent:
        return rejected(L"assinatura ausente");
    case ReadOutcome::TooLarge:
        return rejected(L"assinatura inválida");
    case ReadOutcome::Read:
        break;
    }
    const std::optional<P256Signature> signature = decode_der_signature(
        reinterpret_cast<const std::uint8_t*>(signature_bytes.data()), signature_bytes.size());
    if (!signature || !p256_signature_valid(manifest_bytes, *signature, *key)) {
        return rejected(L"assinatura inválida");
    }
    // Only signed text is parsed.
    ManifestParse parsed = parse_release_manifest(manifest_bytes, manifest_known_names());
    if (!parsed.manifest) {
        return rejected(L"manifesto recusado, linha " + std::to_wstring(parsed.line) + L": " +
                        manifest_fault_text(parsed.fault));
    }
    return ManifestVerdict{std::move(parsed.manifest), std::wstring()};
}

ManifestVerdict verify_size_manifest_files(const std::wstring& list_path, const std::wstring& signature_path,
                                           const char* key_text) {
    std::string text;
    std::wstring problem = read_signed_text(list_path, signature_path, key_text, text);
    if (!problem.empty()) {
        return rejected(std::move(problem));
    }
    // Only signed text is parsed.
    ManifestParse parsed = parse_size_manifest(text, manifest_known_names());
    if (!parsed.manifest) {
        return rejected(L"manifesto recusado, linha " + std::to_wstring(parsed.line) + L": " +
                        manifest_fault_text(parsed.fault));
    }
    return ManifestVerdict{std::move(parsed.manifest), std::wstring()};
}

void refuse_release_file(ReleaseFault fault, const std::wstring& remote_name, const std::wstring& detail) {
    // Every refusal of a fetched file, in either run mode, passes here.
    throw OperationError(kReleaseRefused, release_fault_description(fault, remote_name, detail));
}

void ReleaseCheck::load(const Fetch& fetch) {
    verdict_ = rejected(L"manifesto não baixado");
    // A leftover of an earlier release must not stand in for this one's,
    // whatever its attributes; one that cannot be removed rejects the run's
    // manifest, since wget would save the fresh one under another name.
    try {
        sweep_release_manifest();
    } catch (const OperationError& error) {
        verdict_ = rejected(L"cópia anterior na pasta temporária não pôde ser removida: " + error.description());
        return;
    }
    // Only the size list is read, never the manifest without lengths: were
    // the lengths optional, whoever answers for the FTP server would simply
    // withhold them to lift the bounds on every fetch.
    fetch(kSizeManifestName);
    fetch(kSizeSignatureName);
    // wget saves under a numbered name when the plain one is taken: then the
    // file under the plain name is not the one fetched now.
    for (const std::wstring* name : {&kSizeManifestName, &kSizeSignatureName}) {
        if (!numbered_copies(fetched_copy(temporary_copy(kTempFolderLower, *name))).empty()) {
            verdict_ = rejected(L"outra cópia apareceu na pasta temporária durante o download");
            return;
        }
    }
    verdict_ = verify_size_manifest_files(fetched_copy(temporary_copy(kTempFolderLower, kSizeManifestName)),
                                          fetched_copy(temporary_copy(kTempFolderLower, kSizeSignatureName)),
                                          kReleasePublicKey);
    serial_refusal_.reset();
    if (verdict_.manifest) {
        serial_refusal_ = serial_refusal(verdict_.manifest->serial, read_applied_serial());
    }
}

std::vector<HeldFile> ReleaseCheck::verify(const std::vector<std::wstring>& remote_names, const Fetch& fetch) const {
    std::vector<HeldFile> held;
    held.reserve(remote_names.size());
    for (const std::wstring& name : remote_names) {
        held.push_back(verify_one(name, fetch));
    }
    return held;
}

std::optional<std::uint64_t> ReleaseCheck::signed_size(const std::wstring& remote_name) const {
    if (!verdict_.manifest || serial_refusal_) {
        return std::nullopt;
    }
    const auto listed = verdict_.manifest->sizes.find(ascii_name(remote_name));
    if (listed == verdict_.manifest->sizes.end()) {
        return std::nullopt;
    }
    return listed->second;
}

HeldFile ReleaseCheck::verify_one(const std::wstring& remote_name, const Fetch& fetch) const {
    if (!verdict_.manifest) {
        refuse_release_file(ReleaseFault::ManifestRejected, remote_name, verdict_.problem);
    }
    if (serial_refusal_) {
        refuse_release_file(serial_refusal_->fault, remote_name, serial_refusal_->detail);
    }
    const auto listed = verdict_.manifest->files.find(ascii_name(remote_name));
    const auto length = verdict_.manifest->sizes.find(ascii_name(remote_name));
    if (listed == verdict_.manifest->files.end() || length == verdict_.manifest->sizes.end()) {
        refuse_release_file(ReleaseFault::NotListed, remote_name);
    }
    const std::wstring copy = fetched_copy(temporary_copy(kTempFolderLower, remote_name));
    for (int attempt = 1;; ++attempt) {
        // A copy of another length is not read through: it may be endless.
        if (present_file_length(copy) == length->second) {
            HeldFile hold;
            if (sha256_of_file(copy, hold) == listed->second && held_length(hold) == length->second) {
                return hold;
            }
        }
        // Not the listed file: most often a leftover of an earlier release.
        // It is removed whatever its attributes (a hidden or system copy
        // would make wget save the fresh one under another name, a
        // read-only one could not be replaced), so nothing picks it up.
        bool found = false;
        try {
            found = delete_file_of_any_attributes(fetched_copy(temporary_copy(kTempFolderTitle, remote_name)));
        } catch (const OperationError& error) {
            refuse_release_file(ReleaseFault::CannotRemove, remote_name, error.description());
        }
        if (attempt == 2) {
            refuse_release_file(found ? ReleaseFault::Differs : ReleaseFault::Missing, remote_name);
        }
        // Fetched afresh; a copy this check fetched itself is not fetched a
        // second time.
        fetch(remote_name);
    }
}

void sweep_release_manifest() {
    for (const std::wstring* name :
         {&kReleaseManifestName, &kReleaseSignatureName, &kSizeManifestName, &kSizeSignatureName}) {
        const std::wstring copy = fetched_copy(temporary_copy(kTempFolderLower, *name));
        delete_file_of_any_attributes(copy);
        for (const std::wstring& numbered : numbered_copies(copy)) {
            delete_file_of_any_attributes(numbered);
        }
    }
}
