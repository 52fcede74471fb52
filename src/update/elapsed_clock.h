// The elapsed-time text clock of update mode. Its text is its whole state:
// hours, minutes and seconds joined by ":", unpadded, "00" where a field
// was never advanced or has just wrapped. Pure: tested natively.
#pragma once

#include <string>

inline const std::wstring kClockStart = L"00:00:00";
// The caption at which a tick runs the update check instead of advancing.
inline const std::wstring kCheckMark = L"00:15:1";

bool is_check_mark(const std::wstring& caption);

// The caption one second later: seconds carry at 59 or more, minutes at more than 59.
std::wstring advanced_clock(const std::wstring& caption);
