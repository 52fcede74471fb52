#include "release/der_signature.h"

#include <algorithm>
#include <string>

namespace {

constexpr std::uint8_t kSequenceTag = 0x30;
constexpr std::uint8_t kIntegerTag = 0x02;
constexpr std::size_t kScalarBytes = 32;

// The order n of the P-256 group.
constexpr std::array<std::uint8_t, kScalarBytes> kOrder = {
    0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xBC, 0xE6, 0xFA, 0xAD, 0xA7, 0x17, 0x9E, 0x84, 0xF3, 0xB9, 0xCA, 0xC2, 0xFC, 0x63, 0x25, 0x51,
};

// Reads one tag-length header at `at`; the content's length, with `at`
// moved past the header. Lengths of 128 and more never occur in a P-256
// signature, and DER writes shorter ones in the one-byte form only.
std::optional<std::size_t> read_header(const std::uint8_t* data, std::size_t size, std::size_t& at, std::uint8_t tag) {
    if (size - at < 2 || data[at] != tag || data[at + 1] >= 0x80) {
        return std::nullopt;
    }
    const std::size_t length = data[at + 1];
    at += 2;
    if (size - at < length) {
        return std::nullopt;
    }
    return length;
}

// One INTEGER as a 32-byte big-endian scalar in [1, n-1].
bool read_scalar(const std::uint8_t* data, std::size_t size, std::size_t& at, std::uint8_t* out) {
    const std::optional<std::size_t> length = read_header(data, size, at, kIntegerTag);
    if (!length || *length == 0) {
        return false;
    }
    const std::uint8_t* content = data + at;
    std::size_t count = *length;
    at += count;
    if (content[0] & 0x80) {
        return false;  // negative
    }
    if (content[0] == 0x00) {
        if (count == 1 || !(content[1] & 0x80)) {
            return false;  // zero, or a leading zero that was not needed
        }
        ++content;
        --count;
    }
    if (count > kScalarBytes) {
        return false;
    }
    std::fill(out, out + kScalarBytes, std::uint8_t{0});
    std::copy(content, content + count, out + (kScalarBytes - count));
    return std::lexicographical_compare(out, out + kScalarBytes, kOrder.begin(), kOrder.end());
}

int base64_value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

// Strict base64: whole groups of four, padding only at the very end, and
// no bits set past the data (one text per byte string).
std::optional<std::string> decode_base64(std::string_view text) {
    if (text.empty() || text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::size_t padding = 0;
    while (padding < 2 && text[text.size() - 1 - padding] == '=') {
        ++padding;
    }
    std::string bytes;
    std::uint32_t bits = 0;
    int bit_count = 0;
    for (std::size_t i = 0; i < text.size() - padding; ++i) {
        const int value = base64_value(text[i]);
        if (value < 0) {
            return std::nullopt;
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        bit_count += 6;
        if (bit_count >= 8) {
            bit_count -= 8;
            bytes += static_cast<char>((bits >> bit_count) & 0xFF);
        }
    }
    if ((bits & ((1u << bit_count) - 1)) != 0) {
        return std::nullopt;
    }
    return bytes;
}

// SubjectPublicKeyInfo of an id-ecPublicKey on prime256v1, up to the
// uncompressed point's 0x04.
constexpr std::array<std::uint8_t, 27> kP256KeyInfoPrefix = {
    0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01, 0x06,
    0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04,
};

}  // namespace

std::optional<P256Signature> decode_der_signature(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr) {
        return std::nullopt;
    }
    std::size_t at = 0;
    const std::optional<std::size_t> length = read_header(data, size, at, kSequenceTag);
    if (!length || at + *length != size) {
        return std::nullopt;  // short, or bytes after the sequence
    }
    P256Signature signature{};
    if (!read_scalar(data, size, at, signature.data()) ||
        !read_scalar(data, size, at, signature.data() + kScalarBytes) || at != size) {
        return std::nullopt;
    }
    return signature;
}

std::optional<P256PublicPoint> decode_public_key_text(std::string_view text) {
    const std::optional<std::string> bytes = decode_base64(text);
    const std::size_t expected = kP256KeyInfoPrefix.size() + P256PublicPoint().size();
    if (!bytes || bytes->size() != expected ||
        !std::equal(kP256KeyInfoPrefix.begin(), kP256KeyInfoPrefix.end(), bytes->begin(),
                    [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); })) {
        return std::nullopt;
    }
    P256PublicPoint point{};
    std::transform(bytes->begin() + static_cast<std::ptrdiff_t>(kP256KeyInfoPrefix.size()), bytes->end(),
                   point.begin(), [](char c) { return static_cast<std::uint8_t>(c); });
    return point;
}
