// The decoders of signed releases on any bytes: the manifest, the size
// list, the DER signature and the key text never crash, and every signature
// the DER decoder accepts is exactly what a plain DER encoder writes for its
// r and s (so no two byte strings decode to the same signature).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "release/der_signature.h"
#include "release/release_manifest.h"
#include "release/release_rules.h"
#include "release/size_manifest.h"

namespace {

// DER INTEGER of a non-negative big-endian number: leading zeros dropped,
// one zero put back when the first byte has its high bit set.
std::vector<std::uint8_t> der_integer(const std::uint8_t* value, std::size_t size) {
    std::size_t first = 0;
    while (first + 1 < size && value[first] == 0) {
        ++first;
    }
    std::vector<std::uint8_t> content(value + first, value + size);
    if (content[0] & 0x80) {
        content.insert(content.begin(), 0x00);
    }
    std::vector<std::uint8_t> out = {0x02, static_cast<std::uint8_t>(content.size())};
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

std::vector<std::uint8_t> reference_der(const P256Signature& signature) {
    std::vector<std::uint8_t> body = der_integer(signature.data(), 32);
    const std::vector<std::uint8_t> s = der_integer(signature.data() + 32, 32);
    body.insert(body.end(), s.begin(), s.end());
    std::vector<std::uint8_t> out = {0x30, static_cast<std::uint8_t>(body.size())};
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

bool is_zero(const std::uint8_t* value) {
    for (std::size_t i = 0; i < 32; ++i) {
        if (value[i] != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::string> known = manifest_known_names();
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const ManifestParse manifest = parse_release_manifest(text, known);
    FUZZ_CHECK(manifest.manifest.has_value() == (manifest.fault == ManifestFault::None));
    if (manifest.manifest) {
        FUZZ_CHECK(size <= kMaxManifestBytes && text.rfind("serie ", 0) == 0);
        FUZZ_CHECK(manifest.manifest->files.size() <= known.size());
    }
    const ManifestParse sizes = parse_size_manifest(text, known);
    FUZZ_CHECK(sizes.manifest.has_value() == (sizes.fault == ManifestFault::None));
    FUZZ_CHECK(!sizes.manifest || sizes.manifest->sizes.size() == sizes.manifest->files.size());

    const std::optional<P256Signature> signature = decode_der_signature(data, size);
    if (signature) {
        FUZZ_CHECK(!is_zero(signature->data()) && !is_zero(signature->data() + 32));
        FUZZ_CHECK(reference_der(*signature) == std::vector<std::uint8_t>(data, data + size));
    }

    const std::optional<P256PublicPoint> key = decode_public_key_text(text);
    FUZZ_CHECK(!key || size == 124);
    return 0;
}
