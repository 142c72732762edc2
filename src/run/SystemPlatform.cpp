#include <windows.h>

#include "run/AdminCheck.h"
#include "report/EventLogSource.h"
#include "run/InstallerLaunch.h"
#include "run/RedirectionGuard.h"
#include "run/RunLock.h"
#include "run/RunPlatform.h"
#include "run/TempPathLookup.h"
#include "run/WindowStation.h"

namespace {
int ShowSystemMessageBox(const wchar_t* text, const wchar_t* caption, unsigned style) {
    return MessageBoxW(nullptr, text, caption, style);
}
}  // namespace

const RunPlatform& SystemPlatform() {
    static const RunPlatform platform = {&IsAdminMember,  &ShowSystemMessageBox, &LaunchAndWait,
                                         &TakeRunLock,    &FindTempPath2,        &EnforceRedirectionTrust,
                                         &ReportRunEvent, &IsWindowStationVisible};
    return platform;
}
