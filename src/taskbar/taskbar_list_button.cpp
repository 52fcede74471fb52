#include "taskbar/taskbar_list_button.h"

#include <objbase.h>
#include <shobjidl.h>

TaskbarListButton::~TaskbarListButton() {
    release();
    if (com_started_) {
        CoUninitialize();
    }
}

UINT TaskbarListButton::start(HWND window) {
    window_ = window;
    if (!com_started_) {
        // S_FALSE: the thread had it already in this model; both are balanced
        // by CoUninitialize. Another model (RPC_E_CHANGED_MODE) is kept.
        com_started_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }
    const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
    if (message != 0) {
        ChangeWindowMessageFilterEx(window, message, MSGFLT_ALLOW, nullptr);
    }
    return message;
}

bool TaskbarListButton::create() {
    release();
    ITaskbarList3* list = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&list))) ||
        list == nullptr) {
        return false;
    }
    if (FAILED(list->HrInit())) {
        list->Release();
        return false;
    }
    list_ = list;
    return true;
}

bool TaskbarListButton::show(const ButtonProgress& progress) {
    if (list_ == nullptr) {
        return false;
    }
    switch (progress.state) {
    case ButtonState::none:
        return SUCCEEDED(list_->SetProgressState(window_, TBPF_NOPROGRESS));
    case ButtonState::busy:
        return SUCCEEDED(list_->SetProgressState(window_, TBPF_INDETERMINATE));
    case ButtonState::fraction:
        return SUCCEEDED(list_->SetProgressState(window_, TBPF_NORMAL)) &&
               SUCCEEDED(list_->SetProgressValue(window_, progress.completed, kButtonScale));
    }
    return false;
}

void TaskbarListButton::release() {
    if (list_ != nullptr) {
        list_->Release();
        list_ = nullptr;
    }
}
