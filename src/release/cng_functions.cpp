#include "release/cng_functions.h"

#include <string>

#include "services/operation_error.h"
#include "services/system_error_text.h"

namespace {

OperationError load_error(DWORD code, const std::wstring& what) {
    return OperationError(code, L"Falha da criptografia do sistema (" + what + L": " +
                                    system_error_description(code) + L")");
}

// void (*)() converts to and from any function pointer without a warning.
template <typename Function>
void resolve(HMODULE library, const char* name, Function& function) {
    const FARPROC address = GetProcAddress(library, name);
    if (address == nullptr) {
        throw load_error(GetLastError(), L"bcrypt.dll sem " + std::wstring(name, name + std::char_traits<char>::length(name)));
    }
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

CngFunctions load() {
    // The system folder only, for bcrypt.dll and for what it loads in turn.
    HMODULE library = LoadLibraryExW(L"bcrypt.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library == nullptr) {
        throw load_error(GetLastError(), L"bcrypt.dll da pasta do sistema não carregou");
    }
    CngFunctions functions{};
    resolve(library, "BCryptOpenAlgorithmProvider", functions.open_algorithm_provider);
    resolve(library, "BCryptCloseAlgorithmProvider", functions.close_algorithm_provider);
    resolve(library, "BCryptCreateHash", functions.create_hash);
    resolve(library, "BCryptHashData", functions.hash_data);
    resolve(library, "BCryptFinishHash", functions.finish_hash);
    resolve(library, "BCryptDestroyHash", functions.destroy_hash);
    resolve(library, "BCryptImportKeyPair", functions.import_key_pair);
    resolve(library, "BCryptVerifySignature", functions.verify_signature);
    resolve(library, "BCryptDestroyKey", functions.destroy_key);
    return functions;
}

}  // namespace

const CngFunctions& cng_functions() {
    // A failed load is tried again at the next use; a good one is kept.
    static CngFunctions loaded{};
    static bool ready = false;
    if (!ready) {
        loaded = load();
        ready = true;
    }
    return loaded;
}
