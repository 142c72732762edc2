#pragma once

#include <windows.h>

#include "run/InstallerLaunch.h"

// The platform calls between the installer's creation and its start, where a caller that is
// killed must leave nothing that holds the staging folder. A test stands in for them to refuse
// the job list as systems before Windows 10 do, and to end the launch between two of them.
struct InstallerLaunchCalls {
    // Creates the installer hidden, suspended and inheriting no handle; with hJob not null, in
    // that job from its first instruction (PROC_THREAD_ATTRIBUTE_JOB_LIST). ERROR_SUCCESS, or the
    // Win32 error with info untouched.
    unsigned long (*pfnCreateSuspended)(wchar_t* commandLine, HANDLE hJob, PROCESS_INFORMATION& info);
    BOOL(WINAPI* pfnAssignProcessToJobObject)(HANDLE hJob, HANDLE hProcess);
    DWORD(WINAPI* pfnResumeThread)(HANDLE hThread);
};

// The real calls.
const InstallerLaunchCalls& SystemInstallerLaunchCalls();

// LaunchAndWait through these calls.
unsigned long LaunchAndWaitThrough(const InstallerLaunchCalls& calls, wchar_t* commandLine, void* hHeldFolder,
                                   InstallerWait& wait);
