// A folder that only SYSTEM and Administrators can write, made fresh with
// an unguessable name in the temporary folder, where every user may create
// files and folders but nobody can make this one first or put anything in
// it. The process's own folder (hardening/process_folder.h) is one.
#pragma once

#include <string>

class ProtectedFolder {
public:
    // Makes the folder with the staging security from its creation on.
    // A failure throws.
    ProtectedFolder();
    // Removes every file in it and the folder; what is still in use (a
    // program started from it that runs on) goes at the next restart.
    ~ProtectedFolder();
    ProtectedFolder(const ProtectedFolder&) = delete;
    ProtectedFolder& operator=(const ProtectedFolder&) = delete;

    // The folder, without a trailing separator.
    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};
