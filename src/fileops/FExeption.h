#pragma once

#include <cstdint>
#include <string>

// A failure inside the file-operation engine. Always heap-allocated, thrown by pointer and
// deleted by the public engine operation that catches it.
class CFExeption {
public:
    // The system's message text for the code (stored unchanged, trailing line break included).
    explicit CFExeption(std::uint32_t dwCode);
    // A text of the engine's own; the code is 0.
    explicit CFExeption(std::wstring strMessage);

    std::wstring GetText() const { return m_strMessage; }
    std::uint32_t GetCode() const { return m_dwCode; }

private:
    std::wstring m_strMessage;
    std::uint32_t m_dwCode;
};
