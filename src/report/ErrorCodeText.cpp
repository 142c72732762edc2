#include "report/ErrorCodeText.h"

#include <cwchar>

namespace {

// Win32 errors fit 16 bits. SetupAPI sets the customer bit with the error severity; NTSTATUS
// errors have the error severity without it. A code with only the top bit set may be an HRESULT
// as well as an NTSTATUS warning, and is named as neither.
constexpr std::uint32_t kSeverityAndCustomer = 0xE0000000u;

bool IsSetupApiCode(std::uint32_t dwCode) { return (dwCode & kSeverityAndCustomer) == 0xE0000000u; }
bool IsNtStatus(std::uint32_t dwCode) { return (dwCode & kSeverityAndCustomer) == 0xC0000000u; }

std::wstring Hex(std::uint32_t dwCode) {
    wchar_t sz[16];
    std::swprintf(sz, 16, L"0x%08X", static_cast<unsigned>(dwCode));
    return sz;
}

}  // namespace

std::wstring ErrorCodeName(std::uint32_t dwCode) {
    if (dwCode <= 0xFFFFu) return L"Win32 error " + std::to_wstring(dwCode);
    if (IsSetupApiCode(dwCode)) return L"SetupAPI error " + Hex(dwCode);
    if (IsNtStatus(dwCode)) return L"NTSTATUS " + Hex(dwCode);
    return L"error " + Hex(dwCode);
}

std::wstring SetupApiErrorMeaning(std::uint32_t dwCode) {
    switch (dwCode) {
    // A file whose first line is no section name: one without a [Version] section.
    case 0xE0000000u: return L"no [Version] section: a section name was expected and not found";
    case 0xE0000001u: return L"not an INF: a section name line is malformed";
    case 0xE0000002u: return L"not an INF: a section name is too long";
    case 0xE0000003u: return L"not an INF: its syntax is wrong";
    case 0xE0000100u: return L"wrong INF style: the INF is not of the style asked for";
    case 0xE0000101u: return L"section not found";
    case 0xE0000102u: return L"line not found";
    case 0xE000020Au: return L"not an INF: no INF found";
    default: return std::wstring();
    }
}
