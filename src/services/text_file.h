// One text file handled the way the installation and the update handle the
// address file: open, write or read, close and let go as separate steps,
// each of which can fail on its own (a write, read or close without an open
// file fails too). Text is single-byte, in the system's ANSI code page.
// A file in c:\xampp is reached without following a link and refused when
// it has more than one hard link (services/link_free_path.h).
#pragma once

#include <string>

#include "services/link_free_path.h"

class TextFile {
public:
    TextFile() = default;
    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    // Creates the file, or empties it when present.
    void open_for_writing(const std::wstring& path);
    // Opens an existing file; a missing one fails and is not created.
    void open_for_reading(const std::wstring& path);
    // Writes the text with no line break after it.
    void write(const std::wstring& text);
    // The whole content, from the current position to the end.
    std::wstring read_all();
    void close();
    // Drops the file; closes it first if it is still open.
    void let_go();

private:
    LinkFreeFile file_;
};
