#pragma once

#include <string>

// Wide text as single bytes for messages and records: ASCII stays, anything else becomes '?'.
inline std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t ch : text) out += (ch < 128) ? static_cast<char>(ch) : '?';
    return out;
}
