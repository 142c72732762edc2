#include "report/RunEvent.h"

#include "invocation/CommandLineReading.h"
#include "package/ResultCodes.h"
#include "report/TraceText.h"

namespace {

RunEventId EventIdFor(int nMode, bool bCommandLineRead, bool bSucceeded, int nResultCode) {
    if (nResultCode == kResultAnotherRunActive) return kEventAnotherRunActive;
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
                         const std::wstring& failureText) {
    const bool bSucceeded = nResultCode == kResultOk;
    RunEvent event;
    event.wEventId = EventIdFor(nMode, bCommandLineRead, bSucceeded, nResultCode);
    event.bError = !bSucceeded;
    event.strings = {bCommandLineRead ? RunModeText(nMode) : L"none", ResultCodeText(nResultCode),
                     std::to_wstring(nExitCode), failureText.empty() ? std::wstring(L"none") : failureText};
    return event;
}

unsigned long MessageIdFor(const RunEvent& event) {
    // The message compiler puts the severity in the top two bits: 01 informational, 11 error.
    const unsigned long dwSeverity = event.bError ? 0xC0000000ul : 0x40000000ul;
    return dwSeverity | event.wEventId;
}
