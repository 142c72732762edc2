#include "run/RedirectionGuard.h"

#include <windows.h>

namespace {
// The policy's number and flag as the platform defines them; the enumeration is taken as its
// underlying int so that older headers need not know the policy.
constexpr int kProcessRedirectionTrustPolicy = 16;
constexpr DWORD kEnforceRedirectionTrust = 0x1;
using SetProcessMitigationPolicyFn = BOOL(WINAPI*)(int, PVOID, SIZE_T);
}  // namespace

bool EnforceRedirectionTrust() {
    // Looked up: the call came with Windows 8, and the program still starts on Vista and 7.
    auto pfnSetPolicy = reinterpret_cast<SetProcessMitigationPolicyFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "SetProcessMitigationPolicy")));
    if (pfnSetPolicy == nullptr) return false;
    DWORD dwFlags = kEnforceRedirectionTrust;
    return pfnSetPolicy(kProcessRedirectionTrustPolicy, &dwFlags, sizeof dwFlags) != FALSE;
}
