#pragma once

#include <cstdint>
#include <string>

// The system's message text for a Win32 error, as FormatMessageW gives it (trailing line break
// included), for an NTSTATUS error ntdll's, or "System error <n>" when there is none (n in hex beyond
// the Win32 range).
std::wstring SystemErrorText(std::uint32_t dwCode);
