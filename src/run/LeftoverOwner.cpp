#include "run/LeftoverOwner.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "fileops/ScopedHandle.h"
#include "fileops/SystemErrorText.h"
#include "run/RunLock.h"

namespace {

// The account this process runs as; false when the token cannot be read.
bool IsThisProcessesUser(PSID pSid) {
    HANDLE hToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken)) return false;
    const KernelHandle token(hToken);
    DWORD cb = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &cb);
    std::vector<unsigned char> buffer(cb);
    if (cb == 0 || !GetTokenInformation(token.Get(), TokenUser, buffer.data(), cb, &cb)) return false;
    return EqualSid(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, pSid) != FALSE;
}

std::wstring AccountText(PSID pSid) {
    std::wstring text;
    wchar_t* pszSid = nullptr;
    if (ConvertSidToStringSidW(pSid, &pszSid)) {
        text = pszSid;
        LocalFree(pszSid);
    }
    wchar_t szName[256] = {};
    wchar_t szDomain[256] = {};
    DWORD cchName = 256;
    DWORD cchDomain = 256;
    SID_NAME_USE use = SidTypeUnknown;
    if (!LookupAccountSidW(nullptr, pSid, szName, &cchName, szDomain, &cchDomain, &use)) return text;
    const std::wstring account = (szDomain[0] != L'\0' ? std::wstring(szDomain) + L"\\" : std::wstring()) + szName;
    return text.empty() ? account : account + L" (" + text + L")";
}

}  // namespace

bool IsOwnedByThisProgramsAccounts(HANDLE hObject, SE_OBJECT_TYPE objectType, std::wstring& ownerText) {
    PSID pOwner = nullptr;
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    const DWORD dwError = GetSecurityInfo(hObject, objectType, OWNER_SECURITY_INFORMATION, &pOwner, nullptr, nullptr,
                                          nullptr, &pDescriptor);
    if (dwError != ERROR_SUCCESS || pOwner == nullptr) {
        if (dwError == ERROR_SUCCESS) LocalFree(pDescriptor);
        std::wstring reason = SystemErrorText(dwError);
        while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r')) reason.pop_back();
        ownerText = L"an owner that cannot be read (Win32 error " + std::to_wstring(dwError) + L": " + reason + L")";
        return false;
    }
    const LocalMemory descriptor(pDescriptor);
    if (IsTrustedLockOwner(pOwner) || IsThisProcessesUser(pOwner)) return true;
    ownerText = AccountText(pOwner);
    return false;
}
