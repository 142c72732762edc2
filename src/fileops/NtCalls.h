#pragma once

#include <windows.h>
#include <winternl.h>

// The native calls the file operations need beyond the Win32 ones, looked up in ntdll once,
// when first needed. A member is null where the platform lacks the call.
struct NtCalls {
    using NtCreateFileFn = LONG(WINAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                         ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
    using NtQueryInformationFileFn = LONG(WINAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);
    using RtlNtStatusToDosErrorFn = ULONG(WINAPI*)(LONG);
    using NtQuerySecurityObjectFn = LONG(WINAPI*)(HANDLE, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR, ULONG, PULONG);
    using NtFsControlFileFn = LONG(WINAPI*)(HANDLE, HANDLE, PVOID, PVOID, PIO_STATUS_BLOCK, ULONG, PVOID, ULONG, PVOID,
                                            ULONG);

    NtCreateFileFn pfnCreateFile = nullptr;
    NtQueryInformationFileFn pfnQueryInformationFile = nullptr;
    RtlNtStatusToDosErrorFn pfnStatusToWin32 = nullptr;
    NtQuerySecurityObjectFn pfnQuerySecurityObject = nullptr;  // owners and DACLs
    NtFsControlFileFn pfnFsControlFile = nullptr;              // where a link points
};

// The calls in force: the platform's, or a stand-in's while one lives.
const NtCalls& Nt();

// The platform's own calls, whatever stands in.
const NtCalls& PlatformNt();

// Stands in for the native calls while it lives, in this process: what a test needs to see what a
// create asks for, to make a create's handle hold another entry than the one asked for, or to
// give what a handle holds another owner, DACL or reparse point than the platform keeps.
class CNtCallsStandIn {
public:
    explicit CNtCallsStandIn(const NtCalls& calls);
    ~CNtCallsStandIn();
    CNtCallsStandIn(const CNtCallsStandIn&) = delete;
    CNtCallsStandIn& operator=(const CNtCallsStandIn&) = delete;

private:
    NtCalls m_calls;
    const NtCalls* m_pPrevious;
};

// Sets the thread's last error to the Win32 error for a failed native status and returns it.
DWORD FailWithStatus(LONG lStatus);
