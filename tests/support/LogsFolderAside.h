#pragma once

#include <string>

// The Windows folder's Logs moved aside for one test, and put back after it under the name it
// had (letter case included); whatever the test left at that name goes first. A Logs folder that
// an earlier test process left aside is put back before this one moves it.
class LogsFolderAside {
public:
    LogsFolderAside();
    ~LogsFolderAside();
    LogsFolderAside(const LogsFolderAside&) = delete;
    LogsFolderAside& operator=(const LogsFolderAside&) = delete;

    bool IsMoved() const { return m_bMoved; }

private:
    std::wstring m_logs;
    std::wstring m_aside;
    bool m_bMoved = false;
};
