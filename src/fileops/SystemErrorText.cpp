#include "fileops/SystemErrorText.h"

#include <windows.h>

#include <memory>

namespace {
struct LocalBufferFree {
    void operator()(wchar_t* pBuffer) const noexcept { LocalFree(pBuffer); }
};
using LocalBuffer = std::unique_ptr<wchar_t, LocalBufferFree>;
}  // namespace

std::wstring SystemErrorText(std::uint32_t dwCode) {
    wchar_t* pText = nullptr;
    const DWORD cchText = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
        dwCode, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&pText), 0, nullptr);
    LocalBuffer text(pText);
    if (cchText != 0 && text) return std::wstring(text.get(), cchText);
    return L"System error " + std::to_wstring(dwCode);
}
