#include "support/BackgroundRun.h"

#include <chrono>
#include <utility>

#include "support/FileUtil.h"

BackgroundRun::BackgroundRun(ChildOptions options)
    : m_outcome(std::async(std::launch::async, [options = std::move(options)] { return RunChildProcess(options); })) {}

BackgroundRun::~BackgroundRun() {
    if (m_outcome.valid()) m_outcome.wait();
}

ChildOutcome BackgroundRun::Wait() { return m_outcome.get(); }

bool BackgroundRun::EndsWithin(DWORD dwTimeoutMs) const {
    return m_outcome.wait_for(std::chrono::milliseconds(dwTimeoutMs)) == std::future_status::ready;
}

bool WaitForPath(const std::wstring& path, DWORD dwTimeoutMs) {
    const DWORD dwStart = GetTickCount();
    while (!PathExists(path)) {
        if (GetTickCount() - dwStart > dwTimeoutMs) return false;
        Sleep(20);
    }
    return true;
}
