// The one error type of the tool: a number and the description text that
// the failing operation gave (for an operating-system failure, the system's
// own text). Operations throw it; each caller applies its own policy.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

class OperationError : public std::runtime_error {
public:
    OperationError(std::uint32_t number, std::wstring description)
        : std::runtime_error("operation failed"), number_(number), description_(std::move(description)) {}

    std::uint32_t number() const { return number_; }
    const std::wstring& description() const { return description_; }

private:
    std::uint32_t number_;
    std::wstring description_;
};
