#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// The system's own text for an error code, as FormatMessageW gives it, for comparing the
// texts the engine stores.
inline std::wstring SystemMessage(std::uint32_t dwCode) {
    wchar_t szText[1024] = {};
    DWORD cch = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, dwCode,
                               MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), szText, 1024, nullptr);
    return std::wstring(szText, cch);
}
