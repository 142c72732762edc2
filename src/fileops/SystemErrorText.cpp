#include "fileops/SystemErrorText.h"

#include <windows.h>

#include <cwchar>
#include <memory>

namespace {
struct LocalBufferFree {
    void operator()(wchar_t* pBuffer) const noexcept { LocalFree(pBuffer); }
};
using LocalBuffer = std::unique_ptr<wchar_t, LocalBufferFree>;

// The message of dwCode from the system's table, or from the module's when hModule is set.
std::wstring MessageText(std::uint32_t dwCode, HMODULE hModule) {
    wchar_t* pText = nullptr;
    const DWORD dwSource = hModule != nullptr ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM;
    const DWORD cchText = FormatMessageW(dwSource | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                         hModule, dwCode, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                         reinterpret_cast<LPWSTR>(&pText), 0, nullptr);
    LocalBuffer text(pText);
    return cchText != 0 && text ? std::wstring(text.get(), cchText) : std::wstring();
}
}  // namespace

std::wstring SystemErrorText(std::uint32_t dwCode) {
    std::wstring text = MessageText(dwCode, nullptr);
    // An NTSTATUS error (error severity, customer bit clear) has its text in ntdll's table.
    const bool bNtStatus = (dwCode & 0xE0000000u) == 0xC0000000u;
    if (text.empty() && bNtStatus) text = MessageText(dwCode, GetModuleHandleW(L"ntdll.dll"));
    if (!text.empty()) return text;
    if (dwCode <= 0xFFFFu) return L"System error " + std::to_wstring(dwCode);
    wchar_t sz[32];
    std::swprintf(sz, 32, L"System error 0x%08X", static_cast<unsigned>(dwCode));
    return sz;
}
