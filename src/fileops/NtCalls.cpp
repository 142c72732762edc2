#include "fileops/NtCalls.h"

const NtCalls& Nt() {
    static const NtCalls calls = [] {
        NtCalls found;
        HMODULE hNtdll = GetModuleHandleW(L"ntdll");
        if (hNtdll == nullptr) return found;
        found.pfnCreateFile = reinterpret_cast<NtCalls::NtCreateFileFn>(
            reinterpret_cast<void*>(GetProcAddress(hNtdll, "NtCreateFile")));
        found.pfnQueryInformationFile = reinterpret_cast<NtCalls::NtQueryInformationFileFn>(
            reinterpret_cast<void*>(GetProcAddress(hNtdll, "NtQueryInformationFile")));
        found.pfnStatusToWin32 = reinterpret_cast<NtCalls::RtlNtStatusToDosErrorFn>(
            reinterpret_cast<void*>(GetProcAddress(hNtdll, "RtlNtStatusToDosError")));
        return found;
    }();
    return calls;
}

DWORD FailWithStatus(LONG lStatus) {
    const DWORD dwError = Nt().pfnStatusToWin32 != nullptr ? Nt().pfnStatusToWin32(lStatus) : ERROR_GEN_FAILURE;
    SetLastError(dwError);
    return dwError;
}
