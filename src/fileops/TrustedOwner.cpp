#include "fileops/TrustedOwner.h"

#include <sddl.h>

#include <vector>

#include "fileops/ScopedHandle.h"
#include "fileops/TokenUser.h"

namespace {

const wchar_t kTrustedInstallerSid[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// False when the token cannot be read.
bool IsThisProcessesUser(PSID pSid) {
    std::vector<unsigned char> user = TokenUserOf(GetCurrentProcess());
    const PSID pUser = UserSidOf(user);
    return pUser != nullptr && EqualSid(pUser, pSid) != FALSE;
}

bool IsTrustedInstaller(PSID pSid) {
    PSID pTrustedInstaller = nullptr;
    if (!ConvertStringSidToSidW(kTrustedInstallerSid, &pTrustedInstaller)) return false;
    const LocalMemory sid(pTrustedInstaller);
    return EqualSid(pTrustedInstaller, pSid) != FALSE;
}

}  // namespace

bool IsThisProgramsAccount(PSID pOwner) {
    return pOwner != nullptr && IsValidSid(pOwner) &&
           (IsWellKnownSid(pOwner, WinLocalSystemSid) || IsWellKnownSid(pOwner, WinBuiltinAdministratorsSid) ||
            IsThisProcessesUser(pOwner));
}

bool IsAdministratorsAccount(PSID pOwner) {
    return IsThisProgramsAccount(pOwner) || (pOwner != nullptr && IsValidSid(pOwner) && IsTrustedInstaller(pOwner));
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
