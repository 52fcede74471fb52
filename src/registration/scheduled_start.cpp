#include "registration/scheduled_start.h"

#include <windows.h>
#include <oleauto.h>
#include <taskschd.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "oplog/operator_log.h"
#include "registration/task_xml.h"
#include "services/locations.h"
#include "services/secured_files.h"
#include "services/system_error_text.h"

using namespace locations;

namespace {

OperationError com_error(HRESULT result) {
    if (HRESULT_FACILITY(result) == FACILITY_WIN32) {
        return system_error(HRESULT_CODE(result));
    }
    wchar_t text[64];
    std::swprintf(text, sizeof text / sizeof text[0], L"erro 0x%08lX do Agendador de Tarefas",
                  static_cast<unsigned long>(result));
    return OperationError(static_cast<std::uint32_t>(result), text);
}

void check(HRESULT result) {
    if (FAILED(result)) {
        throw com_error(result);
    }
}

// One reference to a COM object, released at the end of its scope.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (object_ != nullptr) {
            object_->Release();
        }
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T** out() { return &object_; }
    T* operator->() const { return object_; }

private:
    T* object_ = nullptr;
};

class Bstr {
public:
    explicit Bstr(const std::wstring& text) : text_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
        if (text_ == nullptr) {
            throw system_error(ERROR_NOT_ENOUGH_MEMORY);
        }
    }
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return text_; }  // NOLINT(google-explicit-constructor): handed to COM calls

private:
    BSTR text_;
};

// COM on this thread for as long as the object lives; a thread that has it
// in another model already keeps it.
class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {
        if (FAILED(result_) && result_ != RPC_E_CHANGED_MODE) {
            throw com_error(result_);
        }
    }
    ~ComApartment() {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT result_;
};

VARIANT empty_variant() {
    VARIANT value;
    VariantInit(&value);
    return value;
}

// The root folder of this PC's Task Scheduler, connected, on a thread with COM.
class RootFolder {
public:
    RootFolder() {
        check(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                               reinterpret_cast<void**>(service_.out())));
        check(service_->Connect(empty_variant(), empty_variant(), empty_variant(), empty_variant()));
        check(service_->GetFolder(Bstr(L"\\"), folder_.out()));
    }
    ITaskFolder* operator->() const { return folder_.operator->(); }

private:
    ComApartment com_;
    ComRef<ITaskService> service_;
    ComRef<ITaskFolder> folder_;
};

}  // namespace

std::wstring own_account_name() {
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        std::vector<unsigned char> buffer(size);
        if (size != 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
            const PSID sid = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
            wchar_t name[256];
            wchar_t domain[256];
            DWORD name_length = 256;
            DWORD domain_length = 256;
            SID_NAME_USE use;
            if (LookupAccountSidW(nullptr, sid, name, &name_length, domain, &domain_length, &use)) {
                CloseHandle(token);
                return domain_length != 0 ? std::wstring(domain) + L"\\" + name : std::wstring(name);
            }
        }
        CloseHandle(token);
    }
    return own_user_sid_text();
}

void register_updater_task() {
    const std::wstring account = own_account_name();
    try {
        const RootFolder root;
        ComRef<IRegisteredTask> task;
        check(root->RegisterTask(Bstr(kUpdaterTaskName), Bstr(updater_task_xml(account)), TASK_CREATE_OR_UPDATE,
                                 empty_variant(), empty_variant(), TASK_LOGON_INTERACTIVE_TOKEN, empty_variant(),
                                 task.out()));
    } catch (const OperationError& error) {
        operator_log::write(L"tarefa agendada " + kUpdaterTaskName + L" não registrada: " + error.description());
        throw;
    }
    operator_log::write(L"tarefa agendada " + kUpdaterTaskName + L" registrada: no logon de " + account +
                        L", \"" + kHomeUpdater + L"\" /atualizar");
}

bool delete_updater_task() {
    const RootFolder root;
    const HRESULT result = root->DeleteTask(Bstr(kUpdaterTaskName), 0);
    if (result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || result == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) {
        return false;
    }
    check(result);
    return true;
}
