// ECDSA P-256 signatures and public keys as the publisher's openssl writes
// them, turned into the fixed-size forms the system's cryptography takes.
// Pure: tested natively.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// r || s, each 32 bytes big-endian.
using P256Signature = std::array<std::uint8_t, 64>;
// X || Y of the uncompressed point, each 32 bytes big-endian.
using P256PublicPoint = std::array<std::uint8_t, 64>;

// The DER form that `openssl dgst -sha256 -sign` writes:
//   SEQUENCE { INTEGER r, INTEGER s }
// decoded strictly: definite minimal lengths, minimal non-negative
// integers, 1 <= r, s < n (the order of the curve), and nothing after the
// sequence. Anything else gives nothing.
std::optional<P256Signature> decode_der_signature(const std::uint8_t* data, std::size_t size);

// The build setting's key text: the base64 (standard alphabet, padded, no
// blanks) of the DER SubjectPublicKeyInfo of a P-256 key, as
//   openssl pkey -in chave_privada.pem -pubout -outform DER | openssl base64 -A
// prints it. Anything else gives nothing.
std::optional<P256PublicPoint> decode_public_key_text(std::string_view text);
