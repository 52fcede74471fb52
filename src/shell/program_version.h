#pragma once

// The file version, as the resources' VERSIONINFO gives it.
inline constexpr const wchar_t* kProgramVersion = L"1.00";
