// The rotation of the operator's log: the full instalador.log becomes
// instalador.log.1 (replacing the older one) and the log starts empty.
// Called under the log's lock, so no process of the tool writes meanwhile.
#pragma once

#include <string>

namespace operator_log {

// Renames `path` over `rotated_path`. When a reader holds either file
// without letting it be renamed (a viewer following the log, which lets
// others write but not rename), the content is copied over instead and
// `path` emptied. False when neither can be done: the log is then not
// written past its bound, and the next line tries again.
bool rotate_log(const std::wstring& path, const std::wstring& rotated_path);

}  // namespace operator_log
