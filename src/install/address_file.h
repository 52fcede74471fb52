// The address file as the application installation writes it: opened,
// written, closed and let go as four separate steps, each of which can fail
// on its own (a write or close without an open file fails too).
#pragma once

#include <windows.h>

#include <string>

class AddressFileWriter {
public:
    AddressFileWriter() = default;
    ~AddressFileWriter();
    AddressFileWriter(const AddressFileWriter&) = delete;
    AddressFileWriter& operator=(const AddressFileWriter&) = delete;

    // Creates the file, or empties it when present.
    void open(const std::wstring& path);
    // Writes the text in the ANSI code page, with no line break after it.
    void write(const std::wstring& text);
    void close();
    // Drops the file; closes it first if it is still open.
    void let_go();

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};
