// A folder that only SYSTEM and Administrators can write, made for one step
// of a build with a release key: fetched files are copied into it, checked
// against the manifest, and run or copied from there, so that nothing an
// ordinary user dropped beside them in the temporary folder (a library the
// program would load first) comes along.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "release/release_manifest.h"
#include "release/release_verifier.h"

class ProtectedFolder {
public:
    // Makes a fresh folder with an unguessable name in the temporary folder,
    // with the staging security from its creation on. A failure throws.
    ProtectedFolder();
    // Removes the copies and the folder; what is still in use (a program
    // the step started that runs on) goes at the next restart.
    ~ProtectedFolder();
    ProtectedFolder(const ProtectedFolder&) = delete;
    ProtectedFolder& operator=(const ProtectedFolder&) = delete;

    // The folder, without a trailing separator.
    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

    // Copies what `source` holds in as `name`, checks the copy's SHA-256
    // against `listed` and holds the copy unchanged until the folder goes.
    // A copy that differs is refused (refuse_release_file).
    const HeldFile& add_checked_copy(const std::wstring& name, const HeldFile& source, const Sha256Digest& listed);

private:
    std::wstring path_;
    std::vector<std::wstring> copies_;
    std::deque<HeldFile> held_;  // stays where it is as copies are added
};
