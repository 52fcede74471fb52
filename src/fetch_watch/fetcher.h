// The fetcher behind Form1::Download: brings one remote file into the
// temporary folder, or the process's own download folder
// (services/fetched_copies.h), by running wget.exe, watched
// (fetch_watch/watched_fetch.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "services/operation_error.h"

// Where one fetch's client lies, and the start-up file it reads.
struct FetchPlace {
    // The folder of wget.exe, without a trailing separator.
    std::wstring client_folder;
    // An empty file only administrators can write, which wget reads
    // (WGETRC) instead of a wget.ini or .wgetrc that anyone could plant
    // beside it or in a home folder.
    std::wstring startup_file;
};

// Whether a fetch is held to bounds (a keyed build), and the length the
// verified manifest signed for the file, if any.
struct FetchLimits {
    bool bounded = false;
    std::optional<std::uint64_t> signed_length;
};

// Fetches `arquivo` from the remote folder of "ftp." + `domain` into
// "C:\Windows\Temp\" (or the process's own folder), unless a non-empty copy
// already lies there (then nothing is run). An empty copy is deleted first.
// The client runs hidden and is waited for; when it ends with a non-zero
// code, whatever it left at the copy's path is deleted, so a cut-off
// transfer is fetched afresh next time. A failed transfer raises nothing; a
// failure of the presence test or of the delete of an empty copy throws
// OperationError.
// Bounded (fetch_watch/fetch_bounds.h): a file of the release set without a
// signed length, or one whose signed length would leave less than 1 GiB
// free, is refused before the client runs; a transfer that passes a bound
// is ended, what it left (numbered copies too) is deleted; each throws
// OperationError whose description names the file and the bound.
void fetch_remote_file(const std::wstring& user, const std::wstring& password, const std::wstring& domain,
                       const FetchPlace& place, const std::wstring& arquivo, const FetchLimits& limits = {});
