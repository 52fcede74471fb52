// Files in the web stack folder c:\xampp reached without following a link.
// Every user of the PC may change that tree, and the tool runs elevated: a
// folder replaced by a junction or a symbolic link, or a file that is a
// hard link to a system file, would make it read or write elsewhere. Paths
// elsewhere are opened as CreateFileW opens them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Whether the path, made full, lies below c:\xampp (services/xampp_path_levels.h).
bool lies_in_xampp_tree(const std::wstring& path);

// One file, opened like CreateFileW(path, access, share, nullptr,
// disposition, FILE_ATTRIBUTE_NORMAL, nullptr) with OPEN_EXISTING,
// OPEN_ALWAYS or CREATE_ALWAYS; a failure throws the system's error.
//
// Below c:\xampp each folder level from c:\xampp down to the file's folder
// is opened and held (it cannot be renamed or deleted while held) once it
// is found to be itself and no link, and the file is opened without
// following a link and checked through its handle before a byte is read or
// written. A level that is a link or junction, or a file with more than one
// hard link, is refused: OperationError naming the path and why. A file
// made anew is made only where nothing, not even a dangling link, bears its
// name; CREATE_ALWAYS empties an existing file only once it passed.
class LinkFreeFile {
public:
    LinkFreeFile() = default;
    LinkFreeFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition);
    ~LinkFreeFile();
    LinkFreeFile(LinkFreeFile&& other) noexcept;
    LinkFreeFile& operator=(LinkFreeFile&& other) noexcept;
    LinkFreeFile(const LinkFreeFile&) = delete;
    LinkFreeFile& operator=(const LinkFreeFile&) = delete;

    HANDLE handle() const { return file_; }
    bool is_open() const { return file_ != INVALID_HANDLE_VALUE; }
    // The file's attributes when it was opened.
    DWORD attributes() const { return attributes_; }

    // Closes the file while the folders stay held, for work by name in them
    // (the atomic rewrite's swap). False when the system fails to close it.
    bool close_file();
    // Closes the file and lets go of the folders.
    void let_go();

private:
    void open_in_xampp_tree(const std::wstring& full_path, DWORD access, DWORD share, DWORD disposition);

    HANDLE file_ = INVALID_HANDLE_VALUE;
    DWORD attributes_ = 0;
    std::vector<HANDLE> folders_;
};
