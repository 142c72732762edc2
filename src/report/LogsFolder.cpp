#include "report/LogsFolder.h"

#include <windows.h>

#include "fileops/HandleIdentity.h"
#include "fileops/HeldFolder.h"
#include "fileops/ProtectedFolder.h"

bool HoldLogsFolder(LogsFolder& logs) {
    wchar_t szWindows[MAX_PATH] = {};
    const UINT cch = GetSystemWindowsDirectoryW(szWindows, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH) return false;
    const std::wstring path = std::wstring(szWindows, cch) + L"\\Logs";
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) CreateAdministratorsOnlyFolder(path);
    FileHandle held = HoldFolderForEntries(path);
    std::wstring handleName;
    // The handle holds the path without its drive.
    if (!held || !ReadHandleName(held.Get(), handleName) || path.size() < 2 || path[1] != L':' ||
        !HandleNameIs(held.Get(), path.substr(2)))
        return false;
    logs.hFolder = std::move(held);
    logs.path = path;
    logs.handleName = handleName;
    return true;
}
