#pragma once

#include <windows.h>

#include <string>

// Runs a shell script on the Linux side of Wine, for the test set-up that Windows cannot do
// (mounting a file system, linking a drive letter into the prefix).
struct UnixScriptOutcome {
    bool bRan = false;  // false: not under Wine, not startable, or no end within the time-out
    int nExitStatus = -1;
    std::string output;  // standard output and standard error together
};

// Only meaningful under Wine; elsewhere the outcome says it did not run.
bool IsRunningUnderWine();

UnixScriptOutcome RunUnixScript(const std::string& script, DWORD dwTimeoutMs = 15000);

// A script that runs alongside the test, for a change that must happen while the program under
// test works (watching for a step and acting on it). Wait() collects its outcome; the object's
// end waits for it too, unless a wait already timed out, and then removes its files.
class UnixScriptInBackground {
public:
    explicit UnixScriptInBackground(const std::string& script);
    ~UnixScriptInBackground();
    UnixScriptInBackground(const UnixScriptInBackground&) = delete;
    UnixScriptInBackground& operator=(const UnixScriptInBackground&) = delete;

    bool IsStarted() const { return m_bStarted; }
    UnixScriptOutcome Wait(DWORD dwTimeoutMs = 15000);

private:
    std::string m_base;
    bool m_bStarted = false;
    bool m_bCollected = false;
    bool m_bWaited = false;  // a time-out already spent is not spent again at the end
    UnixScriptOutcome m_outcome;
};

// The Linux path that Wine maps a Windows path to; empty outside Wine.
std::string UnixPathOf(const std::wstring& path);
