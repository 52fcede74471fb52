// Keyed builds: the updater's scheduled start, the task ZunaveriAtualizacao
// of Task Scheduler 2.0 (ITaskService), registered from its XML text
// (registration/task_xml.h) so that one made by hand under that name is
// replaced, never doubled.
#pragma once

#include <string>

// The account of this process as "DOMAIN\user" (its SID text when the name
// cannot be looked up): the one whose logon starts the updater.
std::wstring own_account_name();

// Creates or replaces the task for own_account_name(); the operator's log
// gets a line either way. A failure throws OperationError.
void register_updater_task();

// Deletes the task; false when there was none. A failure throws OperationError.
bool delete_updater_task();
