#include "fileops/FExeption.h"

#include <windows.h>

#include <memory>
#include <utility>

namespace {
struct LocalBufferFree {
    void operator()(wchar_t* pBuffer) const noexcept { LocalFree(pBuffer); }
};
using LocalBuffer = std::unique_ptr<wchar_t, LocalBufferFree>;
}  // namespace

CFExeption::CFExeption(std::uint32_t dwCode) : m_dwCode(dwCode) {
    wchar_t* pText = nullptr;
    const DWORD cchText = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
        dwCode, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&pText), 0, nullptr);
    LocalBuffer text(pText);
    if (cchText != 0 && text)
        m_strMessage.assign(text.get(), cchText);
    else
        m_strMessage = L"System error " + std::to_wstring(dwCode);
}

CFExeption::CFExeption(std::wstring strMessage) : m_strMessage(std::move(strMessage)), m_dwCode(0) {}
