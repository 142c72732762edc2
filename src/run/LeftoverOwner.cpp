#include "run/LeftoverOwner.h"

#include <vector>

#include "fileops/SecurityRead.h"
#include "fileops/TrustedOwner.h"

bool IsOwnedByThisProgramsAccounts(HANDLE hObject, std::wstring& ownerText) {
    std::vector<unsigned char> descriptor;
    const DWORD dwError = ReadSecurity(hObject, OWNER_SECURITY_INFORMATION, descriptor);
    const PSID pOwner = dwError == ERROR_SUCCESS ? OwnerOf(descriptor) : nullptr;
    if (pOwner == nullptr) {
        ownerText = L"an account that cannot be read (" +
                    Win32ErrorText(dwError != ERROR_SUCCESS ? dwError : DWORD{ERROR_INVALID_OWNER}) + L")";
        return false;
    }
    if (IsThisProgramsAccount(pOwner)) return true;
    ownerText = AccountText(pOwner);
    return false;
}
