#include "services/process_start_retry.h"

namespace {
// Win32 error numbers (winerror.h), kept here so the rule stays pure.
constexpr std::uint32_t kNotEnoughMemory = 8;         // ERROR_NOT_ENOUGH_MEMORY
constexpr std::uint32_t kOutOfMemory = 14;            // ERROR_OUTOFMEMORY
constexpr std::uint32_t kSharingViolation = 32;       // ERROR_SHARING_VIOLATION
constexpr std::uint32_t kLockViolation = 33;          // ERROR_LOCK_VIOLATION
constexpr std::uint32_t kInternalError = 1359;        // ERROR_INTERNAL_ERROR
constexpr std::uint32_t kNoSystemResources = 1450;    // ERROR_NO_SYSTEM_RESOURCES
constexpr std::uint32_t kCommitmentLimit = 1455;      // ERROR_COMMITMENT_LIMIT
}  // namespace

bool worth_a_second_start(std::uint32_t error) {
    switch (error) {
    case kNotEnoughMemory:
    case kOutOfMemory:
    case kSharingViolation:
    case kLockViolation:
    case kInternalError:
    case kNoSystemResources:
    case kCommitmentLimit:
        return true;
    default:
        return false;
    }
}
