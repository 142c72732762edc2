#include "report/RunEvent.h"

#include "invocation/CommandLineReading.h"
#include "package/ResultCodes.h"
#include "report/TraceText.h"

namespace {

// The installer's codes that mean "installed, restart to finish" (ERROR_SUCCESS_REBOOT_REQUIRED,
// ERROR_SUCCESS_REBOOT_INITIATED).
bool AsksForRestart(unsigned long dwCode) { return dwCode == 3010 || dwCode == 1641; }

RunEventId EventIdFor(int nMode, bool bCommandLineRead, bool bSucceeded, int nResultCode) {
    if (nResultCode == kResultAnotherRunActive) return kEventAnotherRunActive;
    // Refused for what the command line asked, before anything was touched.
    if (nResultCode == kResultNoVisibleDesktop) return kEventCommandLineRefused;
    if (!bCommandLineRead)
        return nResultCode == kResultModeConflict || nResultCode == kResultBadValue ? kEventCommandLineRefused
                                                                                     : kEventRunNotStarted;
    switch (nMode) {
    case ModeExtractDrivers: return bSucceeded ? kEventDriverExtractionSucceeded : kEventDriverExtractionFailed;
    case ModeExtractAll: return bSucceeded ? kEventPackageCopySucceeded : kEventPackageCopyFailed;
    default: return bSucceeded ? kEventInstallSucceeded : kEventInstallFailed;
    }
}

}  // namespace

RunEvent ComposeRunEvent(int nMode, bool bCommandLineRead, int nResultCode, int nExitCode,
                         const std::wstring& failureText, bool bInstallerRan, unsigned long dwInstallerExitCode,
                         const std::wstring& driverVersions, const std::wstring& leftRunning) {
    const bool bSucceeded = nResultCode == kResultOk;
    RunEvent event;
    event.wEventId = EventIdFor(nMode, bCommandLineRead, bSucceeded, nResultCode);
    event.bError = !bSucceeded;
    // The run's own steps succeeded; what the installer answered decides the kind of success.
    if (bSucceeded && bInstallerRan && dwInstallerExitCode != 0) {
        if (AsksForRestart(dwInstallerExitCode)) {
            event.wEventId = kEventInstallSucceededRestartNeeded;
        } else {
            event.wEventId = kEventInstallerReportedCode;
            event.bWarning = true;
        }
    }
    event.strings = {bCommandLineRead ? RunModeText(nMode) : L"none", ResultCodeText(nResultCode),
                     std::to_wstring(nExitCode), failureText.empty() ? std::wstring(L"none") : failureText,
                     bInstallerRan ? std::to_wstring(dwInstallerExitCode) : std::wstring(L"none"),
                     driverVersions.empty() ? std::wstring(L"none") : driverVersions, NICUPDATE_VERSION_TEXT,
                     leftRunning.empty() ? std::wstring(L"none") : leftRunning};
    return event;
}

unsigned long MessageIdFor(const RunEvent& event) {
    // The message compiler puts the severity in the top two bits: 01 informational, 10 warning,
    // 11 error.
    const unsigned long dwSeverity = event.bError ? 0xC0000000ul : event.bWarning ? 0x80000000ul : 0x40000000ul;
    return dwSeverity | event.wEventId;
}
