// What a stopped or refused fetch says: the description of the error its
// step fails with (and the operator's log shows). Pure.
#pragma once

#include <cstdint>
#include <string>

#include "fetch_watch/fetch_bounds.h"

// Every such description holds this, after the file's quoted name.
inline const std::wstring kFetchStoppedMark = L"transferência interrompida: ";

std::wstring fetch_stop_description(const std::wstring& remote_name, FetchStopReason reason,
                                    const FetchBounds& bounds);
// A file of the release set without a signed length (keyed build).
std::wstring unsigned_length_refusal(const std::wstring& remote_name);
// `volume` as "C:".
std::wstring free_space_refusal(const std::wstring& remote_name, const std::wstring& volume,
                                std::uint64_t free_bytes, std::uint64_t length);
