#include "run/RunUpdate.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "fileops/FileOpEngine.h"
#include "fileops/FileTimeValue.h"
#include "fileops/SystemErrorText.h"
#include "invocation/CommandLine.h"
#include "invocation/PackageProfile.h"
#include "invocation/UsagePage.h"
#include "package/AuxMacInf.h"
#include "package/DriverExtraction.h"
#include "package/DriverVersionRead.h"
#include "package/DriverVersionText.h"
#include "package/InstallControl.h"
#include "package/PackageCopy.h"
#include "package/PackageLayout.h"
#include "package/ResultCodes.h"
#include "package/SelectionResult.h"
#include "package/StepFailure.h"
#include "run/DriverInstallLog.h"
#include "run/InstallerLaunch.h"
#include "run/LingeringProcessText.h"
#include "run/ResultLog.h"
#include "report/RunEvent.h"
#include "run/RunLock.h"
#include "report/RunTrace.h"
#include "run/StagingFolder.h"

namespace {

const wchar_t kAnotherRunCaption[] = L"QVP tool";
const wchar_t kAnotherRunText[] =
    L"Another installation or driver extraction of this package is running. Start this one again when it has ended.";

// What a run leaves for whoever must find out later what it did: the trace of its steps, and
// where it failed.
struct RunRecord {
    RunTrace trace;
    StepFailure failure;
    int nMode = ModeInvalid;
    bool bCommandLineRead = false;
    bool bInstallerCode = false;  // INSTALLERCODE=TRUE: the installer's answer is the exit code
    bool bInstallerRan = false;
    unsigned long dwInstallerExitCode = 0;
    std::wstring driverVersions;  // the event's field; empty until the staged package's INFs are read
    std::wstring leftRunning;     // the event's field: the installer's processes the run stopped waiting for
};

long long FileTimeOf(const SYSTEMTIME& time) {
    FILETIME fileTime = {};
    SystemTimeToFileTime(&time, &fileTime);
    return static_cast<long long>(FileTimeValue(fileTime));
}

// Local time with its offset from UTC, both from one reading of the clock.
TraceClock Now() {
    SYSTEMTIME utc = {};
    GetSystemTime(&utc);
    SYSTEMTIME now = utc;
    SystemTimeToTzSpecificLocalTime(nullptr, &utc, &now);
    constexpr long long kFileTimePerMinute = 60ll * 10000000ll;
    const int nOffsetMinutes = static_cast<int>((FileTimeOf(now) - FileTimeOf(utc)) / kFileTimePerMinute);
    return TraceClock{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds,
                      nOffsetMinutes};
}

std::wstring CopiedText(const CopiedAmount& copied) {
    return std::to_wstring(copied.nFiles) + L" files, " + std::to_wstring(copied.nBytes) + L" bytes";
}

// A run refused because another run, or the installer of one, is at work; an interactive
// caller is told so first.
int RefuseAsSecondRun(bool bUnattended, const RunPlatform& platform) {
    if (!bUnattended) platform.pfnMessageBox(kAnotherRunText, kAnotherRunCaption, MB_OK | MB_ICONWARNING);
    return kResultAnotherRunActive;
}

// One staged run at a time: two runs would share one staging folder and delete each other's
// files. Anything but a lock this run holds ends the run before it touches anything.
int TakeRunLockOrRefuse(RunLock& lock, bool bUnattended, const RunPlatform& platform, StepFailure& failure) {
    lock = platform.pfnTakeRunLock();
    switch (lock.State()) {
    case RunLockState::Taken:
        return kResultOk;
    case RunLockState::HeldByAnotherRun:
        failure.Set(L"take the machine-wide run lock", L"", ERROR_INSTALL_ALREADY_RUNNING);
        return RefuseAsSecondRun(bUnattended, platform);
    case RunLockState::ForeignOwner:
        failure.SetFinding(L"take the machine-wide run lock", L"",
                           L"an object of the lock's name that neither SYSTEM nor Administrators own");
        return kResultRunLockRefused;
    default:
        failure.SetFinding(L"take the machine-wide run lock", L"", L"the lock object can be neither made nor opened");
        return kResultRunLockRefused;
    }
}

// Makes the chosen files of the staged package active. A choice that a package lacks leaves it
// as it is; a choice that the installer would not find fails the run before the installer starts.
int PrepareStagedPackage(const std::wstring& stagingFolder, const RunOptions& options, bool bUsbPackage,
                         CFileOpEngine& engine, RunTrace& trace, StepFailure& failure) {
    if (bUsbPackage) {
        const SelectionResult infs = SelectAuxMacInf(stagingFolder, options.bEnableAuxMac, engine, failure);
        if (infs == SelectionResult::Failed) return kResultSelectionFailed;
        // ENAUXMAC on makes the base-name INF of each pair the active one, off the "m" one.
        trace.Write(std::wstring(L"INF pair chosen: ENAUXMAC=") + (options.bEnableAuxMac ? L"TRUE" : L"FALSE") +
                    L", the " + (options.bEnableAuxMac ? L"base-name" : L"\"m\"") +
                    L" INF active in each INF-pair folder under " + stagingFolder + L"\\" + kWindowsFolder +
                    (infs == SelectionResult::NotInPackage ? L" that has it" : L""));
    }
    const InstallControlFiles& files = InstallControlFor(bUsbPackage);
    const wchar_t* pszVariant = options.bForce ? files.pszForcedVariant : files.pszUnforcedVariant;
    const std::wstring choice = InstallControlPath(stagingFolder, bUsbPackage, pszVariant) + L" as " +
                                InstallControlPath(stagingFolder, bUsbPackage, files.pszControlFile);
    switch (SelectInstallControl(stagingFolder, bUsbPackage, options.bForce, failure)) {
    case SelectionResult::Made:
        trace.Write(L"install-control variant chosen: " + choice);
        return kResultOk;
    case SelectionResult::NotInPackage:
        trace.Write(L"install-control variant left as packaged, the package lacks a file of: " + choice);
        return kResultOk;
    default:
        return kResultSelectionFailed;
    }
}

// The driver version of each INF the installer is given, a trace line each, and the event's
// field. An INF that cannot be read is named in the trace and fails nothing.
void NoteDriverVersions(const std::wstring& stagingFolder, bool bUsbPackage, RunRecord& run) {
    const std::vector<InfDriverVersion> infs = ReadPackageDriverVersions(stagingFolder, bUsbPackage);
    for (const InfDriverVersion& inf : infs)
        run.trace.Write(DescribeInfDriverVersion(inf, inf.dwError != 0 ? SystemErrorText(inf.dwError) : L""));
    run.driverVersions = DriverVersionField(infs);
}

// Stages the package, then extracts the drivers or runs the installer, then writes the
// result log. The staging folder is removed only when everything succeeded. The run lock is held
// from before the staging folder is touched to the end.
int RunStaged(RunOptions& options, bool bUsbPackage, bool bUnattended, const RunPlatform& platform,
              RunRecord& run) {
    RunTrace& trace = run.trace;
    StepFailure& failure = run.failure;
    RunLock lock;
    int nRetCode = TakeRunLockOrRefuse(lock, bUnattended, platform, failure);
    if (nRetCode != kResultOk) return nRetCode;
    std::wstring stagingFolder;
    if (!GetStagingFolderPath(stagingFolder, platform.pfnFindTempPath2(), failure)) return kResultCannotCreateFolder;
    const bool bInstall = options.nMode != ModeExtractDrivers;
    wchar_t szCommandLine[kMaxPathChars] = {};
    if (bInstall && !BuildInstallerCommandLine(stagingFolder, options.nMode == ModeSilentInstall, szCommandLine,
                                               kMaxPathChars)) {
        failure.Set(L"build the installer's command line", stagingFolder, ERROR_FILENAME_EXCED_RANGE);
        return kResultCannotCreateFolder;
    }
    std::wmemcpy(options.szTargetPath, stagingFolder.c_str(), stagingFolder.size() + 1);

    CFileOpEngine engine(bUnattended);
    DriverLogTaking driverLog;
    StagingLeftover leftover = StagingLeftover::None;
    // Held until the folder is removed: nobody can move it and put another in its place. The
    // installer is handed the hold too, so it outlives this process while the installer works.
    FileHandle heldStagingFolder = CreateFreshStagingFolder(stagingFolder, engine, leftover, failure);
    if (leftover == StagingLeftover::Removed) trace.Write(L"leftover removed: " + stagingFolder);
    // The lock alone cannot tell: a killed run leaves it abandoned while its installer goes on.
    if (leftover == StagingLeftover::HeldByInstaller) return RefuseAsSecondRun(bUnattended, platform);
    // From here on a run that fails leaves no record in the caller's log: an earlier run's
    // success would read as this one's.
    std::wstring oldLog;
    if (options.szLogFile[0] != L'\0' && RemoveOldResultLog(options, engine, oldLog))
        trace.Write(L"old result log removed: " + oldLog);
    if (!heldStagingFolder) return kResultCannotCreateFolder;
    trace.Write(L"staging folder created: " + stagingFolder);
    CopiedAmount copied;
    nRetCode = CopyPackage(heldStagingFolder.Get(), stagingFolder, copied, failure);
    if (nRetCode != kResultOk) return nRetCode;
    trace.Write(L"package copied: " + CopiedText(copied) + L" into " + stagingFolder);

    if (bInstall) {
        nRetCode = PrepareStagedPackage(stagingFolder, options, bUsbPackage, engine, trace, failure);
        if (nRetCode != kResultOk) return nRetCode;
        // As the installer will find them: the chosen INF of each pair active.
        NoteDriverVersions(stagingFolder, bUsbPackage, run);
        trace.Write(std::wstring(L"installer started: ") + szCommandLine);
        // The log that stands there now is an earlier install's; only another one is this run's.
        driverLog.path = DriverInstallLogPath(bUsbPackage);
        driverLog.bThisRunOnly = true;
        driverLog.before = NoteDriverLog(driverLog.path);
        InstallerWait wait;
        wait.dwLingerMs = static_cast<unsigned long>(options.nLingerMinutes) * 60000ul;
        wait.onStillWaiting = [&trace](const std::wstring& line) { trace.Write(line); };
        // Its exit code is recorded, never judged; but an installer that never ran installed nothing.
        const unsigned long dwLaunchError = platform.pfnLaunchAndWait(szCommandLine, heldStagingFolder.Get(), wait);
        if (dwLaunchError != ERROR_SUCCESS) {
            failure.Set(L"start the installer", stagingFolder + L"\\" + kWindowsFolder + kInstallerFile, dwLaunchError);
            return kResultInstallerNotStarted;
        }
        if (wait.dwJobError != ERROR_SUCCESS)
            trace.Write(L"installer not in a job of its own (Win32 error " + std::to_wstring(wait.dwJobError) + L": " +
                        SystemErrorText(wait.dwJobError) + L"): the run waited for Setup.exe alone, not for processes it started");
        run.bInstallerRan = true;
        run.dwInstallerExitCode = wait.dwExitCode;
        trace.Write(L"installer ended: exit code " + std::to_wstring(wait.dwExitCode) +
                    (options.bInstallerCode ? L" (the exit code when every step succeeds)" : L" (recorded only)"));
        if (wait.dwKillOnCloseError != ERROR_SUCCESS)
            trace.Write(L"installer's job still ends it should this run be killed: its limit could not be lifted (Win32 error " +
                        std::to_wstring(wait.dwKillOnCloseError) + L": " + SystemErrorText(wait.dwKillOnCloseError) + L")");
        if (wait.nOutliving > 0 && wait.lingering.empty())
            trace.Write(L"installer processes outlived Setup.exe: " +
                        std::to_wstring(wait.nOutliving) + L", waited " + std::to_wstring(wait.dwOutlivingWaitMs) +
                        L" ms for them to end");
        if (!wait.lingering.empty())
            trace.Write(L"installer processes outlived Setup.exe: " + std::to_wstring(wait.nOutliving) + L", waited " +
                        std::to_wstring(wait.dwOutlivingWaitMs) + L" ms, the bound of " +
                        std::to_wstring(options.nLingerMinutes) + L" min (LINGER=); " +
                        std::to_wstring(wait.lingering.size()) + L" still running");
        for (const LingeringProcess& process : wait.lingering)
            trace.Write(DescribeLingeringProcess(process, SystemErrorText(process.dwTakeBackError)));
        run.leftRunning = LingeringField(wait.lingering);
    } else {
        NoteDriverVersions(stagingFolder, bUsbPackage, run);
        nRetCode = ExtractDrivers(heldStagingFolder.Get(), stagingFolder, options.szDriverPath, bUsbPackage, engine,
                                  failure);
        if (nRetCode != kResultOk) return nRetCode;
        trace.Write(std::wstring(L"drivers extracted: into ") + options.szDriverPath);
    }

    if (options.szLogFile[0] == L'\0') {
        // The record says only that every step succeeded, which the exit code says as well.
        trace.Write(L"no result log asked for (no LOGFILE=): none written");
    } else {
        FileHandle hLog;
        nRetCode = PrepareResultLog(hLog, options, engine, bUsbPackage, driverLog, failure);
        if (nRetCode != kResultOk) return nRetCode;
        // A record that did not reach the log would leave the caller without the sign of success.
        if (!AppendLogRecord(std::move(hLog), nRetCode)) {
            failure.Set(L"write the result log's record", options.szLogFile, GetLastError());
            return kResultCannotCreateLog;
        }
        trace.Write(std::wstring(L"result log written: ") + options.szLogFile);
        if (driverLog.outcome == DriverLogTaking::Outcome::Unchanged)
            trace.Write(L"the installer left no log of this run: " + driverLog.path +
                        L" is the one that was there before the installer started; the result log holds the record alone");
        else if (driverLog.outcome == DriverLogTaking::Outcome::Refused)
            trace.Write(L"driver log refused: " + driverLog.path + L": " + driverLog.refusal +
                        L"; the result log holds the record alone");
        else if (driverLog.outcome == DriverLogTaking::Outcome::Missing && bInstall)
            trace.Write(L"the installer left no log of this run: no " + driverLog.path +
                        L"; the result log holds the record alone");
    }
    // The delete opens the folder for removal itself, which the hold (no delete sharing) would
    // refuse; it opens it relative to its parent and never follows a link.
    heldStagingFolder.Reset();
    // A staging folder that stays is no failure of the run: the next run removes it first.
    if (engine.Delete(stagingFolder)) {
        trace.Write(L"staging folder removed: " + stagingFolder);
    } else {
        StepFailure kept;
        SetEngineFailure(kept, L"staging folder not removed", engine);
        trace.Write(DescribeStepFailure(kept, SystemErrorText(kept.dwError)));
    }
    return kResultOk;
}

// The run's last trace lines and its event; the exit code the caller sees.
int EndRun(RunRecord& run, int nRetCode, const RunPlatform& platform) {
    int nExitCode = ExitCodeFor(nRetCode);
    if (nRetCode == kResultOk && run.bInstallerCode && run.bInstallerRan) {
        nExitCode = ExitCodeForInstallerAnswer(run.dwInstallerExitCode);
        run.trace.Write(L"exit code from the installer's answer (INSTALLERCODE=TRUE): " +
                        std::to_wstring(run.dwInstallerExitCode) + L" gives " + std::to_wstring(nExitCode));
    }
    std::wstring failureText;
    if (nRetCode != kResultOk && run.failure.IsSet()) {
        failureText = DescribeStepFailure(run.failure, SystemErrorText(run.failure.dwError));
        run.trace.Write(L"failed: " + failureText);
    }
    run.trace.Write(FormatRunEnd(nRetCode, nExitCode));
    platform.pfnReportEvent(ComposeRunEvent(run.nMode, run.bCommandLineRead, nRetCode, nExitCode, failureText,
                                            run.bInstallerRan, run.dwInstallerExitCode, run.driverVersions,
                                            run.leftRunning));
    return nExitCode;
}

std::wstring TemporaryFolderForTrace(const RunPlatform& platform) {
    std::wstring temp;
    ReadTemporaryFolder(platform.pfnFindTempPath2(), temp);
    return temp;
}

}  // namespace

int RunUpdate(int argc, wchar_t* argv[], const RunPlatform& platform) {
    const TraceClock started = Now();
    RunRecord run;
    // Before any path is looked up. Where the platform lacks the guard the run goes on as before.
    platform.pfnEnforceRedirectionTrust();
    if (!platform.pfnIsAdminMember()) {
        run.trace.Start(started, GetCommandLineW(), TemporaryFolderForTrace(platform));
        run.failure.SetFinding(L"check the user", L"", L"not a member of the Administrators group");
        return EndRun(run, kResultNotAdministrator, platform);
    }
    // There is no application framework to start, so its start-up cannot fail.

    std::unique_ptr<RunOptions> pOptions(new (std::nothrow) RunOptions());
    if (!pOptions) {
        std::wprintf(L"\n Run Out Of Resources\n");
        std::fflush(stdout);
        run.trace.Start(started, GetCommandLineW(), TemporaryFolderForTrace(platform));
        run.failure.Set(L"allocate the run's options", L"", ERROR_NOT_ENOUGH_MEMORY);
        return EndRun(run, kResultOutOfResources, platform);
    }
    const bool bUsbPackage = ReadPackageProfile();
    CommandLineReading reading;
    int nRetCode = ParseCommandLine(*pOptions, argc, argv, reading);
    // Where nobody can see a window (SYSTEM in session 0), a message box would wait for ever.
    const bool bVisible = platform.pfnIsWindowStationVisible();
    // The usage page is no run: it leaves neither trace nor event.
    if (nRetCode == kResultOk && pOptions->nMode == ModeUsage) {
        ShowUsage(bVisible ? platform.pfnMessageBox : nullptr);
        return ExitCodeFor(kResultOk);
    }
    run.trace.Start(started, GetCommandLineW(), TemporaryFolderForTrace(platform));
    if (nRetCode != kResultOk) {
        run.failure.SetFinding(L"read the command line", L"", DescribeCommandLineRefusal(reading));
        return EndRun(run, nRetCode, platform);
    }
    run.trace.Write(DescribeCommandLineReading(*pOptions, reading));
    run.bCommandLineRead = true;
    run.nMode = pOptions->nMode;
    run.bInstallerCode = pOptions->bInstallerCode;
    if (!bVisible) {
        run.trace.Write(L"window station not visible: no message box, the read-only question takes the unattended answer");
        // The installer without "-s" would wait on dialogs that nobody can answer.
        if (pOptions->nMode == ModeInstall) {
            run.failure.SetFinding(L"check who can answer the installer", L"",
                                   L"an interactive install needs a desktop someone can see; add /s");
            return EndRun(run, kResultNoVisibleDesktop, platform);
        }
    }
    if (pOptions->nMode == ModeExtractAll) {
        CopiedAmount copied;
        nRetCode = CopyPackage(pOptions->szTargetPath, copied, run.failure);
        if (nRetCode == kResultOk)
            run.trace.Write(L"package copied: " + CopiedText(copied) + L" into " + pOptions->szTargetPath);
    } else {
        nRetCode = RunStaged(*pOptions, bUsbPackage, NamesUnattendedRun(argc, argv) || !bVisible, platform, run);
    }
    return EndRun(run, nRetCode, platform);
}
