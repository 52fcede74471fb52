#include "self_update/program_swap.h"

#include <algorithm>

#include "services/operation_error.h"

namespace {
// ERROR_CRC: the copy on the disk is not what was written.
constexpr std::uint32_t kCopyDiffers = 23;

wchar_t ascii_lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool same_path(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) {
            return false;
        }
    }
    return true;
}

// A name in the rename list: "\??\" before the path, "!" before that for a target that is replaced.
std::wstring_view listed_path(std::wstring_view entry) {
    if (!entry.empty() && entry.front() == L'!') {
        entry.remove_prefix(1);
    }
    constexpr std::wstring_view kNtPrefix = L"\\??\\";
    if (entry.substr(0, kNtPrefix.size()) == kNtPrefix) {
        entry.remove_prefix(kNtPrefix.size());
    }
    return entry;
}
}  // namespace

SwapPaths swap_paths(const std::wstring& target) {
    return SwapPaths{target, target + L".novo", target + L".anterior", target + L".novo.parcial",
                     target + L".anterior.parcial"};
}

ProgramSwap::ProgramSwap(SwapOperations& files, const std::wstring& target, Activation activation)
    : files_(files), paths_(swap_paths(target)), activation_(activation) {}

SwapPlan ProgramSwap::plan(const Sha256Digest& listed) {
    installed_ = files_.digest(paths_.target);
    if (activation_ == Activation::AtOnce) {
        return installed_ == listed ? SwapPlan::Nothing : SwapPlan::Replace;
    }
    // What the path will hold after the next restart is the staged copy, if any.
    const std::optional<Sha256Digest> staged = files_.digest(paths_.staged);
    if (!staged) {
        return installed_ == listed ? SwapPlan::Nothing : SwapPlan::Replace;
    }
    if (*staged == listed) {
        return files_.replacement_pending(paths_.staged, paths_.target) ? SwapPlan::AlreadyPending
                                                                        : SwapPlan::Schedule;
    }
    return installed_ == listed ? SwapPlan::Cancel : SwapPlan::Replace;
}

void ProgramSwap::carry_out(SwapPlan plan, const std::string& bytes, const Sha256Digest& listed) {
    switch (plan) {
    case SwapPlan::Nothing:
    case SwapPlan::AlreadyPending:
        return;
    case SwapPlan::Schedule:
        files_.replace_at_restart(paths_.staged, paths_.target);
        return;
    case SwapPlan::Cancel:
        // A rename left scheduled finds no source at the restart and does nothing.
        files_.remove(paths_.staged);
        return;
    case SwapPlan::Replace:
        if (activation_ == Activation::AtOnce) {
            replace_now(bytes, listed);
        } else {
            replace_at_restart(bytes, listed);
        }
        return;
    }
}

void ProgramSwap::write_checked(const std::string& bytes, const Sha256Digest& listed) {
    // A leftover of a swap that was cut short; never the source of a rename.
    files_.remove(paths_.partial_new);
    files_.write_flushed(paths_.partial_new, bytes);
    if (files_.digest(paths_.partial_new) != listed) {
        throw OperationError(kCopyDiffers, L"a cópia gravada em " + paths_.partial_new +
                                               L" difere do que foi verificado");
    }
}

void ProgramSwap::replace_now(const std::string& bytes, const Sha256Digest& listed) {
    try {
        write_checked(bytes, listed);
        files_.replace(paths_.partial_new, paths_.target);
    } catch (const OperationError&) {
        remove_quietly(paths_.partial_new);
        throw;
    }
}

void ProgramSwap::replace_at_restart(const std::string& bytes, const Sha256Digest& listed) {
    bool staged = false;
    try {
        files_.remove(paths_.partial_previous);
        write_checked(bytes, listed);
        if (installed_) {
            // The updater now in place becomes the one to roll back to.
            files_.copy_flushed(paths_.target, paths_.partial_previous);
            files_.replace(paths_.partial_previous, paths_.previous);
        }
        files_.replace(paths_.partial_new, paths_.staged);
        staged = true;
        files_.replace_at_restart(paths_.staged, paths_.target);
    } catch (const OperationError&) {
        remove_quietly(paths_.partial_new);
        remove_quietly(paths_.partial_previous);
        if (staged) {
            // Nothing will move it in; an earlier schedule then finds no source.
            remove_quietly(paths_.staged);
        }
        throw;
    }
}

void ProgramSwap::remove_quietly(const std::wstring& path) {
    try {
        files_.remove(path);
    } catch (const OperationError&) {
        // The next swap deletes it first.
    }
}

bool restart_rename_listed(std::wstring_view pending, std::wstring_view source, std::wstring_view target) {
    std::wstring_view entries[2];
    std::size_t filled = 0;
    while (!pending.empty()) {
        const std::size_t end = pending.find(L'\0');
        const std::wstring_view entry = pending.substr(0, end);
        pending.remove_prefix(end == std::wstring_view::npos ? pending.size() : end + 1);
        // An empty string ends the list (the value's final NUL).
        if (entry.empty() && filled == 0) {
            break;
        }
        entries[filled++] = entry;
        if (filled == 2) {
            if (same_path(listed_path(entries[0]), source) && entries[1].substr(0, 1) == L"!" &&
                same_path(listed_path(entries[1]), target)) {
                return true;
            }
            filled = 0;
        }
    }
    return false;
}

std::wstring sha256_prefix(const Sha256Digest& digest, std::size_t digits) {
    const wchar_t* hex = L"0123456789abcdef";
    std::wstring out;
    for (std::size_t i = 0; i < digest.size() && out.size() < digits; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 0xF];
    }
    out.resize(std::min(out.size(), digits));
    return out;
}
