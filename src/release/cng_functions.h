// The few functions of the system's cryptography (CNG) that the verifier
// uses, taken from bcrypt.dll of the system folder at run time. bcrypt.dll
// is not one of Windows' known libraries: imported by the exe, it would be
// looked for first beside the exe, where anyone may have put one.
#pragma once

#include <windows.h>
#include <bcrypt.h>

struct CngFunctions {
    decltype(&BCryptOpenAlgorithmProvider) open_algorithm_provider;
    decltype(&BCryptCloseAlgorithmProvider) close_algorithm_provider;
    decltype(&BCryptCreateHash) create_hash;
    decltype(&BCryptHashData) hash_data;
    decltype(&BCryptFinishHash) finish_hash;
    decltype(&BCryptDestroyHash) destroy_hash;
    decltype(&BCryptImportKeyPair) import_key_pair;
    decltype(&BCryptVerifySignature) verify_signature;
    decltype(&BCryptDestroyKey) destroy_key;
};

// Loads bcrypt.dll from the system folder on first use and keeps it for the
// life of the process. A library that cannot be loaded from there, or that
// lacks one of the functions, throws OperationError with the system's
// description; the caller refuses what it was to check.
const CngFunctions& cng_functions();
