// limpar_temporarios's work: deletes the known leftovers of an installation
// or an update from the temporary folder.
#pragma once

#include "services/operation_error.h"

// For each path of the sweep list, in order, deletes the file when the
// presence test finds it. The first failure throws OperationError and ends
// the sweep: the paths after it are left for the next run.
void sweep_temporary_files();
