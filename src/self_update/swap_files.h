// The file operations of a program swap on the real disk (Win32).
#pragma once

#include "self_update/program_swap.h"

class Win32SwapOperations : public SwapOperations {
public:
    std::optional<Sha256Digest> digest(const std::wstring& path) override;
    bool exists(const std::wstring& path) override;
    void write_flushed(const std::wstring& path, const std::string& bytes) override;
    void copy_flushed(const std::wstring& source, const std::wstring& target) override;
    void replace(const std::wstring& source, const std::wstring& target) override;
    void replace_at_restart(const std::wstring& source, const std::wstring& target) override;
    bool replacement_pending(const std::wstring& source, const std::wstring& target) override;
    void cancel_replacement_at_restart(const std::wstring& source, const std::wstring& target) override;
    void remove(const std::wstring& path) override;
};
