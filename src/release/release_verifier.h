// SHA-256 and ECDSA P-256 signatures on the system's own cryptography
// (CNG, bcrypt.dll of the system folder, see cng_functions.h). No other
// cryptography goes into the program.
#pragma once

#include <windows.h>

#include <string>

#include "release/der_signature.h"
#include "release/release_manifest.h"
#include "services/operation_error.h"

// A file held open for reading: others may read and run it, but nobody can
// write, rename or delete it until the hold is dropped. What was hashed is
// then what a step runs or copies.
class HeldFile {
public:
    HeldFile() = default;
    explicit HeldFile(HANDLE handle) : handle_(handle) {}
    HeldFile(HeldFile&& other) noexcept : handle_(other.handle_) { other.handle_ = INVALID_HANDLE_VALUE; }
    HeldFile& operator=(HeldFile&& other) noexcept;
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    ~HeldFile();

    HANDLE handle() const { return handle_; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Opens and holds the file, and reads it through in chunks (never whole
// in memory) into its SHA-256. A file that cannot be opened or read throws
// OperationError with the system's description.
Sha256Digest sha256_of_file(const std::wstring& path, HeldFile& hold);

Sha256Digest sha256_of_bytes(const std::string& bytes);

// Whether `signature` is a valid ECDSA P-256 signature of SHA-256(`message`)
// under `key`. Any failure of the system's cryptography counts as invalid.
bool p256_signature_valid(const std::string& message, const P256Signature& signature, const P256PublicPoint& key);
