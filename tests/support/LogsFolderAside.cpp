#include "support/LogsFolderAside.h"

#include <windows.h>

#include "fileops/ScopedHandle.h"
#include "support/MachineWidePlaces.h"
#include "support/TempFolder.h"

LogsFolderAside::LogsFolderAside() {
    RestoreMachineWidePlaces();
    wchar_t szWindows[MAX_PATH] = {};
    const UINT cch = GetSystemWindowsDirectoryW(szWindows, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH) return;
    WIN32_FIND_DATAW found = {};
    const FindHandle hFind(FindFirstFileW((std::wstring(szWindows) + L"\\Logs").c_str(), &found));
    if (!hFind) return;
    m_logs = std::wstring(szWindows) + L"\\" + found.cFileName;
    m_aside = m_logs + kLogsAsideSuffix;
    m_bMoved = MoveFileW(m_logs.c_str(), m_aside.c_str()) != FALSE;
}

LogsFolderAside::~LogsFolderAside() {
    if (!m_bMoved) return;
    RemoveTree(m_logs);
    MoveFileW(m_aside.c_str(), m_logs.c_str());
}
