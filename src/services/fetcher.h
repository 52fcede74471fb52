// The fetcher behind Form1::Download: brings one remote file into the
// temporary folder by running wget.exe from the tool's folder.
#pragma once

#include <string>

#include "services/operation_error.h"

// Fetches `arquivo` from the remote folder of "ftp." + `domain` into
// "C:\Windows\Temp\", unless a non-empty copy already lies there (then
// nothing is run). An empty copy is deleted first. The client runs hidden
// and is waited for; when it ends with a non-zero code, whatever it left at
// the copy's path is deleted, so a cut-off transfer is fetched afresh next
// time. A failed transfer raises nothing; a failure of the presence test or
// of the delete of an empty copy throws OperationError.
void fetch_remote_file(const std::wstring& user, const std::wstring& password, const std::wstring& domain,
                       const std::wstring& folder_of_client, const std::wstring& arquivo);
