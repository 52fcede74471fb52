#include "services/temp_sweep.h"

#include "services/file_helpers.h"
#include "services/locations.h"

void sweep_temporary_files() {
    for (const std::wstring& path : locations::kSweepList) {
        if (file_present(path)) {
            delete_file(path);
        }
    }
}
