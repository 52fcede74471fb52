// substituir_texto's file work: the line-wise replacement applied to a file
// on disk, replacing the file only once its new content is safely written.
#pragma once

#include <string>

#include "services/operation_error.h"
#include "services/text_replacement.h"

// Replaces every occurrence of `search` by `replacement` in each line of the
// file at `path` and writes every line back ending in CR LF (see
// services/text_replacement.h). The texts are taken in the system's ANSI
// code page; the file's other bytes are kept as they are.
//
// The file streams through the replacement into a temporary file of the
// staging folder (beside the file, or outside the web server's document
// root for a file in it: services/staging_folder.h), which then takes the
// target's place keeping its attributes. Any failure (a missing file, which
// is not created; a read-only or locked file; a full disk) throws
// OperationError with the system's description, leaves the old file whole
// and removes the temporary file.
void replace_text_in_file(const std::wstring& path, const std::wstring& search, const std::wstring& replacement,
                          Occurrence rule = Occurrence::Anywhere);
