#pragma once

#include "report/RunEvent.h"
#include "run/InstallerLaunch.h"
#include "run/RunLock.h"
#include "run/TempPathLookup.h"
#include "run/WindowStation.h"

// The platform calls the run makes that a test must be able to stand in for.
struct RunPlatform {
    bool (*pfnIsAdminMember)();
    // MessageBoxW without an owner window.
    int (*pfnMessageBox)(const wchar_t* text, const wchar_t* caption, unsigned style);
    // Starts the command line (a writable buffer of 260), handing it the held staging folder,
    // and waits for every process of the installer: ERROR_SUCCESS with what the wait found, or
    // the Win32 error when it cannot start (LaunchAndWait).
    unsigned long (*pfnLaunchAndWait)(wchar_t* commandLine, void* hHeldFolder, InstallerWait& wait);
    // The machine-wide lock of staged runs, taken when free (TakeRunLock).
    RunLock (*pfnTakeRunLock)();
    // GetTempPath2W, or null where kernel32 lacks it (FindTempPath2).
    TempPathFunction (*pfnFindTempPath2)();
    // Made first: the platform follows no junction that a non-administrator made.
    bool (*pfnEnforceRedirectionTrust)();
    // The run's one Application event.
    void (*pfnReportEvent)(const RunEvent& event);
    // Whether anyone can see a window of this process (IsWindowStationVisible); when nobody can,
    // the run shows no message box and asks no question.
    bool (*pfnIsWindowStationVisible)() = &IsWindowStationVisible;
};

// The real calls, as the shipped program makes them.
const RunPlatform& SystemPlatform();
