#include "run/RunUpdate.h"

#include <cstdio>
#include <cwchar>
#include <memory>
#include <new>
#include <string>

#include "fileops/FileOpEngine.h"
#include "invocation/CommandLine.h"
#include "invocation/PackageProfile.h"
#include "invocation/UsagePage.h"
#include "package/AuxMacInf.h"
#include "package/DriverExtraction.h"
#include "package/InstallControl.h"
#include "package/PackageCopy.h"
#include "package/ResultCodes.h"
#include "run/InstallerLaunch.h"
#include "run/ResultLog.h"
#include "run/RunLock.h"
#include "run/RunTrace.h"
#include "run/StagingFolder.h"
#include "run/TraceText.h"

namespace {

const wchar_t kAnotherRunCaption[] = L"QVP tool";
const wchar_t kAnotherRunText[] =
    L"Another installation or driver extraction of this package is running. Start this one again when it has ended.";

// One staged run at a time: two runs would share one staging folder and delete each other's
// files. The one place where a run is refused because another run is at work; an interactive
// caller is told so first. Anything but a lock this run holds ends the run before it touches
// anything.
int TakeRunLockOrRefuse(RunLock& lock, bool bUnattended, const RunPlatform& platform) {
    lock = platform.pfnTakeRunLock();
    switch (lock.State()) {
    case RunLockState::Taken:
        return kResultOk;
    case RunLockState::HeldByAnotherRun:
        if (!bUnattended) platform.pfnMessageBox(kAnotherRunText, kAnotherRunCaption, MB_OK | MB_ICONWARNING);
        return kResultAnotherRunActive;
    default:
        return kResultRunLockRefused;
    }
}

// Stages the package, then extracts the drivers or runs the installer, then writes the
// result log. The staging folder is removed only when everything succeeded. The run lock is held
// from before the staging folder is touched to the end.
int RunStaged(RunOptions& options, bool bUsbPackage, bool bUnattended, const RunPlatform& platform, RunTrace& trace) {
    RunLock lock;
    int nRetCode = TakeRunLockOrRefuse(lock, bUnattended, platform);
    if (nRetCode != kResultOk) return nRetCode;
    std::wstring stagingFolder;
    if (!GetStagingFolderPath(stagingFolder, platform.pfnFindTempPath2())) return kResultCannotCreateFolder;
    const bool bInstall = options.nMode != ModeExtractDrivers;
    wchar_t szCommandLine[kMaxPathChars] = {};
    if (bInstall && !BuildInstallerCommandLine(stagingFolder, options.nMode == ModeSilentInstall, szCommandLine,
                                               kMaxPathChars))
        return kResultCannotCreateFolder;
    std::wmemcpy(options.szTargetPath, stagingFolder.c_str(), stagingFolder.size() + 1);

    CFileOpEngine engine(bUnattended);
    // Held until the folder is removed: nobody can move it and put another in its place.
    FileHandle heldStagingFolder = CreateFreshStagingFolder(stagingFolder, engine);
    if (!heldStagingFolder) {
        trace.WriteFailure(L"create staging folder", stagingFolder, engine.GetLastErrorCode());
        return kResultCannotCreateFolder;
    }
    trace.Write(L"staging folder created: " + stagingFolder);
    nRetCode = CopyPackage(stagingFolder);
    if (nRetCode != kResultOk) {
        trace.WriteFailure(L"copy package", stagingFolder, GetLastError());
        return nRetCode;
    }
    trace.Write(L"package copied to " + stagingFolder);

    if (bInstall) {
        if (bUsbPackage) SelectAuxMacInf(stagingFolder, options.bEnableAuxMac, engine);
        SelectInstallControl(stagingFolder, bUsbPackage, options.bForce, engine);
        // Its exit code is ignored, but an installer that never ran installed nothing.
        trace.Write(std::wstring(L"installer started: ") + szCommandLine);
        if (!platform.pfnLaunchAndWait(szCommandLine)) return kResultInstallerNotStarted;
        trace.Write(L"installer ended");
    } else {
        nRetCode = ExtractDrivers(stagingFolder, options.szDriverPath, bUsbPackage, engine);
        if (nRetCode != kResultOk) return nRetCode;
        trace.Write(std::wstring(L"drivers extracted to ") + options.szDriverPath);
    }

    FileHandle hLog;
    nRetCode = PrepareResultLog(hLog, options, engine, bUsbPackage);
    if (nRetCode != kResultOk) return nRetCode;
    // A record that did not reach the log would leave the caller without the sign of success.
    if (!AppendLogRecord(std::move(hLog), nRetCode)) return kResultCannotCreateLog;
    trace.Write(L"result log written");
    // The delete opens the folder for removal itself, which the hold (no delete sharing) would
    // refuse; it opens it relative to its parent and never follows a link.
    heldStagingFolder.Reset();
    engine.Delete(stagingFolder);
    trace.Write(L"staging folder removed: " + stagingFolder);
    return kResultOk;
}

}  // namespace

int RunUpdate(int argc, wchar_t* argv[], const RunPlatform& platform) {
    int nRetCode = kResultOk;
    RunTrace trace;
    // Before any path is looked up. Where the platform lacks the guard the run goes on as before.
    platform.pfnEnforceRedirectionTrust();
    if (!platform.pfnIsAdminMember()) return kExitFailure;
    // There is no application framework to start, so its start-up cannot fail.

    std::unique_ptr<RunOptions> pOptions(new (std::nothrow) RunOptions());
    if (!pOptions) {
        std::wprintf(L"\n Run Out Of Resources\n");
        std::fflush(stdout);
        nRetCode = kResultOutOfResources;
    } else {
        const bool bUsbPackage = ReadPackageProfile();
        nRetCode = ParseCommandLine(*pOptions, argc, argv);
        if (nRetCode != kResultOk || pOptions->nMode != ModeUsage) trace.Start(GetCommandLineW());
        if (nRetCode == kResultOk) {
            switch (pOptions->nMode) {
            case ModeUsage:
                ShowUsage(platform.pfnMessageBox);
                break;
            case ModeExtractAll:
                nRetCode = CopyPackage(pOptions->szTargetPath);
                if (nRetCode == kResultOk) trace.Write(std::wstring(L"package copied to ") + pOptions->szTargetPath);
                break;
            default:
                nRetCode = RunStaged(*pOptions, bUsbPackage, NamesUnattendedRun(argc, argv), platform, trace);
                break;
            }
        }
    }
    trace.Write(FormatRunEnd(nRetCode, ExitCodeFor(nRetCode)));
    return ExitCodeFor(nRetCode);
}
