// Signed releases: what one installation run or one due update trusts.
// At its start the size list and its signature are fetched afresh and
// verified against the build's key; every fetched file is then checked
// against its manifest line right before a step runs, copies or uses it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "release/release_manifest.h"
#include "release/release_rules.h"
#include "release/release_verifier.h"
#include "services/operation_error.h"

// Whether this build checks releases (its release key is set).
bool signed_releases_enabled();

// A manifest read from two files and checked against a key text: the
// manifest when the signature verifies and the text is sound, otherwise
// what is wrong, in Portuguese.
struct ManifestVerdict {
    std::optional<ReleaseManifest> manifest;
    std::wstring problem;
};
ManifestVerdict verify_manifest_files(const std::wstring& manifest_path, const std::wstring& signature_path,
                                      const char* key_text);

// The same for the size list and its signature (release/size_manifest.h):
// the manifest it gives carries each file's signed length as well.
ManifestVerdict verify_size_manifest_files(const std::wstring& list_path, const std::wstring& signature_path,
                                           const char* key_text);

// The one place where a refusal becomes an error: the description the
// step's error line shows, with the number every refusal carries.
[[noreturn]] void refuse_release_file(ReleaseFault fault, const std::wstring& remote_name,
                                      const std::wstring& detail = std::wstring());

class ReleaseCheck {
public:
    using Fetch = std::function<void(const std::wstring& remote_name)>;

    // Deletes leftover copies of both signed pairs (of any attributes, and
    // numbered ones), fetches the size list and its signature, verifies
    // them, and reads the serial this PC has applied. A rejected list, or
    // one this PC may not use (an older serial, an unreadable record), is
    // kept as such, not thrown: each step that would use a fetched file then
    // fails on its own. A leftover that cannot be removed, or a numbered
    // copy that appears beside the fetched one, rejects the list.
    void load(const Fetch& fetch);

    // Checks the release against the applied serial and each fetched file
    // against its line: its digest and its signed length. A copy that is
    // missing or differs (a hidden, system or read-only one counts as
    // differing) is deleted and fetched once more; still wrong, it is
    // deleted and the check throws (refuse_release_file), as it does when
    // such a copy cannot be deleted.
    // The files come back held, in the order of `remote_names`, so they stay
    // as checked while the step uses them.
    std::vector<HeldFile> verify(const std::vector<std::wstring>& remote_names, const Fetch& fetch) const;

    const std::optional<ReleaseManifest>& manifest() const { return verdict_.manifest; }
    // The length the publisher signed for `remote_name`, when a verified
    // manifest lists one (what bounds its fetch).
    std::optional<std::uint64_t> signed_size(const std::wstring& remote_name) const;
    // Why the manifest was rejected.
    const std::wstring& problem() const { return verdict_.problem; }

private:
    HeldFile verify_one(const std::wstring& remote_name, const Fetch& fetch) const;

    ManifestVerdict verdict_{std::nullopt, L"manifesto ainda não verificado"};
    std::optional<SerialRefusal> serial_refusal_;
};

// Deletes the temporary copies of both signed pairs, when present,
// whatever their attributes, and numbered copies of them beside; a failure
// throws, as the sweep does.
void sweep_release_manifest();
