// How an installed program of the tool is swapped for a new copy so that
// its path holds a whole, runnable program at every moment, whatever
// happens in between (a kill, a power cut, a full disk, a file held by a
// virus scanner):
//
// - Every new byte is written into a file made new by this swap, with the
//   placed programs' protected security, flushed and read back against the
//   listed SHA-256; only then does one rename put it where it counts. A
//   rename within one folder is atomic, so each name holds an old whole
//   file or a new whole one, never a part.
// - wget.exe does not run between fetches: it is written as ".novo.parcial"
//   and renamed over at once.
// - The running updater cannot be renamed over or deleted. Renaming it
//   aside first would leave its path empty until the new copy moves in, and
//   a scheduled task cannot start a missing program. So the new copy waits,
//   whole and checked, as ".novo", and the system renames it over the
//   target at the next restart, before anything starts (MoveFileExW with
//   MOVEFILE_DELAY_UNTIL_REBOOT). The updater it replaces is kept as
//   ".anterior" for a rollback by hand.
// - Ordinary users can write in the target's folder, so a ".novo" found
//   there is never trusted, whatever it holds: a user may have made it and
//   kept it open for writing. Each swap deletes it and writes its own. And
//   no scheduled rename outlives its ".novo": the schedule is dropped from
//   the system's list before ".novo" is deleted, so no moment leaves a
//   rename whose source a user could create.
//
// Nothing needs mending at the next start: a kill leaves at most a
// ".parcial" leftover or an unscheduled ".novo", which the next swap
// deletes.
//
// The file operations are injected, so each one can be made to fail or
// to be the last one that happens. Pure: tested natively.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "release/release_manifest.h"

// The file operations of a swap. Each one that fails throws OperationError.
class SwapOperations {
public:
    virtual ~SwapOperations() = default;
    // The SHA-256 of a whole file; nothing when there is no such file.
    virtual std::optional<Sha256Digest> digest(const std::wstring& path) = 0;
    // Whether a file of that name exists.
    virtual bool exists(const std::wstring& path) = 0;
    // Creates the new file `path` with the placed programs' security, writes
    // `bytes` and flushes them to the disk; fails when `path` exists.
    virtual void write_flushed(const std::wstring& path, const std::string& bytes) = 0;
    // Copies a file (which may be a running program) into a new file, as
    // write_flushed makes it, and flushes the copy.
    virtual void copy_flushed(const std::wstring& source, const std::wstring& target) = 0;
    // Renames `source` over `target` in one step, flushed to the disk.
    virtual void replace(const std::wstring& source, const std::wstring& target) = 0;
    // Has the system rename `source` over `target` at the next restart.
    virtual void replace_at_restart(const std::wstring& source, const std::wstring& target) = 0;
    // Whether such a rename is scheduled for the next restart.
    virtual bool replacement_pending(const std::wstring& source, const std::wstring& target) = 0;
    // Drops every such rename from the list for the next restart, keeping
    // the others as they are; nothing when none is listed.
    virtual void cancel_replacement_at_restart(const std::wstring& source, const std::wstring& target) = 0;
    // Deletes a file of any attributes; nothing when there is none.
    virtual void remove(const std::wstring& path) = 0;
};

enum class Activation {
    AtOnce,     // a program not running now: renamed over at once
    AtRestart,  // the running updater: renamed over by the system at the next restart
};

// The names a swap uses beside its target, all in the target's folder.
struct SwapPaths {
    std::wstring target;
    std::wstring staged;            // ".novo": written and checked by this swap, waiting for the restart
    std::wstring previous;          // ".anterior": the updater the last swap replaced
    std::wstring partial_new;       // ".novo.parcial": being written
    std::wstring partial_previous;  // ".anterior.parcial": being copied
};
SwapPaths swap_paths(const std::wstring& target);

// What a release's listed copy asks of the installed program.
enum class SwapPlan {
    Nothing,  // the listed copy is in place, nothing is staged or scheduled
    Cancel,   // the listed copy is in place, but a copy is staged or scheduled: drop both
    Replace,  // the listed copy is to be fetched, written anew and swapped in
};

class ProgramSwap {
public:
    ProgramSwap(SwapOperations& files, const std::wstring& target, Activation activation);

    // Reads what is installed and staged; needs no fetched bytes.
    SwapPlan plan(const Sha256Digest& listed);
    // What the target held when plan() read it (nothing: no such file).
    const std::optional<Sha256Digest>& installed() const { return installed_; }

    // Carries out a plan. `bytes` is the listed copy, already checked, for
    // Replace. On failure the files this swap left half-made are deleted,
    // as far as they can be, and the operation's error is thrown.
    void carry_out(SwapPlan plan, const std::string& bytes, const Sha256Digest& listed);

private:
    void replace_now(const std::string& bytes, const Sha256Digest& listed);
    void replace_at_restart(const std::string& bytes, const Sha256Digest& listed);
    void write_checked(const std::wstring& path, const std::string& bytes, const Sha256Digest& listed);
    void remove_quietly(const std::wstring& path);

    SwapOperations& files_;
    SwapPaths paths_;
    Activation activation_;
    std::optional<Sha256Digest> installed_;
};

// The system's list of renames for the next restart is the text of
// PendingFileRenameOperations: pairs of strings, each ended by a NUL
// (source, then target, with "!" before it when it replaces; an empty
// target deletes), and an empty string at the end.
//
// Whether the list holds a rename of `source` to `target`.
bool restart_rename_listed(std::wstring_view pending, std::wstring_view source, std::wstring_view target);
// The list without any rename of `source` to `target`; every other
// character stays as it was.
std::wstring without_restart_rename(std::wstring_view pending, std::wstring_view source, std::wstring_view target);

// The first `digits` hex digits of a SHA-256, for the operator's log.
std::wstring sha256_prefix(const Sha256Digest& digest, std::size_t digits = 12);
