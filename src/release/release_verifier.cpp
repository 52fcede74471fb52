#include "release/release_verifier.h"

#include <cstring>
#include <memory>
#include <vector>

#include "release/cng_functions.h"
#include "services/system_error_text.h"

namespace {

// Large enough that the hash, not the calls, sets the pace.
constexpr DWORD kChunkBytes = 1024 * 1024;

struct AlgorithmCloser {
    void operator()(void* algorithm) const { cng_functions().close_algorithm_provider(algorithm, 0); }
};
struct HashCloser {
    void operator()(void* hash) const { cng_functions().destroy_hash(hash); }
};
struct KeyCloser {
    void operator()(void* key) const { cng_functions().destroy_key(key); }
};
using Algorithm = std::unique_ptr<void, AlgorithmCloser>;
using Hash = std::unique_ptr<void, HashCloser>;
using Key = std::unique_ptr<void, KeyCloser>;

OperationError cryptography_error(NTSTATUS status) {
    return OperationError(static_cast<std::uint32_t>(status),
                          L"Falha da criptografia do sistema (" + std::to_wstring(static_cast<unsigned long>(status)) +
                              L")");
}

void check(NTSTATUS status) {
    if (!BCRYPT_SUCCESS(status)) {
        throw cryptography_error(status);
    }
}

Algorithm open_algorithm(const wchar_t* name) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    check(cng_functions().open_algorithm_provider(&algorithm, name, nullptr, 0));
    return Algorithm(algorithm);
}

class Sha256 {
public:
    Sha256() : algorithm_(open_algorithm(BCRYPT_SHA256_ALGORITHM)) {
        BCRYPT_HASH_HANDLE hash = nullptr;
        check(cng_functions().create_hash(algorithm_.get(), &hash, nullptr, 0, nullptr, 0, 0));
        hash_.reset(hash);
    }
    void add(const void* data, DWORD size) {
        check(cng_functions().hash_data(hash_.get(), static_cast<PUCHAR>(const_cast<void*>(data)), size, 0));
    }
    Sha256Digest finish() {
        Sha256Digest digest{};
        check(cng_functions().finish_hash(hash_.get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
        return digest;
    }

private:
    Algorithm algorithm_;
    Hash hash_;
};

}  // namespace

HeldFile& HeldFile::operator=(HeldFile&& other) noexcept {
    if (this != &other) {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
        handle_ = other.handle_;
        other.handle_ = INVALID_HANDLE_VALUE;
    }
    return *this;
}

HeldFile::~HeldFile() {
    if (handle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(handle_);
    }
}

Sha256Digest sha256_of_file(const std::wstring& path, HeldFile& hold) {
    // Sharing read only: a program run from the file and a copy of it can
    // still open it; a writer cannot.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw last_system_error();
    }
    hold = HeldFile(file);
    Sha256 hash;
    std::vector<unsigned char> chunk(kChunkBytes);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, chunk.data(), kChunkBytes, &read, nullptr)) {
            throw last_system_error();
        }
        if (read == 0) {
            break;
        }
        hash.add(chunk.data(), read);
    }
    return hash.finish();
}

Sha256Digest sha256_of_bytes(const std::string& bytes) {
    Sha256 hash;
    hash.add(bytes.data(), static_cast<DWORD>(bytes.size()));
    return hash.finish();
}

bool p256_signature_valid(const std::string& message, const P256Signature& signature, const P256PublicPoint& key) {
    try {
        const Sha256Digest digest = sha256_of_bytes(message);
        const Algorithm algorithm = open_algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
        std::vector<unsigned char> blob(sizeof(BCRYPT_ECCKEY_BLOB) + key.size());
        const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, static_cast<ULONG>(key.size() / 2)};
        std::memcpy(blob.data(), &header, sizeof header);
        std::memcpy(blob.data() + sizeof header, key.data(), key.size());
        BCRYPT_KEY_HANDLE imported = nullptr;
        check(cng_functions().import_key_pair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &imported, blob.data(),
                                  static_cast<ULONG>(blob.size()), 0));
        const Key public_key(imported);
        const NTSTATUS status = cng_functions().verify_signature(
            public_key.get(), nullptr, const_cast<PUCHAR>(digest.data()), static_cast<ULONG>(digest.size()),
            const_cast<PUCHAR>(signature.data()), static_cast<ULONG>(signature.size()), 0);
        return BCRYPT_SUCCESS(status);
    } catch (const OperationError&) {
        return false;
    }
}
