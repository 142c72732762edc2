#pragma once

#include <cstdint>
#include <string>

// A failure inside the file-operation engine. Always heap-allocated, thrown by pointer and
// deleted by the public engine operation that catches it.
class CFExeption {
public:
    // The system's message text for the code (stored unchanged, trailing line break included).
    explicit CFExeption(std::uint32_t dwCode);
    // A text of the engine's own; the code is 0. dwCause: the Win32 error that says the same to
    // someone who reads only error numbers.
    explicit CFExeption(std::wstring strMessage, std::uint32_t dwCause = 0);

    std::wstring GetText() const { return m_strMessage; }
    std::uint32_t GetCode() const { return m_dwCode; }
    // The code, or for a text of the engine's own its Win32 equivalent (0 when it has none).
    std::uint32_t GetCause() const { return m_dwCode != 0 ? m_dwCode : m_dwCause; }

private:
    std::wstring m_strMessage;
    std::uint32_t m_dwCode;
    std::uint32_t m_dwCause = 0;
};

// Throws the engine's failure for a Win32 error code.
[[noreturn]] void ThrowSystemError(std::uint32_t dwCode);
// The same for the thread's last error, read before the allocation can change it.
[[noreturn]] void ThrowLastSystemError();
