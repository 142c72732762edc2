#pragma once

#include <cstdint>
#include <string>

// The system's message text for a Win32 error, as FormatMessageW gives it (trailing line break
// included), or "System error <n>" when the system has none.
std::wstring SystemErrorText(std::uint32_t dwCode);
