#pragma once

// Caption of every message box that gives no caption of its own.
inline constexpr const wchar_t* kProgramTitle = L"Instalador Zunaveri";
