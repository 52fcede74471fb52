// The token a child gets when it must not act as an administrator: the
// tool's own token with the Administrators group for deny only, no
// privilege but the one to pass through folders, at medium integrity.
#pragma once

#include <windows.h>

class TokenWithoutAdministrators {
public:
    // Made from the tool's own process token; a step of that which the
    // system refuses throws OperationError with the system's text.
    TokenWithoutAdministrators();
    ~TokenWithoutAdministrators();
    TokenWithoutAdministrators(const TokenWithoutAdministrators&) = delete;
    TokenWithoutAdministrators& operator=(const TokenWithoutAdministrators&) = delete;

    HANDLE handle() const { return token_; }

private:
    HANDLE token_ = nullptr;
};
