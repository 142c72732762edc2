#pragma once

#include <cstdint>
#include <string>

// How the trace names a failure code, by the number system it belongs to: a Win32 error in
// decimal, SetupAPI's own codes (0xE000xxxx) and NTSTATUS values in hex, since neither is a
// Win32 error and the system's message table has no text for SetupAPI's. Plain string rules.

// "Win32 error 5", "SetupAPI error 0xE0000102", "NTSTATUS 0xC0000034" (error severity), or
// "error 0x8007000E" for any other code beyond the Win32 range.
std::wstring ErrorCodeName(std::uint32_t dwCode);

// What a SetupAPI code means, for the codes reading an INF meets; empty for every other code.
std::wstring SetupApiErrorMeaning(std::uint32_t dwCode);
