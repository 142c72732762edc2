#pragma once

#include <string>
#include <vector>

// The one Application event a run leaves. Plain data: the run composes it, the platform
// reports it (ReportEventW under the source "NicUpdate", whose message table is in the program).

// Event IDs as Event Viewer shows them; the message table gives each its text.
enum RunEventId : unsigned short {
    kEventInstallSucceeded = 100,
    kEventDriverExtractionSucceeded = 101,
    kEventPackageCopySucceeded = 102,
    kEventInstallSucceededRestartNeeded = 103,  // the installer answered 3010 or 1641
    kEventInstallFailed = 200,
    kEventDriverExtractionFailed = 201,
    kEventPackageCopyFailed = 202,
    kEventCommandLineRefused = 203,
    kEventAnotherRunActive = 204,
    kEventRunNotStarted = 205,  // not an administrator, or out of memory before the command line was read
    kEventInstallerReportedCode = 300,  // every step succeeded, but the installer answered another nonzero code
};

struct RunEvent {
    RunEventId wEventId;
    bool bError;                       // Error event, else Information (or Warning)
    bool bWarning = false;             // Warning event
    // %1 mode, %2 result, %3 exit code, %4 failed step (or "none"), %5 the installer's exit code
    // ("none" when no installer ran), %6 the package's driver version(s) ("none" when the run
    // read none), %7 this program's own version, %8 the installer's processes the run stopped
    // waiting for ("none" when it waited for all of them).
    std::vector<std::wstring> strings;
};

// The event of a run that ended. nMode: the RunMode the command line chose (ModeInvalid when it
// was refused or never read); bCommandLineRead: the parser accepted it; failureText: the failed
// step as the trace describes it, empty for a success; bInstallerRan: the installer ran and
// ended with dwInstallerExitCode; driverVersions: DriverVersionField of the staged package,
// empty when the run read no INF; leftRunning: the installer's processes still at work when the
// run stopped waiting for them, empty when there were none.
RunEvent ComposeRunEvent(int nMode, bool bCommandLineRead, int nResultCode, int nExitCode,
                         const std::wstring& failureText, bool bInstallerRan, unsigned long dwInstallerExitCode,
                         const std::wstring& driverVersions, const std::wstring& leftRunning);

// The full message ID of the table entry for an event (severity bits included), as ReportEventW
// takes it.
unsigned long MessageIdFor(const RunEvent& event);
