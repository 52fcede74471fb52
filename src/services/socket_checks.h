// Pure parts of the local address discovery: the checks of the Windows
// Sockets start-up record, the texts of its message boxes, and the dotted
// address text. No Windows headers here, so they are tested natively.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

std::uint8_t byte_baixo(std::uint16_t value);
std::uint8_t byte_alto(std::uint16_t value);

// Requested Windows Sockets version: major 1 in the low byte, minor 1 in the high byte.
constexpr std::uint16_t kRequestedSocketsVersion = 0x0101;
constexpr int kMinimumSockets = 1;
constexpr int kHostNameBufferSize = 256;

// Which message, if any, the start-up record calls for. `max_sockets` is the
// record's 16-bit field read as a signed number.
std::optional<std::wstring> startup_record_problem(std::uint16_t version, std::int16_t max_sockets);

std::wstring startup_failed_message();
std::wstring host_name_failed_message(int last_error);
std::wstring host_lookup_failed_message();
std::wstring cleanup_failed_message();

// The bytes of an address, in memory order, as unsigned decimals joined by
// "."; the empty text when there are no bytes.
std::wstring address_text(const unsigned char* bytes, int length);

// The host name from the buffer that gethostname filled: up to the first
// NUL (or the buffer's end), with blanks removed at both ends.
std::string trimmed_host_name(const char* buffer, int buffer_size);
