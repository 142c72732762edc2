#include "fileops/NtCalls.h"

namespace {
const NtCalls* g_pStandIn = nullptr;
}  // namespace

const NtCalls& PlatformNt() {
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
        found.pfnQuerySecurityObject = reinterpret_cast<NtCalls::NtQuerySecurityObjectFn>(
            reinterpret_cast<void*>(GetProcAddress(hNtdll, "NtQuerySecurityObject")));
        found.pfnFsControlFile = reinterpret_cast<NtCalls::NtFsControlFileFn>(
            reinterpret_cast<void*>(GetProcAddress(hNtdll, "NtFsControlFile")));
        return found;
    }();
    return calls;
}

const NtCalls& Nt() { return g_pStandIn != nullptr ? *g_pStandIn : PlatformNt(); }

CNtCallsStandIn::CNtCallsStandIn(const NtCalls& calls) : m_calls(calls), m_pPrevious(g_pStandIn) {
    g_pStandIn = &m_calls;
}

CNtCallsStandIn::~CNtCallsStandIn() { g_pStandIn = m_pPrevious; }

DWORD FailWithStatus(LONG lStatus) {
    const DWORD dwError = Nt().pfnStatusToWin32 != nullptr ? Nt().pfnStatusToWin32(lStatus) : ERROR_GEN_FAILURE;
    SetLastError(dwError);
    return dwError;
}
