// The main window's button on the Windows taskbar, through ITaskbarList3.
// The taskbar announces the button with the registered message
// "TaskbarButtonCreated" (again after Explorer restarts); only then may the
// button be reached. Every call that fails answers false and changes nothing.
#pragma once

#include <windows.h>

#include "taskbar/taskbar_progress.h"

struct ITaskbarList3;

class TaskbarListButton final : public TaskbarButton {
public:
    TaskbarListButton() = default;
    ~TaskbarListButton() override;
    TaskbarListButton(const TaskbarListButton&) = delete;
    TaskbarListButton& operator=(const TaskbarListButton&) = delete;

    // On the window's thread, before the window is shown: COM on this
    // thread (apartment-threaded, for the process's life, unless the thread
    // has it already) and the taskbar's message let in, which an elevated
    // window would otherwise never get from the unelevated Explorer.
    // Answers the message's number (0: none to wait for).
    UINT start(HWND window);
    // On "TaskbarButtonCreated": the taskbar list made anew. False when it
    // cannot be had; the button then stays without progress.
    bool create();
    bool show(const ButtonProgress& progress) override;

private:
    void release();

    HWND window_ = nullptr;
    ITaskbarList3* list_ = nullptr;
    bool com_started_ = false;
};
