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
#include "run/StagingFolder.h"

namespace {

// Stages the package, then extracts the drivers or runs the installer, then writes the
// result log. The staging folder is removed only when everything succeeded.
int RunStaged(RunOptions& options, bool bUsbPackage, bool bUnattended, const RunPlatform& platform) {
    std::wstring stagingFolder;
    if (!GetStagingFolderPath(stagingFolder)) return kResultCannotCreateFolder;
    const bool bInstall = options.nMode != ModeExtractDrivers;
    wchar_t szCommandLine[kMaxPathChars] = {};
    if (bInstall && !BuildInstallerCommandLine(stagingFolder, options.nMode == ModeSilentInstall, szCommandLine,
                                               kMaxPathChars))
        return kResultCannotCreateFolder;
    std::wmemcpy(options.szTargetPath, stagingFolder.c_str(), stagingFolder.size() + 1);

    CFileOpEngine engine(bUnattended);
    if (!CreateFreshStagingFolder(stagingFolder, engine)) return kResultCannotCreateFolder;
    int nRetCode = CopyPackage(stagingFolder);
    if (nRetCode != kResultOk) return nRetCode;

    if (bInstall) {
        if (bUsbPackage) SelectAuxMacInf(stagingFolder, options.bEnableAuxMac, engine);
        SelectInstallControl(stagingFolder, bUsbPackage, options.bForce, engine);
        // Its exit code is ignored, but an installer that never ran installed nothing.
        if (!platform.pfnLaunchAndWait(szCommandLine)) return kResultInstallerNotStarted;
    } else {
        nRetCode = ExtractDrivers(stagingFolder, options.szDriverPath, bUsbPackage, engine);
        if (nRetCode != kResultOk) return nRetCode;
    }

    FileHandle hLog;
    nRetCode = PrepareResultLog(hLog, options, engine, bUsbPackage);
    if (nRetCode != kResultOk) return nRetCode;
    // A record that did not reach the log would leave the caller without the sign of success.
    if (!AppendLogRecord(std::move(hLog), nRetCode)) return kResultCannotCreateLog;
    engine.Delete(stagingFolder);
    return kResultOk;
}

}  // namespace

int RunUpdate(int argc, wchar_t* argv[], const RunPlatform& platform) {
    int nRetCode = kResultOk;
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
        if (nRetCode == kResultOk) {
            switch (pOptions->nMode) {
            case ModeUsage:
                ShowUsage(platform.pfnMessageBox);
                break;
            case ModeExtractAll:
                nRetCode = CopyPackage(pOptions->szTargetPath);
                break;
            default:
                nRetCode = RunStaged(*pOptions, bUsbPackage, NamesUnattendedRun(argc, argv), platform);
                break;
            }
        }
    }
    return nRetCode == kResultOk ? kResultOk : kExitFailure;
}
