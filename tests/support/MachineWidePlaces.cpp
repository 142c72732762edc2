#include "support/MachineWidePlaces.h"

#include <windows.h>

#include <cwchar>

#include "fileops/ScopedHandle.h"
#include "support/FileUtil.h"
#include "support/TempFolder.h"
#include "support/UnixShell.h"

const wchar_t kLogsAsideSuffix[] = L".aside-by-test";
const wchar_t kTraceSavedSuffix[] = L".saved-by-test";
const wchar_t kTraceNoneSuffix[] = L".none-by-test";

std::wstring MachineLogsFolder() {
    wchar_t szWindows[MAX_PATH] = {};
    GetSystemWindowsDirectoryW(szWindows, MAX_PATH);
    return std::wstring(szWindows) + L"\\Logs";
}

std::wstring MachineTracePath() { return MachineLogsFolder() + L"\\NicUpdate.log"; }

void RestoreMachineWidePlaces() {
    const std::wstring logs = MachineLogsFolder();
    WIN32_FIND_DATAW found = {};
    const FindHandle hFind(FindFirstFileW((logs + kLogsAsideSuffix).c_str(), &found));
    if (hFind) {
        const std::wstring aside = logs.substr(0, logs.rfind(L'\\') + 1) + found.cFileName;
        const std::wstring original = aside.substr(0, aside.size() - std::wcslen(kLogsAsideSuffix));
        RemoveTree(original);
        MoveFileW(aside.c_str(), original.c_str());
    }

    // Only the Linux side removes a link as itself.
    const std::wstring trace = MachineTracePath();
    const bool bSaved = PathExists(trace + kTraceSavedSuffix);
    if (!bSaved && !PathExists(trace + kTraceNoneSuffix)) return;
    const std::string unixTrace = UnixPathOf(trace);
    if (unixTrace.empty()) return;
    const std::string saved = "'" + unixTrace + Narrow(kTraceSavedSuffix) + "'";
    const std::string none = "'" + unixTrace + Narrow(kTraceNoneSuffix) + "'";
    RunUnixScript("rm -f '" + unixTrace + "' " + none + "\n" +
                  (bSaved ? "mv -f " + saved + " '" + unixTrace + "'\n" : std::string()));
}
