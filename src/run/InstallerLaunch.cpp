#include "run/InstallerLaunch.h"

#include <windows.h>

#include <cwchar>

#include "fileops/ScopedHandle.h"
#include "package/PackageLayout.h"

bool BuildInstallerCommandLine(const std::wstring& stagingFolder, bool bSilent, wchar_t* commandLine,
                               std::size_t cchBuffer) {
    // Quoted, so that a temporary folder with a blank cannot make the platform start a
    // program named by a shorter prefix of the path.
    std::wstring line = L"\"" + stagingFolder + L"\\" + kWindowsFolder + kInstallerFile + L"\"";
    if (bSilent) line += L" -s";
    if (line.size() + 1 > cchBuffer) return false;
    std::wmemcpy(commandLine, line.c_str(), line.size() + 1);
    return true;
}

unsigned long LaunchAndWait(wchar_t* commandLine, unsigned long& dwExitCode) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return GetLastError();
    // Declared in this order so the process handle is closed before the thread handle.
    KernelHandle thread(info.hThread);
    KernelHandle process(info.hProcess);
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD dwCode = 0;
    dwExitCode = GetExitCodeProcess(process.Get(), &dwCode) ? dwCode : 0;
    return ERROR_SUCCESS;
}
