#include "services/temp_sweep.h"

#include "services/fetched_copies.h"
#include "services/file_helpers.h"
#include "services/locations.h"

void sweep_temporary_files() {
    for (const std::wstring& listed : locations::kSweepList) {
        const std::wstring path = fetched_copy(listed);
        if (file_present(path)) {
            delete_file(path);
        }
    }
}
