#pragma once

#include <windows.h>

#include <future>
#include <string>

#include "child_launch/ChildLaunch.h"

// A program started in the background, the way another deployment job finds a run at work.
// Standard output is not captured. The destructor waits for the end.
class BackgroundRun {
public:
    explicit BackgroundRun(ChildOptions options);
    ~BackgroundRun();
    BackgroundRun(const BackgroundRun&) = delete;
    BackgroundRun& operator=(const BackgroundRun&) = delete;

    // Waits for the end (the options' time-out ends the child); once only.
    ChildOutcome Wait();
    // Whether the program ends within the time, without collecting its outcome.
    bool EndsWithin(DWORD dwTimeoutMs) const;

private:
    std::future<ChildOutcome> m_outcome;
};

// Polls until the path exists; false when the time ran out first.
bool WaitForPath(const std::wstring& path, DWORD dwTimeoutMs);
