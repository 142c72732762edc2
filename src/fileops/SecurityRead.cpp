#include "fileops/SecurityRead.h"

#include <sddl.h>

#include "fileops/NtCalls.h"
#include "fileops/SystemErrorText.h"

namespace {
constexpr LONG kStatusBufferTooSmall = static_cast<LONG>(0xC0000023);
constexpr ULONG kFirstDescriptorBytes = 512;
}  // namespace

DWORD ReadSecurity(HANDLE h, SECURITY_INFORMATION what, std::vector<unsigned char>& descriptor) {
    const NtCalls& calls = Nt();
    if (calls.pfnQuerySecurityObject == nullptr) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    descriptor.assign(kFirstDescriptorBytes, 0);
    for (int nAttempt = 0; nAttempt < 2; ++nAttempt) {
        ULONG cbNeeded = 0;
        const LONG lStatus = calls.pfnQuerySecurityObject(h, what, descriptor.data(),
                                                          static_cast<ULONG>(descriptor.size()), &cbNeeded);
        if (lStatus >= 0) {
            if (!IsValidSecurityDescriptor(descriptor.data())) break;
            return ERROR_SUCCESS;
        }
        if (lStatus != kStatusBufferTooSmall || cbNeeded <= descriptor.size() || cbNeeded > 0x10000) {
            descriptor.clear();
            return FailWithStatus(lStatus);
        }
        descriptor.assign(cbNeeded, 0);
    }
    descriptor.clear();
    SetLastError(ERROR_INVALID_SECURITY_DESCR);
    return ERROR_INVALID_SECURITY_DESCR;
}

PSID OwnerOf(const std::vector<unsigned char>& descriptor) {
    if (descriptor.empty()) return nullptr;
    PSID pOwner = nullptr;
    BOOL bDefaulted = FALSE;
    if (!GetSecurityDescriptorOwner(const_cast<unsigned char*>(descriptor.data()), &pOwner, &bDefaulted))
        return nullptr;
    return pOwner;
}

std::wstring DaclText(const void* pDescriptor) {
    wchar_t* pszText = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(const_cast<void*>(pDescriptor), SDDL_REVISION_1,
                                                              DACL_SECURITY_INFORMATION, &pszText, nullptr))
        return std::wstring();
    std::wstring text = pszText;
    LocalFree(pszText);
    return text;
}

std::wstring Win32ErrorText(DWORD dwError) {
    std::wstring reason = SystemErrorText(dwError);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r')) reason.pop_back();
    return L"Win32 error " + std::to_wstring(dwError) + L": " + reason;
}
