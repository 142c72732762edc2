#include "fileops/FExeption.h"

#include <windows.h>

#include <utility>

#include "fileops/SystemErrorText.h"

CFExeption::CFExeption(std::uint32_t dwCode) : m_strMessage(SystemErrorText(dwCode)), m_dwCode(dwCode) {}

CFExeption::CFExeption(std::wstring strMessage, std::uint32_t dwCause)
    : m_strMessage(std::move(strMessage)), m_dwCode(0), m_dwCause(dwCause) {}

void ThrowSystemError(std::uint32_t dwCode) { throw new CFExeption(dwCode); }

void ThrowLastSystemError() { ThrowSystemError(GetLastError()); }
