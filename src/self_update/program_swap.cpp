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

// Calls visit(source, target, begin, end) for each rename of the list, [begin, end) spanning its two strings and
// their NULs.
template <typename Visit>
void for_each_restart_rename(std::wstring_view pending, Visit visit) {
    std::size_t begin = 0;
    while (begin < pending.size()) {
        const std::size_t source_end = pending.find(L'\0', begin);
        // An empty source is the list's end; one without its NUL, a cut-off list.
        if (source_end == begin || source_end == std::wstring_view::npos) {
            return;
        }
        const std::size_t target_end = std::min(pending.find(L'\0', source_end + 1), pending.size());
        const std::size_t end = std::min(target_end + 1, pending.size());
        visit(pending.substr(begin, source_end - begin), pending.substr(source_end + 1, target_end - source_end - 1),
              begin, end);
        begin = end;
    }
}

// With or without "!": a rename that does not replace still moves the source in once the target is gone.
bool is_rename(std::wstring_view listed_source, std::wstring_view listed_target, std::wstring_view source,
               std::wstring_view target) {
    return same_path(listed_path(listed_source), source) && same_path(listed_path(listed_target), target);
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
    if (installed_ != listed) {
        return SwapPlan::Replace;
    }
    if (activation_ == Activation::AtOnce) {
        return SwapPlan::Nothing;
    }
    const bool staged_or_scheduled =
        files_.exists(paths_.staged) || files_.replacement_pending(paths_.staged, paths_.target);
    return staged_or_scheduled ? SwapPlan::Cancel : SwapPlan::Nothing;
}

void ProgramSwap::carry_out(SwapPlan plan, const std::string& bytes, const Sha256Digest& listed) {
    switch (plan) {
    case SwapPlan::Nothing:
        return;
    case SwapPlan::Cancel:
        // The schedule first: a rename left without its source would move in what a user puts there.
        files_.cancel_replacement_at_restart(paths_.staged, paths_.target);
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

void ProgramSwap::write_checked(const std::wstring& path, const std::string& bytes, const Sha256Digest& listed) {
    // Whoever made a file of this name, whatever it holds, it goes; write_flushed fails if one reappears.
    files_.remove(path);
    files_.write_flushed(path, bytes);
    if (files_.digest(path) != listed) {
        throw OperationError(kCopyDiffers, L"a cópia gravada em " + path + L" difere do que foi verificado");
    }
}

void ProgramSwap::replace_now(const std::string& bytes, const Sha256Digest& listed) {
    try {
        write_checked(paths_.partial_new, bytes, listed);
        files_.replace(paths_.partial_new, paths_.target);
    } catch (const OperationError&) {
        remove_quietly(paths_.partial_new);
        throw;
    }
}

void ProgramSwap::replace_at_restart(const std::string& bytes, const Sha256Digest& listed) {
    // An earlier swap's schedule goes before its ".novo"; when it cannot, nothing is touched.
    files_.cancel_replacement_at_restart(paths_.staged, paths_.target);
    try {
        files_.remove(paths_.partial_new);  // a leftover of earlier versions of the swap
        files_.remove(paths_.partial_previous);
        write_checked(paths_.staged, bytes, listed);
        if (installed_) {
            // The updater now in place becomes the one to roll back to.
            files_.copy_flushed(paths_.target, paths_.partial_previous);
            files_.replace(paths_.partial_previous, paths_.previous);
        }
        files_.replace_at_restart(paths_.staged, paths_.target);
    } catch (const OperationError&) {
        // Nothing will move it in.
        remove_quietly(paths_.staged);
        remove_quietly(paths_.partial_previous);
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
    bool listed = false;
    for_each_restart_rename(pending, [&](std::wstring_view from, std::wstring_view to, std::size_t, std::size_t) {
        listed = listed || is_rename(from, to, source, target);
    });
    return listed;
}

std::wstring without_restart_rename(std::wstring_view pending, std::wstring_view source, std::wstring_view target) {
    std::wstring kept;
    std::size_t copied = 0;
    for_each_restart_rename(pending, [&](std::wstring_view from, std::wstring_view to, std::size_t begin,
                                         std::size_t end) {
        if (is_rename(from, to, source, target)) {
            kept.append(pending.substr(copied, begin - copied));
            copied = end;
        }
    });
    kept.append(pending.substr(copied));
    return kept;
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
